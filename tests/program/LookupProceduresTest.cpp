// The lookup procedures on fixture tables built by the real dbfbuild, with the
// real engine loaded through the program's binding and a chooser that records
// what it is asked.
#include <gtest/gtest.h>

#include "YarvelPortal.h"
#include "YarvelTestSupport.h"

namespace {

using yarvel_test::DayCount;
using yarvel_test::Row;
using yarvel_test::TFixtureData;
using yarvel_test::TRow;

// Every record of a VIN case shares the fixture's default pattern TEST0001&5.
const char kVin[] = "TEST000105ABCDEFG";

class TRecordingChooser : public TVehicleChooser {
public:
    explicit TRecordingChooser(int answer = 0) : m_answer(answer) {}
    int Choose(const TChoiceTable& table) override {
        Asked.push_back(table);
        return m_answer;
    }
    std::vector<TChoiceTable> Asked;

private:
    int m_answer;
};

std::vector<std::string> Column(const TChoiceTable& table, size_t column) {
    std::vector<std::string> cells;
    for (const auto& row : table.Rows) cells.push_back(row.at(column));
    return cells;
}

// A model name as the model list hands it on: blank-padded to its field.
std::string Padded(std::string name) {
    name.resize(20, ' ');
    return name;
}

TRow Candidate(const std::string& model, const std::string& info, const std::string& eff = "",
               const std::string& vsr = "12") {
    return Row({{"MODELNAME", model}, {"MODELINFO", info}, {"EFF_DATE", eff}, {"TWODIGVSR", vsr}});
}

class LookupProceduresTest : public ::testing::Test {
protected:
    ~LookupProceduresTest() override { UnloadYarvel(); }

    void Start(const std::vector<TRow>& master) {
        TFixtureData fixture = yarvel_test::DefaultFixture();
        fixture.master = master;
        const std::string data = m_folder.Path() + "data/";
        ASSERT_TRUE(yarvel_test::BuildTables(data, fixture));
        yarvel_test::WriteHostIni(m_folder.WindowsDir(), data);
        LoadYarvel();
        ASSERT_TRUE(m_boxes.Boxes().empty()) << m_boxes.Boxes()[0].request.text;
    }

    // A record as the window's VIN search hands it on, before the engine's load.
    TVinRecordPtr LookupRecord(const std::string& vin) {
        TVinRecordPtr record = NewVinRecord();
        ClearVinRecord(*record);
        record->VIN = ReplaceRecordText(record->VIN, vin);
        record->EffectiveDate = m_date;
        return record;
    }

    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> texts;
        for (const auto& box : m_boxes.Boxes()) texts.push_back(box.request.text);
        return texts;
    }

    platform::testing::TempFolder m_folder;
    platform::testing::RecordingServices m_boxes;
    const double m_date = DayCount(2024, 1, 15, 0.5);
};

struct TVinCase {
    const char* name;
    std::vector<TRow> master;
    int answer;
    std::vector<std::string> rows;  // model names offered; empty when nobody is asked
    const char* taken;              // MODELINFO of the vehicle found, "" for none
    size_t errorBoxes = 0;
};

std::ostream& operator<<(std::ostream& os, const TVinCase& c) {
    return os << c.name;
}

class VinLookupTest : public LookupProceduresTest,
                      public ::testing::WithParamInterface<TVinCase> {};

TEST_P(VinLookupTest, ListsTheCandidatesInEffectAndTakesTheChoice) {
    const TVinCase& c = GetParam();
    Start(c.master);
    TVinRecordPtr record = LookupRecord(kVin);
    record->ModelInfo = ReplaceRecordText(record->ModelInfo, "before");
    TRecordingChooser chooser(c.answer);

    const bool found = LookupByVIN(*record, kVin, chooser);

    if (c.rows.empty()) {
        EXPECT_TRUE(chooser.Asked.empty());
    } else {
        ASSERT_EQ(chooser.Asked.size(), 1u);
        EXPECT_EQ(Column(chooser.Asked[0], 0), c.rows);
    }
    EXPECT_EQ(found, *c.taken != '\0');
    EXPECT_EQ(RecordText(record->ModelInfo), *c.taken ? c.taken : "before");
    if (found) {
        // Packed record fields are copied: the assertions bind references.
        EXPECT_EQ(double{record->EffectiveDate}, m_date);
    }
    EXPECT_EQ(BoxTexts().size(), c.errorBoxes) << ::testing::PrintToString(BoxTexts());
    EXPECT_EQ(int32_t{record->RecordType}, 1);
}

const char kLater[] = "0125";  // in effect only from January 2025

INSTANTIATE_TEST_SUITE_P(
    Cases, VinLookupTest,
    ::testing::Values(
        TVinCase{"OneCandidateNoDialog", {Candidate("ALPHA", "LX")}, 0, {}, "LX"},
        TVinCase{"TwoInEffectTwoRows",
                 {Candidate("ALPHA", "LX"), Candidate("BRAVO", "EX")},
                 1,
                 {"Alpha", "Bravo"},
                 "EX"},
        TVinCase{"OneOfTwoInEffect",
                 {Candidate("ALPHA", "LX", kLater), Candidate("BRAVO", "EX")},
                 0,
                 {},
                 "EX"},
        TVinCase{"NeighboursCollapse",
                 {Candidate("ALPHA", "LX"), Candidate("ALPHA", "EX")},
                 0,
                 {},
                 "LX"},
        TVinCase{"NameThatReturnsIsListedAgain",
                 {Candidate("ALPHA", "LX"), Candidate("BRAVO", "EX"), Candidate("ALPHA", "EXL")},
                 2,
                 {"Alpha", "Bravo", "Alpha"},
                 "EXL"},
        TVinCase{"RowNotInEffectKeepsTheCheck",
                 {Candidate("ALPHA", "LX"), Candidate("BRAVO", "EX", kLater),
                  Candidate("ALPHA", "EXL")},
                 0,
                 {},
                 "LX"},
        TVinCase{"NoneInEffect",
                 {Candidate("ALPHA", "LX", kLater), Candidate("BRAVO", "EX", kLater)},
                 0,
                 {},
                 ""},
        TVinCase{"Cancelled",
                 {Candidate("ALPHA", "LX"), Candidate("BRAVO", "EX")},
                 -1,
                 {"Alpha", "Bravo"},
                 ""},
        TVinCase{"FailedLoadLeftOut",
                 {Candidate("ALPHA", "LX", "", "1A"), Candidate("BRAVO", "EX"),
                  Candidate("CHARLIE", "EXL")},
                 0,
                 {"Bravo", "Charlie"},
                 "EX",
                 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LookupProceduresTest, VinChoiceColumnsAndCaption) {
    Start({Candidate("ALPHA", "LX"), Candidate("BRAVO", "EX")});
    TVinRecordPtr record = LookupRecord(kVin);
    const TVinChoices choices = FillVINChoices(*record, kVin);
    EXPECT_EQ(choices.Table.Caption, std::string("ISO: ") + kVin + " Choices");
    EXPECT_EQ(choices.Table.Titles,
              (std::vector<std::string>{"Model Name", "Model/Series", "Symbol"}));
    EXPECT_EQ(choices.Table.Selectors,
              (std::vector<TYarvelFieldSelector>{YV_FIELD_MODELNAME, YV_FIELD_MODELINFO,
                                                 YV_FIELD_TWODIGVSR}));
    EXPECT_EQ(choices.Table.Rows[1], (std::vector<std::string>{"Bravo", "EX", "12"}));
    ASSERT_EQ(choices.Records.size(), 2u);
    EXPECT_EQ(RecordText(choices.Records[1]->ModelInfo), "EX");
    EXPECT_EQ(ChoiceText(choices.Table), std::string("ISO: ") + kVin +
                                             " Choices\nModel Name\tModel/Series\tSymbol\n"
                                             "Alpha\tLuxury Edition\t12\nBravo\tEX\t12");
}

// The symbol columns follow the looked-up record's model year; a record the
// engine's own load left empty (year 0) takes the first candidate's.
TEST_F(LookupProceduresTest, SymbolColumnsByModelYear) {
    Start({Row({{"IIN", "1201"}, {"REC_TYPE", "3"}, {"MODELNAME", "ALPHA"}}),
           Row({{"IIN", "1201"}, {"REC_TYPE", "3"}, {"MODELNAME", "BRAVO"}})});
    struct {
        int recordYear;
        std::vector<std::string> titles;
    } cases[] = {{0, {"Model Name", "Comp", "Coll"}},
                 {2012, {"Model Name", "Comp", "Coll"}},
                 {2010, {"Model Name", "Symbol"}}};
    for (const auto& c : cases) {
        TVinRecordPtr record = LookupRecord(kVin);
        record->ModelYear = c.recordYear;
        EXPECT_EQ(FillVINChoices(*record, kVin).Table.Titles, c.titles) << c.recordYear;
    }
}

TEST_F(LookupProceduresTest, YearMakeModelWithOneSubModel) {
    Start({Row({{"VIN", "ONESUB01&5"}, {"MODELNAME", "SOLO"}}),
           Row({{"VIN", "BADSUB01&5"}, {"MODELNAME", "BROKEN"}, {"TWODIGVSR", "1A"}})});
    TVinRecordPtr record = LookupRecord("");
    TRecordingChooser chooser;
    EXPECT_TRUE(LookupByYMM(*record, nullptr, "2005", "HOND", Padded("SOLO"), chooser));
    EXPECT_EQ(RecordText(record->VIN), "ONESUB01&5");
    EXPECT_EQ(int32_t{record->ModelYear}, 2005);
    EXPECT_EQ(int32_t{record->Symbol}, 12);
    EXPECT_TRUE(chooser.Asked.empty());

    // A load the engine reports as failed is no vehicle, though it set the year.
    TVinRecordPtr broken = LookupRecord("");
    EXPECT_FALSE(LookupByYMM(*broken, nullptr, "2005", "HOND", Padded("BROKEN"), chooser));
    EXPECT_EQ(int32_t{broken->ModelYear}, 2005);
    EXPECT_EQ(BoxTexts(),
              std::vector<std::string>{"YARVEL.DLL Error: '1A' is not a valid integer value"});
}

TEST_F(LookupProceduresTest, YearMakeModelChoiceByVinPattern) {
    // Two sub-models share a pattern and collapse; the third differs.
    Start({Row({{"VIN", "MULTI001&5"}, {"MODELINFO", "LX"}}),
           Row({{"VIN", "MULTI001&5"}, {"MODELINFO", "EX"}}),
           Row({{"VIN", "MULTI002&5"}, {"MODELINFO", "EXL"}, {"BODYSTYLE", "COUPE 2D"}})});
    TRecordingChooser chooser(1);
    TVinRecordPtr record = LookupRecord("");
    record->Symbol = 99;
    ASSERT_TRUE(LookupByYMM(*record, nullptr, "2005", "HOND", Padded("ACCORD"), chooser));
    ASSERT_EQ(chooser.Asked.size(), 1u);
    const TChoiceTable& table = chooser.Asked[0];
    EXPECT_EQ(table.Caption, "ISO: 2005 HOND ACCORD Choices");
    EXPECT_EQ(table.Titles.back(), "VIN");
    EXPECT_EQ(Column(table, table.Titles.size() - 1),
              (std::vector<std::string>{"MULTI001&5", "MULTI002&5"}));
    EXPECT_EQ(RecordText(record->VIN), "MULTI002&5");
    EXPECT_EQ(RecordText(record->ModelInfo), "EXL");
    EXPECT_EQ(int32_t{record->Symbol}, 12);

    TRecordingChooser cancel(-1);
    TVinRecordPtr cancelled = LookupRecord("");
    EXPECT_FALSE(LookupByYMM(*cancelled, nullptr, "2005", "HOND", Padded("ACCORD"), cancel));
    EXPECT_EQ(cancel.Asked.size(), 1u);
    EXPECT_EQ(RecordText(cancelled->VIN), "");
}

}  // namespace
