// The table layer over real tables: reference files made by Visual FoxPro and
// small tables written byte by byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <numeric>
#include <random>

#include "Cbdb.h"
#include "Sortlist.h"
#include "TestSupport.h"
#include "XbaseFixtures.h"

namespace {

using xbtest::TableDef;
using xbtest::TempFolder;

const std::string kFoxPro = std::string(ONDRIK_REFERENCE_DIR) + "/foxpro/";

// Expects the call to raise exactly this message (a table layer error).
template <typename Error = ECBDBError, typename Call>
void ExpectMessage(Call&& call, const std::string& message) {
    ::ExpectMessage<Error>(std::forward<Call>(call), message);
}

// --- TSortedList -----------------------------------------------------------

int CompareInts(const void* a, const void* b) {
    const int x = *static_cast<const int*>(a);
    const int y = *static_cast<const int*>(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

// Lists of even numbers; sizes on both sides of the switch to bisection.
class SortedListTest : public ::testing::TestWithParam<int> {};

TEST_P(SortedListTest, FindAndAddKeepOrderBySearchRule) {
    const int count = GetParam();
    std::vector<int> values(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) values[static_cast<size_t>(i)] = 2 * (i + 1);
    std::vector<int> order(values);
    std::shuffle(order.begin(), order.end(), std::mt19937(7));
    TSortedList list(CompareInts);
    for (int& v : order) list.Add(&*std::find(values.begin(), values.end(), v));
    ASSERT_EQ(list.Count(), count);
    for (int i = 0; i < count; ++i) {
        ASSERT_EQ(*static_cast<int*>(list.Items(i)), 2 * (i + 1));
    }
    for (int i = 0; i < count; ++i) {
        const int probe = 2 * (i + 1);
        ASSERT_TRUE(list.Find(&probe));
        EXPECT_EQ(list.CurrentIndex(), i);
        EXPECT_EQ(*static_cast<int*>(list.Current()), probe);
    }
    const int before = list.CurrentIndex();
    for (int odd : {-1, 1, 2 * count + 1, count | 1}) {
        EXPECT_FALSE(list.Find(&odd));
        EXPECT_EQ(list.CurrentIndex(), before) << "unchanged when not found";
    }
    // New items go just after the last smaller one.
    int smallest = 0;
    int middle = count | 1;
    int largest = 2 * count + 1;
    EXPECT_EQ(list.Add(&smallest), 0);
    EXPECT_EQ(list.Add(&largest), count + 1);
    EXPECT_EQ(list.Add(&middle), (middle + 1) / 2);
    for (int i = 1; i < list.Count(); ++i) {
        ASSERT_LT(*static_cast<int*>(list.Items(i - 1)), *static_cast<int*>(list.Items(i)));
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, SortedListTest, ::testing::Values(1, 5, 127, 128, 200));

TEST(SortedListErrors, DuplicatesAndMissingCompareRaise) {
    int a = 1;
    int alsoOne = 1;
    TSortedList list(CompareInts);
    list.Add(&a);
    ExpectMessage<ESortedListError>([&] { list.Add(&alsoOne); },
                                    "Inserting item that already exists in sorted list.");
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Current(), nullptr) << "CurrentIndex starts at -1";

    TSortedList bare;
    const std::string noCompare = "Compare function not assigned for sorted list.";
    ExpectMessage<ESortedListError>([&] { bare.Add(&a); }, noCompare);
    ExpectMessage<ESortedListError>([&] { bare.Find(&a); }, noCompare);
    ExpectMessage<ESortedListError>([&] { bare.Delete(0); }, "List index out of bounds (0)");
}

// --- Database, tables, data layer -------------------------------------------

// A table CODE C(4), KEY C(5), with a tag on each (KEYDOWN descending).
struct KeyedTable {
    std::vector<std::pair<std::string, std::string>> rows;  // CODE, KEY
    bool descendingKeys = false;
};

void WriteKeyedTable(const TempFolder& folder, const std::string& name, const KeyedTable& t) {
    TableDef table;
    table.fields = {{"CODE", 'C', 4}, {"KEY", 'C', 5}};
    table.flags = 0x01;
    xbtest::TagDef code = xbtest::Tag("CODE", "CODE", 4);
    xbtest::TagDef key = xbtest::Tag("KEYTAG", "KEY", 5);
    key.descending = t.descendingKeys;
    uint32_t rec = 0;
    for (const auto& [c, k] : t.rows) {
        table.records.push_back({c, k});
        code.entries.emplace_back(c, ++rec);
        key.entries.emplace_back(k, rec);
    }
    folder.Write(name + ".dbf", xbtest::DbfBytes(table));
    folder.Write(name + ".cdx", xbtest::CdxBytes({code, key}).bytes);
}

class TableLayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        WriteKeyedTable(m_folder, "codes", {{{"AB", "41"}, {"CD", "40"}, {"A", "7"}}});
    }
    bool HaveReference() const { return std::filesystem::exists(kFoxPro + "setup.dbf"); }

    TempFolder m_folder;
    TCBDatabase m_db;
};

TEST_F(TableLayerTest, TableNumbersKeepRising) {
    int32_t first = 0;
    int32_t second = 0;
    int32_t third = 0;
    m_db.AddTable("codes.dbf", m_folder.Path(), false, first);
    m_db.AddTable("codes.dbf", m_folder.Path(), true, second);
    m_db.AddTable("codes.dbf", m_folder.Path(), false, third);
    EXPECT_EQ(std::vector<int32_t>({first, second, third}), std::vector<int32_t>({1, 2, 3}));
    m_db.RemoveTable(2);
    TTableHolder* holder = nullptr;
    EXPECT_FALSE(m_db.FindTable(2, holder));
    int32_t again = 0;
    TCBTable* table = m_db.AddTable("codes.dbf", m_folder.Path(), false, again);
    EXPECT_EQ(again, 4) << "never 2 again";
    ASSERT_TRUE(m_db.FindTable(4, holder));
    EXPECT_EQ(&holder->Table(), table);
    EXPECT_EQ(m_db.TableCount(), 3);
    m_db.RemoveTable(99);  // nothing registered under 99: nothing happens
    EXPECT_EQ(m_db.TableCount(), 3);
}

TEST_F(TableLayerTest, AddTableFailures) {
    int32_t id = 0;
    ExpectMessage([&] { m_db.AddTable("nothere.dbf", m_folder.Path(), true, id); },
                  "Cannot add table to database that does not exist\r\nTable, " + m_folder.Path() +
                      "nothere.dbf, not found.");
    EXPECT_EQ(m_db.TableCount(), 0) << "nothing registered";
    EXPECT_EQ(m_db.LastTableID(), 0);

    const std::string longName = std::string(260, 'x') + ".dbf";
    EXPECT_THROW(m_db.AddTable(longName, m_folder.Path(), false, id), ECBDBError);
    EXPECT_EQ(m_db.TableCount(), 0);

    // Opening fails: the table stays registered, closed, and the read-only
    // mode is as it was.
    m_folder.Write("junk.dbf", "not a table at all, just text");
    ExpectMessage([&] { m_db.AddTable("junk.dbf", m_folder.Path(), true, id); },
                  "Error opening table " + m_folder.Path() + "junk.dbf - error code: -80");
    TTableHolder* holder = nullptr;
    ASSERT_TRUE(m_db.FindTable(id, holder));
    EXPECT_FALSE(holder->Table().IsOpen());
    holder->Table().SetReadOnly(true);
    EXPECT_THROW(holder->Table().Open(), ECBDBError);
    EXPECT_FALSE(m_db.ReadOnly());
    EXPECT_EQ(code4readOnly(m_db.Engine(), 0), 0) << "the engine's mode was restored too";
}

// Data folders arrive in any letter case; the name asked for is found.
TEST_F(TableLayerTest, TableFoundWithoutRegardToLetterCase) {
    std::filesystem::rename(m_folder.File("codes.dbf"), m_folder.File("CODES.DBF"));
    std::filesystem::rename(m_folder.File("codes.cdx"), m_folder.File("Codes.CDX"));
    int32_t id = 0;
    TCBTable* table = m_db.AddTable("codes.dbf", m_folder.Path(), true, id);
    ASSERT_TRUE(table->IsOpen());
    EXPECT_EQ(table->FileName(), "CODES.DBF");
    table->Top();
    EXPECT_FALSE(table->Eof());
}

// An index stamped with the table state it was built for opens only with
// that state: a folder updated half-way is an error naming both files.
TEST_F(TableLayerTest, IndexBuiltForAnotherTableStateIsRefusedNamingBoth) {
    const std::string table = xbtest::ReadFileBytes(m_folder.File("codes.dbf"));
    const std::string index = xbtest::ReadFileBytes(m_folder.File("codes.cdx"));
    auto stamped = [&](size_t changedAt) {
        std::string pair = std::string(XB_PAIR_MARK, 4) + table.substr(1, 11) + table.substr(20, 8);
        if (changedAt < pair.size()) pair[changedAt] ^= 0x01;
        std::string bytes = index;
        bytes.replace(XB_PAIR_AT, pair.size(), pair);
        return bytes;
    };
    struct TCase {
        const char* name;
        size_t changedAt;  // in the stamp; past it: unchanged
        bool opens;
    };
    const TCase cases[] = {
        {"the same state", 99, true},      {"another update date", 4 + 2, false},
        {"another record count", 4 + 3, false}, {"another record length", 4 + 9, false},
        {"other contents", 4 + 11 + 5, false},  {"no stamp mark", 0, true},
    };
    const std::string refused = "Error opening table " + m_folder.Path() +
                                "codes.dbf: its index " + m_folder.Path() +
                                "codes.cdx was built for another version of the table - "
                                "error code: -92";
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        m_folder.Write("codes.cdx", stamped(c.changedAt));
        int32_t id = 0;
        if (c.opens) {
            EXPECT_TRUE(m_db.AddTable("codes.dbf", m_folder.Path(), true, id)->IsOpen());
        } else {
            ExpectMessage([&] { m_db.AddTable("codes.dbf", m_folder.Path(), true, id); }, refused);
        }
    }
}

TEST_F(TableLayerTest, FieldsAndErrorsOfAByteByByteTable) {
    int32_t id = 0;
    TCBTable* table = m_db.AddTable("codes.dbf", m_folder.Path(), true, id);
    table->Top();
    EXPECT_EQ(table->GetField("CODE"), "AB  ") << "a 4-character field holding AB";
    EXPECT_EQ(table->GetField("code"), "AB  ");
    EXPECT_EQ(table->GetFieldInt("KEY"), 41);
    EXPECT_EQ(table->NumFields(), 2);

    ExpectMessage([&] { table->GetField("NOPE"); }, "Field \"NOPE\" not found in codes.dbf.");
    ExpectMessage([&] { table->GetFieldInt("NOPE"); }, "Field \"NOPE\" not found in codes.dbf.");
    ExpectMessage([&] { table->SelectTag("NOPE"); },
                  "Tag \"NOPE\" not found in table " + m_folder.Path() + "codes.dbf.");
    EXPECT_EQ(table->GetField("CODE"), "AB  ") << "a caught miss leaves no error behind";

    // Reading with no current record: the engine's code comes back raised.
    EXPECT_FALSE(table->Seek("ZZ", "CODE"));
    EXPECT_TRUE(table->Eof());
    ExpectMessage([&] { table->GetField("CODE"); },
                  "Error reading field CODE in table codes.dbf\r\n\r\nCodebase Error Code = -140");
    EXPECT_NO_THROW(table->CheckError("X", false)) << "nothing recorded: nothing raised";
}

TEST_F(TableLayerTest, FieldInfoList) {
    int32_t id = 0;
    TCBTable* table = m_db.AddTable("codes.dbf", m_folder.Path(), false, id);
    ExpectMessage([&] { table->LoadDBFieldList(); }, "Field list not created on LoadDBFieldList");
    ExpectMessage([&] { table->FindFieldInfo("KEY"); },
                  "Access to table (" + m_folder.Path() +
                      "codes.dbf) via TCBTable.LoadDBFieldList when table NOT OPEN");
    table->Open();
    const TFieldInfo* key = table->FindFieldInfo("key");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->Name, "KEY");
    EXPECT_EQ(key->FieldType, 'C');
    EXPECT_EQ(key->Length, 5);
    EXPECT_EQ(key->Decimals, 0);
    EXPECT_EQ(key->FieldNumber, 2);
    EXPECT_EQ(table->FindFieldInfo("MISSING"), nullptr) << "and nothing raised";
    EXPECT_EQ(table->FieldList()->size(), 2u);
    table->Close();
    EXPECT_EQ(table->FieldList(), nullptr) << "handles do not outlive the open file";
}

TEST_F(TableLayerTest, ClosedTableRefusesAccess) {
    int32_t id = 0;
    TCBTable* table = m_db.AddTable("codes.dbf", m_folder.Path(), false, id);
    const std::string prefix = "Access to table (" + m_folder.Path() + "codes.dbf) via ";
    ExpectMessage([&] { table->Eof(); }, prefix + "TCBTable.Eof when table NOT OPEN");
    ExpectMessage([&] { table->GetField("CODE"); },
                  prefix + "TCBTable.GetField when table NOT OPEN");
    ExpectMessage([&] { table->Seek("A", "CODE"); }, prefix + "TCBTable.Seek when table NOT OPEN");
}

TEST_F(TableLayerTest, SeekSelectsTagForTopAndSkipNext) {
    int32_t id = 0;
    TCBTable* table = m_db.AddTable("codes.dbf", m_folder.Path(), true, id);
    auto walk = [&] {
        std::vector<std::string> codes;
        for (table->Top(); !table->Eof(); table->SkipNext())
            codes.push_back(table->GetField("CODE"));
        return codes;
    };
    EXPECT_EQ(walk(), (std::vector<std::string>{"AB  ", "CD  ", "A   "})) << "record order";
    ASSERT_TRUE(table->Seek("C", "CODE"));
    EXPECT_EQ(table->GetField("CODE"), "CD  ");
    EXPECT_EQ(walk(), (std::vector<std::string>{"A   ", "AB  ", "CD  "})) << "CODE order";
    ASSERT_TRUE(table->Seek("A", ""));  // an empty tag name keeps the order
    EXPECT_TRUE(table->SeekNext("A"));
    EXPECT_EQ(table->GetField("CODE"), "AB  ");
    EXPECT_FALSE(table->SeekNext("A"));
    table->SelectTag("");
    EXPECT_EQ(walk().front(), "AB  ");
}

TEST_F(TableLayerTest, ReferenceTablesThroughTheLayer) {
    if (!HaveReference()) GTEST_SKIP() << "reference folder absent";
    int32_t id = 0;
    TCBTable* setup = m_db.AddTable("setup.dbf", kFoxPro, true, id);
    ASSERT_TRUE(setup->Seek("CONTACT", "KEY_NAME"));
    EXPECT_EQ(setup->GetField("KEY_NAME"), "CONTACTS" + std::string(42, ' '));
    EXPECT_EQ(setup->GetFieldInt("VALUE"), 8);
    ASSERT_TRUE(setup->SeekNext("CONTACT"));
    EXPECT_EQ(setup->GetField("KEY_NAME"), "CONTACT_TYPES" + std::string(37, ' '));
    EXPECT_FALSE(setup->SeekNext("CONTACT"));

    // After a seek on TYPE_ID, Top and SkipNext walk TYPE_ID's order.
    TCBTable* contacts = m_db.AddTable("contacts.dbf", kFoxPro, true, id);
    ASSERT_TRUE(contacts->Seek("2", "TYPE_ID"));
    EXPECT_EQ(contacts->GetFieldInt("CONTACT_ID"), 1);
    std::vector<int32_t> ids;
    for (contacts->Top(); !contacts->Eof(); contacts->SkipNext()) {
        ids.push_back(contacts->GetFieldInt("CONTACT_ID"));
    }
    EXPECT_EQ(ids, (std::vector<int32_t>{2, 4, 5, 1, 3}));
}

TEST_F(TableLayerTest, DataLayerLifecycle) {
    ExpectMessage([&] { TCBDataLayer missing(m_db, m_folder.Path(), "gone.dbf"); },
                  "Cannot add table to database that does not exist\r\nTable, " + m_folder.Path() +
                      "gone.dbf, not found.");
    EXPECT_EQ(m_db.TableCount(), 0);
    {
        TCBDataLayer layer(m_db, m_folder.Path(), "codes.dbf");
        EXPECT_TRUE(layer.Attached());
        EXPECT_FALSE(layer.IsActive());
        EXPECT_EQ(m_db.TableCount(), 1);
        layer.Open();
        EXPECT_TRUE(layer.IsActive());

        // SetPath on an open layer reopens it in the new folder.
        TempFolder other;
        WriteKeyedTable(other, "codes", {{{"ZZ", "1"}}});
        const int32_t before = layer.Table()->TableID();
        layer.SetPath(other.Path());
        EXPECT_TRUE(layer.IsActive());
        EXPECT_GT(layer.Table()->TableID(), before);
        layer.Table()->Top();
        EXPECT_EQ(layer.Table()->GetField("CODE"), "ZZ  ");

        // SetFileName on an open layer leaves it closed.
        WriteKeyedTable(other, "more", {{{"YY", "1"}}});
        layer.SetFileName("more.dbf");
        EXPECT_TRUE(layer.Attached());
        EXPECT_FALSE(layer.IsActive());
        EXPECT_EQ(layer.Table()->FullName(), other.Path() + "more.dbf");
        EXPECT_EQ(m_db.TableCount(), 1);
        layer.Close();  // already closed: nothing happens
    }
    EXPECT_EQ(m_db.TableCount(), 0) << "destruction detaches";
}

struct KeyCase {
    const char* label;
    KeyedTable table;
    int32_t expected;  // 0: raises
};

void PrintTo(const KeyCase& c, std::ostream* os) {
    *os << c.label;
}

class GetKeyTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(GetKeyTest, NextFreeKey) {
    TempFolder folder;
    WriteKeyedTable(folder, "keyed", GetParam().table);
    TCBDatabase db;
    TCBDataLayer layer(db, folder.Path(), "keyed.dbf");
    layer.SetKeyField("KEY");
    layer.SetKeyTag("KEYTAG");
    layer.Open();
    if (GetParam().expected != 0) {
        EXPECT_EQ(layer.GetKey(), GetParam().expected);
    } else {
        ExpectMessage([&] { layer.GetKey(); },
                      "Max attempts exceeded on new record key for keyed.dbf");
    }
}

KeyedTable ManyKeys() {
    KeyedTable t{{}, true};
    for (int k = 100; k <= 700; ++k) t.rows.emplace_back("X", std::to_string(k));
    return t;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GetKeyTest,
    ::testing::Values(KeyCase{"LastIs41", {{{"A", "40"}, {"B", "41"}}}, 42},
                      // Descending text order puts 41 last while 42 is taken.
                      KeyCase{"NextTaken", {{{"A", "41"}, {"B", "42"}}, true}, 43},
                      KeyCase{"Empty", {}, 1}, KeyCase{"AllTaken", ManyKeys(), 0}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(TableLayerTest, KeyServicesNeedKeyFieldAndOpenTable) {
    TCBDataLayer layer(m_db, m_folder.Path(), "codes.dbf");
    layer.SetKeyField("KEY");
    layer.SetKeyTag("KEYTAG");
    ExpectMessage([&] { layer.FindByKey(41); },
                  "Access to table (" + m_folder.Path() +
                      "codes.dbf) via TCBDataLayer.FindByKey when table NOT OPEN");
    layer.Open();
    EXPECT_TRUE(layer.FindByKey(41));
    EXPECT_EQ(layer.Table()->GetField("CODE"), "AB  ");
    EXPECT_FALSE(layer.FindByKey(42));
    layer.SetNoKeyField(true);
    EXPECT_FALSE(layer.FindByKey(41));
    ExpectMessage([&] { layer.GetKey(); },
                  "TCBDataLayer.GetKey invoked when table has no KEY field");
}

TEST_F(TableLayerTest, OptimizeAndReadOnlyReachTheEngine) {
    m_db.SetOptimize(true);
    EXPECT_TRUE(m_db.Optimize());
    m_db.SetOptimize(false);
    EXPECT_FALSE(m_db.Optimize());
    m_db.SetReadOnly(true);
    EXPECT_TRUE(m_db.ReadOnly());
    EXPECT_EQ(code4readOnly(m_db.Engine(), 1), 1) << "switched on in the engine";
    m_db.SetReadOnly(false);
    EXPECT_EQ(code4readOnly(m_db.Engine(), 0), 0) << "and off again";
    EXPECT_EQ(m_db.GetErrorCode(), 0);
}

}  // namespace
