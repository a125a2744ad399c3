#include <gtest/gtest.h>

#include "CommandLine.h"
#include "DateUtils.h"
#include "Helpers.h"
#include "VehDets.h"
#include "platform/Services.h"

namespace {

struct TSwitchCase {
    const char* name;
    std::vector<std::string> arguments;
    int parametersFound;
    bool vinGiven;
    const char* vin;
    const char* make;
    const char* model;
    int modelYear;
};

class CommandLineSwitchTest : public ::testing::TestWithParam<TSwitchCase> {
protected:
    CommandLineSwitchTest() {
        m_format = platform::SetShortDateFormatHandler([] { return "M/d/yyyy"; });
        ClearVinRecord(*m_record);
    }
    ~CommandLineSwitchTest() override { platform::SetShortDateFormatHandler(m_format); }
    TVinRecordPtr m_record = NewVinRecord();
    platform::DateFormatHandler m_format;
};

TEST_P(CommandLineSwitchTest, FillsTheRecordAndCounts) {
    const TSwitchCase& c = GetParam();
    std::vector<std::string> log;
    const TCommandLineReading reading =
        ReadCommandLine(c.arguments, *m_record, [&log](const std::string& entry) { log.push_back(entry); });
    EXPECT_EQ(reading.ParametersFound, c.parametersFound);
    EXPECT_EQ(reading.VinGiven, c.vinGiven);
    EXPECT_EQ(RecordText(m_record->VIN), c.vin);
    EXPECT_EQ(RecordText(m_record->Make), c.make);
    EXPECT_EQ(RecordText(m_record->Model), c.model);
    // Packed record fields are copied: the assertions bind references.
    EXPECT_EQ(int32_t{m_record->ModelYear}, c.modelYear);
    EXPECT_EQ(log.size(), c.arguments.empty() ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Switches, CommandLineSwitchTest,
    ::testing::Values(
        TSwitchCase{"None", {}, 0, false, "", "", "", 0},
        TSwitchCase{"HostVin", {"/VIN=1HGCM56635A123456", "/EFFECTIVE=7/1/2006"}, 2, true,
                    "1HGCM56635A123456", "", "", 0},
        TSwitchCase{"LowerCaseSwitchKeepsValueCase", {"/vin=1hgcm5"}, 2, true, "1hgcm5", "", "", 0},
        TSwitchCase{"EmptyValueIgnored", {"/VIN="}, 1, false, "", "", "", 0},
        TSwitchCase{"QuotedBlank", {"/MODEL=\"GRAND CHEROKEE\""}, 2, false, "", "", "GRAND CHEROKEE", 0},
        TSwitchCase{"BlanksAroundNameAndValue", {" /make = Honda "}, 2, false, "", "Honda", "", 0},
        TSwitchCase{"BareVinStoresItsOwnName", {"/VIN"}, 2, true, "/VIN", "", "", 0},
        TSwitchCase{"NoSlashIgnoredButCounts", {"MAKE=Honda"}, 1, false, "", "", "", 0},
        TSwitchCase{"UnknownSwitchCounts", {"/COLOR=red"}, 1, false, "", "", "", 0},
        TSwitchCase{"RepeatedSwitchLastWins", {"/MAKE=Ford", "/MAKE=Honda"}, 3, false, "", "Honda", "", 0},
        TSwitchCase{"YearMakeModel", {"/YEAR=2005", "/MAKE=HOND", "/MODEL=ACCORD"}, 4, false, "",
                    "HOND", "ACCORD", 2005},
        TSwitchCase{"EqualsInsideValue", {"/MODEL=A=B"}, 2, false, "", "", "A=B", 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CommandLineTest, YearThatIsNoIntegerRaisesAndLogsNothing) {
    TVinRecordPtr record = NewVinRecord();
    for (const char* argument : {"/YEAR=20x5", "/YEAR"}) {
        int logged = 0;
        try {
            ReadCommandLine({argument}, *record, [&logged](const std::string&) { ++logged; });
            FAIL() << argument;
        } catch (const EConvertError& e) {
            const std::string value = std::string(argument) == "/YEAR" ? "/YEAR" : "20x5";
            EXPECT_EQ(e.Message(), "'" + value + "' is not a valid integer value");
        }
        EXPECT_EQ(logged, 0);
    }
}

TEST(CommandLineTest, EffectiveDateReadOrToday) {
    const auto previous = platform::SetShortDateFormatHandler([] { return "dd.MM.yyyy"; });
    TVinRecordPtr record = NewVinRecord();
    ReadCommandLine({"/EFFECTIVE=01.01.1950"}, *record, {});
    EXPECT_EQ(double{record->EffectiveDate}, *EncodeDate(1950, 1, 1));
    const double before = NowDayCount();
    ReadCommandLine({"/EFFECTIVE=not a date"}, *record, {});
    EXPECT_GE(double{record->EffectiveDate}, before);
    EXPECT_LE(double{record->EffectiveDate}, NowDayCount());
    platform::SetShortDateFormatHandler(previous);
}

TEST(CommandLineTest, LogEntryListsEveryNameAndValue) {
    TVinRecordPtr record = NewVinRecord();
    std::string log;
    ReadCommandLine({"/vin=ABC", "odd"}, *record, [&log](const std::string& entry) { log = entry; });
    EXPECT_EQ(log, "Command line parameters found\r\n/VIN = ABC\r\nODD = odd\r\n");
}

TEST(CommandLineTest, CounterStopsAtItsTopInsteadOfWrapping) {
    TVinRecordPtr record = NewVinRecord();
    const std::vector<std::string> many(300, "/MAKE=Ford");
    EXPECT_EQ(ReadCommandLine(many, *record, {}).ParametersFound, 255);
}

TEST(CommandLineTest, WholeCommandLineCanBeRunAgain) {
    EXPECT_EQ(WholeCommandLine({"/opt/ondrik/Ondrik", "/VIN=1HG", "/MODEL=GRAND CHEROKEE",
                                "/MAKE=a\"b", ""}),
              "/opt/ondrik/Ondrik /VIN=1HG \"/MODEL=GRAND CHEROKEE\" \"/MAKE=a\\\"b\" \"\"");
    EXPECT_EQ(WholeCommandLine({"/opt/ondrik/Ondrik"}), "/opt/ondrik/Ondrik");
}

}  // namespace
