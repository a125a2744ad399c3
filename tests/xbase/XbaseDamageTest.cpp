// Damaged input never crashes or hangs: each mutation of a good table or
// index gives a negative code and a failed open or walk.
#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <functional>
#include <thread>

#include "XbaseFixtures.h"
#include "XbaseTestUtil.h"

namespace {

using xbtest::CdxImage;
using xbtest::Engine;
using xbtest::GetLe32;
using xbtest::PutBe32;
using xbtest::PutLe16;
using xbtest::PutLe32;
using xbtest::TableDef;
using xbtest::TagDef;
using xbtest::TempFolder;

constexpr int kRecords = 200;
constexpr int kKeyLength = 12;

// A good table with a deep NAME tree: leaves of 4 keys, interior nodes of 3.
struct GoodFiles {
    std::string dbf;
    CdxImage cdx;
    TagDef tag;
    uint32_t headerLength = 0;
    uint32_t recordLength = 0;
};

GoodFiles MakeGoodFiles(int idBase = 0) {
    TableDef table;
    table.fields = {{"NAME", 'C', kKeyLength}, {"ID", 'N', 5}};
    table.flags = 0x01;
    TagDef tag = xbtest::Tag("NAME", "NAME", kKeyLength);
    tag.maxPerLeaf = 4;
    tag.maxPerInterior = 3;
    for (int i = 1; i <= kRecords; ++i) {
        const std::string name = "N" + std::to_string(1000 + (i * 7) % kRecords);
        table.records.push_back({name, std::to_string(idBase + i)});
        tag.entries.emplace_back(name, i);
    }
    GoodFiles good;
    good.dbf = xbtest::DbfBytes(table);
    good.cdx = xbtest::CdxBytes({tag});
    good.tag = tag;
    good.headerLength = 32 + 32 * 2 + 1;
    good.recordLength = 1 + kKeyLength + 5;
    return good;
}

enum class Stage { Open, Walk };

struct DamageCase {
    const char* label;
    Stage stage;
    int code;
    std::function<void(GoodFiles&)> mutate;
};

const xbtest::TagLayout& Tree(GoodFiles& f) {
    return f.cdx.tags[0];
}
uint32_t Leaf(GoodFiles& f, size_t i) {
    return Tree(f).levels[0][i];
}
uint32_t Root(GoodFiles& f) {
    return Tree(f).root;
}
// Rebuilds the index with the entry at sorted position i there twice: the
// leaves hold 4 entries, so i = 3 makes the next leaf start with the last
// entry of the one before, and i = 0 puts the same entry twice in one leaf.
void DuplicateEntry(GoodFiles& f, size_t i) {
    TagDef tag = f.tag;
    for (auto& e : tag.entries) e.first.resize(kKeyLength, ' ');
    std::sort(tag.entries.begin(), tag.entries.end());
    tag.entries.push_back(tag.entries[i]);
    f.cdx = xbtest::CdxBytes({tag});
}

// Offset of the child link of the root's first entry.
size_t FirstChildLink(GoodFiles& f) {
    return Root(f) + 12 + kKeyLength + 4;
}

const DamageCase kCases[] = {
    // Table file.
    {"RecordCountPastFile", Stage::Open, XB_E_DATA,
     [](GoodFiles& f) { PutLe32(f.dbf, 4, 1u << 30); }},
    {"OneRecordTooMany", Stage::Open, XB_E_DATA,
     [](GoodFiles& f) { PutLe32(f.dbf, 4, kRecords + 1); }},
    {"HeaderLengthPastFile", Stage::Open, XB_E_DATA,
     [](GoodFiles& f) { PutLe16(f.dbf, 8, 0xFFFF); }},
    {"HeaderLengthTooSmall", Stage::Open, XB_E_DATA, [](GoodFiles& f) { PutLe16(f.dbf, 8, 20); }},
    {"FieldRunsPastRecord", Stage::Open, XB_E_DATA,
     [](GoodFiles& f) { PutLe16(f.dbf, 10, static_cast<uint16_t>(f.recordLength - 1)); }},
    {"ZeroRecordLength", Stage::Open, XB_E_DATA, [](GoodFiles& f) { PutLe16(f.dbf, 10, 0); }},
    {"MissingTerminator", Stage::Open, XB_E_DATA,
     [](GoodFiles& f) { f.dbf[f.headerLength - 1] = ' '; }},
    {"ZeroWidthField", Stage::Open, XB_E_DATA, [](GoodFiles& f) { f.dbf[32 + 16] = 0; }},
    {"UnknownVersion", Stage::Open, XB_E_DATA, [](GoodFiles& f) { f.dbf[0] = 0x02; }},
    {"ShorterThanAHeader", Stage::Open, XB_E_DATA, [](GoodFiles& f) { f.dbf.resize(20); }},
    {"RecordWithoutDeletionMark", Stage::Walk, XB_E_DATA,
     [](GoodFiles& f) { f.dbf[f.headerLength + 7 * f.recordLength] = 'X'; }},
    // Index file: directory and tag header.
    {"IndexShorterThanItsHeader", Stage::Open, XB_E_INDEX,
     [](GoodFiles& f) { f.cdx.bytes.resize(700); }},
    {"DirectoryRootOutsideFile", Stage::Open, XB_E_INDEX,
     [](GoodFiles& f) { PutLe32(f.cdx.bytes, 0, 0x7FFFFE00); }},
    {"DirectoryRootInHeader", Stage::Open, XB_E_INDEX,
     [](GoodFiles& f) { PutLe32(f.cdx.bytes, 0, 512); }},
    {"TagKeyLengthZero", Stage::Open, XB_E_INDEX,
     [](GoodFiles& f) { PutLe16(f.cdx.bytes, Tree(f).header + 12, 0); }},
    {"TagKeyLengthHuge", Stage::Open, XB_E_INDEX,
     [](GoodFiles& f) { PutLe16(f.cdx.bytes, Tree(f).header + 12, 600); }},
    {"KeyExpressionPastPool", Stage::Open, XB_E_INDEX,
     [](GoodFiles& f) { PutLe16(f.cdx.bytes, Tree(f).header + 508, 600); }},
    {"TagRootOutsideFile", Stage::Walk, XB_E_INDEX,
     [](GoodFiles& f) {
         PutLe32(f.cdx.bytes, Tree(f).header, static_cast<uint32_t>(f.cdx.bytes.size()));
     }},
    // Interior nodes.
    {"ChildOffsetOutsideFile", Stage::Walk, XB_E_INDEX,
     [](GoodFiles& f) { PutBe32(f.cdx.bytes, FirstChildLink(f), 0x7FFFF000); }},
    {"ChildOffsetOffPage", Stage::Walk, XB_E_INDEX,
     [](GoodFiles& f) { PutBe32(f.cdx.bytes, FirstChildLink(f), Leaf(f, 0) + 7); }},
    {"ChildIsTheHeader", Stage::Walk, XB_E_INDEX,
     [](GoodFiles& f) { PutBe32(f.cdx.bytes, FirstChildLink(f), 0); }},
    {"ChildLinkCycle", Stage::Walk, XB_E_INDEX,
     [](GoodFiles& f) { PutBe32(f.cdx.bytes, FirstChildLink(f), Root(f)); }},
    {"InteriorKeyCountOverflow", Stage::Walk, XB_E_INDEX,
     [](GoodFiles& f) { PutLe16(f.cdx.bytes, Root(f) + 2, 1000); }},
    {"InteriorWithoutKeys", Stage::Walk, XB_E_INDEX,
     [](GoodFiles& f) { PutLe16(f.cdx.bytes, Root(f) + 2, 0); }},
    // Leaves.
    {"LeafKeyCountOverflow", Stage::Walk, XB_E_INDEX,
     [](GoodFiles& f) { PutLe16(f.cdx.bytes, Leaf(f, 3) + 2, 0xFFFF); }},
    {"LeafSuffixesOverlapEntries", Stage::Walk, XB_E_INDEX,
     [](GoodFiles& f) { PutLe16(f.cdx.bytes, Leaf(f, 3) + 2, 150); }},
    {"LeafEntryWidthZero", Stage::Walk, XB_E_INDEX,
     [](GoodFiles& f) { f.cdx.bytes[Leaf(f, 2) + 23] = 0; }},
    {"LeafBitFieldsWiderThanEntry", Stage::Walk, XB_E_INDEX,
     [](GoodFiles& f) { f.cdx.bytes[Leaf(f, 2) + 20] = 40; }},
    {"LeafKeysOutOfOrder", Stage::Walk, XB_E_INDEX,
     [](GoodFiles& f) { f.cdx.bytes[Leaf(f, 5) + 508] = 'Z'; }},
    {"LeafHoldsAnEntryTwice", Stage::Walk, XB_E_INDEX, [](GoodFiles& f) { DuplicateEntry(f, 0); }},
    {"LeafStartsWithTheLastEntryOfThePrevious", Stage::Walk, XB_E_INDEX,
     [](GoodFiles& f) { DuplicateEntry(f, 3); }},
    {"RecordNumberPastTable", Stage::Walk, XB_E_INDEX,
     [](GoodFiles& f) {
         f.cdx.bytes[Leaf(f, 1) + 24] = '\xFF';  // record 255 of 200
     }},
    // Sibling links.
    {"SiblingOutsideFile", Stage::Walk, XB_E_INDEX,
     [](GoodFiles& f) { PutLe32(f.cdx.bytes, Leaf(f, 4) + 8, 0x7FFFFE00); }},
    {"SiblingLinksBackToStart", Stage::Walk, XB_E_INDEX,
     [](GoodFiles& f) { PutLe32(f.cdx.bytes, Leaf(f, 9) + 8, Leaf(f, 0)); }},
    {"ConsistentSiblingCycle", Stage::Walk, XB_E_INDEX,
     [](GoodFiles& f) {
         PutLe32(f.cdx.bytes, Leaf(f, 1) + 8, Leaf(f, 0));
         PutLe32(f.cdx.bytes, Leaf(f, 0) + 4, Leaf(f, 1));
     }},
    {"SiblingIsInterior", Stage::Walk, XB_E_INDEX,
     [](GoodFiles& f) { PutLe32(f.cdx.bytes, Leaf(f, 2) + 8, Root(f)); }},
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const DamageCase& c, std::ostream* os) {
    *os << c.label;
}

class DamageTest : public ::testing::TestWithParam<DamageCase> {};

TEST_P(DamageTest, FailsWithCodeAndNeverHangs) {
    const DamageCase& c = GetParam();
    GoodFiles files = MakeGoodFiles();
    c.mutate(files);
    TempFolder folder;
    folder.Write("t.dbf", files.dbf);
    folder.Write("t.cdx", files.cdx.bytes);

    Engine engine;
    code4optStart(engine);
    XBDATA* data = d4open(engine, folder.File("t.dbf").c_str());
    if (c.stage == Stage::Open) {
        EXPECT_EQ(data, nullptr);
        EXPECT_EQ(engine.TakeError(), c.code);
        return;
    }
    ASSERT_NE(data, nullptr) << engine.TakeError();
    d4tagSelectP(data, d4tag(data, "NAME"));
    // Walk the tag and read every record; some call must report the damage.
    int rc = d4top(data);
    bool failed = rc < 0;
    int steps = 0;
    while (rc == XB_SUCCESS && steps++ <= kRecords) {
        d4deleted(data);
        rc = d4skip(data, 1);
        failed = failed || rc < 0;
    }
    EXPECT_LE(steps, kRecords + 1) << "the walk ended";
    EXPECT_TRUE(failed) << "a positioning call answered the damage";
    EXPECT_EQ(engine.TakeError(), c.code);
    EXPECT_EQ(d4eof(data), 1) << "a failed walk leaves no current record";
    // Seeking every key meets the same damage or succeeds; it never hangs.
    for (int i = 0; i < kRecords; i += 17) {
        d4seek(data, ("N" + std::to_string(1000 + i)).c_str());
    }
    d4close(data);
}

INSTANTIATE_TEST_SUITE_P(Mutations, DamageTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.label); });

TEST(DamageTest, GoodFilesWalkCompletely) {
    // The baseline every mutation above starts from.
    const GoodFiles files = MakeGoodFiles();
    ASSERT_GE(files.cdx.tags[0].levels.size(), 4u);
    ASSERT_GE(files.cdx.tags[0].levels[0].size(), 10u);
    TempFolder folder;
    folder.Write("t.dbf", files.dbf);
    folder.Write("t.cdx", files.cdx.bytes);
    Engine engine;
    XBDATA* data = d4open(engine, folder.File("t.dbf").c_str());
    ASSERT_NE(data, nullptr);
    XBTAG* tag = d4tag(data, "NAME");
    d4tagSelectP(data, tag);
    EXPECT_EQ(xbtest::WalkTag(data, tag).size(), static_cast<size_t>(kRecords));
    EXPECT_EQ(engine.TakeError(), 0);
}

class ChangedWhileOpenTest : public ::testing::Test {
protected:
    void SetUp() override {
        const GoodFiles files = MakeGoodFiles();
        m_headerLength = files.headerLength;
        m_recordLength = files.recordLength;
        m_folder.Write("t.dbf", files.dbf);
        m_folder.Write("t.cdx", files.cdx.bytes);
        m_data = d4open(m_engine, m_folder.File("t.dbf").c_str());
        ASSERT_NE(m_data, nullptr);
        d4tagSelectP(m_data, d4tag(m_data, "NAME"));
        // File times have a granularity of a clock tick: let a rewrite show.
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    // The ID read after seeking name; the code of the seek when it fails.
    std::string IdOf(const char* name) {
        const int rc = d4seek(m_data, name);
        if (rc < 0) return std::to_string(rc);
        return f4str(d4field(m_data, "ID"));
    }
    void Replace(const std::string& name, const std::string& bytes) {
        m_folder.Write("new", bytes);
        ASSERT_EQ(::rename(m_folder.File("new").c_str(), m_folder.File(name).c_str()), 0);
    }

    TempFolder m_folder;
    Engine m_engine;
    XBDATA* m_data = nullptr;
    uint32_t m_headerLength = 0;
    uint32_t m_recordLength = 0;
};

// "N1007" is record 1 (ID 1); the variant tables number their IDs from 500.
TEST_F(ChangedWhileOpenTest, ChangesBetweenCallsAreNoticedBeforeTheNextRead) {
    const GoodFiles other = MakeGoodFiles(500);
    struct Case {
        const char* label;
        std::function<void()> change;
        std::string id;  // or the failing code
    } cases[] = {
        {"truncated",
         [&] {
             ASSERT_EQ(
                 ::truncate(m_folder.File("t.dbf").c_str(), m_headerLength + 10 * m_recordLength),
                 0);
         },
         std::to_string(XB_E_DATA)},
        {"rewritten in place", [&] { m_folder.Write("t.dbf", other.dbf); }, "501  "},
        {"replaced by rename", [&] { Replace("t.dbf", other.dbf); }, "501  "},
        {"index cut", [&] { ASSERT_EQ(::truncate(m_folder.File("t.cdx").c_str(), 2048), 0); },
         std::to_string(XB_E_INDEX)},
        {"replaced by a foreign file", [&] { Replace("t.dbf", "not a table"); },
         std::to_string(XB_E_DATA)},
    };
    for (const Case& c : cases) {
        SetUp();
        ASSERT_EQ(IdOf("N1007"), "1    ") << c.label;
        c.change();
        EXPECT_EQ(IdOf("N1007"), c.id) << c.label;
        EXPECT_EQ(m_engine.TakeError(), c.id[0] == '-' ? std::stoi(c.id) : 0) << c.label;
        d4close(m_data);
    }
}

TEST_F(ChangedWhileOpenTest, WalkAcrossAChangeEndsInAnError) {
    ASSERT_EQ(d4seek(m_data, "N10"), XB_SUCCESS);
    ASSERT_EQ(d4seekNext(m_data, "N10"), XB_SUCCESS);
    m_folder.Write("t.dbf", MakeGoodFiles(500).dbf);
    // A step inside the decoded leaf reads nothing; the record read after it
    // notices the change, and the position dies with the old file.
    int rc = XB_SUCCESS;
    int steps = 0;
    while (rc == XB_SUCCESS && steps++ < kRecords) {
        f4str(d4field(m_data, "ID"));
        rc = d4seekNext(m_data, "N10");
    }
    EXPECT_EQ(rc, XB_E_NO_RECORD);
    EXPECT_EQ(steps, 1);
    EXPECT_EQ(m_engine.TakeError(), XB_E_NO_RECORD);
    EXPECT_EQ(IdOf("N1007"), "501  ") << "the new file answers the next seek";
}

TEST_F(ChangedWhileOpenTest, ATableReplacedInPairRecoversOnceWhole) {
    Replace("t.dbf", "not a table");
    EXPECT_EQ(IdOf("N1007"), std::to_string(XB_E_DATA));
    m_engine.TakeError();
    const GoodFiles other = MakeGoodFiles(500);
    Replace("t.cdx", other.cdx.bytes);
    Replace("t.dbf", other.dbf);
    EXPECT_EQ(IdOf("N1007"), "501  ");
    EXPECT_EQ(m_engine.TakeError(), 0);
}

TEST_F(ChangedWhileOpenTest, CachedAnswersAreRecheckedWithinASecond) {
    code4optStart(m_engine);
    ASSERT_EQ(IdOf("N1007"), "1    ");
    m_folder.Write("t.dbf", MakeGoodFiles(500).dbf);
    EXPECT_EQ(IdOf("N1007"), "1    ") << "all cached: answered without looking at the file";
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    EXPECT_EQ(IdOf("N1007"), "501  ");
    EXPECT_EQ(m_engine.TakeError(), 0);
}

}  // namespace
