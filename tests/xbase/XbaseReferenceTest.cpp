// Tables and indexes made by Visual FoxPro itself, read exactly as the
// reference folder's listing says, and field values as an independent
// reader (dbf_dump of libdbd-xbase-perl) prints them.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "TestSupport.h"
#include "XbaseTestUtil.h"

namespace {

using xbtest::Engine;
using xbtest::Hex;
using xbtest::TrimRight;

const std::string kFoxPro = std::string(ONDRIK_REFERENCE_DIR) + "/foxpro/";

struct ExpectedTag {
    std::string table;  // path of the .dbf
    std::string tag;
    std::vector<std::pair<std::string, long>> keys;  // hex, record number
};

// Sections "# calls.CDX CALL_ID (...)" followed by lines "hex recno".
std::vector<ExpectedTag> LoadExpected() {
    std::vector<ExpectedTag> out;
    std::ifstream in(kFoxPro + "expected-keys.txt");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        std::istringstream words(line);
        if (line[0] == '#') {
            std::string hash, index, tag;
            words >> hash >> index >> tag;
            out.push_back({kFoxPro + index.substr(0, index.find('.')) + ".dbf", tag, {}});
        } else if (!out.empty()) {
            std::string hex;
            long rec = 0;
            words >> hex >> rec;
            out.back().keys.emplace_back(hex, rec);
        }
    }
    return out;
}

class ReferenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(kFoxPro + "expected-keys.txt")) {
            GTEST_SKIP() << "reference folder " << kFoxPro << " absent";
        }
        m_expected = LoadExpected();
        ASSERT_EQ(m_expected.size(), 6u) << "every tag of the listing";
    }

    // Character tags show their keys without the restored trailing blanks.
    // Their expressions are field names, long ones cut to the stored 10.
    static bool CharacterTag(XBDATA* data, XBTAG* tag) {
        XBFIELD* field = d4field(data, std::string(t4expr(tag)).substr(0, 10).c_str());
        return field != nullptr && f4type(field) == 'C';
    }

    std::vector<ExpectedTag> m_expected;
    Engine m_engine;
};

TEST_F(ReferenceTest, EveryTagWalksInListedOrderBothWays) {
    for (const ExpectedTag& want : m_expected) {
        SCOPED_TRACE(want.table + " " + want.tag);
        XBDATA* data = d4open(m_engine, want.table.c_str());
        ASSERT_NE(data, nullptr) << m_engine.TakeError();
        XBTAG* tag = d4tag(data, want.tag.c_str());
        ASSERT_NE(tag, nullptr);
        d4tagSelectP(data, tag);
        const bool character = CharacterTag(data, tag);
        std::vector<std::pair<std::string, long>> got;
        for (const auto& [key, rec] : xbtest::WalkTag(data, tag)) {
            got.emplace_back(Hex(character ? TrimRight(key) : key), rec);
        }
        EXPECT_EQ(got, want.keys);
        EXPECT_EQ(d4eof(data), 1);

        std::vector<std::pair<std::string, long>> back;
        for (const auto& [key, rec] : xbtest::WalkTag(data, tag, true)) {
            back.emplace_back(Hex(character ? TrimRight(key) : key), rec);
        }
        EXPECT_EQ(back, std::vector(want.keys.rbegin(), want.keys.rend()));
        EXPECT_EQ(m_engine.TakeError(), 0);
        d4close(data);
    }
}

// Seek text for a listed key: the characters, or the integer in decimal.
std::string SeekText(const std::string& hex, bool character) {
    std::string bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    if (character) return bytes;
    const uint32_t stored = static_cast<uint32_t>(std::stoul(hex, nullptr, 16));
    return std::to_string(static_cast<int32_t>(stored ^ 0x80000000u));
}

TEST_F(ReferenceTest, SeekFindsEveryKeyAndSeekNextItsDuplicates) {
    for (const ExpectedTag& want : m_expected) {
        SCOPED_TRACE(want.table + " " + want.tag);
        XBDATA* data = d4open(m_engine, want.table.c_str());
        ASSERT_NE(data, nullptr);
        XBTAG* tag = d4tag(data, want.tag.c_str());
        d4tagSelectP(data, tag);
        const bool character = CharacterTag(data, tag);
        for (size_t i = 0; i < want.keys.size();) {
            const std::string text = SeekText(want.keys[i].first, character);
            SCOPED_TRACE("key " + text);
            ASSERT_EQ(d4seek(data, text.c_str()), XB_SUCCESS);
            EXPECT_EQ(d4recNo(data), want.keys[i].second);
            size_t j = i + 1;
            for (; j < want.keys.size() && want.keys[j].first == want.keys[i].first; ++j) {
                ASSERT_EQ(d4seekNext(data, text.c_str()), XB_SUCCESS);
                EXPECT_EQ(d4recNo(data), want.keys[j].second);
            }
            EXPECT_EQ(d4seekNext(data, text.c_str()), j < want.keys.size() ? XB_AFTER : XB_EOF);
            i = j;
        }
        EXPECT_EQ(m_engine.TakeError(), 0);
        d4close(data);
    }
}

TEST_F(ReferenceTest, PrefixSeekOnCharacterTag) {
    XBDATA* data = d4open(m_engine, (kFoxPro + "setup.dbf").c_str());
    ASSERT_NE(data, nullptr);
    d4tagSelectP(data, d4tag(data, "key_name"));
    XBFIELD* name = d4field(data, "KEY_NAME");
    struct Case {
        const char* text;
        int result;
        long rec;
    } cases[] = {
        {"CONTACT", XB_SUCCESS, 2},   // prefix of two keys: the first
        {"CONTACT_", XB_SUCCESS, 3},  //
        {"C", XB_SUCCESS, 1},         //
        {"", XB_SUCCESS, 1},          // the empty prefix matches everything
        {"CB", XB_AFTER, 2},          // no match: on the next greater key
        {"CALLSX", XB_AFTER, 2},      //
        {"D", XB_EOF, 0},             // above every key
        {"calls", XB_EOF, 0},         // machine order: lower case sorts last
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const int rc = d4seek(data, c.text);
        EXPECT_EQ(rc, c.result);
        if (c.rec != 0) {
            EXPECT_EQ(d4recNo(data), c.rec);
        }
    }
    // As long as the key: exact; longer only matches with trailing blanks.
    const std::string calls = std::string("CALLS") + std::string(45, ' ');
    EXPECT_EQ(d4seek(data, calls.c_str()), XB_SUCCESS);
    EXPECT_EQ(std::string(f4str(name)), calls);
    EXPECT_EQ(d4seek(data, (calls + "   ").c_str()), XB_SUCCESS);
    EXPECT_EQ(d4seek(data, (calls + "X").c_str()), XB_AFTER);
    EXPECT_EQ(d4recNo(data), 2);

    ASSERT_EQ(d4seek(data, "CONTACT"), XB_SUCCESS);
    EXPECT_EQ(d4seekNext(data, "CONTACT"), XB_SUCCESS);
    EXPECT_EQ(d4recNo(data), 3);
    EXPECT_EQ(d4seekNext(data, "CONTACT"), XB_EOF);
    EXPECT_EQ(d4eof(data), 1);
    EXPECT_EQ(m_engine.TakeError(), 0);
}

TEST_F(ReferenceTest, TagPropertiesAsStored) {
    XBDATA* data = d4open(m_engine, (kFoxPro + "calls.dbf").c_str());
    ASSERT_NE(data, nullptr);
    struct Want {
        const char* alias;
        const char* expr;
        int unique;
    } want[] = {{"CALL_ID", "call_id", 1}, {"CONTACT_ID", "contact_id", 0}};
    XBTAG* tag = nullptr;
    for (const Want& w : want) {
        tag = d4tagNext(data, tag);
        ASSERT_NE(tag, nullptr);
        EXPECT_STREQ(t4alias(tag), w.alias);
        EXPECT_STREQ(t4expr(tag), w.expr);
        EXPECT_STREQ(t4filter(tag), "");
        EXPECT_EQ(t4keyLen(tag), 4);
        EXPECT_EQ(t4unique(tag), w.unique);
        EXPECT_EQ(t4descending(tag), 0);
    }
    EXPECT_EQ(d4tagNext(data, tag), nullptr);
    EXPECT_EQ(d4tag(data, "Contact_Id"), tag) << "names compare without regard to case";
    EXPECT_EQ(d4tag(data, "NO_SUCH"), nullptr);
    EXPECT_EQ(m_engine.TakeError(), XB_E_TAG);
}

std::vector<std::vector<std::string>> DumpRecords(const std::string& table) {
    const std::string text =
        RunProgram({"dbf_dump", "--nomemo", "--fs", "|#|", "--rs", "|@|\n", table}).out;
    std::vector<std::vector<std::string>> records;
    for (size_t at = 0; at < text.size();) {
        const size_t end = text.find("|@|\n", at);
        if (end == std::string::npos) break;
        const std::string record = text.substr(at, end - at);
        std::vector<std::string> values;
        for (size_t p = 0;;) {
            const size_t q = record.find("|#|", p);
            values.push_back(record.substr(p, q == std::string::npos ? q : q - p));
            if (q == std::string::npos) break;
            p = q + 3;
        }
        records.push_back(values);
        at = end + 4;
    }
    return records;
}

TEST_F(ReferenceTest, FieldValuesMatchIndependentReader) {
    if (!std::filesystem::exists("/usr/bin/dbf_dump")) GTEST_SKIP() << "dbf_dump absent";
    for (const char* name : {"setup.dbf", "types.dbf", "contacts.dbf", "calls.dbf"}) {
        SCOPED_TRACE(name);
        const std::string path = kFoxPro + name;
        const auto records = DumpRecords(path);
        XBDATA* data = d4open(m_engine, path.c_str());
        ASSERT_NE(data, nullptr);
        ASSERT_EQ(static_cast<long>(records.size()), d4recCount(data));
        int compared = 0;
        long rec = 0;
        for (int rc = d4top(data); rc == XB_SUCCESS; rc = d4skip(data, 1)) {
            const auto& values = records[static_cast<size_t>(rec++)];
            ASSERT_EQ(d4recNo(data), rec);
            ASSERT_GE(values.size(), static_cast<size_t>(d4numFields(data)));
            for (short j = 1; j <= d4numFields(data); ++j) {
                XBFIELD* field = d4fieldJ(data, j);
                const std::string& value = values[static_cast<size_t>(j - 1)];
                const std::string text(f4str(field), f4len(field));
                SCOPED_TRACE(std::string(f4name(field)) + " of record " + std::to_string(rec));
                switch (f4type(field)) {
                    case 'C':
                    case 'D':
                        EXPECT_EQ(TrimRight(text), value);
                        ++compared;
                        break;
                    case 'I':
                        EXPECT_EQ(std::to_string(f4int(field)), value);
                        ++compared;
                        break;
                    default:  // binary date-times and memo pointers: not our concern
                        break;
                }
            }
        }
        EXPECT_EQ(rec, d4recCount(data));
        EXPECT_GT(compared, 0);
        EXPECT_EQ(m_engine.TakeError(), 0);
        d4close(data);
    }
}

}  // namespace
