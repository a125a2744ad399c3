// Year, make and model lookups: the make and model lists, the record of a
// model, sub-models, their difference sets, the model's VIN and whether a
// model always rates the same.
#include <cstdio>
#include <limits>
#include <set>

#include "YarvelTestSupport.h"

namespace yarvel_test {
namespace {

TFixtureData ModelFixture() {
    TFixtureData fixture = DefaultFixture();
    fixture.master = {
        // Three sub-models of one model and year.
        Row({{"VIN", "1HGCM566&5"}, {"MODELINFO", "LX"}}),
        Row({{"VIN", "1HGCM726&5"}, {"BODYSTYLE", "COUPE 2D"}, {"BODYINFO", "COUPE"}}),
        Row({{"VIN", "1HGCM826&5"},
             {"MODELINFO", "EX V6"},
             {"ENGNSIZE", "3.0"},
             {"ENGN_CYLN", "6"},
             {"ENGNINFO", "3.0L 6 CYL"}}),
        Row({{"VIN", "2HGES165&5"}, {"MODELNAME", "CIVIC"}, {"EFF_DATE", "0149"}}),
        // Around the change of record type.
        Row({{"VIN", "2HGFA165&A"}, {"MODELNAME", "CIVIC"}, {"IIN", "1001"}}),
        Row({{"VIN", "2HGFB2F5&B"},
             {"MODELNAME", "CIVIC"},
             {"IIN", "1101"},
             {"REC_TYPE", "3"},
             {"MODELINFO", "TYPE3"}}),
        Row({{"VIN", "2HGFB2F6&B"},
             {"MODELNAME", "CIVIC"},
             {"IIN", "1102"},
             {"REC_TYPE", "1"},
             {"MODELINFO", "MISFILED"}}),
        Row({{"VIN", "5FNYF6H5&T"}, {"MODELNAME", "PILOT"}, {"IIN", "2701"}, {"REC_TYPE", "3"}}),
        // Other makes.
        Row({{"VIN", "XYZRD001&5"}, {"MANUFACT", "XYZ"}, {"MODELNAME", "ROADSTER"}}),
        Row({{"VIN", "XYZCA001&5"}, {"MANUFACT", "XYZ"}, {"IIN", "AB"}, {"MODELNAME", "CAR"}}),
        Row({{"VIN", "SCBCR63W&5"}, {"MANUFACT", "RR"}, {"MODELNAME", "CONTINENTAL GT"}}),
        Row({{"VIN", "4T1BE32K&5"},
             {"MANUFACT", "TOYT"},
             {"MODELNAME", "CAMRY"},
             {"MODELINFO", "LE"}}),
        Row({{"VIN", "4T1BE32K&5"},
             {"MANUFACT", "TOYT"},
             {"MODELNAME", "CAMRY"},
             {"MODELINFO", "XLE"}}),
    };
    return fixture;
}

std::string Padded(const std::string& text, size_t width) {
    return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

class ModelTest : public EngineTest {
protected:
    void SetUp() override {
        EngineTest::SetUp();
        ASSERT_TRUE(StartWith(ModelFixture()));
    }

    // The sub-models' VIN patterns, walked as the program walks them.
    std::vector<std::string> SubModels(const std::string& make, const std::string& year,
                                       const std::string& model) {
        TStr m(make), y(year), n(model);
        std::vector<std::string> vins;
        e->GetFirstSubModel(m.get(), y.get(), n.get());
        for (int guard = 0; !e->GetEndOfModel() && guard < 100; ++guard) {
            TStr vin;
            e->GetFieldValue(vin.out(), YV_FIELD_VIN);
            vins.push_back(vin.Text());
            e->GetNextSubModel();
        }
        return vins;
    }
};

TEST_F(ModelTest, MakeListHandsOutNameAndAbbreviationAndAppends) {
    TCollectedList list(TCollectedList::kMakes);
    e->GetListOfMakes(list.get());
    const std::vector<std::string> names = {"Honda", "Rolls-Royce & Bentley", "Toyota",
                                            "Xyz Motors"};
    EXPECT_EQ(list.Texts(), names);
    const char* abbrs[] = {"HOND", "RR  ", "TOYT", "XYZ "};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(Text(list.Make(i).Abbr), abbrs[i]);
        EXPECT_EQ(Text(list.Make(i).Make), names[i]);
    }

    // A second listing into the same list gives every make twice.
    e->GetListOfMakes(list.get());
    std::vector<std::string> twice = names;
    twice.insert(twice.end(), names.begin(), names.end());
    EXPECT_EQ(list.Texts(), twice);
    EXPECT_TRUE(Boxes().empty()) << BoxTexts().front();
}

struct TModelListCase {
    const char* name;
    const char* abbr;  // as the make list hands it out
    const char* year;
    std::vector<std::string> entries;
    const char* firstName;  // the first model object's Name, as stored
};

std::ostream& operator<<(std::ostream& os, const TModelListCase& c) {
    return os << c.name;
}

class ModelListTest : public ModelTest, public ::testing::WithParamInterface<TModelListCase> {};

TEST_P(ModelListTest, ListsOneEntryPerMasterRecordOfMakeAndYear) {
    const TModelListCase& c = GetParam();
    TStr abbr(c.abbr), year(c.year);
    TAutoMake make{nullptr, const_cast<TYarvelString*>(abbr.get())};
    TCollectedList list(TCollectedList::kModels);
    e->GetListOfModels(list.get(), &make, year.get());
    EXPECT_EQ(list.Texts(), c.entries);
    if (!c.entries.empty()) {
        EXPECT_EQ(Text(list.Model(0).Name), Padded(c.firstName, 20));
    }
    EXPECT_TRUE(Boxes().empty()) << BoxTexts().front();
}

INSTANTIATE_TEST_SUITE_P(
    Lists, ModelListTest,
    ::testing::Values(
        TModelListCase{"ThreeSubModelsThreeEntries",
                       "HOND",
                       "2005",
                       {"Accord", "Accord", "Accord", "Civic"},
                       "ACCORD"},
        TModelListCase{"Year2010IsRecordType1", "HOND", "2010", {"Civic"}, "CIVIC"},
        // 2011 reads record type 3 only: the type-1 record of 2011 stays out.
        TModelListCase{"Year2011IsRecordType3", "HOND", "2011", {"Civic"}, "CIVIC"},
        TModelListCase{"NextYear", "HOND", "2027", {"Pilot"}, "PILOT"},
        TModelListCase{"NoModelsThatYear", "HOND", "2004", {}, ""},
        TModelListCase{"LowerCaseMakeIsUpperCased", "xyz", "2005", {"Roadster"}, "ROADSTER"},
        // A year text of another length is taken whole (and is type 1).
        TModelListCase{"OddYearTextTakenWhole", "xyz", "abc", {"Car"}, "CAR"},
        TModelListCase{"PaddedAbbreviation", "RR  ", "2005", {"Continental GT"}, "CONTINENTAL GT"},
        TModelListCase{
            "ShortAbbreviationIsPadded", "RR", "2005", {"Continental GT"}, "CONTINENTAL GT"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ModelTest, ModelListTakesTheMakeObjectOfTheMakeListAndAppends) {
    TCollectedList makes(TCollectedList::kMakes);
    e->GetListOfMakes(makes.get());
    ASSERT_EQ(makes.Texts().at(1), "Rolls-Royce & Bentley");
    TStr year("2005");
    TCollectedList models(TCollectedList::kModels);
    e->GetListOfModels(models.get(), &makes.Make(1), year.get());
    e->GetListOfModels(models.get(), &makes.Make(1), year.get());
    EXPECT_EQ(models.Texts(), (std::vector<std::string>{"Continental GT", "Continental GT"}));
}

TEST_F(ModelTest, RecordByYearMakeModelUsesTheRecordType) {
    const struct {
        int recordType;
        const char* make;
        int year;
        const char* model;
        const char* modelInfo;  // nullptr: not found
    } cases[] = {
        {1, "HOND", 2005, "Accord", "LX"},  // first in tag order, shown model name accepted
        {1, "HOND", 2005, "ACCORD              ", "LX"},
        {3, "HOND", 2011, "CIVIC", "TYPE3"},
        {1, "HOND", 2011, "CIVIC", "MISFILED"},
        {1, "HOND", 2027, "PILOT", nullptr},  // stored under record type 3 only
        {1, "HOND", 2005, "CIVIC", "LX"},     // no date test: in effect only from 2049
        {1, "NONE", 2005, "ACCORD", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.make) + " " + std::to_string(c.year) + " " + c.model);
        TRecord record;
        record.FillSentinels();
        record->RecordType = c.recordType;
        record->ModelYear = c.year;
        record->Make = Replaced(record->Make, c.make);
        record->Model = Replaced(record->Model, c.model);
        const bool found = e->GetRecordByYMM(record.p()) != 0;
        EXPECT_EQ(found, c.modelInfo != nullptr);
        if (found) {
            EXPECT_EQ(Text(record->ModelInfo), c.modelInfo);
            EXPECT_EQ(Text(record->Make), "Honda");
            EXPECT_EQ(Val(record->RecordType), c.recordType);
        } else {
            EXPECT_EQ(Text(record->Make), c.make);  // untouched
            EXPECT_EQ(Val(record->Symbol), -77);
        }
    }
    EXPECT_TRUE(Boxes().empty()) << BoxTexts().front();
}

TEST_F(ModelTest, SubModelsWalkTheModelInVinOrder) {
    // Before any walk there is nothing to step to.
    e->GetNextSubModel();
    EXPECT_EQ(e->GetEndOfModel(), 1);

    const std::vector<std::string> accord = {"1HGCM566&5", "1HGCM726&5", "1HGCM826&5"};
    EXPECT_EQ(SubModels("HOND", "2005", Padded("ACCORD", 20)), accord);
    EXPECT_EQ(SubModels("HOND", "2005", "Accord"), accord);
    EXPECT_EQ(SubModels("HOND", "2011", "CIVIC"), std::vector<std::string>{"2HGFB2F5&B"});
    EXPECT_TRUE(SubModels("HOND", "2005", "PRELUDE").empty());
    EXPECT_TRUE(Boxes().empty()) << BoxTexts().front();
}

TEST_F(ModelTest, DifferenceFieldsOfAModel) {
    const struct {
        const char* make;
        const char* year;
        const char* model;
        TYarvelDifferenceSet set;
    } cases[] = {
        {"HOND", "2005", "ACCORD",
         TYarvelDifferenceSet(YV_BIT(YV_FIELD_BODYSTYLE) | YV_BIT(YV_FIELD_ENGNSIZE) |
                              YV_BIT(YV_FIELD_ENGN_CYLN) | YV_BIT(YV_FIELD_MODELINFO) |
                              YV_BIT(YV_FIELD_BODYINFO) | YV_BIT(YV_FIELD_ENGNINFO))},
        {"HOND", "2011", "CIVIC", 0},  // one record
        {"TOYT", "2005", "CAMRY", TYarvelDifferenceSet(YV_BIT(YV_FIELD_MODELINFO))},
        {"HOND", "2005", "PRELUDE", 0},
    };
    for (const auto& c : cases) {
        TStr make(c.make), year(c.year), model(c.model);
        EXPECT_EQ(e->GetDifferenceFields(make.get(), year.get(), model.get()), c.set) << c.model;
    }
}

TEST_F(ModelTest, ModelVinComesFromTheSeekOrder) {
    TStr make("HOND"), year("2005"), model("ACCORD"), none("PRELUDE");
    TStr vin("old");
    // The seek tag orders a model's records by body style first.
    e->GetModelVIN(vin.out(), make.get(), year.get(), model.get());
    EXPECT_EQ(vin.Text(), "1HGCM726&5");
    e->GetModelVIN(vin.out(), make.get(), year.get(), none.get());
    EXPECT_EQ(vin.Text(), "");
    EXPECT_TRUE(Boxes().empty()) << BoxTexts().front();
}

TEST_F(ModelTest, ModelAlwaysRatesSameComparesTheNamedFields) {
    const struct {
        const char* make;
        const char* year;
        const char* model;
        std::vector<std::string> fields;
        bool same;
    } cases[] = {
        {"TOYT", "2005", "CAMRY", {"TWODIGVSR", "COMP_SYM"}, true},
        {"TOYT", "2005", "CAMRY", {"twodigvsr", "coll_sym"}, true},
        {"TOYT", "2005", "CAMRY", {"TWODIGVSR", "MODELINFO"}, false},
        {"TOYT", "2005", "CAMRY", {}, true},
        {"HOND", "2011", "CIVIC", {"MODELINFO", "TWODIGVSR"}, true},  // one record
        {"HOND", "2005", "ACCORD", {"TWODIGVSR", "BODYSTYLE"}, false},
        {"TOYT", "2005", "CORONA", {}, false},  // not found
    };
    for (const auto& c : cases) {
        TStr make(c.make), year(c.year), model(c.model);
        std::vector<std::unique_ptr<TStr>> owned;
        std::vector<const TYarvelString*> names;
        for (const auto& f : c.fields) {
            owned.push_back(std::make_unique<TStr>(f));
            names.push_back(owned.back()->get());
        }
        EXPECT_EQ(e->GetModelAlwaysRatesSame(make.get(), year.get(), model.get(),
                                             names.empty() ? nullptr : names.data(),
                                             static_cast<int32_t>(names.size()) - 1),
                  c.same ? 1 : 0)
            << c.model << " " << c.fields.size();
    }
    EXPECT_TRUE(Boxes().empty()) << BoxTexts().front();

    TStr make("HOND"), year("2011"), model("CIVIC"), field("NOPE");
    const TYarvelString* one[] = {field.get()};
    EXPECT_EQ(e->GetModelAlwaysRatesSame(make.get(), year.get(), model.get(), one, 0), 0);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{
                              "YARVEL.DLL Error: Field \"NOPE\" not found in Yarvel.dbf."});
}

TEST_F(ModelTest, OversizedAndOddArgumentsFindNothingWithoutHarm) {
    const std::string huge(100000, 'X');
    const std::string withNul("ACC\0RD", 6);
    TStr hond("HOND"), year("2005"), bigText(huge), nul(withNul), empty;
    TStr vin("old");
    TCollectedList list(TCollectedList::kModels);
    TAutoMake bigMake{nullptr, const_cast<TYarvelString*>(bigText.get())};
    e->GetListOfModels(list.get(), &bigMake, year.get());
    TAutoMake noAbbr{nullptr, nullptr};
    e->GetListOfModels(list.get(), &noAbbr, bigText.get());
    EXPECT_TRUE(list.Entries().empty());

    e->GetModelVIN(vin.out(), hond.get(), year.get(), nul.get());
    EXPECT_EQ(vin.Text(), "");  // not the Accord's pattern: the key is not cut at the NUL
    EXPECT_EQ(e->GetDifferenceFields(hond.get(), bigText.get(), bigText.get()), 0);
    EXPECT_EQ(e->GetDifferenceFields(empty.get(), empty.get(), empty.get()), 0);
    e->GetFirstSubModel(hond.get(), year.get(), nul.get());
    EXPECT_EQ(e->GetEndOfModel(), 1);

    TRecord record;
    record->RecordType = std::numeric_limits<int32_t>::min();
    record->ModelYear = std::numeric_limits<int32_t>::max();
    record->Make = Replaced(record->Make, huge);
    EXPECT_EQ(e->GetRecordByYMM(record.p()), 0);
    EXPECT_TRUE(Boxes().empty()) << BoxTexts().front();
}

// The model tags are written with UPPER() by the table builder and sought with
// the engine's own upper case: one model per byte, and the walk of each model
// must reach exactly the models that are the same in Windows-1252 capitals.
TEST_F(EngineTest, ModelKeysAgreeWithTheIndexOnEveryByte) {
    auto capital = [](int c) {
        if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;
        if (c == 0x9A || c == 0x9C || c == 0x9E) return c - 0x10;
        return c == 0xFF ? 0x9F : c;
    };
    auto vinOf = [](int c) {
        char vin[16];
        std::snprintf(vin, sizeof vin, "UPPR%02X00&5", c);
        return std::string(vin);
    };
    // Blank and below are trimmed or refused as model text.
    const int first = 0x21;
    TFixtureData fixture = DefaultFixture();
    for (int c = first; c < 256; ++c)
        fixture.master.push_back(
            Row({{"VIN", vinOf(c)}, {"MODELNAME", "M" + std::string(1, char(c))}}));
    ASSERT_TRUE(StartWith(fixture));

    for (int c = first; c < 256; ++c) {
        std::set<std::string> expected;
        for (int other = first; other < 256; ++other)
            if (capital(other) == capital(c)) expected.insert(vinOf(other));
        TStr make("HOND"), year("2005"), model("M" + std::string(1, char(c)));
        std::set<std::string> reached;
        e->GetFirstSubModel(make.get(), year.get(), model.get());
        for (int guard = 0; !e->GetEndOfModel() && guard < 10; ++guard) {
            TStr vin;
            e->GetFieldValue(vin.out(), YV_FIELD_VIN);
            reached.insert(vin.Text());
            e->GetNextSubModel();
        }
        EXPECT_EQ(reached, expected) << "byte 0x" << std::hex << c;
    }
    EXPECT_TRUE(Boxes().empty()) << BoxTexts().front();
}

}  // namespace
}  // namespace yarvel_test
