// VIN lookups: the masks, the effective-date walk, the candidate iteration
// and the difference sets of a VIN.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>

#include "YarvelTestSupport.h"

namespace yarvel_test {
namespace {

using platform::MsgIcon;

const char kNotFoundPrefix[] = "No vehicles were found matching VIN: ";

class VinTest : public EngineTest {
protected:
    // Runs the candidate iteration; the MODELINFO of each candidate.
    std::vector<std::string> Candidates(const std::string& vin) {
        TStr v(vin);
        std::vector<std::string> found;
        e->GetFirstVIN(v.get());
        for (int guard = 0; !e->GetEndOfVIN() && guard < 100; ++guard) {
            TStr value;
            e->GetFieldValue(value.out(), YV_FIELD_MODELINFO);
            found.push_back(value.Text());
            e->GetNextVIN();
        }
        return found;
    }

    // GetRecordByVIN on a fresh record; the MODELINFO loaded, or "-" when
    // the answer is false.
    std::string Lookup(const std::string& vin, double date) {
        TRecord record;
        record->VIN = Replaced(record->VIN, vin);
        record->EffectiveDate = date;
        if (!e->GetRecordByVIN(record.p())) return "-";
        return Text(record->ModelInfo);
    }
};

// Stored patterns, each with its own prefix so that a case finds only its
// own records. MODELINFO names the record.
TFixtureData MaskFixture() {
    TFixtureData fixture = DefaultFixture();
    fixture.master = {
        Row({{"VIN", "AA1CD23E&5"}, {"MODELINFO", "EXACT"}}),
        Row({{"VIN", "AB1CD&3F&5"}, {"MODELINFO", "SIXTH"}}),
        Row({{"VIN", "AC1&D23G&5"}, {"MODELINFO", "FOURTH"}}),
        Row({{"VIN", "AD1CD23&&5"}, {"MODELINFO", "EIGHTH"}}),
        Row({{"VIN", "AE1CD2&H&5"}, {"MODELINFO", "SEVENTH"}}),
        Row({{"VIN", "AF1&D&3J&5"}, {"MODELINFO", "FOURTH+SIXTH"}}),
        // Masks are tried in order: the exact pattern beats the open one.
        Row({{"VIN", "AG1CD23K&5"}, {"MODELINFO", "G-EXACT"}}),
        Row({{"VIN", "AG1CD&3K&5"}, {"MODELINFO", "G-SIXTH"}}),
        // The 6th mask beats the 4th, the 4th the 8th.
        Row({{"VIN", "AH1CD&3L&5"}, {"MODELINFO", "H-SIXTH"}}),
        Row({{"VIN", "AH1&D23L&5"}, {"MODELINFO", "H-FOURTH"}}),
        Row({{"VIN", "AJ1&D23M&5"}, {"MODELINFO", "J-FOURTH"}}),
        Row({{"VIN", "AJ1CD23&&5"}, {"MODELINFO", "J-EIGHTH"}}),
    };
    return fixture;
}

struct TMaskCase {
    const char* name;
    const char* vin;
    const char* byVin;  // MODELINFO loaded by GetRecordByVIN, "-" for none
    std::vector<std::string> iterated;
    bool iterationShowsNotFound;
};

std::ostream& operator<<(std::ostream& os, const TMaskCase& c) {
    return os << c.name;
}

class MaskTest : public VinTest, public ::testing::WithParamInterface<TMaskCase> {};

TEST_P(MaskTest, LookupAndIterationFindTheMaskedPattern) {
    const TMaskCase& c = GetParam();
    ASSERT_TRUE(StartWith(MaskFixture()));
    EXPECT_EQ(Lookup(c.vin, DayCount(2006, 1, 1)), c.byVin);
    const bool lookupShowed = !Boxes().empty();
    EXPECT_EQ(lookupShowed, std::string(c.byVin) == "-") << (lookupShowed ? BoxTexts()[0] : "");
    ClearBoxes();

    EXPECT_EQ(Candidates(c.vin), c.iterated);
    if (c.iterationShowsNotFound) {
        ASSERT_EQ(Boxes().size(), 1u);
        EXPECT_EQ(Boxes()[0].request.text, kNotFoundPrefix + std::string(c.vin));
        EXPECT_EQ(Boxes()[0].request.caption, "VIN Not Found");
        EXPECT_EQ(Boxes()[0].request.icon, MsgIcon::Information);
    } else {
        EXPECT_TRUE(Boxes().empty()) << BoxTexts().front();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Masks, MaskTest,
    ::testing::Values(
        TMaskCase{"Exact", "AA1CD23E75A000001", "EXACT", {"EXACT"}, false},
        TMaskCase{"SixthOpen", "AB1CD23F75A000001", "SIXTH", {"SIXTH"}, false},
        TMaskCase{"FourthOpen", "AC1CD23G75A000001", "FOURTH", {"FOURTH"}, false},
        TMaskCase{"EighthOpen", "AD1CD23Z75A000001", "EIGHTH", {"EIGHTH"}, false},
        // Only the lookup tries the 7th position.
        TMaskCase{"SeventhOpen", "AE1CD2XH75A000001", "SEVENTH", {}, true},
        // Masks are never combined.
        TMaskCase{"FourthAndSixthOpen", "AF1CD23J75A000001", "-", {}, true},
        TMaskCase{"ExactBeforeSixth", "AG1CD23K75A000001", "G-EXACT", {"G-EXACT"}, false},
        TMaskCase{"SixthBeforeFourth", "AH1CD23L75A000001", "H-SIXTH", {"H-SIXTH"}, false},
        TMaskCase{"FourthBeforeEighth", "AJ1CD23M75A000001", "J-FOURTH", {"J-FOURTH"}, false},
        // The key is at most 10 characters; a 9-character VIN searches 9.
        TMaskCase{"NineCharacters", "AA1CD23E7", "EXACT", {"EXACT"}, false},
        TMaskCase{"TenthDiffers", "AA1CD23E76A000001", "-", {}, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(VinTest, VinShorterThanNineFindsNothingAndShowsNothing) {
    ASSERT_TRUE(StartWith(MaskFixture()));
    EXPECT_EQ(Lookup("AA1CD23E", DayCount(2006, 1, 1)), "-");
    // The iteration of a short VIN is empty, not the whole table.
    EXPECT_TRUE(Candidates("AA1CD23E").empty());
    TStr shortVin("AA1CD23E");
    EXPECT_EQ(e->GetDifferenceFieldsVIN(shortVin.get()), 0);
    e->GetNextVIN();
    EXPECT_EQ(e->GetEndOfVIN(), 1);
    EXPECT_TRUE(Boxes().empty()) << BoxTexts().front();
}

TEST_F(VinTest, NotFoundMessageTrimsTheVin) {
    ASSERT_TRUE(StartWith(MaskFixture()));
    EXPECT_EQ(Lookup("  ZZ1CD23E75A000001  ", DayCount(2006, 1, 1)), "-");
    EXPECT_EQ(BoxTexts(),
              std::vector<std::string>{kNotFoundPrefix + std::string("ZZ1CD23E75A000001")});
}

// ---- The effective record -----------------------------------------------------------

TEST_F(VinTest, FirstEffectiveRecordOfTheKeyWins) {
    TFixtureData fixture = DefaultFixture();
    fixture.master = {Row({{"VIN", "1ZVFT82H&5"}, {"EFF_DATE", "0107"}, {"MODELINFO", "REVISED"}}),
                      Row({{"VIN", "1ZVFT82H&5"}, {"EFF_DATE", "0105"}, {"MODELINFO", "FIRST"}}),
                      Row({{"VIN", "4T1BE32K&6"}, {"EFF_DATE", "0906"}, {"MODELINFO", "SEPT"}}),
                      Row({{"VIN", "4T1BE32K&6"}, {"EFF_DATE", "0306"}, {"MODELINFO", "MARCH"}})};
    ASSERT_TRUE(StartWith(fixture));

    const struct {
        const char* vin;
        double date;
        const char* expected;
    } cases[] = {
        {"1ZVFT82H55A000001", DayCount(2006, 6, 15), "FIRST"},
        {"1ZVFT82H55A000001", DayCount(2007, 1, 1), "REVISED"},
        {"4T1BE32K16A000001", DayCount(2006, 7, 1), "MARCH"},
        {"4T1BE32K16A000001", DayCount(2006, 9, 1), "SEPT"},
        {"4T1BE32K16A000001", DayCount(2006, 3, 31, 0.99), "MARCH"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Lookup(c.vin, c.date), c.expected) << c.vin << " " << c.date;
    }
    EXPECT_TRUE(Boxes().empty()) << BoxTexts().front();

    // Before any record of the key is in effect.
    EXPECT_EQ(Lookup("1ZVFT82H55A000001", DayCount(2004, 6, 15)), "-");
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].request.text, "Yarvel table corrupted.");
    EXPECT_EQ(Boxes()[0].request.caption, "Yarvel Table");
    EXPECT_EQ(Boxes()[0].request.icon, MsgIcon::Warning);

    ClearBoxes();
    e->SetSuppressMessages(1);
    EXPECT_EQ(Lookup("1ZVFT82H55A000001", DayCount(2004, 6, 15)), "-");
    EXPECT_TRUE(Boxes().empty());
}

struct TEffectiveCase {
    const char* effDate;
    double date;
    bool effective;
};

std::ostream& operator<<(std::ostream& os, const TEffectiveCase& c) {
    return os << "'" << c.effDate << "' on " << c.date;
}

class EffectiveTest : public VinTest, public ::testing::WithParamInterface<TEffectiveCase> {};

TEST_P(EffectiveTest, CurrentRecordIsInEffectFromItsMonth) {
    TFixtureData fixture = DefaultFixture();
    fixture.master = {Row({{"EFF_DATE", GetParam().effDate}})};
    ASSERT_TRUE(StartWith(fixture));
    TStr vin("TEST00019");
    e->GetFirstVIN(vin.get());
    EXPECT_EQ(e->GetRecordEffective(GetParam().date), GetParam().effective ? 1 : 0);
    EXPECT_TRUE(Boxes().empty()) << BoxTexts().front();
}

INSTANTIATE_TEST_SUITE_P(
    EffDates, EffectiveTest,
    ::testing::Values(TEffectiveCase{"", DayCount(1900, 1, 1), true},
                      TEffectiveCase{"0305", DayCount(2005, 2, 28, 0.99), false},
                      TEffectiveCase{"0305", DayCount(2005, 3, 1), true},
                      TEffectiveCase{"0305", DayCount(2004, 12, 31), false},
                      TEffectiveCase{"0305", DayCount(2006, 1, 1), true},
                      TEffectiveCase{"1299", DayCount(1999, 11, 30), false},
                      TEffectiveCase{"1299", DayCount(1999, 12, 1), true},
                      TEffectiveCase{"0150", DayCount(1950, 1, 1), true},
                      TEffectiveCase{"0150", DayCount(1949, 12, 31), false},
                      TEffectiveCase{"0149", DayCount(2048, 12, 31), false},
                      TEffectiveCase{"0149", DayCount(2049, 1, 1), true},
                      TEffectiveCase{"305", DayCount(2005, 3, 1), true},  // trimmed
                      TEffectiveCase{"305", DayCount(2005, 2, 1), false}),
    // Named by the stored text and the date as a calendar date, not its day count.
    [](const auto& info) {
        using namespace std::chrono;
        const double date = info.param.date;
        const year_month_day ymd{sys_days{1899y / December / 30} + days{int(std::floor(date))}};
        const int hour = int((date - std::floor(date)) * 24);
        char name[64];
        std::snprintf(name, sizeof name, "Eff%s_%04d_%02u_%02uT%02d",
                      *info.param.effDate ? info.param.effDate : "Blank", int(ymd.year()),
                      unsigned(ymd.month()), unsigned(ymd.day()), hour);
        return std::string(name);
    });

TEST_F(VinTest, BadEffectiveDateTextOrDateIsReported) {
    TFixtureData fixture = DefaultFixture();
    fixture.master = {Row({{"EFF_DATE", "AB12"}}),
                      Row({{"VIN", "GOOD0001&5"}, {"EFF_DATE", "0105"}})};
    ASSERT_TRUE(StartWith(fixture));
    TStr vin("TEST00019");
    e->GetFirstVIN(vin.get());
    EXPECT_EQ(e->GetRecordEffective(DayCount(2006, 1, 1)), 0);
    EXPECT_EQ(BoxTexts(),
              std::vector<std::string>{"YARVEL.DLL Error: 'AB12' is not a valid integer value"});

    TStr good("GOOD00019");
    e->GetFirstVIN(good.get());
    for (double date : {std::numeric_limits<double>::quiet_NaN(),
                        std::numeric_limits<double>::infinity(), 1e300, -1e9}) {
        ClearBoxes();
        EXPECT_EQ(e->GetRecordEffective(date), 0);
        ASSERT_EQ(Boxes().size(), 1u) << date;
        EXPECT_NE(Boxes()[0].request.text.find("is not a valid date"), std::string::npos)
            << Boxes()[0].request.text;
    }
}

// ---- Iteration and difference sets ----------------------------------------------------

TFixtureData ChoiceFixture() {
    TFixtureData fixture = DefaultFixture();
    fixture.master = {
        Row({{"VIN", "1HGCM566&5"}, {"MODELINFO", "LX"}, {"TRANSINFO", "A5"}, {"TWODIGVSR", "12"}}),
        Row({{"VIN", "1HGCM566&5"}, {"MODELINFO", "EX"}, {"TRANSINFO", "M5"}, {"TWODIGVSR", "13"}}),
        Row({{"VIN", "1HGCM566&5"},
             {"MODELINFO", "EX-L"},
             {"TRANSINFO", "A5"},
             {"EFF_DATE", "0107"}}),
        Row({{"VIN", "SOLO0001&5"}}),
        // Same values but for case and blanks.
        Row({{"VIN", "CASE0001&5"}, {"BODYINFO", "SEDAN"}}),
        Row({{"VIN", "CASE0001&5"}, {"BODYINFO", "sedan"}, {"ENGNINFO", " 2.4L 4 CYL"}}),
        // Differences outside the selectors 2 to 11 do not count.
        Row({{"VIN", "OUTS0001&5"}, {"TWODIGVSR", "12"}, {"COMP_SYM", "1"}, {"EFF_DATE", "0105"}}),
        Row({{"VIN", "OUTS0001&5"}, {"TWODIGVSR", "15"}, {"COMP_SYM", "2"}, {"EFF_DATE", "0106"}}),
        // Found through the 7th position only.
        Row({{"VIN", "SEVE01&1&5"}}),
        // The highest selector of the set.
        Row({{"VIN", "NOTC0001&5"}, {"NOTCLASINF", "FLEET"}}),
        Row({{"VIN", "NOTC0001&5"}, {"NOTCLASINF", "TAXI"}}),
    };
    return fixture;
}

TEST_F(VinTest, IterationVisitsEveryRecordOfTheKeyInOrder) {
    ASSERT_TRUE(StartWith(ChoiceFixture()));
    // (The column value is translated: LX has a VinTrans row.)
    EXPECT_EQ(Candidates("1HGCM56635A000001"),
              (std::vector<std::string>{"Luxury Edition", "EX", "EX-L"}));

    // The program's choice loop: load each candidate and test its date.
    TStr vin("1HGCM56635A000001");
    std::vector<std::pair<std::string, bool>> seen;
    for (e->GetFirstVIN(vin.get()); !e->GetEndOfVIN(); e->GetNextVIN()) {
        TRecord record;
        e->LoadFromCurrentRecord(record.p());
        seen.push_back({Text(record->ModelInfo), e->GetRecordEffective(DayCount(2006, 6, 1)) != 0});
    }
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, bool>>{
                        {"LX", true}, {"EX", true}, {"EX-L", false}}));

    // A new first step starts over.
    EXPECT_EQ(Candidates("SOLO00019"), std::vector<std::string>{"Luxury Edition"});
    EXPECT_TRUE(Boxes().empty()) << BoxTexts().front();
}

TEST_F(VinTest, DifferenceSetHoldsTheSelectorsThatDiffer) {
    ASSERT_TRUE(StartWith(ChoiceFixture()));
    const struct {
        const char* vin;
        TYarvelDifferenceSet set;
    } cases[] = {
        {"1HGCM56635A000001",
         TYarvelDifferenceSet(YV_BIT(YV_FIELD_MODELINFO) | YV_BIT(YV_FIELD_TRANSINFO))},
        {"SOLO00019", 0},
        {"CASE00019", TYarvelDifferenceSet(YV_BIT(YV_FIELD_BODYINFO) | YV_BIT(YV_FIELD_ENGNINFO))},
        {"OUTS00019", 0},
        {"NOTC00019", TYarvelDifferenceSet(YV_BIT(YV_FIELD_NOTCLASINF))},
    };
    for (const auto& c : cases) {
        TStr vin(c.vin);
        EXPECT_EQ(e->GetDifferenceFieldsVIN(vin.get()), c.set) << c.vin;
    }
    EXPECT_TRUE(Boxes().empty()) << BoxTexts().front();
}

TEST_F(VinTest, DifferenceSetOfAnUnknownVinShowsNotFoundOnEachPass) {
    ASSERT_TRUE(StartWith(ChoiceFixture()));
    TStr vin("SEVE01015");  // its pattern needs the 7th mask, which the key never tries
    EXPECT_EQ(e->GetDifferenceFieldsVIN(vin.get()), 0);
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{kNotFoundPrefix + std::string("SEVE01015"),
                                                    kNotFoundPrefix + std::string("SEVE01015")}));
    ClearBoxes();
    e->SetSuppressMessages(1);
    EXPECT_EQ(e->GetDifferenceFieldsVIN(vin.get()), 0);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(VinTest, LookupsShareOneCurrentRecord) {
    ASSERT_TRUE(StartWith(ChoiceFixture()));
    TStr vin("1HGCM56635A000001");
    e->GetFirstVIN(vin.get());
    // A lookup in between moves the one current record.
    TRecord other;
    other->VIN = Replaced(other->VIN, "SOLO00019");
    other->EffectiveDate = DayCount(2006, 1, 1);
    ASSERT_EQ(e->GetRecordByVIN(other.p()), 1);
    TStr value;
    e->GetFieldValue(value.out(), YV_FIELD_VIN);
    EXPECT_EQ(value.Text(), "SOLO0001&5");
    // The iteration goes on from there, with its own key: nothing matches.
    e->GetNextVIN();
    EXPECT_EQ(e->GetEndOfVIN(), 1);
}

TEST_F(VinTest, ReadingWithoutACurrentRecordIsReportedNotCrashed) {
    ASSERT_TRUE(StartWith(ChoiceFixture()));
    e->SetSuppressMessages(1);
    // Past the last key of the tag: the table is at its end.
    TStr beyond("ZZZZZZZZZZZZZZZZZ");
    e->GetFirstVIN(beyond.get());
    EXPECT_EQ(e->GetEndOfVIN(), 1);
    TRecord record;
    e->LoadFromCurrentRecord(record.p());
    TStr value("kept");
    e->GetFieldValue(value.out(), YV_FIELD_VIN);
    EXPECT_EQ(value.Text(), "kept");
    ASSERT_EQ(Boxes().size(), 2u);
    for (const auto& box : Boxes())
        EXPECT_EQ(box.request.text.rfind("YARVEL.DLL Error: Error reading field VIN in table "
                                         "Yarvel.dbf\r\n\r\nCodebase Error Code = ",
                                         0),
                  0u)
            << box.request.text;
}

TEST_F(VinTest, OversizedAndOddVinsAnswerWithoutHarm) {
    ASSERT_TRUE(StartWith(ChoiceFixture()));
    e->SetSuppressMessages(1);
    const std::string odd[] = {std::string(100000, 'A'), std::string("1HGCM566\0\0\0", 11),
                               std::string(17, '&'), std::string(12, ' '),
                               "\xff\xfe\xfd\xfc\xfb\xfa\xf9\xf8\xf7\xf6"};
    for (const auto& vin : odd) {
        EXPECT_EQ(Lookup(vin, DayCount(2006, 1, 1)), "-");
        EXPECT_LE(Candidates(vin).size(), 100u);
        TStr v(vin);
        e->GetDifferenceFieldsVIN(v.get());
    }
    // Nothing but table errors may have been reported, and none was.
    EXPECT_TRUE(Boxes().empty()) << BoxTexts().front();
}

}  // namespace
}  // namespace yarvel_test
