#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "DateUtils.h"
#include "VehDets.h"
#include "platform/Services.h"

namespace {

using Lines = std::vector<std::string>;

// A packed record field as a value: assertions take their arguments by reference,
// which a packed field cannot give.
template <typename T>
T Value(T field) {
    return field;
}

// Keeps the short date format fixed for a test and puts the previous one back.
class TShortDateFormat {
public:
    explicit TShortDateFormat(std::string format)
        : m_previous(platform::SetShortDateFormatHandler([format] { return format; })) {}
    ~TShortDateFormat() { platform::SetShortDateFormatHandler(m_previous); }

private:
    platform::DateFormatHandler m_previous;
};

class VehDetsTest : public ::testing::Test {
protected:
    VehDetsTest() { ClearVinRecord(*m_record); }

    TVinRecord& Record() { return *m_record; }

    Lines Properties(bool showAll = false, bool compact = false) {
        return GetVehicleProperties(*m_record, showAll, "=", compact);
    }
    static bool Has(const Lines& lines, const std::string& line) {
        return std::find(lines.begin(), lines.end(), line) != lines.end();
    }
    static Lines WithCaption(const Lines& lines, const std::string& caption) {
        Lines found;
        for (const auto& l : lines)
            if (l.rfind(caption + "=", 0) == 0) found.push_back(l);
        return found;
    }

    TShortDateFormat m_dateFormat{"M/d/yyyy"};
    TVinRecordPtr m_record = NewVinRecord();
};

TEST_F(VehDetsTest, ClearedRecordShowsTheNumericNamedAndYesNoRows) {
    const TShortDateFormat dayFirst("dd.MM.yyyy");
    const Lines expected = {"Model Year=0",
                            "Symbol=0",
                            "Performance=Standard",
                            "High Theft=No or not indicated",
                            "ABS=Unknown",
                            "Cylinders=0",
                            "Special Engine Type=None",
                            "FWD=No or not indicated",
                            "Daytime Running Lamps=Unknown",
                            "Non VSR Symbol=0",
                            "Effective=" + FormatDateText(NowDayCount(), "dd.MM.yyyy"),
                            "Comp_Symbol=0",
                            "Coll_Symbol=0",
                            "Price_Symbol=0"};
    EXPECT_EQ(Properties(), expected);
    EXPECT_EQ(Value(Record().RecordType), 1);
    EXPECT_LT(std::fabs(Record().EffectiveDate - NowDayCount()), 1.0 / 24);
}

TEST_F(VehDetsTest, ShowAllKeepsEmptyTextsAndCompactCaptionsLoseTheirBlanks) {
    Record().ModelYear = 2012;
    const Lines lines = Properties(true, true);
    Lines keys;
    for (const auto& l : lines) keys.push_back(l.substr(0, l.find('=')));
    const Lines expected = {"ModelYear",
                            "Make",
                            "Model",
                            "VehicleClass",
                            "VIN",
                            "CompSymbol",
                            "CollisionSymbol",
                            "Performance",
                            "HighTheft",
                            "ABS",
                            "Cylinders",
                            "SpecialEngineType",
                            "Body",
                            "FWD",
                            "ModelInfo",
                            "BodyInfo",
                            "EngineInfo",
                            "RestraintInfo",
                            "TransmissionInfo",
                            "OtherInfo",
                            "DaytimeRunningLamps",
                            "NonVSRSymbol",
                            "StateExceptions",
                            "Effective",
                            "Comp_Symbol",
                            "Coll_Symbol",
                            "Price_Symbol"};
    EXPECT_EQ(keys, expected);
    EXPECT_TRUE(Has(lines, "Make="));
    EXPECT_TRUE(Has(lines, "VIN="));
    EXPECT_TRUE(Has(Properties(true, false), "Vehicle Class="));
}

struct SymbolCase {
    int modelYear;
    bool singleSymbol;
};

class VehDetsSymbolTest : public VehDetsTest, public ::testing::WithParamInterface<SymbolCase> {};

TEST_P(VehDetsSymbolTest, ModelYearChoosesTheSymbolRows) {
    Record().ModelYear = GetParam().modelYear;
    Record().Symbol = 17;
    Record().CompSymbol = 21;
    Record().CollSymbol = 34;
    const Lines lines = Properties();
    EXPECT_EQ(Has(lines, "Symbol=17"), GetParam().singleSymbol);
    EXPECT_EQ(Has(lines, "Comp Symbol=21"), !GetParam().singleSymbol);
    EXPECT_EQ(Has(lines, "Collision Symbol=34"), !GetParam().singleSymbol);
    // The underscored pair is always there and keeps the two values apart.
    EXPECT_TRUE(Has(lines, "Comp_Symbol=21"));
    EXPECT_TRUE(Has(lines, "Coll_Symbol=34"));
    // With the empty texts left out, the symbol rows follow the model year directly.
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Model Year=" + std::to_string(GetParam().modelYear));
    if (GetParam().singleSymbol) {
        EXPECT_EQ(lines[1], "Symbol=17");
        EXPECT_EQ(lines[2], "Performance=Standard");
    } else {
        EXPECT_EQ(lines[1], "Comp Symbol=21");
        EXPECT_EQ(lines[2], "Collision Symbol=34");
    }
}

INSTANTIATE_TEST_SUITE_P(Boundary, VehDetsSymbolTest,
                         ::testing::Values(SymbolCase{0, true}, SymbolCase{2005, true},
                                           SymbolCase{2010, true}, SymbolCase{2011, false},
                                           SymbolCase{2012, false}));

TEST_F(VehDetsTest, OneRowPerAntiTheftDeviceAndRestraintInBitOrder) {
    struct Case {
        uint16_t antiTheft;
        uint8_t restraints;
        Lines theftRows, restraintRows;
    } cases[] = {
        {0, 0, {}, {}},
        {YV_BIT(YV_THEFT_VEHICLE_RECOVERY) | YV_BIT(YV_THEFT_ALARM),
         0,
         {"Anti Theft Device=Alarm", "Anti Theft Device=Vehicle Recovery"},
         {}},
        {YV_BIT(YV_THEFT_ALARM) | YV_BIT(YV_THEFT_PASSIVE_DISABLING),
         0,
         {"Anti Theft Device=Alarm", "Anti Theft Device=Passive Disabling"},
         {}},
        // Bits above the named devices have no name and give no row.
        {YV_BIT(YV_THEFT_OTHER_MA_CATEGORY_V) | YV_BIT(12),
         0,
         {"Anti Theft Device=Other MA Category V"},
         {}},
        {0,
         YV_BIT(YV_RESTRAINT_UNKNOWN) | YV_BIT(YV_RESTRAINT_DRIVER) |
             YV_BIT(YV_RESTRAINT_PASSENGER_AUTO_BELT),
         {},
         {"Passive Restraint=Driver", "Passive Restraint=Passenger Auto Belt",
          "Passive Restraint=Unknown"}},
    };
    for (const auto& c : cases) {
        Record().AntiTheftDevices = c.antiTheft;
        Record().PassiveRestraints = c.restraints;
        const Lines lines = Properties();
        EXPECT_EQ(WithCaption(lines, "Anti Theft Device"), c.theftRows) << c.antiTheft;
        EXPECT_EQ(WithCaption(lines, "Passive Restraint"), c.restraintRows) << +c.restraints;
        // Both groups follow "Performance" and precede "High Theft".
        const auto perf = std::find(lines.begin(), lines.end(), "Performance=Standard");
        ASSERT_NE(perf, lines.end());
        const size_t rows = c.theftRows.size() + c.restraintRows.size();
        EXPECT_EQ(*(perf + 1 + static_cast<long>(rows)), "High Theft=No or not indicated");
    }
}

TEST_F(VehDetsTest, EffectiveRowOnlyAfter1950) {
    struct Case {
        int y, m, d;
        bool shown;
    } cases[] = {{1950, 1, 1, false},
                 {1950, 12, 31, false},
                 {1951, 1, 1, true},
                 {1899, 12, 30, false},
                 {2024, 1, 15, true}};
    for (const auto& c : cases) {
        Record().EffectiveDate = *EncodeDate(c.y, c.m, c.d) + 0.5;
        const Lines rows = WithCaption(Properties(true), "Effective");
        if (c.shown) {
            EXPECT_EQ(rows, Lines{"Effective=" + std::to_string(c.m) + "/" + std::to_string(c.d) +
                                  "/" + std::to_string(c.y)});
        } else {
            EXPECT_TRUE(rows.empty()) << c.y;
        }
    }
    Record().EffectiveDate = std::nan("");
    EXPECT_TRUE(WithCaption(Properties(true), "Effective").empty());
}

TEST_F(VehDetsTest, TextsAreTrimmedButTheVinKeepsItsBlanks) {
    Record().VIN = ReplaceRecordText(Record().VIN, " 1HGCM826&3A   ");
    Record().Make = ReplaceRecordText(Record().Make, "  Honda\t");
    Record().Model = ReplaceRecordText(Record().Model, "Accord  \r\n");
    Record().StateExceptions = ReplaceRecordText(Record().StateExceptions, "   ");
    Record().BodyInfo = ReplaceRecordText(Record().BodyInfo, "\xC9l\xE9gance ");
    const Lines lines = Properties();
    EXPECT_TRUE(Has(lines, "VIN= 1HGCM826&3A   "));
    EXPECT_TRUE(Has(lines, "Make=Honda"));
    EXPECT_TRUE(Has(lines, "Model=Accord"));
    EXPECT_TRUE(Has(lines, "Body Info=\xC9l\xE9gance"));  // 8-bit letters are not blanks
    EXPECT_TRUE(WithCaption(lines, "State Exceptions").empty());
    EXPECT_TRUE(Has(Properties(true), "State Exceptions="));
}

TEST_F(VehDetsTest, NamesOfEnumerationsAndBooleans) {
    Record().Performance = YV_PERF_SPORTS_PREMIUM;
    Record().SpecialEngineType = YV_ENGINE_TURBO;
    Record().AntiLockBrakes = YV_EQUIP_NOT_AVAILABLE;
    Record().DaytimeRunningLamps = YV_EQUIP_OPTIONAL;
    Record().HighTheft = 1;
    Record().FourWheelDrive = 2;  // any non-zero byte is true
    Lines lines = Properties();
    for (const char* line :
         {"Performance=Sports Premium", "Special Engine Type=Turbo", "ABS=Not Available",
          "Daytime Running Lamps=Optional", "High Theft=Yes", "FWD=Yes"})
        EXPECT_TRUE(Has(lines, line)) << line;

    // A damaged record shows the raw value instead of reading past the name tables.
    Record().Performance = 200;
    Record().SpecialEngineType = 5;
    Record().AntiLockBrakes = 4;
    lines = Properties();
    for (const char* line : {"Performance=200", "Special Engine Type=5", "ABS=4"})
        EXPECT_TRUE(Has(lines, line)) << line;
}

TEST_F(VehDetsTest, NegativeNumbersInPlainDecimal) {
    Record().Cylinders = -3;
    Record().NonVSRSymbol = 7;
    Record().PriceSymbol = -12;
    const Lines lines = Properties();
    EXPECT_TRUE(Has(lines, "Cylinders=-3"));
    EXPECT_TRUE(Has(lines, "Non VSR Symbol=7"));
    EXPECT_TRUE(Has(lines, "Price_Symbol=-12"));
    EXPECT_EQ(GetVehicleProperties(Record(), false, ": ", false).front(), "Model Year: 0");
}

TEST(VinRecordTest, ClearAndCopyOwnTheirTexts) {
    TYarvelString* shared = YarvelStringFromC("Accord");
    TVinRecordPtr source = NewVinRecord();
    TVinRecordPtr target = NewVinRecord();
    source->Model = YarvelStringAddRef(shared);
    source->VIN = ReplaceRecordText(source->VIN, "1HGCM82633A004352");
    source->ModelYear = 2003;
    source->EffectiveDate = 45306.25;
    source->AntiTheftDevices = 0x109;
    source->CollSymbol = 9;
    target->Make = YarvelStringAddRef(shared);
    ASSERT_EQ(shared->RefCount, 3);

    CopyVinRecord(*target, *source);
    EXPECT_EQ(shared->RefCount, 3);  // the target's make released, the source's model shared
    EXPECT_EQ(RecordText(target->Model), "Accord");
    EXPECT_EQ(RecordText(target->VIN), "1HGCM82633A004352");
    EXPECT_EQ(Value(target->Make), nullptr);
    EXPECT_EQ(Value(target->ModelYear), 2003);
    EXPECT_EQ(Value(target->EffectiveDate), 45306.25);
    EXPECT_EQ(Value(target->AntiTheftDevices), 0x109);
    EXPECT_EQ(Value(target->CollSymbol), 9);

    CopyVinRecord(*target, *target);
    EXPECT_EQ(shared->RefCount, 3);
    EXPECT_EQ(RecordText(target->Model), "Accord");

    ClearVinRecord(*source);
    EXPECT_EQ(shared->RefCount, 2);
    EXPECT_EQ(Value(source->VIN), nullptr);
    EXPECT_EQ(Value(source->ModelYear), 0);
    EXPECT_EQ(Value(source->SpecialEngineType), YV_ENGINE_NONE);
    target.reset();
    EXPECT_EQ(shared->RefCount, 1);
    YarvelStringRelease(shared);

    TVinRecordPtr record = NewVinRecord();
    record->Make = ReplaceRecordText(record->Make, "Honda");
    record->Make = ReplaceRecordText(record->Make, "");
    EXPECT_EQ(Value(record->Make), nullptr);
}

}  // namespace
