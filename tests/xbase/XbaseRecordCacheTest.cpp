// Records read through the record cache (read optimisation on) are the
// records of the file: for every record length, cold, warm and after the
// cache was dropped; and a table changed while open still gives errors for
// what is no longer there.
#include <gtest/gtest.h>

#include <unistd.h>
#include <cstdio>
#include <string>
#include <vector>

#include "XbaseFixtures.h"
#include "XbaseTestUtil.h"

namespace {

using xbtest::Engine;
using xbtest::FieldDef;
using xbtest::TableDef;
using xbtest::TempFolder;

// Field values that differ in every record and every field, so that a record
// taken from the wrong place of a block, or a block of another table, shows.
std::string ValueOf(int record, size_t field, int length, int seed) {
    char head[64];
    std::snprintf(head, sizeof head, "%d:%zu:%d:", seed, field, record);
    std::string value(head);
    while (value.size() < static_cast<size_t>(length)) {
        value += static_cast<char>('A' + (record + static_cast<int>(field) + seed) % 26);
    }
    value.resize(static_cast<size_t>(length));
    return value;
}

// NAME first (the scattered tag's key), then filler fields up to the length.
TableDef MakeTable(int recordLength, int records, int seed) {
    TableDef table;
    table.fields = {{"NAME", 'C', 10}};
    int left = recordLength - 1 - 10;
    for (int i = 1; left > 0; ++i) {
        const int width = left < 255 ? left : 255;
        table.fields.push_back({"F" + std::to_string(i), 'C', width});
        left -= width;
    }
    for (int r = 1; r <= records; ++r) {
        std::vector<std::string> values;
        for (size_t f = 0; f < table.fields.size(); ++f) {
            values.push_back(ValueOf(r, f, table.fields[f].length, seed));
        }
        table.records.push_back(values);
        if (r % 7 == 3) table.deleted.push_back(static_cast<uint32_t>(r));
    }
    return table;
}

// The NAME tag visits the records out of file order.
std::string ScatteredKey(int record, int records) {
    char key[16];
    std::snprintf(key, sizeof key, "%010d", static_cast<int>((record * 7919L) % records));
    return key;
}

// Reads the current record and compares every field; "" when it matches.
std::string Mismatch(XBDATA* data, const TableDef& table) {
    const long r = d4recNo(data);
    if (r < 1) return "no current record";
    const auto& expected = table.records[static_cast<size_t>(r - 1)];
    for (size_t f = 0; f < expected.size(); ++f) {
        const std::string got = f4str(d4fieldJ(data, static_cast<short>(f + 1)));
        if (got != expected[f]) return "record " + std::to_string(r) + " field " + std::to_string(f);
    }
    const bool deleted = r % 7 == 3;
    if (d4deleted(data) != (deleted ? 1 : 0)) return "deletion mark of " + std::to_string(r);
    return "";
}

struct Shape {
    const char* label;
    int recordLength;
    int records;
};

void PrintTo(const Shape& c, std::ostream* os) {
    *os << c.label;
}

// 4096-byte blocks of whole records: many, a whole number, one, and none
// (records longer than a block are read directly), with a last block that
// is partly filled; and more blocks than the cache holds (1,024), so that
// blocks are evicted and, with the cache full, read whole on a second miss.
const Shape kShapes[] = {
    {"ShortRecordsPartLastBlock", 18, 1000},
    {"BlockHoldsWholeNumber", 512, 80},
    {"OneRecordAndSpareBytes", 2049, 9},
    {"LongerThanABlock", 4298, 5},
    {"SingleRecordTable", 40, 1},
    {"MoreBlocksThanTheCacheHolds", 2049, 1500},
};

class RecordCacheTest : public ::testing::TestWithParam<Shape> {};

TEST_P(RecordCacheTest, EveryPassReadsTheFileRecords) {
    const Shape shape = GetParam();
    const TableDef table = MakeTable(shape.recordLength, shape.records, 1);
    xbtest::TagDef tag = xbtest::Tag("NAME", "NAME", 10);
    for (int r = 1; r <= shape.records; ++r) tag.entries.emplace_back(ScatteredKey(r, shape.records), r);
    TempFolder folder;
    folder.Write("t.dbf", xbtest::DbfBytes(table));
    folder.Write("t.cdx", xbtest::CdxBytes({tag}).bytes);
    // Cold, warm and after suspending: in file order, backwards, and in the
    // scattered tag order.
    struct Pass {
        const char* label;
        bool optimize;
        bool suspendFirst;
        bool byTag;
        bool backwards;
    };
    const Pass kPasses[] = {
        {"plain", false, false, false, false},  {"cold", true, false, false, false},
        {"warm", true, false, false, false},    {"backwards", true, false, false, true},
        {"tag order", true, false, true, false},    {"tag order again", true, false, true, true},
        {"suspended", false, true, false, false},   {"restarted", true, false, true, false},
    };
    Engine engine;
    XBDATA* data = d4open(engine, folder.File("t.dbf").c_str());
    ASSERT_NE(data, nullptr) << engine.TakeError();
    XBTAG* nameTag = d4tag(data, "NAME");
    for (const Pass& pass : kPasses) {
        SCOPED_TRACE(pass.label);
        if (pass.suspendFirst) code4optSuspend(engine);
        if (pass.optimize) code4optStart(engine);
        d4tagSelectP(data, pass.byTag ? nameTag : nullptr);
        int rc = pass.backwards ? d4bottom(data) : d4top(data);
        int seen = 0;
        while (rc == XB_SUCCESS && seen <= shape.records) {
            ASSERT_EQ(Mismatch(data, table), "");
            ++seen;
            rc = d4skip(data, pass.backwards ? -1 : 1);
        }
        EXPECT_EQ(seen, shape.records);
        EXPECT_EQ(engine.TakeError(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Shapes, RecordCacheTest, ::testing::ValuesIn(kShapes),
                         [](const auto& info) { return std::string(info.param.label); });

// Seeks in random order with the caches far smaller than the table (down
// to none), so that records, pages and decoded leaves are evicted all the
// time and the leaf a table stands on outlives its cache entry: every seek
// must still stand on its own record, whole. The tag is three levels deep,
// so seeks also go through the flattened level above the leaves.
struct Budget {
    const char* label;
    long indexBytes;
    long recordBytes;
};

void PrintTo(const Budget& c, std::ostream* os) {
    *os << c.label;
}

const Budget kBudgets[] = {
    {"NoCaches", 0, 0},
    {"TinyCaches", 4 * 512, 4096},
    {"DefaultCaches", 64L << 20, 48L << 20},
};

class RecordCacheEvictionTest : public ::testing::TestWithParam<Budget> {};

TEST_P(RecordCacheEvictionTest, RandomSeeksStandOnTheirRecords) {
    constexpr int kRecords = 20000;
    const TableDef table = MakeTable(40, kRecords, 3);
    xbtest::TagDef tag = xbtest::Tag("NAME", "NAME", 10);
    for (int r = 1; r <= kRecords; ++r) tag.entries.emplace_back(ScatteredKey(r, kRecords), r);
    TempFolder folder;
    folder.Write("t.dbf", xbtest::DbfBytes(table));
    folder.Write("t.cdx", xbtest::CdxBytes({tag}).bytes);
    Engine engine;
    code4optStart(engine);
    ASSERT_EQ(code4indexCacheSize(engine, GetParam().indexBytes), XB_SUCCESS);
    ASSERT_EQ(code4recordCacheSize(engine, GetParam().recordBytes), XB_SUCCESS);
    XBDATA* data = d4open(engine, folder.File("t.dbf").c_str());
    ASSERT_NE(data, nullptr) << engine.TakeError();
    d4tagSelectP(data, d4tag(data, "NAME"));
    uint64_t x = 12345;
    for (int pass = 0; pass < 3; ++pass) {
        for (int i = 0; i < kRecords; ++i) {
            x = x * 6364136223846793005ull + 1442695040888963407ull;
            const int r = 1 + static_cast<int>((x >> 33) % kRecords);
            ASSERT_EQ(d4seek(data, ScatteredKey(r, kRecords).c_str()), XB_SUCCESS) << r;
            ASSERT_EQ(d4recNo(data), r);
            ASSERT_EQ(Mismatch(data, table), "");
            // Now and then a step on from there, onto the next key's record.
            if (i % 97 == 0 && d4skip(data, 1) == XB_SUCCESS) ASSERT_EQ(Mismatch(data, table), "");
        }
    }
    EXPECT_EQ(engine.TakeError(), 0);
}

INSTANTIATE_TEST_SUITE_P(Budgets, RecordCacheEvictionTest, ::testing::ValuesIn(kBudgets),
                         [](const auto& info) { return std::string(info.param.label); });

// 1,000 records of 18 bytes: 227 to a block, so five blocks.
class RecordCacheChangeTest : public ::testing::Test {
protected:
    static constexpr int kRecords = 1000;
    void SetUp() override {
        m_table = MakeTable(18, kRecords, 1);
        m_folder.Write("t.dbf", xbtest::DbfBytes(m_table));
        code4optStart(m_engine);
        m_data = d4open(m_engine, m_folder.File("t.dbf").c_str());
        ASSERT_NE(m_data, nullptr);
    }
    // Stands on record r and reads it; the code of the read, or of the step.
    int Read(long r) {
        int rc = d4top(m_data);
        if (rc == XB_SUCCESS && r > 1) rc = d4skip(m_data, r - 1);
        if (rc != XB_SUCCESS) return rc;
        m_engine.TakeError();
        const std::string name = f4str(d4field(m_data, "NAME"));
        if (int error = m_engine.TakeError(); error != 0) return error;
        return name == m_table.records[static_cast<size_t>(r - 1)][0] ? 0 : 1;
    }
    // Reads each record twice; its block is then cached.
    void Cache(std::initializer_list<long> records) {
        for (int pass = 0; pass < 2; ++pass) {
            for (long r : records) ASSERT_EQ(Read(r), 0) << r;
        }
    }
    uint32_t HeaderLength() const { return 32 + 32 * 2 + 1; }

    TempFolder m_folder;
    Engine m_engine;
    TableDef m_table;
    XBDATA* m_data = nullptr;
};

struct Step {
    long record;
    int code;  // 0: read and matched
    const char* why;
};

TEST_F(RecordCacheChangeTest, TruncatedTableIsServedFromTheCacheUntilSuspended) {
    Cache({10, 600});
    ASSERT_EQ(::truncate(m_folder.File("t.dbf").c_str(), HeaderLength()), 0);
    EXPECT_EQ(Read(600), 0) << "served from the record cache";
    code4optSuspend(m_engine);
    EXPECT_EQ(Read(600), XB_E_DATA) << "read again: the header no longer fits the file";
    EXPECT_EQ(d4eof(m_data), 1);
}

TEST_F(RecordCacheChangeTest, OverwrittenTableFailsForEveryRecordNotCached) {
    Cache({5});
    const std::string zeros(HeaderLength() + kRecords * 18, '\0');
    m_folder.Write("t.dbf", zeros);
    const Step kSteps[] = {
        {5, 0, "block 0 is cached"},
        {800, XB_E_DATA, "a read notices the change; the new file is no table"},
        {801, XB_E_DATA, "and stays refused"},
    };
    for (const Step& step : kSteps) {
        EXPECT_EQ(Read(step.record), step.code) << step.why;
    }
    code4optSuspend(m_engine);
    EXPECT_EQ(Read(5), XB_E_DATA) << "suspending dropped block 0 as well";
}

TEST_F(RecordCacheChangeTest, ClosedTableLeavesNothingForTheNextOpen) {
    Cache({1, 500, 1000});
    ASSERT_EQ(d4close(m_data), XB_SUCCESS);
    // The same layout with other values, under the same name and in a second
    // table open beside it.
    m_table = MakeTable(18, kRecords, 2);
    m_folder.Write("t.dbf", xbtest::DbfBytes(m_table));
    const TableDef other = MakeTable(18, kRecords, 3);
    m_folder.Write("u.dbf", xbtest::DbfBytes(other));
    m_data = d4open(m_engine, m_folder.File("t.dbf").c_str());
    ASSERT_NE(m_data, nullptr);
    XBDATA* beside = d4open(m_engine, m_folder.File("u.dbf").c_str());
    ASSERT_NE(beside, nullptr);
    for (int pass = 0; pass < 3; ++pass) {
        for (long r : {1L, 500L, 1000L}) {
            EXPECT_EQ(Read(r), 0) << r;
            ASSERT_EQ(d4top(beside), XB_SUCCESS);
            ASSERT_EQ(d4skip(beside, r - 1), XB_SUCCESS);
            EXPECT_EQ(std::string(f4str(d4field(beside, "NAME"))),
                      other.records[static_cast<size_t>(r - 1)][0]);
        }
    }
    EXPECT_EQ(m_engine.TakeError(), 0);
}

}  // namespace
