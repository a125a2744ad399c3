#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

#include "QEL_LoggerObj.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/TempFolder.h"

namespace {

using platform::testing::TempFolder;
using Lines = std::vector<std::string>;

// A fixed clock (advanced by the test) and fixed machine values.
class LoggerTest : public ::testing::Test {
protected:
    LoggerTest() {
        m_previous = SetLogSources({[this] { return m_now; }, [this] { return m_network; }});
    }
    ~LoggerTest() override {
        FreeLogger();
        SetLogSources(m_previous);
    }

    Lines MachineBlock(bool networkComplete = true) const {
        Lines block = {"", "[MachineInfo]", "---< MachineInfo >---"};
        if (!networkComplete) block.push_back("Network information not available.");
        const Lines rest = {"Application=" + platform::ProgramFileName(),
                            "ApplicationVersion=UnknownVersion",
                            "UserDomain=" + Or(m_network.UserDomain, "UnnamedDomain"),
                            "ComputerName=" + Or(m_network.ComputerName, "UnnamedComputer"),
                            "UserName=" + Or(m_network.UserName, "UnnamedUser"),
                            "WinDir=" + m_folder.Path() + "windows",
                            "TempDir=" + platform::TempFolder(),
                            "---< MachineInfo >---\r\n",
                            "[Log]"};
        block.insert(block.end(), rest.begin(), rest.end());
        return block;
    }
    // A writer aimed at the test's folder, never at the program's.
    std::unique_ptr<TLoggerObj> NewLogger() const {
        auto logger = std::make_unique<TLoggerObj>();
        logger->SetTargetFile(m_folder.Path() + "test.log");
        return logger;
    }
    static std::string Or(const std::string& value, const char* deflt) {
        return value.empty() ? deflt : value;
    }
    static std::string FileText(const Lines& lines) {
        std::string text;
        for (const auto& l : lines) text += l + "\r\n";
        return text;
    }

    TempFolder m_folder;
    TLogTime m_now{2024, 1, 15, 13, 5, 9, 7};
    TNetworkInfo m_network{"example.org", "rater-pc", "alice", true};
    TLogSources m_previous;
};

TEST_F(LoggerTest, FileHoldsTheMachineBlockAndStampedLines) {
    const std::string target = m_folder.Path() + "Ondrik.log";
    {
        TLoggerObj logger;
        EXPECT_EQ(logger.TargetFile(),
                  platform::ChangeFileExt(platform::ProgramFileName(), ".log"));
        logger.SetTargetFile(target);
        logger.Log("Begin Ondrik");
        m_now.Second = 10;
        logger.Log("");
        logger.Log("*** EXCEPTION GENERATED ***\r\nDll not found");
        // Kept in memory only until the writer goes.
        EXPECT_FALSE(platform::FileExists(target));
    }
    Lines expected = MachineBlock();
    expected.insert(expected.end(), {"2024-01-15 13:05:09.007 Begin Ondrik", "",
                                     "2024-01-15 13:05:10.007 *** EXCEPTION GENERATED ***\r\n"
                                     "Dll not found"});
    std::string text;
    ASSERT_TRUE(platform::ReadWholeFile(target, text));
    EXPECT_EQ(text, FileText(expected));
    // The line break inside the block's closing entry shows as an empty line.
    EXPECT_NE(text.find("---< MachineInfo >---\r\n\r\n[Log]\r\n"), std::string::npos);
}

TEST_F(LoggerTest, EmptyFirstMessageFollowsTheBlockAsAnEmptyLine) {
    const auto logger = NewLogger();
    logger->Log("");
    Lines expected = MachineBlock();
    expected.push_back("");
    EXPECT_EQ(logger->Lines(), expected);
    EXPECT_TRUE(logger->TimeStamp());
}

TEST_F(LoggerTest, MissingNetworkValuesGetDefaultNames) {
    struct Case {
        TNetworkInfo network;
    } cases[] = {
        {{"", "", "", true}},
        {{"corp", "", "", false}},  // reading stopped after the domain
        {{"", "", "", false}},
        {{"corp", "pc", "bob", true}},
    };
    for (const auto& c : cases) {
        m_network = c.network;
        const auto logger = NewLogger();
        logger->Log("x");
        Lines expected = MachineBlock(c.network.Complete);
        expected.push_back("2024-01-15 13:05:09.007 x");
        EXPECT_EQ(logger->Lines(), expected) << c.network.UserDomain << c.network.Complete;
    }
}

TEST_F(LoggerTest, NetworkReaderThatThrowsCountsAsUnavailable) {
    SetLogSources({[this] { return m_now; },
                   []() -> TNetworkInfo { throw std::runtime_error("no network"); }});
    const auto logger = NewLogger();
    logger->Log("x");
    m_network = {};
    Lines expected = MachineBlock(false);
    expected.push_back("2024-01-15 13:05:09.007 x");
    EXPECT_EQ(logger->Lines(), expected);
}

TEST(LogTimeStampTest, TimeLeftOutInTheFirstSecondAfterMidnight) {
    struct Case {
        TLogTime time;
        const char* stamp;
    } cases[] = {
        {{2024, 1, 15, 0, 0, 0, 0}, "2024-01-15"},
        {{2024, 1, 15, 0, 0, 0, 999}, "2024-01-15"},
        {{2024, 1, 15, 0, 0, 1, 0}, "2024-01-15 00:00:01.000"},
        {{2024, 1, 15, 0, 1, 0, 5}, "2024-01-15 00:01:00.005"},
        {{2024, 12, 31, 23, 59, 59, 999}, "2024-12-31 23:59:59.999"},
        {{987, 2, 3, 4, 5, 6, 70}, "0987-02-03 04:05:06.070"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatLogTimeStamp(c.time), c.stamp);
}

TEST_F(LoggerTest, MidnightLineCarriesTheDateAlone) {
    m_now = {2024, 1, 15, 0, 0, 0, 500};
    const auto logger = NewLogger();
    logger->Log("Begin Ondrik");
    EXPECT_EQ(logger->Lines().back(), "2024-01-15 Begin Ondrik");
    logger->SetTimeStamp(false);
    logger->Log("plain");
    EXPECT_EQ(logger->Lines().back(), "plain");
}

TEST_F(LoggerTest, FileThatCannotBeCreatedIsIgnoredSilently) {
    const std::string noFolder = m_folder.Path() + "missing/Ondrik.log";
    const std::string isFolder = m_folder.Path() + "folder.log";
    platform::ForceDirectories(isFolder);
    for (const std::string& target : {noFolder, isFolder, std::string()}) {
        auto logger = std::make_unique<TLoggerObj>();
        logger->SetTargetFile(target);
        logger->Log("lost");
        EXPECT_NO_THROW(logger.reset());
    }
    EXPECT_FALSE(platform::DirectoryExists(m_folder.Path() + "missing"));
}

TEST_F(LoggerTest, NothingWrittenWithoutLines) {
    const std::string target = m_folder.Write("Ondrik.log", "previous run");
    {
        TLoggerObj logger;
        logger.SetTargetFile(target);
    }
    EXPECT_EQ(m_folder.Read("Ondrik.log"), "previous run");
}

TEST_F(LoggerTest, ProcessWriterIsWrittenOnceWhenFreed) {
    const std::string target = m_folder.Write("Ondrik.log", std::string(50000, 'o'));
    EXPECT_EQ(CurrentLogger(), nullptr);
    GetLogger().SetTargetFile(target);
    EXPECT_EQ(&GetLogger(), CurrentLogger());
    GetLogger().Log("second run");
    FreeLogger();
    EXPECT_EQ(CurrentLogger(), nullptr);
    Lines expected = MachineBlock();
    expected.push_back("2024-01-15 13:05:09.007 second run");
    EXPECT_EQ(m_folder.Read("Ondrik.log"), FileText(expected));  // the older, longer file is gone
    FreeLogger();
}

TEST(LoggerSystemTest, SystemValuesFillTheBlock) {
    TempFolder folder;
    TLoggerObj logger;
    logger.SetTargetFile(folder.Path() + "test.log");
    logger.Log("x");
    const Lines& lines = logger.Lines();
    const passwd* pw = getpwuid(geteuid());
    ASSERT_NE(pw, nullptr);
    EXPECT_NE(std::find(lines.begin(), lines.end(), std::string("UserName=") + pw->pw_name),
              lines.end());
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    EXPECT_NE(std::find(lines.begin(), lines.end(), std::string("ComputerName=") + host),
              lines.end());
    EXPECT_EQ(lines.back().size(), std::string("2024-01-15 13:05:09.007 x").size());
}

}  // namespace
