#include <gtest/gtest.h>

#include "AppInfo.h"
#include "platform/Paths.h"
#include "platform/TempFolder.h"

namespace {

using platform::testing::TempFolder;

struct PathCase {
    const char* name;
    const char* ini;  // Pollark.Ini; "%T" stands for the per-test folder
    bool quoteMarker;  // qtfolder.def in the data folder
    const char* dataPath;  // "%A" stands for the program folder
    const char* userPath;
    const char* quotePath;
    const char* iniFile = "Pollark.Ini";  // as written in the Windows directory
    const char* marker = "qtfolder.def";
};

std::string Expand(std::string text, const TempFolder& temp) {
    for (auto [key, value] : {std::pair{"%T", temp.Path()}, {"%A", platform::ProgramFolder()}})
        for (auto pos = text.find(key); pos != std::string::npos; pos = text.find(key))
            text.replace(pos, 2, value);
    return text;
}

class AppInfoPathsTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(AppInfoPathsTest, EngineEnvironmentFollowsHostIni) {
    TempFolder temp;
    const PathCase& c = GetParam();
    if (*c.ini) temp.Write(std::string("windows/") + c.iniFile, Expand(c.ini, temp));
    if (c.quoteMarker) temp.Write(std::string("alt/") + c.marker, "");
    TCBDBAppInfo info;
    info.SetIniFileName("Pollark.Ini");
    EXPECT_EQ(info.DataPath(), Expand(c.dataPath, temp));
    EXPECT_EQ(info.UserPath(), Expand(c.userPath, temp));
    EXPECT_EQ(info.QuotePath(), Expand(c.quotePath, temp));
    EXPECT_EQ(info.AppPath(), platform::ProgramFolder());
    EXPECT_EQ(info.UserWinPath(), temp.WindowsDir());
}

INSTANTIATE_TEST_SUITE_P(
    HostIni, AppInfoPathsTest,
    ::testing::Values(
        PathCase{"NoIni", "", false, "%AData/", "%AData/User/", "%AData/"},
        PathCase{"AltDataGetsSeparator", "[DataPath]\nUseAltDataPath=1\nAlternateDataPath=%Talt\n",
                 false, "%Talt/", "%Talt/User/", "%Talt/"},
        PathCase{"ByteOrderMark",
                 "\xEF\xBB\xBF[DataPath]\r\nUseAltDataPath=1\r\nAlternateDataPath=%Talt/\r\n",
                 false, "%Talt/", "%Talt/User/", "%Talt/"},
        PathCase{"AltDataEmpty", "[DataPath]\nUseAltDataPath=1\nAlternateDataPath=\n", false, "",
                 "User/", ""},
        PathCase{"AltDataSwitchedOff", "[datapath]\nusealtdatapath=0\nAlternateDataPath=/x/\n",
                 false, "%AData/", "%AData/User/", "%AData/"},
        PathCase{"QuoteMarker", "[DataPath]\nUseAltDataPath=2\nAlternateDataPath=%Talt/\n", true,
                 "%Talt/", "%Talt/User/", "%Talt/Quotes/"},
        PathCase{"IniAndMarkerInAnotherCase",
                 "[DataPath]\nUseAltDataPath=1\nAlternateDataPath=%Talt/\n", true, "%Talt/",
                 "%Talt/User/", "%Talt/Quotes/", "pollark.ini", "QTFOLDER.DEF"},
        PathCase{"AltQuoteWinsOverMarker",
                 "[DataPath]\nUseAltDataPath=1\nAlternateDataPath=%Talt/\nUseAltQuotePath=1\n"
                 "AlternateQuotePath=\n",
                 true, "%Talt/", "%Talt/User/", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AppInfoTest, ProgramEnvironmentIgnoresHostIni) {
    TempFolder temp;
    temp.Write("windows/Pollark.Ini", "[DataPath]\nUseAltDataPath=1\nAlternateDataPath=/x/\n");
    TAppInfo info;
    EXPECT_EQ(info.DataPath(), platform::ProgramFolder() + "Data/");
    EXPECT_EQ(info.GetIniFileName(), "");
    EXPECT_EQ(info.Preferences(), nullptr);
    EXPECT_EQ(info.LogFileName(), platform::ProgramFolder() + "AppLog.txt");
    EXPECT_EQ(&info.Database(), &ProcessDatabase()) << "one session per module";
    const std::vector<std::string> published{"AppPath=" + info.AppPath(),
                                             "UserWinPath=" + info.UserWinPath(),
                                             "DataPath=" + info.DataPath(),
                                             "QuotePath=" + info.QuotePath()};
    EXPECT_EQ(info.Paths().Lines(), published);
}

TEST(AppPathsTest, PublishReplacesAppendsAndRemoves) {
    TAppPaths paths;
    paths.PublishPath("DataPath", "/a/");
    paths.PublishPath("QuotePath", "/q/");
    paths.PublishPath("datapath", "/b/");
    paths.PublishPath("QUOTEPATH", "");
    EXPECT_EQ(paths.Lines(), std::vector<std::string>{"datapath=/b/"});
}

struct PrefCase {
    const char* ini;
    bool useAltData;
    int32_t logListLength;
    const char* location;
};

TEST(UserPreferencesTest, ValuesAndDefaults) {
    const PrefCase cases[] = {
        {"", false, 1000, ""},
        {"[DataPath]\nUseAltDataPath=2\n[Preferences]\nLogListLength=0x10\n", true, 16, ""},
        {"[DATAPATH]\nUSEALTDATAPATH=yes\n[preferences]\nloglistlength=abc\n", false, 1000, ""},
        {"[Version Info]\nLocation=C:/Pollark\n", false, 1000, "C:/Pollark"},
    };
    for (const auto& c : cases) {
        TempFolder temp;
        if (*c.ini) temp.Write("windows/Pollark.Ini", c.ini);
        TDataPathUserPreferences prefs("Pollark.Ini");
        prefs.LoadPreferences();
        EXPECT_EQ(prefs.UseAltDataPath, c.useAltData) << c.ini;
        EXPECT_EQ(prefs.LogListLength, c.logListLength) << c.ini;
        EXPECT_EQ(prefs.Location, c.location) << c.ini;
        EXPECT_FALSE(prefs.UseAltQuotePath);
    }
}

TEST(UserPreferencesTest, SaveWritesTwoKeysOnly) {
    TempFolder temp;
    temp.Write("windows/Pollark.Ini", "; host file\r\n[DataPath]\r\nUseAltDataPath=1\r\n");
    TDataPathUserPreferences prefs("Pollark.Ini");
    prefs.LoadPreferences();
    prefs.UseAppLogFile = true;
    prefs.LogListLength = 50;
    prefs.SavePreferences();
    EXPECT_EQ(temp.Read("windows/Pollark.Ini"),
              "; host file\r\n[DataPath]\r\nUseAltDataPath=1\r\n\r\n[Preferences]\r\n"
              "UseAppLogFile=1\r\nLogListLength=50\r\n");
    setenv("WINDIR", "/proc/no-such-folder", 1);
    try {
        prefs.SavePreferences();
        ADD_FAILURE() << "write to an impossible folder succeeded";
    } catch (const EIniFileException& e) {
        EXPECT_EQ(e.Message(), "Unable to write to Pollark.Ini");
    }
}

}  // namespace
