// Decoding a master record into the vehicle record, and the field values of
// the choice columns (translated through VinTrans.dbf).
#include <ctime>
#include <functional>

#include "YarvelTestSupport.h"

namespace yarvel_test {
namespace {

using TMember = std::function<int64_t(const TVinRecord&)>;

struct TDecodeCase {
    std::string name;
    TRow changes;
    TMember member;
    int64_t expected;
};

const int64_t kSentinel8 = 0xA5, kSentinel16 = 0xA5A5, kSentinel32 = -77;

// One case per character of `chars`: the field holding that character.
void AddChars(std::vector<TDecodeCase>& cases, const char* field, const char* chars, TMember member,
              int64_t expected) {
    for (const char* c = chars; *c; ++c) {
        std::string name =
            std::string(field) + "_" + (*c == ' ' ? std::string("blank") : std::string(1, *c));
        cases.push_back({name, {{field, std::string(1, *c)}}, member, expected});
    }
}

int CurrentYear() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local.tm_year + 1900;
}

std::vector<TDecodeCase> DecodeCases() {
    std::vector<TDecodeCase> v;
    auto restraints = [](const TVinRecord& r) { return int64_t{r.PassiveRestraints}; };
    const int64_t D = YV_BIT(YV_RESTRAINT_DRIVER), P = YV_BIT(YV_RESTRAINT_PASSENGER),
                  DS = YV_BIT(YV_RESTRAINT_DRIVERS_SIDE), PS = YV_BIT(YV_RESTRAINT_PASSENGERS_SIDE);
    AddChars(v, "REST_IND", " ", restraints, YV_BIT(YV_RESTRAINT_UNKNOWN));
    AddChars(v, "REST_IND", "A", restraints, YV_BIT(YV_RESTRAINT_NONE));
    AddChars(v, "REST_IND", "BDHMNP", restraints, D);
    AddChars(v, "REST_IND", "23EFIOTXZ", restraints, D | P);
    AddChars(v, "REST_IND", "CLU", restraints, D | DS);
    AddChars(v, "REST_IND", "145689GJKQRSVWY", restraints, D | P | DS | PS);
    AddChars(v, "REST_IND", "70", restraints, kSentinel8);  // unlisted: left as it was

    auto brakes = [](const TVinRecord& r) { return int64_t{r.AntiLockBrakes}; };
    AddChars(v, "ANTILCKBRK", " ", brakes, YV_EQUIP_UNKNOWN);
    AddChars(v, "ANTILCKBRK", "S", brakes, YV_EQUIP_STANDARD);
    AddChars(v, "ANTILCKBRK", "JO", brakes, YV_EQUIP_OPTIONAL);
    AddChars(v, "ANTILCKBRK", "NRW", brakes, YV_EQUIP_NOT_AVAILABLE);
    AddChars(v, "ANTILCKBRK", "XQ", brakes, kSentinel8);

    auto engine = [](const TVinRecord& r) { return int64_t{r.SpecialEngineType}; };
    AddChars(v, "ENGN_TYPE", "T", engine, YV_ENGINE_TURBO);
    AddChars(v, "ENGN_TYPE", "D", engine, YV_ENGINE_DIESEL);
    AddChars(v, "ENGN_TYPE", "X", engine, YV_ENGINE_TURBO_DIESEL);
    AddChars(v, "ENGN_TYPE", "N", engine, YV_ENGINE_NATURAL_GAS);
    AddChars(v, "ENGN_TYPE", " Q", engine, YV_ENGINE_NONE);  // anything else: None

    auto perf = [](const TVinRecord& r) { return int64_t{r.Performance}; };
    AddChars(v, "CONT_PERF", " ", perf, YV_PERF_STANDARD);
    AddChars(v, "CONT_PERF", "I", perf, YV_PERF_INTERMEDIATE);
    AddChars(v, "CONT_PERF", "H", perf, YV_PERF_HIGH);
    AddChars(v, "CONT_PERF", "S", perf, YV_PERF_SPORTS);
    AddChars(v, "CONT_PERF", "P", perf, YV_PERF_SPORTS_PREMIUM);
    AddChars(v, "CONT_PERF", "X", perf, kSentinel8);

    auto lamps = [](const TVinRecord& r) { return int64_t{r.DaytimeRunningLamps}; };
    AddChars(v, "DAYRLIND", " ", lamps, YV_EQUIP_UNKNOWN);
    AddChars(v, "DAYRLIND", "S", lamps, YV_EQUIP_STANDARD);
    AddChars(v, "DAYRLIND", "O", lamps, YV_EQUIP_OPTIONAL);
    AddChars(v, "DAYRLIND", "N", lamps, YV_EQUIP_NOT_AVAILABLE);
    AddChars(v, "DAYRLIND", "JR", lamps, kSentinel8);

    auto theft = [](const TVinRecord& r) { return int64_t{r.AntiTheftDevices}; };
    AddChars(v, "ANTITHEFT", "A", theft, YV_BIT(YV_THEFT_ALARM));
    AddChars(v, "ANTITHEFT", "D", theft, YV_BIT(YV_THEFT_ACTIVE_DISABLING));
    AddChars(v, "ANTITHEFT", "P", theft, YV_BIT(YV_THEFT_PASSIVE_DISABLING));
    AddChars(v, "ANTITHEFT", " QR", theft, 0);  // anything else: the empty set

    auto fwd = [](const TVinRecord& r) { return int64_t{r.FourWheelDrive}; };
    AddChars(v, "FOURWHDRV", "4", fwd, 1);
    AddChars(v, "FOURWHDRV", " 2Y", fwd, 0);

    auto info = [](const TVinRecord& r) { return int64_t{r.SpecialInfo}; };
    const struct {
        const char* c;
        std::initializer_list<int> bits;
    } special[] = {{"M", {6}},     {"B", {7}},      {"E", {8}},     {"R", {9}},     {"T", {10}},
                   {"O", {11}},    {"A", {7, 10}},  {"C", {6, 10}}, {"G", {9, 10}}, {"H", {9, 11}},
                   {"V", {8, 10}}, {"W", {10, 11}}, {"X", {6, 7}},  {"Y", {7, 8}},  {"Z", {7, 11}}};
    for (const auto& s : special) {
        int64_t set = 0;
        for (int b : s.bits) set |= YV_BIT(b);
        AddChars(v, "SPLINFOSEL", s.c, info, set);
    }
    AddChars(v, "SPLINFOSEL", " QN", info, kSentinel16);

    // Symbols: the number, else the letter.
    auto symbol = [](const TVinRecord& r) { return int64_t{r.Symbol}; };
    auto nonVsr = [](const TVinRecord& r) { return int64_t{r.NonVSRSymbol}; };
    const struct {
        const char* letter;
        int value;
    } letters[] = {{"J", 10}, {"K", 11}, {"M", 12}, {"N", 13}, {"P", 14}, {"R", 15},
                   {"S", 16}, {"T", 17}, {"U", 18}, {"V", 19}, {"W", 20}, {"A", 21},
                   {"L", 0},  {"Q", 0},  {"5", 5},  {"", 0}};
    for (const auto& l : letters)
        v.push_back({std::string("VSRSYM_") + (*l.letter ? l.letter : "blank"),
                     {{"TWODIGVSR", ""}, {"VSRSYM", l.letter}},
                     symbol,
                     l.value});
    v.push_back({"TWODIGVSR_wins", {{"TWODIGVSR", "14"}, {"VSRSYM", "W"}}, symbol, 14});
    v.push_back({"TWODIGVSR_zero", {{"TWODIGVSR", "00"}, {"VSRSYM", "M"}}, symbol, 12});
    v.push_back({"TWODIGVSR_trimmed", {{"TWODIGVSR", " 7"}, {"VSRSYM", "M"}}, symbol, 7});
    v.push_back({"TWODIGVSR_negative", {{"TWODIGVSR", "-3"}}, symbol, -3});
    v.push_back({"NON_VSRSYM_letter", {{"TWODIGNVSR", ""}, {"NON_VSRSYM", "T"}}, nonVsr, 17});
    v.push_back({"TWODIGNVSR_wins", {{"TWODIGNVSR", "09"}, {"NON_VSRSYM", "T"}}, nonVsr, 9});

    // Model year from the first two IIN characters, around the pivot.
    auto year = [](const TVinRecord& r) { return int64_t{r.ModelYear}; };
    const int pivot = (CurrentYear() + 3) % 100;
    char below[8], at[8];
    std::snprintf(below, sizeof below, "%02d99", pivot - 1);
    std::snprintf(at, sizeof at, "%02d99", pivot);
    v.push_back({"IIN_05", {{"IIN", "0512"}}, year, 2005});
    v.push_back({"IIN_85", {{"IIN", "85"}}, year, 1985});
    v.push_back({"IIN_blank", {{"IIN", ""}}, year, 2000});
    v.push_back({"IIN_below_pivot", {{"IIN", below}}, year, 2000 + pivot - 1});
    v.push_back({"IIN_at_pivot", {{"IIN", at}}, year, 1900 + pivot});

    auto cylinders = [](const TVinRecord& r) { return int64_t{r.Cylinders}; };
    v.push_back({"ENGN_CYLN_translated", {{"ENGN_CYLN", "W"}}, cylinders, 12});
    v.push_back({"ENGN_CYLN_untranslated", {{"ENGN_CYLN", "6"}}, cylinders, 6});
    v.push_back({"ENGN_CYLN_blank", {{"ENGN_CYLN", ""}}, cylinders, 0});

    auto highTheft = [](const TVinRecord& r) { return int64_t{r.HighTheft}; };
    const struct {
        const char* name;
        const char* text;
        int theft;
    } states[] = {{"MA", "MA", 1}, {"ma", "ma", 1},        {"Ma_more", "Ma HIGH", 1},
                  {"NY", "NY", 0}, {"blank_MA", " MA", 0}, {"M", "M", 0},
                  {"blank", "", 0}};
    for (const auto& s : states)
        v.push_back(
            {std::string("STAT_EXEP_") + s.name, {{"STAT_EXEP", s.text}}, highTheft, s.theft});

    auto comp = [](const TVinRecord& r) { return int64_t{r.CompSymbol}; };
    auto coll = [](const TVinRecord& r) { return int64_t{r.CollSymbol}; };
    auto price = [](const TVinRecord& r) { return int64_t{r.PriceSymbol}; };
    v.push_back({"COMP_SYM", {{"COMP_SYM", "7"}}, comp, 7});
    v.push_back({"COMP_SYM_blank", {{"COMP_SYM", ""}}, comp, 0});
    v.push_back({"COLL_SYM", {{"COLL_SYM", " 9"}}, coll, 9});
    v.push_back({"PRICE_SYM_blank", {{"PRICE_SYM", ""}}, price, 0});

    // Never written by a load.
    v.push_back({"RecordType_kept",
                 {},
                 [](const TVinRecord& r) { return int64_t{r.RecordType}; },
                 kSentinel32});
    v.push_back({"EffectiveDate_kept",
                 {},
                 [](const TVinRecord& r) { return int64_t(r.EffectiveDate * 100); },
                 1234525});
    return v;
}

const std::vector<TDecodeCase>& AllDecodeCases() {
    static const std::vector<TDecodeCase> cases = DecodeCases();
    return cases;
}

// Master VIN pattern of case i.
std::string CaseVin(size_t i) {
    char vin[32];
    std::snprintf(vin, sizeof vin, "D%07u&5", static_cast<unsigned>(i % 10000000));
    return vin;
}

// A text field of the record, read and written by value: the record is
// packed, so its fields are never bound by reference or address.
struct TTextField {
    TYarvelString* (*get)(const TVinRecord&);
    void (*set)(TVinRecord&, TYarvelString*);
};
#define TEXT_FIELD(name)                                        \
    TTextField {                                                \
        [](const TVinRecord& r) { return r.name; },             \
            [](TVinRecord& r, TYarvelString* s) { r.name = s; } \
    }

const char kOwnPattern[] = "<the case's own VIN pattern>";

struct TTextCase {
    std::string name;
    TRow changes;
    TTextField field;
    std::string expected;
};

const std::vector<TTextCase>& AllTextCases() {
    static const std::vector<TTextCase> cases = {
        {"Make_name", {{"MANUFACT", "RR"}}, TEXT_FIELD(Make), "Rolls-Royce & Bentley"},
        {"Make_unknown", {{"MANUFACT", "QQQ"}}, TEXT_FIELD(Make), "QQQ"},
        {"VIN_as_stored", {}, TEXT_FIELD(VIN), kOwnPattern},
        {"Body_as_stored", {{"BODYSTYLE", "SEDAN 4D"}}, TEXT_FIELD(Body), "SEDAN 4D            "},
        {"VehicleClass_translated",
         {{"CLASSCODE", "PC"}},
         TEXT_FIELD(VehicleClass),
         "Passenger Car"},
        {"VehicleClass_untranslated", {{"CLASSCODE", "XS"}}, TEXT_FIELD(VehicleClass), "XS"},
        {"VehicleClass_blank", {{"CLASSCODE", ""}}, TEXT_FIELD(VehicleClass), ""},
        {"VSRText_trimmed", {{"TWODIGVSR", " 7"}}, TEXT_FIELD(VSRText), "7"},
        {"StateExceptions_trimmed",
         {{"STAT_EXEP", "  MA HT"}},
         TEXT_FIELD(StateExceptions),
         "MA HT"},
        // Free texts are trimmed, never translated on a load.
        {"ModelInfo", {{"MODELINFO", "  LX  "}}, TEXT_FIELD(ModelInfo), "LX"},
        {"BodyInfo", {{"BODYINFO", " SEDAN"}}, TEXT_FIELD(BodyInfo), "SEDAN"},
        {"EngineInfo", {{"ENGNINFO", "2.4L 4 CYL"}}, TEXT_FIELD(EngineInfo), "2.4L 4 CYL"},
        {"RestraintInfo", {{"RESTINFO", "DUAL "}}, TEXT_FIELD(RestraintInfo), "DUAL"},
        {"TransmissionInfo", {{"TRANSINFO", "A5"}}, TEXT_FIELD(TransmissionInfo), "A5"},
        {"OtherInfo", {{"NOTCLASINF", "HYBRID"}}, TEXT_FIELD(OtherInfo), "HYBRID"},
        // The model name, proper-cased.
        {"Model_words",
         {{"MODELNAME", "SPORT UTILITY 4X4"}},
         TEXT_FIELD(Model),
         "Sport Utility 4X4"},
        {"Model_van", {{"MODELNAME", "GRAND TOURING VAN"}}, TEXT_FIELD(Model), "Grand Touring Van"},
        {"Model_VAN", {{"MODELNAME", "VAN"}}, TEXT_FIELD(Model), "Van"},
        {"Model_GEO", {{"MODELNAME", "GEO-VAN"}}, TEXT_FIELD(Model), "Geo-Van"},
        {"Model_CAR", {{"MODELNAME", "CAR"}}, TEXT_FIELD(Model), "Car"},
        {"Model_CARS", {{"MODELNAME", "CARS"}}, TEXT_FIELD(Model), "Cars"},
        {"Model_SUV", {{"MODELNAME", "SUV"}}, TEXT_FIELD(Model), "SUV"},
        {"Model_2DR", {{"MODELNAME", "2DR"}}, TEXT_FIELD(Model), "2DR"},
        {"Model_lower_van", {{"MODELNAME", "van"}}, TEXT_FIELD(Model), "van"},
        {"Model_blanks", {{"MODELNAME", "   "}}, TEXT_FIELD(Model), ""},
        {"Model_leading_blanks", {{"MODELNAME", "  CIVIC"}}, TEXT_FIELD(Model), "Civic"},
        {"Model_digits_end_runs", {{"MODELNAME", "MAZDA3"}}, TEXT_FIELD(Model), "Mazda3"},
        {"Model_digit_first", {{"MODELNAME", "4RUNNER"}}, TEXT_FIELD(Model), "4Runner"},
        {"Model_hyphen", {{"MODELNAME", "CR-V"}}, TEXT_FIELD(Model), "CR-V"},
        {"Model_ampersand", {{"MODELNAME", "TOWN & COUNTRY"}}, TEXT_FIELD(Model), "Town & Country"},
        {"Model_double_blank", {{"MODELNAME", "A  VAN"}}, TEXT_FIELD(Model), "A  Van"},
        {"Model_mixed_case", {{"MODELNAME", "McLAREN"}}, TEXT_FIELD(Model), "Mclaren"},
        {"Model_long_run", {{"MODELNAME", "VANGEO"}}, TEXT_FIELD(Model), "Vangeo"},
    };
    return cases;
}

std::string TextCaseVin(size_t i) {
    char vin[32];
    std::snprintf(vin, sizeof vin, "T%07u&5", static_cast<unsigned>(i % 10000000));
    return vin;
}

// One data folder for all decoding cases: a master row per case.
class DecodeFixture : public EngineTest {
public:
    static void SetUpTestSuite() {
        s_data = new platform::testing::TempFolder(false);
        TFixtureData fixture = DefaultFixture();
        const auto& cases = AllDecodeCases();
        for (size_t i = 0; i < cases.size(); ++i) {
            TRow row = Row({{"VIN", CaseVin(i)}});
            for (const auto& [f, value] : cases[i].changes) row[f] = value;
            fixture.master.push_back(row);
        }
        const auto& texts = AllTextCases();
        for (size_t i = 0; i < texts.size(); ++i) {
            TRow row = Row({{"VIN", TextCaseVin(i)}});
            for (const auto& [f, value] : texts[i].changes) row[f] = value;
            fixture.master.push_back(row);
        }
        s_built = BuildTables(s_data->Path(), fixture);
    }
    static void TearDownTestSuite() {
        delete s_data;
        s_data = nullptr;
    }

protected:
    void StartShared() {
        ASSERT_TRUE(s_built);
        WriteHostIni(Folder().WindowsDir(), s_data->Path());
        e->Start();
        ASSERT_TRUE(Boxes().empty()) << BoxTexts().front();
    }

    static platform::testing::TempFolder* s_data;
    static bool s_built;
};

platform::testing::TempFolder* DecodeFixture::s_data = nullptr;
bool DecodeFixture::s_built = false;

class DecodeTest : public DecodeFixture, public ::testing::WithParamInterface<size_t> {};

TEST_P(DecodeTest, FieldDecodesAsListed) {
    const TDecodeCase& c = AllDecodeCases()[GetParam()];
    StartShared();
    TRecord record;
    record.FillSentinels();
    LoadVIN(CaseVin(GetParam()) + "1234567", record);
    EXPECT_TRUE(Boxes().empty()) << BoxTexts().front();
    EXPECT_EQ(c.member(record.r), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Fields, DecodeTest, ::testing::Range<size_t>(0, AllDecodeCases().size()),
                         [](const auto& info) { return AllDecodeCases()[info.param].name; });

class DecodeTextTest : public DecodeFixture, public ::testing::WithParamInterface<size_t> {};

TEST_P(DecodeTextTest, TextFieldIsFilledAsListed) {
    const TTextCase& c = AllTextCases()[GetParam()];
    StartShared();
    TRecord record;
    c.field.set(record.r, Replaced(nullptr, "old text"));
    LoadVIN(TextCaseVin(GetParam()) + "1234567", record);
    EXPECT_TRUE(Boxes().empty()) << BoxTexts().front();
    const std::string expected = c.expected == kOwnPattern ? TextCaseVin(GetParam()) : c.expected;
    EXPECT_EQ(Text(c.field.get(record.r)), expected);
}

INSTANTIATE_TEST_SUITE_P(Texts, DecodeTextTest, ::testing::Range<size_t>(0, AllTextCases().size()),
                         [](const auto& info) { return AllTextCases()[info.param].name; });

// ---- Loads that stop part-way, and optional fields ---------------------------------

class RecordTest : public EngineTest {};

TEST_F(RecordTest, ConversionErrorEndsTheLoadAtItsStep) {
    TFixtureData fixture = DefaultFixture();
    fixture.master = {Row({{"VIN", "BADVSR01&5"},
                           {"TWODIGVSR", "1A"},
                           {"NOTCLASINF", "HYBRID"},
                           {"DAYRLIND", "N"}}),
                      Row({{"VIN", "BADIIN01&5"}, {"IIN", "X5"}}),
                      Row({{"VIN", "BADCYL01&5"}, {"ENGN_CYLN", "Z"}})};
    ASSERT_TRUE(StartWith(fixture));

    TRecord record;
    record.FillSentinels();
    LoadVIN("BADVSR0115", record);
    EXPECT_EQ(BoxTexts(),
              std::vector<std::string>{"YARVEL.DLL Error: '1A' is not a valid integer value"});
    // Steps before the symbol took effect ...
    EXPECT_EQ(Text(record->VIN), "BADVSR01&5");
    EXPECT_EQ(Val(record->ModelYear), 2005);
    EXPECT_EQ(Text(record->OtherInfo), "HYBRID");
    EXPECT_EQ(Val(record->DaytimeRunningLamps), YV_EQUIP_NOT_AVAILABLE);
    // ... the symbol and every later step did not.
    EXPECT_EQ(Val(record->Symbol), -77);
    EXPECT_EQ(Val(record->NonVSRSymbol), -77);
    EXPECT_EQ(Val(record->VehicleClass), nullptr);
    EXPECT_EQ(Val(record->AntiTheftDevices), 0xA5A5);
    EXPECT_EQ(Val(record->CompSymbol), -77);

    ClearBoxes();
    TRecord second;
    second.FillSentinels();
    LoadVIN("BADIIN0115", second);
    EXPECT_EQ(BoxTexts(),
              std::vector<std::string>{"YARVEL.DLL Error: 'X5' is not a valid integer value"});
    EXPECT_EQ(Text(second->VIN), "BADIIN01&5");
    EXPECT_EQ(Val(second->ModelYear), -77);
    EXPECT_EQ(Val(second->PassiveRestraints), 0xA5);

    // The translated cylinder code must read as a number too.
    ClearBoxes();
    TRecord third;
    LoadVIN("BADCYL0115", third);
    EXPECT_EQ(BoxTexts(),
              std::vector<std::string>{"YARVEL.DLL Error: 'many' is not a valid integer value"});
}

TEST_F(RecordTest, TableWithoutPriceSymbolLeavesItUntouched) {
    TFixtureData fixture = DefaultFixture();
    fixture.master = {Row({{"COMP_SYM", "31"}, {"COLL_SYM", "32"}})};
    fixture.omitFields = {"PRICE_SYM"};
    ASSERT_TRUE(StartWith(fixture));
    TRecord record;
    record.FillSentinels();
    LoadVIN("TEST00019", record);
    EXPECT_TRUE(Boxes().empty()) << BoxTexts().front();
    EXPECT_EQ(Val(record->CompSymbol), 31);
    EXPECT_EQ(Val(record->CollSymbol), 32);
    EXPECT_EQ(Val(record->PriceSymbol), -77);
}

TEST_F(RecordTest, TableWithoutOptionalSymbolsLoadsButCannotShowTheirColumns) {
    TFixtureData fixture = DefaultFixture();
    fixture.master = {Row({})};
    fixture.omitFields = {"COMP_SYM", "COLL_SYM", "PRICE_SYM"};
    ASSERT_TRUE(StartWith(fixture));
    TRecord record;
    record.FillSentinels();
    LoadVIN("TEST00019", record);
    EXPECT_TRUE(Boxes().empty()) << BoxTexts().front();
    EXPECT_EQ(Val(record->CompSymbol), -77);
    EXPECT_EQ(Val(record->Symbol), 12);

    TStr value;
    e->GetFieldValue(value.out(), YV_FIELD_COMP_SYM);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{
                              "YARVEL.DLL Error: Field \"COMP_SYM\" not found in Yarvel.dbf."});
}

TEST_F(RecordTest, MissingRequiredFieldIsReported) {
    TFixtureData fixture = DefaultFixture();
    fixture.master = {Row({})};
    fixture.omitFields = {"STAT_EXEP"};
    ASSERT_TRUE(StartWith(fixture));
    TRecord record;
    LoadVIN("TEST00019", record);
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{
                              "YARVEL.DLL Error: Field \"STAT_EXEP\" not found in Yarvel.dbf."});
}

// ---- Field values of the choice columns ---------------------------------------------

class FieldValueTest : public EngineTest {};

TEST_F(FieldValueTest, EverySelectorReadsItsFieldTranslated) {
    TFixtureData fixture = DefaultFixture();
    fixture.translations.push_back({"MODELNAME", "CRV", "CR-V SPORT UTILITY"});
    fixture.master = {Row({{"VIN", "TRANS001&5"}, {"NOTCLASINF", "HYBRID"}, {"ENGN_TYPE", "T"}}),
                      Row({{"VIN", "TRANS002&5"},
                           {"MODELNAME", "CRV"},
                           {"MODELINFO", "LX SPORT"},
                           {"TRANSINFO", ""},
                           {"COMP_SYM", ""}})};
    ASSERT_TRUE(StartWith(fixture));

    const char* first[16] = {"Accord",
                             "12",
                             "SEDAN 4D",
                             "2.4 Liter",
                             "4",
                             "Turbo",
                             "Luxury Edition",
                             "SEDAN",
                             "2.4L 4 CYL",
                             "FRONT/SIDE AIRBAGS",
                             "5-Speed Automatic",
                             "Hybrid Electric",
                             "12",
                             "20",
                             "21",
                             "TRANS001&5"};
    TStr vin("TRANS0019");
    e->GetFirstVIN(vin.get());
    for (int s = 0; s <= YV_FIELD_LAST; ++s) {
        TStr value("old");
        e->GetFieldValue(value.out(), static_cast<TYarvelFieldSelector>(s));
        EXPECT_EQ(value.Text(), first[s]) << "selector " << s;
    }

    // A translated model name is then proper-cased; a code is translated
    // only when it matches a row exactly; blank stays blank.
    TStr vin2("TRANS0029");
    e->GetFirstVIN(vin2.get());
    const std::pair<int, const char*> second[] = {{YV_FIELD_MODELNAME, "CR-V Sport Utility"},
                                                  {YV_FIELD_MODELINFO, "LX SPORT"},
                                                  {YV_FIELD_TRANSINFO, ""},
                                                  {YV_FIELD_COMP_SYM, ""},
                                                  {YV_FIELD_ENGN_TYPE, ""}};
    for (const auto& [s, expected] : second) {
        TStr value("old");
        e->GetFieldValue(value.out(), static_cast<TYarvelFieldSelector>(s));
        EXPECT_EQ(value.Text(), expected) << "selector " << s;
    }
    EXPECT_TRUE(Boxes().empty()) << BoxTexts().front();
}

TEST_F(FieldValueTest, SelectorAbove15IsAnErrorAndLeavesTheValue) {
    TFixtureData fixture = DefaultFixture();
    fixture.master = {Row({})};
    ASSERT_TRUE(StartWith(fixture));
    TStr vin("TEST00019");
    e->GetFirstVIN(vin.get());
    for (int s : {16, 255}) {
        ClearBoxes();
        TStr value("kept");
        e->GetFieldValue(value.out(), static_cast<TYarvelFieldSelector>(s));
        EXPECT_EQ(value.Text(), "kept");
        EXPECT_EQ(BoxTexts(),
                  std::vector<std::string>{"YARVEL.DLL Error: Field selector " + std::to_string(s) +
                                           " is not valid (0 to 15)"});
    }
}

}  // namespace
}  // namespace yarvel_test
