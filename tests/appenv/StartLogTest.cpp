#include <gtest/gtest.h>

#include "AppInfo.h"
#include "QEL_LoggerObj.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/TempFolder.h"

namespace {

using platform::testing::TempFolder;

class StartLogTest : public ::testing::Test {
protected:
    StartLogTest() {
        m_previous = SetLogSources({[] { return TLogTime{2024, 1, 15, 9, 30, 0, 250}; },
                                    [] {
                                        return TNetworkInfo{"corp", "rater-pc", "alice", true};
                                    }});
    }
    ~StartLogTest() override { SetLogSources(m_previous); }

    TempFolder m_folder;
    TLogSources m_previous;
};

TEST_F(StartLogTest, WholeFileWrittenWhenTheEnvironmentGoes) {
    const std::string logFile = m_folder.Path() + "Ondrik.log";
    std::string appPath, dataPath;
    {
        TAppInfo app;
        appPath = app.AppPath();
        dataPath = app.DataPath();
        app.SetLogFileName(logFile);
        app.StartLog();
        app.Log("Begin Ondrik");
        app.Log("Complete Ondrik");
        EXPECT_FALSE(platform::FileExists(logFile));
    }
    const std::string stamp = "2024-01-15 09:30:00.250 ";
    const std::string expected =
        "\r\n"
        "[MachineInfo]\r\n"
        "---< MachineInfo >---\r\n"
        "Application=" +
        platform::ProgramFileName() +
        "\r\n"
        "ApplicationVersion=UnknownVersion\r\n"
        "UserDomain=corp\r\n"
        "ComputerName=rater-pc\r\n"
        "UserName=alice\r\n"
        "WinDir=" +
        m_folder.Path() +
        "windows\r\n"
        "TempDir=" +
        platform::TempFolder() +
        "\r\n"
        "---< MachineInfo >---\r\n"
        "\r\n"
        "[Log]\r\n" +
        stamp + "Application Path: " + appPath + "\r\n" + stamp + "Data Path: " + dataPath +
        "\r\n" + stamp + "Log File Name: " + logFile +
        "\r\n"
        "\r\n" +
        stamp + "Begin Ondrik\r\n" + stamp + "Complete Ondrik\r\n";
    EXPECT_EQ(m_folder.Read("Ondrik.log"), expected);
    EXPECT_EQ(CurrentLogger(), nullptr);
}

TEST_F(StartLogTest, LogOffWritesNothing) {
    {
        TAppInfo app;
        EXPECT_EQ(app.LogFileName(), app.AppPath() + "AppLog.txt");
        app.SetLogFileName(m_folder.Path() + "Ondrik.log");
        app.Log("Begin Ondrik");
        EXPECT_EQ(CurrentLogger(), nullptr);
    }
    EXPECT_FALSE(platform::FileExists(m_folder.Path() + "Ondrik.log"));
}

}  // namespace
