// Damaged input never crashes or hangs: each mutation of a good table or
// index gives a negative code and a failed open or walk.
#include <gtest/gtest.h>

#include <unistd.h>
#include <functional>

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
    uint32_t headerLength = 0;
    uint32_t recordLength = 0;
};

GoodFiles MakeGoodFiles() {
    TableDef table;
    table.fields = {{"NAME", 'C', kKeyLength}, {"ID", 'N', 5}};
    table.flags = 0x01;
    TagDef tag = xbtest::Tag("NAME", "NAME", kKeyLength);
    tag.maxPerLeaf = 4;
    tag.maxPerInterior = 3;
    for (int i = 1; i <= kRecords; ++i) {
        const std::string name = "N" + std::to_string(1000 + (i * 7) % kRecords);
        table.records.push_back({name, std::to_string(i)});
        tag.entries.emplace_back(name, i);
    }
    GoodFiles good;
    good.dbf = xbtest::DbfBytes(table);
    good.cdx = xbtest::CdxBytes({tag});
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
        m_tag = d4tag(m_data, "NAME");
    }
    void Truncate(const std::string& name, off_t size) {
        ASSERT_EQ(::truncate(m_folder.File(name).c_str(), size), 0);
    }

    TempFolder m_folder;
    Engine m_engine;
    XBDATA* m_data = nullptr;
    XBTAG* m_tag = nullptr;
    uint32_t m_headerLength = 0;
    uint32_t m_recordLength = 0;
};

TEST_F(ChangedWhileOpenTest, TableTruncated) {
    Truncate("t.dbf", m_headerLength + 10 * m_recordLength);
    EXPECT_EQ(d4top(m_data), XB_SUCCESS) << "record 1 is still there";
    EXPECT_EQ(d4bottom(m_data), XB_E_READ);
    EXPECT_EQ(d4eof(m_data), 1);
    EXPECT_EQ(m_engine.TakeError(), XB_E_READ);
    // Stepping reads on first use: the field read reports the short read.
    ASSERT_EQ(d4top(m_data), XB_SUCCESS);
    ASSERT_EQ(d4skip(m_data, 50), XB_SUCCESS);
    EXPECT_STREQ(f4str(d4field(m_data, "ID")), "     ");
    EXPECT_EQ(m_engine.TakeError(), XB_E_READ);
    EXPECT_EQ(d4eof(m_data), 1);
}

TEST_F(ChangedWhileOpenTest, IndexTruncatedUncached) {
    d4tagSelectP(m_data, m_tag);
    Truncate("t.cdx", 4096);
    EXPECT_EQ(d4seek(m_data, "N1050"), XB_E_READ);
    EXPECT_EQ(m_engine.TakeError(), XB_E_READ);
    EXPECT_EQ(d4eof(m_data), 1);
}

TEST_F(ChangedWhileOpenTest, IndexTruncatedAfterCachingUntilSuspended) {
    code4optStart(m_engine);
    d4tagSelectP(m_data, m_tag);
    ASSERT_EQ(d4seek(m_data, "N1050"), XB_SUCCESS);
    Truncate("t.cdx", 4096);
    EXPECT_EQ(d4seek(m_data, "N1050"), XB_SUCCESS) << "served from the page cache";
    code4optSuspend(m_engine);
    EXPECT_EQ(d4seek(m_data, "N1050"), XB_E_READ) << "suspending dropped the cached pages";
    EXPECT_EQ(m_engine.TakeError(), XB_E_READ);
}

TEST_F(ChangedWhileOpenTest, TableOverwrittenInPlace) {
    const std::string zeros(m_headerLength + kRecords * m_recordLength, '\0');
    m_folder.Write("t.dbf", zeros);
    EXPECT_EQ(d4top(m_data), XB_E_DATA);
    EXPECT_EQ(m_engine.TakeError(), XB_E_DATA);
}

TEST_F(ChangedWhileOpenTest, TableReplacedByRenameKeepsReadingTheOpenFile) {
    ASSERT_EQ(d4top(m_data), XB_SUCCESS);
    const std::string before(f4str(d4field(m_data, "NAME")));
    m_folder.Write("other.dbf", "not a table");
    ASSERT_EQ(::rename(m_folder.File("other.dbf").c_str(), m_folder.File("t.dbf").c_str()), 0);
    EXPECT_EQ(d4top(m_data), XB_SUCCESS);
    EXPECT_EQ(std::string(f4str(d4field(m_data, "NAME"))), before);
    EXPECT_EQ(m_engine.TakeError(), 0);
}

}  // namespace
