// Positioning, seeking and field access on tables and indexes built byte by
// byte, in shapes the reference files do not have (deep trees, descending
// and binary-keyed tags, foreign collations).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

#include "XbaseFixtures.h"
#include "XbaseTestUtil.h"

namespace {

using xbtest::CdxBytes;
using xbtest::DbfBytes;
using xbtest::Engine;
using xbtest::KeyList;
using xbtest::TableDef;
using xbtest::TagDef;
using xbtest::TempFolder;

// Record i (from 1) of the test table carries the name "K<n>" with many
// duplicates, so that equal keys straddle leaf boundaries.
std::string NameOf(int i) {
    char text[16];
    std::snprintf(text, sizeof text, "K%03d", (i * 37) % 97);
    return text;
}

struct Shape {
    const char* label;
    int maxPerLeaf;
    int maxPerInterior;
    bool optimize;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const Shape& c, std::ostream* os) {
    *os << c.label;
}

class TreeShapeTest : public ::testing::TestWithParam<Shape> {};

TEST_P(TreeShapeTest, WalkAndSeekAgreeWithSortedKeys) {
    const Shape shape = GetParam();
    constexpr int kRecords = 600;
    TempFolder folder;
    TableDef table;
    table.fields = {{"NAME", 'C', 12}, {"ID", 'N', 5}};
    TagDef tag = xbtest::Tag("NAME", "NAME", 12);
    tag.maxPerLeaf = shape.maxPerLeaf;
    tag.maxPerInterior = shape.maxPerInterior;
    KeyList sorted;
    for (int i = 1; i <= kRecords; ++i) {
        table.records.push_back({NameOf(i), std::to_string(i)});
        tag.entries.emplace_back(NameOf(i), i);
        sorted.emplace_back(NameOf(i) + std::string(8, ' '), i);
    }
    std::sort(sorted.begin(), sorted.end());
    table.flags = 0x01;
    folder.Write("t.dbf", DbfBytes(table));
    const auto image = CdxBytes({tag});
    ASSERT_GE(image.tags[0].levels.size(), shape.maxPerLeaf < 10 ? 3u : 1u);
    folder.Write("t.cdx", image.bytes);

    Engine engine;
    if (shape.optimize) code4optStart(engine);
    XBDATA* data = d4open(engine, folder.File("t.dbf").c_str());
    ASSERT_NE(data, nullptr) << engine.TakeError();
    XBTAG* name = d4tag(data, "NAME");
    d4tagSelectP(data, name);

    EXPECT_EQ(xbtest::WalkTag(data, name), sorted);
    EXPECT_EQ(xbtest::WalkTag(data, name, true), KeyList(sorted.rbegin(), sorted.rend()));

    // Every key: the first duplicate, then seekNext through the rest.
    for (size_t i = 0; i < sorted.size();) {
        const std::string text = xbtest::TrimRight(sorted[i].first);
        ASSERT_EQ(d4seek(data, text.c_str()), XB_SUCCESS) << text;
        ASSERT_EQ(d4recNo(data), sorted[i].second) << text;
        size_t j = i + 1;
        for (; j < sorted.size() && sorted[j].first == sorted[i].first; ++j) {
            ASSERT_EQ(d4seekNext(data, text.c_str()), XB_SUCCESS) << text;
            ASSERT_EQ(d4recNo(data), sorted[j].second) << text;
        }
        ASSERT_EQ(d4seekNext(data, text.c_str()), j < sorted.size() ? XB_AFTER : XB_EOF);
        i = j;
    }
    // A prefix matches a run of keys across leaves.
    ASSERT_EQ(d4seek(data, "K01"), XB_SUCCESS);
    int run = 1;
    while (d4seekNext(data, "K01") == XB_SUCCESS) ++run;
    EXPECT_EQ(run, std::count_if(sorted.begin(), sorted.end(),
                                 [](const auto& e) { return e.first.rfind("K01", 0) == 0; }));
    // Absent keys land on the next greater one.
    EXPECT_EQ(d4seek(data, "K0005"), XB_AFTER);
    EXPECT_EQ(std::string(t4key(name), 4), "K001");
    EXPECT_EQ(d4seek(data, "A"), XB_AFTER);
    EXPECT_EQ(d4recNo(data), sorted.front().second);
    EXPECT_EQ(d4seek(data, "L"), XB_EOF);
    EXPECT_EQ(engine.TakeError(), 0);
}

INSTANTIATE_TEST_SUITE_P(Shapes, TreeShapeTest,
                         ::testing::Values(Shape{"RootLeafs", 1000, 1000, false},
                                           Shape{"Deep", 3, 2, false},
                                           Shape{"DeepCached", 3, 2, true},
                                           Shape{"OneKeyPerLeaf", 1, 3, true}),
                         [](const auto& info) { return std::string(info.param.label); });

class SmallTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        TableDef table;
        table.fields = {{"CODE", 'C', 4}, {"QTY", 'N', 6, 1}, {"NOTE", 'C', 8}};
        table.records = {{"AB", "  42.5", "first"},
                         {"CD", " -17.0", "second"},
                         {"AA", "      ", "third"},
                         {"CD", "   3.0", "fourth"},
                         {"B", "abc", "fifth"}};
        table.deleted = {2};
        table.flags = 0x01;
        m_folder.Write("small.dbf", DbfBytes(table));
        TagDef code = xbtest::Tag("CODE", "CODE", 4);
        TagDef down = xbtest::Tag("CODEDOWN", "CODE", 4);
        down.descending = true;
        for (size_t i = 0; i < table.records.size(); ++i) {
            code.entries.emplace_back(table.records[i][0], i + 1);
            down.entries.emplace_back(table.records[i][0], i + 1);
        }
        // Mixed case on disk: the index is found all the same.
        m_folder.Write("Small.Cdx", CdxBytes({code, down}).bytes);
        m_data = d4open(m_engine, m_folder.File("small.dbf").c_str());
        ASSERT_NE(m_data, nullptr) << m_engine.TakeError();
    }

    std::vector<long> Walk(int firstRc, long step) {
        std::vector<long> recs;
        for (int rc = firstRc; rc == XB_SUCCESS; rc = d4skip(m_data, step)) {
            recs.push_back(d4recNo(m_data));
        }
        return recs;
    }

    TempFolder m_folder;
    Engine m_engine;
    XBDATA* m_data = nullptr;
};

TEST_F(SmallTableTest, RecordOrderTopBottomSkip) {
    EXPECT_EQ(d4eof(m_data), 1) << "not on a record before the first positioning";
    EXPECT_EQ(Walk(d4top(m_data), 1), (std::vector<long>{1, 2, 3, 4, 5}));
    EXPECT_EQ(d4eof(m_data), 1);
    EXPECT_EQ(d4recNo(m_data), 0);
    EXPECT_EQ(d4skip(m_data, 1), XB_EOF);
    EXPECT_EQ(d4skip(m_data, -1), XB_SUCCESS) << "back from past the end";
    EXPECT_EQ(d4recNo(m_data), 5);
    EXPECT_EQ(Walk(d4bottom(m_data), -2), (std::vector<long>{5, 3, 1}));
    EXPECT_EQ(d4recNo(m_data), 1) << "before the first stays on the first";
    EXPECT_EQ(d4skip(m_data, 3), XB_SUCCESS);
    EXPECT_EQ(d4recNo(m_data), 4);
    EXPECT_EQ(d4skip(m_data, 2), XB_EOF);
    EXPECT_EQ(m_engine.TakeError(), 0);
}

TEST_F(SmallTableTest, TagOrderAscendingAndDescending) {
    d4tagSelectP(m_data, d4tag(m_data, "code"));
    EXPECT_EQ(Walk(d4top(m_data), 1), (std::vector<long>{3, 1, 5, 2, 4}));
    EXPECT_EQ(Walk(d4bottom(m_data), -1), (std::vector<long>{4, 2, 5, 1, 3}));
    ASSERT_EQ(d4top(m_data), XB_SUCCESS);
    EXPECT_EQ(d4skip(m_data, 3), XB_SUCCESS);
    EXPECT_EQ(d4recNo(m_data), 2);
    EXPECT_EQ(d4skip(m_data, -10), XB_BOF);
    EXPECT_EQ(d4recNo(m_data), 3);

    XBTAG* down = d4tag(m_data, "CODEDOWN");
    EXPECT_EQ(t4descending(down), 1);
    d4tagSelectP(m_data, down);
    EXPECT_EQ(Walk(d4top(m_data), 1), (std::vector<long>{4, 2, 5, 1, 3}));
    // The first match in descending order, then on through the duplicates.
    EXPECT_EQ(d4seek(m_data, "CD"), XB_SUCCESS);
    EXPECT_EQ(d4recNo(m_data), 4);
    EXPECT_EQ(d4seekNext(m_data, "CD"), XB_SUCCESS);
    EXPECT_EQ(d4recNo(m_data), 2);
    EXPECT_EQ(d4seekNext(m_data, "CD"), XB_AFTER);
    EXPECT_EQ(d4recNo(m_data), 5);
    EXPECT_EQ(d4seek(m_data, "AB5"), XB_AFTER) << "the next key in descending order";
    EXPECT_EQ(d4recNo(m_data), 1);
    EXPECT_EQ(d4seek(m_data, "A"), XB_SUCCESS);
    EXPECT_EQ(d4recNo(m_data), 1);
    EXPECT_EQ(d4seek(m_data, "0"), XB_EOF);
    EXPECT_EQ(m_engine.TakeError(), 0);
}

TEST_F(SmallTableTest, ChangingOrderKeepsTheRecord) {
    ASSERT_EQ(d4top(m_data), XB_SUCCESS);
    ASSERT_EQ(d4skip(m_data, 4), XB_SUCCESS);  // record 5, "B"
    XBTAG* code = d4tag(m_data, "CODE");
    d4tagSelectP(m_data, code);
    EXPECT_EQ(t4key(code), nullptr) << "no key until positioned in this tag";
    EXPECT_EQ(d4skip(m_data, 1), XB_SUCCESS);
    EXPECT_EQ(d4recNo(m_data), 2) << "the record after \"B\" in CODE order";
    EXPECT_STREQ(t4key(code), "CD  ");
    d4tagSelectP(m_data, nullptr);
    EXPECT_EQ(d4tagSelected(m_data), nullptr);
    EXPECT_EQ(t4key(code), nullptr);
    EXPECT_EQ(d4skip(m_data, 1), XB_SUCCESS);
    EXPECT_EQ(d4recNo(m_data), 3);
    EXPECT_EQ(d4seek(m_data, "AB"), XB_E_TAG) << "seek needs a tag";
    EXPECT_EQ(m_engine.TakeError(), XB_E_TAG);
}

TEST_F(SmallTableTest, FieldsReadAsStored) {
    XBFIELD* code = d4field(m_data, "code");
    XBFIELD* qty = d4field(m_data, "Qty");
    ASSERT_NE(code, nullptr);
    ASSERT_NE(qty, nullptr);
    EXPECT_STREQ(f4name(qty), "QTY");
    EXPECT_EQ(f4type(qty), 'N');
    EXPECT_EQ(f4len(qty), 6u);
    EXPECT_EQ(f4decimals(qty), 1);
    EXPECT_EQ(d4numFields(m_data), 3);
    EXPECT_EQ(d4fieldJ(m_data, 3), d4field(m_data, "NOTE"));

    // No current record: blanks of the field's width, and an error.
    EXPECT_STREQ(f4str(code), "    ");
    EXPECT_EQ(m_engine.TakeError(), XB_E_NO_RECORD);
    EXPECT_EQ(m_engine.TakeError(), 0) << "reading the code resets it";

    struct Row {
        const char* code;
        long qty;
        int deleted;
    } rows[] = {{"AB  ", 42, 0}, {"CD  ", -17, 1}, {"AA  ", 0, 0}, {"CD  ", 3, 0}, {"B   ", 0, 0}};
    ASSERT_EQ(d4top(m_data), XB_SUCCESS);
    for (const Row& row : rows) {
        EXPECT_STREQ(f4str(code), row.code) << "exactly the width, blank-padded";
        EXPECT_EQ(f4int(qty), row.qty);
        EXPECT_EQ(d4deleted(m_data), row.deleted) << "deleted records read like live ones";
        d4skip(m_data, 1);
    }

    EXPECT_EQ(d4field(m_data, "MISSING"), nullptr);
    EXPECT_EQ(d4fieldJ(m_data, 4), nullptr);
    EXPECT_EQ(d4fieldJ(m_data, 0), nullptr);
    EXPECT_EQ(m_engine.TakeError(), XB_E_FIELD) << "the first error wins";
}

TEST(XbaseOpenTest, ProductionIndexPresenceDecides) {
    TempFolder folder;
    TableDef table;
    table.fields = {{"NAME", 'C', 8}};
    table.records = {{"X"}};
    Engine engine;

    table.flags = 0x01;  // announces an index that is not there
    folder.Write("lost.dbf", DbfBytes(table));
    EXPECT_EQ(d4open(engine, folder.File("lost.dbf").c_str()), nullptr);
    EXPECT_EQ(engine.TakeError(), XB_E_OPEN);

    table.flags = 0;
    folder.Write("plain.dbf", DbfBytes(table));
    XBDATA* plain = d4open(engine, folder.File("plain.dbf").c_str());
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(d4tagNext(plain, nullptr), nullptr);
    EXPECT_EQ(d4top(plain), XB_SUCCESS);
    EXPECT_EQ(engine.TakeError(), 0);

    EXPECT_EQ(d4open(engine, folder.File("absent.dbf").c_str()), nullptr);
    EXPECT_EQ(engine.TakeError(), XB_E_OPEN);
    EXPECT_EQ(d4open(engine, folder.Path().c_str()), nullptr) << "a folder is not a table";
    EXPECT_EQ(engine.TakeError(), XB_E_OPEN);

    table.records.clear();
    folder.Write("empty.dbf", DbfBytes(table));
    XBDATA* empty = d4open(engine, folder.File("empty.dbf").c_str());
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(d4recCount(empty), 0);
    EXPECT_EQ(d4top(empty), XB_EOF);
    EXPECT_EQ(d4bottom(empty), XB_EOF);
    EXPECT_EQ(d4eof(empty), 1);
}

TEST(XbaseOpenTest, ForeignCollationIsRefusedOnUse) {
    TempFolder folder;
    TableDef table;
    table.fields = {{"NAME", 'C', 8}};
    table.records = {{"b"}, {"A"}};
    table.flags = 0x01;
    folder.Write("t.dbf", DbfBytes(table));
    TagDef general = xbtest::Tag("GEN", "NAME", 8);
    general.collation = "GENERAL";
    TagDef machine = xbtest::Tag("MACH", "NAME", 8);
    machine.collation = "MACHINE";
    for (TagDef* t : {&general, &machine}) t->entries = {{"b", 1}, {"A", 2}};
    folder.Write("t.cdx", CdxBytes({general, machine}).bytes);

    Engine engine;
    XBDATA* data = d4open(engine, folder.File("t.dbf").c_str());
    ASSERT_NE(data, nullptr) << "the table opens; only the foreign tag is refused";
    XBTAG* gen = d4tag(data, "GEN");
    ASSERT_NE(gen, nullptr);
    d4tagSelectP(data, gen);
    EXPECT_EQ(engine.TakeError(), XB_E_COLLATE);
    EXPECT_EQ(d4tagSelected(data), gen) << "no silent fall-back to another order";
    EXPECT_EQ(d4top(data), XB_E_COLLATE);
    EXPECT_EQ(d4seek(data, "A"), XB_E_COLLATE);
    EXPECT_EQ(d4eof(data), 1);
    EXPECT_EQ(engine.TakeError(), XB_E_COLLATE);

    d4tagSelectP(data, d4tag(data, "MACH"));
    EXPECT_EQ(d4seek(data, "A"), XB_SUCCESS);
    EXPECT_EQ(d4recNo(data), 2);
    EXPECT_EQ(engine.TakeError(), 0);
}

TEST(XbaseOpenTest, BinaryKeysSeekByValue) {
    TempFolder folder;
    TableDef table;
    table.fields = {{"N", 'I', 4}, {"AMOUNT", 'N', 8, 2}, {"DAY", 'D', 8}};
    const int32_t ints[] = {-5, 7, 300, -70000};
    const double amounts[] = {3.5, -2.25, 1000, 0};
    const char* days[] = {"20260101", "19991231", "20000229", "20260102"};
    TagDef n = xbtest::Tag("N", "N", 4);
    n.binaryKeys = true;
    TagDef amount = xbtest::Tag("AMOUNT", "amount", 8);
    amount.binaryKeys = true;
    TagDef day = xbtest::Tag("DAY", "t.day", 8);
    day.binaryKeys = true;
    auto be = [](uint64_t v, int bytes) {
        std::string s;
        for (int i = bytes - 1; i >= 0; --i) s += static_cast<char>((v >> (8 * i)) & 0xFF);
        return s;
    };
    auto numberKey = [&](double v) {
        uint64_t bits = 0;
        std::memcpy(&bits, &v, 8);
        return be((bits >> 63) ? ~bits : bits | (uint64_t{1} << 63), 8);
    };
    const double julian[] = {2461042, 2451544, 2451604, 2461043};
    for (uint32_t i = 0; i < 4; ++i) {
        std::string raw(4, '\0');
        std::memcpy(raw.data(), &ints[i], 4);  // little-endian in the record
        table.records.push_back({raw, std::to_string(amounts[i]).substr(0, 8), days[i]});
        n.entries.emplace_back(be(static_cast<uint32_t>(ints[i]) ^ 0x80000000u, 4), i + 1);
        amount.entries.emplace_back(numberKey(amounts[i]), i + 1);
        day.entries.emplace_back(numberKey(julian[i]), i + 1);
    }
    folder.Write("t.dbf", DbfBytes(table));
    folder.Write("t.cdx", CdxBytes({n, amount, day}).bytes);
    Engine engine;
    XBDATA* data = d4open(engine, folder.File("t.dbf").c_str());
    ASSERT_NE(data, nullptr) << engine.TakeError();
    EXPECT_EQ(f4int(d4field(data, "N")), 0);
    engine.TakeError();

    struct Case {
        const char* tag;
        const char* text;
        int result;
        long rec;
    } cases[] = {
        {"N", "-5", XB_SUCCESS, 1},
        {"N", " 300 ", XB_SUCCESS, 3},
        {"N", "-70000", XB_SUCCESS, 4},
        {"N", "8", XB_AFTER, 3},
        {"N", "301", XB_EOF, 0},
        {"N", "", XB_SUCCESS, 4},
        {"N", "x", XB_E_ARGUMENT, 0},
        {"N", "99999999999", XB_E_ARGUMENT, 0},
        {"AMOUNT", "3.5", XB_SUCCESS, 1},
        {"AMOUNT", "-2.25", XB_SUCCESS, 2},
        {"AMOUNT", "0", XB_SUCCESS, 4},
        {"AMOUNT", "-1", XB_AFTER, 4},
        {"DAY", "20000229", XB_SUCCESS, 3},
        {"DAY", "20260101", XB_SUCCESS, 1},
        {"DAY", "20000101", XB_AFTER, 3},
        {"DAY", "2000-1-1", XB_E_ARGUMENT, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.tag) + " " + c.text);
        d4tagSelectP(data, d4tag(data, c.tag));
        EXPECT_EQ(d4seek(data, c.text), c.result);
        EXPECT_EQ(d4recNo(data), c.rec);
        if (c.result < 0) {
            EXPECT_EQ(engine.TakeError(), c.result);
        }
    }
    // The walk restores binary keys with trailing NULs, not blanks.
    d4tagSelectP(data, d4tag(data, "N"));
    ASSERT_EQ(d4seek(data, "300"), XB_SUCCESS);
    EXPECT_EQ(std::string(t4key(d4tag(data, "N")), 4), be(300u ^ 0x80000000u, 4));
    EXPECT_EQ(f4int(d4field(data, "N")), 300);
    EXPECT_EQ(engine.TakeError(), 0);
}

}  // namespace
