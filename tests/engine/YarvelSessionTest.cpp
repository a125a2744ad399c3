// The engine session: start and stop, the not-started answer of every export,
// failed starts, and message suppression.
#include <filesystem>
#include <functional>

#include "YarvelTestSupport.h"

namespace yarvel_test {
namespace {

using platform::MsgButtons;
using platform::MsgIcon;

class SessionTest : public EngineTest {};

// Every export but YarvelStart, called without a session: the error report
// and the default result.
struct TNotStartedCase {
    const char* name;
    std::function<void(TEngine&)> call;
};

TEST_F(SessionTest, EveryExportReportsNotStartedAndAnswersItsDefault) {
    TStr make("HOND"), year("2005"), model("ACCORD"), vin("1HGCM56653A000001");
    TAutoMake autoMake{nullptr, nullptr};
    TCollectedList list(TCollectedList::kMakes);
    TRecord record;
    record.FillSentinels();
    TStr out("untouched");
    const TYarvelString* names[] = {make.get()};

    const TNotStartedCase cases[] = {
        {"YarvelStop", [](TEngine& e) { e.Stop(); }},
        {"YarvelGetDifferenceFields",
         [&](TEngine& e) {
             EXPECT_EQ(e.GetDifferenceFields(make.get(), year.get(), model.get()), 0);
         }},
        {"YarvelGetEarliestSymbolYearAvailable",
         [](TEngine& e) { EXPECT_EQ(e.GetEarliestSymbolYearAvailable(), -1); }},
        {"YarvelGetFieldValue", [&](TEngine& e) { e.GetFieldValue(out.out(), 0); }},
        {"YarvelGetFirstSubModel",
         [&](TEngine& e) { e.GetFirstSubModel(make.get(), year.get(), model.get()); }},
        {"YarvelGetNextSubModel", [](TEngine& e) { e.GetNextSubModel(); }},
        {"YarvelGetEndOfModel", [](TEngine& e) { EXPECT_EQ(e.GetEndOfModel(), 1); }},
        {"YarvelGetListOfMakes", [&](TEngine& e) { e.GetListOfMakes(list.get()); }},
        {"YarvelGetListOfModels",
         [&](TEngine& e) { e.GetListOfModels(list.get(), &autoMake, year.get()); }},
        {"YarvelGetModelAlwaysRatesSame",
         [&](TEngine& e) {
             EXPECT_EQ(e.GetModelAlwaysRatesSame(make.get(), year.get(), model.get(), names, 0), 0);
         }},
        {"YarvelGetModelVIN",
         [&](TEngine& e) { e.GetModelVIN(out.out(), make.get(), year.get(), model.get()); }},
        {"YarvelGetRecordByVIN", [&](TEngine& e) { EXPECT_EQ(e.GetRecordByVIN(record.p()), 0); }},
        {"YarvelGetRecordByYMM", [&](TEngine& e) { EXPECT_EQ(e.GetRecordByYMM(record.p()), 0); }},
        {"YarvelSetSuppressMessages", [](TEngine& e) { e.SetSuppressMessages(1); }},
        {"YarvelGetRecordEffective",
         [](TEngine& e) { EXPECT_EQ(e.GetRecordEffective(DayCount(2006, 6, 1)), 0); }},
        {"YarvelGetFirstVIN", [&](TEngine& e) { e.GetFirstVIN(vin.get()); }},
        {"YarvelGetEndOfVIN", [](TEngine& e) { EXPECT_EQ(e.GetEndOfVIN(), 1); }},
        {"YarvelGetNextVIN", [](TEngine& e) { e.GetNextVIN(); }},
        {"YarvelGetDifferenceFieldsVIN",
         [&](TEngine& e) { EXPECT_EQ(e.GetDifferenceFieldsVIN(vin.get()), 0); }},
        {"YarvelLoadFromCurrentRecord", [&](TEngine& e) { e.LoadFromCurrentRecord(record.p()); }},
        {"YarvelGetMinVinSizePermitted",
         [](TEngine& e) { EXPECT_EQ(e.GetMinVinSizePermitted(), 0); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClearBoxes();
        c.call(*e);
        ASSERT_EQ(Boxes().size(), 1u);
        EXPECT_EQ(Boxes()[0].request.text, kNotStarted);
        EXPECT_EQ(Boxes()[0].request.icon, MsgIcon::None);
        EXPECT_EQ(Boxes()[0].request.buttons, MsgButtons::OK);
    }
    EXPECT_TRUE(list.Entries().empty());
    EXPECT_EQ(out.Text(), "untouched");
    EXPECT_EQ(Val(record->ModelYear), -77);
    EXPECT_EQ(Val(record->VIN), nullptr);
}

TEST_F(SessionTest, StartStopStartGivesAWorkingSession) {
    TFixtureData fixture = DefaultFixture();
    fixture.master = {Row({})};
    ASSERT_TRUE(StartWith(fixture));
    EXPECT_EQ(e->GetMinVinSizePermitted(), 9);
    EXPECT_EQ(e->GetEarliestSymbolYearAvailable(), 1985);
    e->Stop();
    EXPECT_TRUE(Boxes().empty());

    e->GetMinVinSizePermitted();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kNotStarted});
    ClearBoxes();

    e->Start();
    TRecord record;
    record->VIN = Replaced(record->VIN, "TEST00019512345");
    record->EffectiveDate = DayCount(2006, 1, 1);
    EXPECT_EQ(e->GetRecordByVIN(record.p()), 1);
    EXPECT_EQ(Text(record->Make), "Honda");
    EXPECT_TRUE(Boxes().empty()) << BoxTexts().front();
}

TEST_F(SessionTest, SecondStartKeepsTheRunningSession) {
    TFixtureData fixture = DefaultFixture();
    fixture.master = {Row({})};
    ASSERT_TRUE(StartWith(fixture));
    e->SetSuppressMessages(1);
    e->Start();
    EXPECT_TRUE(Boxes().empty());

    // Still the first session: its suppression stands.
    TRecord record;
    record->VIN = Replaced(record->VIN, "NOSUCHVIN1234567");
    EXPECT_EQ(e->GetRecordByVIN(record.p()), 0);
    EXPECT_TRUE(Boxes().empty());

    // One stop ends it; there is no second session left running.
    e->Stop();
    e->GetMinVinSizePermitted();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kNotStarted});
}

// A table missing from the data folder: the start reports the table layer's
// message and leaves the session not started.
class MissingTableTest : public SessionTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(MissingTableTest, StartReportsItAndStaysNotStarted) {
    TFixtureData fixture = DefaultFixture();
    fixture.master = {Row({})};
    ASSERT_TRUE(BuildTables(DataFolder(), fixture));
    std::filesystem::remove(DataFolder() + GetParam());
    WriteHostIni(Folder().WindowsDir(), DataFolder());

    e->Start();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{
                              std::string("YARVEL.DLL Error: Cannot add table to database that "
                                          "does not exist\r\nTable, ") +
                              DataFolder() + GetParam() + ", not found."});
    ClearBoxes();
    EXPECT_EQ(e->GetMinVinSizePermitted(), 0);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kNotStarted});

    // Once the file is back, a new start works.
    ASSERT_TRUE(BuildTables(DataFolder(), fixture));
    ClearBoxes();
    e->Start();
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(e->GetMinVinSizePermitted(), 9);
}

INSTANTIATE_TEST_SUITE_P(Tables, MissingTableTest,
                         ::testing::Values("Yarvel.dbf", "AutoMake.dbf", "VinTrans.dbf"));

// The host ini as users write it: a mark before the first section, the
// folder without its separator, or a folder that is not there.
TEST_F(SessionTest, HostIniDataFolderAsUsersWriteIt) {
    TFixtureData fixture = DefaultFixture();
    fixture.master = {Row({})};
    ASSERT_TRUE(BuildTables(DataFolder(), fixture));
    std::string folder = DataFolder();
    folder.pop_back();
    Folder().Write("windows/Pollark.Ini", "\xEF\xBB\xBF[DataPath]\r\nUseAltDataPath=1\r\n"
                                          "AlternateDataPath=" + folder + "\r\n");
    e->Start();
    EXPECT_TRUE(Boxes().empty()) << BoxTexts().front();
    EXPECT_EQ(e->GetMinVinSizePermitted(), 9);
    e->Stop();

    const std::string missing = Folder().Path() + "nowhere/";
    WriteHostIni(Folder().WindowsDir(), missing);
    e->Start();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{
                              "YARVEL.DLL Error: Cannot add table to database that does not "
                              "exist\r\nTable, " + missing + "Yarvel.dbf, not found.\r\nThe folder " +
                              missing + " does not exist."});
}

TEST_F(SessionTest, MasterThatCannotBeOpenedLeavesNoSession) {
    TFixtureData fixture = DefaultFixture();
    fixture.master = {Row({})};
    ASSERT_TRUE(BuildTables(DataFolder(), fixture));
    // Registered (the file exists), but not a table.
    std::filesystem::remove(DataFolder() + "Yarvel.cdx");
    Folder().Write("data/Yarvel.dbf", "this is not a table");
    WriteHostIni(Folder().WindowsDir(), DataFolder());

    e->Start();
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].request.text.rfind("YARVEL.DLL Error: Error opening table " +
                                                DataFolder() + "Yarvel.dbf - error code: ",
                                            0),
              0u)
        << Boxes()[0].request.text;
    ClearBoxes();

    TRecord record;
    record->VIN = Replaced(record->VIN, "TEST00019512345");
    EXPECT_EQ(e->GetRecordByVIN(record.p()), 0);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{kNotStarted});

    ASSERT_TRUE(BuildTables(DataFolder(), fixture));
    ClearBoxes();
    e->Start();
    record->EffectiveDate = DayCount(2006, 1, 1);
    EXPECT_EQ(e->GetRecordByVIN(record.p()), 1);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(SessionTest, WithoutHostIniTheDataFolderIsBesideTheProgram) {
    // No Pollark.Ini: the data folder is the program's folder + "Data/",
    // which for this test program is the build's bin/ with the sample data.
    ASSERT_TRUE(std::filesystem::exists(std::string(TEST_PROGRAM_DIR) + "/Data/Yarvel.dbf"));
    e->Start();
    EXPECT_TRUE(Boxes().empty()) << BoxTexts().front();
    EXPECT_EQ(e->GetMinVinSizePermitted(), 9);
}

TEST_F(SessionTest, SuppressionSilencesLookupBoxesButNotTheErrorReport) {
    TFixtureData fixture = DefaultFixture();
    fixture.master = {Row({}), Row({{"VIN", "BADSYM01&5"}, {"TWODIGVSR", "1A"}}),
                      Row({{"VIN", "EFFDAT01&5"}, {"EFF_DATE", "0107"}})};
    ASSERT_TRUE(StartWith(fixture));
    e->SetSuppressMessages(1);

    TRecord record;
    record->EffectiveDate = DayCount(2006, 6, 1);
    record->VIN = Replaced(record->VIN, "NOSUCHVIN1234567");
    EXPECT_EQ(e->GetRecordByVIN(record.p()), 0);
    record->VIN = Replaced(record->VIN, "EFFDAT01X5");  // its only record is not in effect yet
    EXPECT_EQ(e->GetRecordByVIN(record.p()), 0);
    TStr unknown("NOSUCHVIN1234567");
    e->GetFirstVIN(unknown.get());
    EXPECT_EQ(e->GetEndOfVIN(), 1);
    EXPECT_EQ(e->GetDifferenceFieldsVIN(unknown.get()), 0);
    EXPECT_TRUE(Boxes().empty()) << BoxTexts().front();

    record->VIN = Replaced(record->VIN, "BADSYM01X5");
    EXPECT_EQ(e->GetRecordByVIN(record.p()), 0);
    EXPECT_EQ(BoxTexts(),
              std::vector<std::string>{"YARVEL.DLL Error: '1A' is not a valid integer value"});

    // Switched back on, the boxes return.
    ClearBoxes();
    e->SetSuppressMessages(0);
    record->VIN = Replaced(record->VIN, "NOSUCHVIN1234567");
    EXPECT_EQ(e->GetRecordByVIN(record.p()), 0);
    EXPECT_EQ(BoxTexts(),
              std::vector<std::string>{"No vehicles were found matching VIN: NOSUCHVIN1234567"});
}

TEST_F(SessionTest, AFailingBoxDoesNotEscapeTheExport) {
    // The report itself fails (the box handler throws): the export still
    // returns its default and the caller carries on.
    m_boxes->FailNextBox();
    EXPECT_EQ(e->GetEarliestSymbolYearAvailable(), -1);
    EXPECT_EQ(e->GetMinVinSizePermitted(), 0);
}

TEST_F(SessionTest, MissingArgumentsAreReportedNotFollowed) {
    TFixtureData fixture = DefaultFixture();
    fixture.master = {Row({})};
    ASSERT_TRUE(StartWith(fixture));
    TStr year("2005");
    TYarvelList noCallback{nullptr, nullptr};

    struct TCase {
        const char* message;
        std::function<void()> call;
    };
    const TCase cases[] = {
        {"Record not specified on YarvelGetRecordByVIN", [&] { e->GetRecordByVIN(nullptr); }},
        {"Record not specified on YarvelGetRecordByYMM", [&] { e->GetRecordByYMM(nullptr); }},
        {"Record not specified on YarvelLoadFromCurrentRecord",
         [&] { e->LoadFromCurrentRecord(nullptr); }},
        {"Value not specified on YarvelGetFieldValue", [&] { e->GetFieldValue(nullptr, 0); }},
        {"VIN not specified on YarvelGetModelVIN",
         [&] { e->GetModelVIN(nullptr, nullptr, nullptr, nullptr); }},
        {"List not specified on YarvelGetListOfMakes", [&] { e->GetListOfMakes(nullptr); }},
        {"List not specified on YarvelGetListOfMakes", [&] { e->GetListOfMakes(&noCallback); }},
        {"List not specified on YarvelGetListOfModels",
         [&] { e->GetListOfModels(nullptr, nullptr, year.get()); }},
        {"AutoMake not specified on YarvelGetListOfModels",
         [&] {
             TCollectedList list(TCollectedList::kModels);
             e->GetListOfModels(list.get(), nullptr, year.get());
         }},
        {"FieldNames not specified on YarvelGetModelAlwaysRatesSame",
         [&] { e->GetModelAlwaysRatesSame(nullptr, nullptr, nullptr, nullptr, 2); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        ClearBoxes();
        c.call();
        EXPECT_EQ(BoxTexts(),
                  std::vector<std::string>{std::string("YARVEL.DLL Error: ") + c.message});
    }
}

}  // namespace
}  // namespace yarvel_test
