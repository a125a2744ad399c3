// The sample data folder the build makes in bin/Data: the VINs its README
// documents behave as documented.
#include "YarvelTestSupport.h"

namespace yarvel_test {
namespace {

class SampleDataTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        // No host ini: the data folder beside the program, bin/Data.
        e->Start();
        ASSERT_TRUE(Boxes().empty()) << BoxTexts().front();
    }
};

struct TSampleCase {
    const char* name;
    const char* vin;
    double date;
    const char* make;  // nullptr: not found
    const char* model;
    int year;
    const char* modelInfo;
    int symbol;
    const char* box;  // the one box shown, or nullptr
};

std::ostream& operator<<(std::ostream& os, const TSampleCase& c) {
    return os << c.name;
}

class SampleVinTest : public SampleDataTest, public ::testing::WithParamInterface<TSampleCase> {};

TEST_P(SampleVinTest, LooksUpAsDocumented) {
    const TSampleCase& c = GetParam();
    TRecord record;
    record->VIN = Replaced(record->VIN, c.vin);
    record->EffectiveDate = c.date;
    const bool found = e->GetRecordByVIN(record.p()) != 0;
    EXPECT_EQ(found, c.make != nullptr);
    if (found) {
        EXPECT_EQ(Text(record->Make), c.make);
        EXPECT_EQ(Text(record->Model), c.model);
        EXPECT_EQ(Val(record->ModelYear), c.year);
        EXPECT_EQ(Text(record->ModelInfo), c.modelInfo);
        EXPECT_EQ(Val(record->Symbol), c.symbol);
    }
    if (c.box)
        EXPECT_EQ(BoxTexts(), std::vector<std::string>{c.box});
    else
        EXPECT_TRUE(Boxes().empty()) << BoxTexts().front();
}

const char kCorrupted[] = "Yarvel table corrupted.";

INSTANTIATE_TEST_SUITE_P(
    Readme, SampleVinTest,
    ::testing::Values(
        TSampleCase{"SeveralAtOnce", "1HGCM56635A123456", DayCount(2006, 1, 1), "Honda",
                    "Accord LX", 2005, "LX", 12, nullptr},
        TSampleCase{"SubModelV6", "1HGCM82635A004352", DayCount(2006, 1, 1), "Honda", "Accord",
                    2005, "EX V6", 16, nullptr},
        TSampleCase{"MonthOnlyEarly", "4T1BE32K16U123456", DayCount(2006, 7, 1), "Toyota", "Camry",
                    2006, "LE", 11, nullptr},
        TSampleCase{"MonthOnlyBefore", "4T1BE32K16U123456", DayCount(2006, 2, 1), nullptr, "", 0,
                    "", 0, kCorrupted},
        TSampleCase{"RevisedFirst", "1ZVFT82H755123456", DayCount(2006, 6, 15), "Ford", "Mustang",
                    2005, "GT", 20, nullptr},
        TSampleCase{"RevisedLater", "1ZVFT82H755123456", DayCount(2007, 6, 15), "Ford", "Mustang",
                    2005, "GT", 22, nullptr},
        TSampleCase{"RevisedBefore", "1ZVFT82H755123456", DayCount(2004, 6, 15), nullptr, "", 0, "",
                    0, kCorrupted},
        TSampleCase{"BlankEffDate", "1FTTF18A55A123456", DayCount(1990, 1, 1), "Ford", "F150", 2005,
                    "EX", 24, nullptr},
        TSampleCase{"SixthMask", "1GNDT13W72K123456", DayCount(2006, 1, 1), "Chevrolet", "Blazer",
                    2002, "LS", 9, nullptr},
        TSampleCase{"FourthMask", "1GNDT13X72K123456", DayCount(2006, 1, 1), "Chevrolet", "Blazer",
                    2002, "LT", 9, nullptr},
        TSampleCase{"EighthMask", "1GNDT13Y72K123456", DayCount(2006, 1, 1), "Chevrolet", "Blazer",
                    2002, "XTREME", 9, nullptr},
        TSampleCase{"SeventhMask", "JHMES96643S123456", DayCount(2006, 1, 1), "Honda", "Civic",
                    2003, "HYBRID", 10, nullptr},
        TSampleCase{"NeverFound", "1GNDT14Z72K123456", DayCount(2006, 1, 1), nullptr, "", 0, "", 0,
                    "No vehicles were found matching VIN: 1GNDT14Z72K123456"},
        TSampleCase{"AmpersandMake", "SCBCR63W55C123456", DayCount(2006, 1, 1),
                    "Rolls-Royce & Bentley", "Continental GT", 2005, "BASE", 27, nullptr},
        TSampleCase{"ThisYear", "1HGCY2F5XTA123456", DayCount(2026, 1, 1), "Honda", "Accord", 2026,
                    "SPORT", 19, nullptr},
        TSampleCase{"NextYear", "1HGCY2F6XVA123456", DayCount(2026, 10, 1), "Honda", "Accord", 2027,
                    "TOURING", 21, nullptr},
        TSampleCase{"LetterSymbols", "1G1FP87F8FL123456", DayCount(2006, 1, 1), "Chevrolet",
                    "Camaro", 1985, "IROC-Z", 12, nullptr},
        TSampleCase{"Unknown", "1FAKE00000A000000", DayCount(2006, 1, 1), nullptr, "", 0, "", 0,
                    "No vehicles were found matching VIN: 1FAKE00000A000000"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SampleDataTest, ChoiceVinHasThreeCandidatesThatDifferInTwoColumns) {
    TStr vin("1HGCM56635A123456");
    int candidates = 0;
    for (e->GetFirstVIN(vin.get()); !e->GetEndOfVIN(); e->GetNextVIN()) ++candidates;
    EXPECT_EQ(candidates, 3);
    EXPECT_EQ(e->GetDifferenceFieldsVIN(vin.get()),
              TYarvelDifferenceSet(YV_BIT(YV_FIELD_MODELINFO) | YV_BIT(YV_FIELD_TRANSINFO)));

    // The 7th-mask pattern is not a candidate of the walk.
    ClearBoxes();
    TStr seventh("JHMES96643S123456");
    e->GetFirstVIN(seventh.get());
    EXPECT_EQ(e->GetEndOfVIN(), 1);
    EXPECT_EQ(BoxTexts(),
              std::vector<std::string>{"No vehicles were found matching VIN: JHMES96643S123456"});
}

// The trims of the choice VIN carry names of their own; the model ACCORD
// keeps the two coupes, the V6 and the hybrid.
TEST_F(SampleDataTest, AccordOf2005HasFourSubModels) {
    // Padded to its field as the model list hands it on: a shorter name is a
    // key prefix, which "ACCORD LX" also starts with.
    TStr make("HOND"), year("2005"), model("ACCORD              ");
    int subModels = 0;
    for (e->GetFirstSubModel(make.get(), year.get(), model.get()); !e->GetEndOfModel();
         e->GetNextSubModel())
        ++subModels;
    EXPECT_EQ(subModels, 4);

    TCollectedList makes(TCollectedList::kMakes);
    e->GetListOfMakes(makes.get());
    EXPECT_EQ(makes.Entries().size(), 36u);
    TCollectedList models(TCollectedList::kModels);
    for (size_t i = 0; i < makes.Entries().size(); ++i)
        if (makes.Entries()[i].text == "Honda")
            e->GetListOfModels(models.get(), &makes.Make(i), year.get());
    int accords = 0, trims = 0;
    for (const auto& text : models.Texts()) {
        accords += text == "Accord";
        trims += text == "Accord LX" || text == "Accord EX" || text == "Accord EX-L";
    }
    EXPECT_EQ(accords, 4);
    EXPECT_EQ(trims, 3);
    EXPECT_TRUE(Boxes().empty()) << BoxTexts().front();
}

}  // namespace
}  // namespace yarvel_test
