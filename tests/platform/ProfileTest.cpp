#include <gtest/gtest.h>

#include "platform/Files.h"
#include "platform/IntegerText.h"
#include "platform/Profile.h"
#include "platform/TempFolder.h"

using namespace platform;

namespace {

struct IntCase {
    const char* text;
    std::optional<int32_t> value;
};

class IntegerTextTest : public ::testing::TestWithParam<IntCase> {};

TEST_P(IntegerTextTest, Parses) { EXPECT_EQ(ParseIntegerText(GetParam().text), GetParam().value); }

INSTANTIATE_TEST_SUITE_P(
    Cases, IntegerTextTest,
    ::testing::Values(IntCase{"42", 42}, IntCase{"   42", 42}, IntCase{"+7", 7}, IntCase{"-7", -7},
                      IntCase{"$10", 16}, IntCase{"x1F", 31}, IntCase{"0x10", 16},
                      IntCase{"0XfF", 255}, IntCase{"-$10", -16}, IntCase{"$FFFFFFFF", -1},
                      IntCase{"2147483647", 2147483647}, IntCase{"-2147483648", INT32_MIN},
                      IntCase{"2147483648", std::nullopt}, IntCase{"$100000000", std::nullopt},
                      IntCase{"42 ", std::nullopt}, IntCase{"4 2", std::nullopt},
                      IntCase{"", std::nullopt}, IntCase{"   ", std::nullopt},
                      IntCase{"-", std::nullopt}, IntCase{"$", std::nullopt},
                      IntCase{"0x", std::nullopt}, IntCase{"12a", std::nullopt},
                      IntCase{"\t1", std::nullopt}, IntCase{"yes", std::nullopt}));

class ProfileTest : public ::testing::Test {
protected:
    platform::testing::TempFolder m_temp;
    std::string Ini(const std::string& text) { return m_temp.Write("windows/Test.ini", text); }
};

TEST_F(ProfileTest, BareNameResolvesInWindowsDirectory) {
    Ini("[Main]\r\nKey=Value\r\n");
    EXPECT_EQ(ResolveProfileFile("Test.ini"), m_temp.WindowsDir() + "Test.ini");
    EXPECT_EQ(ReadProfileString("Test.ini", "Main", "Key", "d"), "Value");
    // A name with a folder is used as it stands.
    const std::string other = m_temp.Write("elsewhere/Other.ini", "[Main]\nKey=There\n");
    EXPECT_EQ(ReadProfileString(other, "Main", "Key", "d"), "There");
}

TEST_F(ProfileTest, LookupIgnoresCaseAndBlanks) {
    Ini("; comment\r\n[ Data Path ]\r\n  UseAlt = 1 \r\nQuoted=\"  a b  \"\r\n[data path]\r\nUseAlt=9\r\n");
    EXPECT_EQ(ReadProfileString("Test.ini", "DATA PATH", "usealt", ""), "1");
    EXPECT_EQ(ReadProfileString("Test.ini", "data path", "QUOTED", ""), "  a b  ");
    EXPECT_TRUE(ReadProfileBool("Test.ini", "Data Path", "UseAlt", false));
}

TEST_F(ProfileTest, MissingFileSectionOrKeyGivesDefault) {
    EXPECT_EQ(ReadProfileString("Absent.ini", "S", "K", "dflt"), "dflt");
    EXPECT_EQ(ReadProfileInteger("Absent.ini", "S", "K", 1000), 1000);
    Ini("[S]\nK=1\nBad=yes\nHex=0x10\nTwo=2\nNegative=-1\n");
    EXPECT_EQ(ReadProfileString("Test.ini", "Other", "K", "dflt"), "dflt");
    EXPECT_EQ(ReadProfileString("Test.ini", "S", "Other", "dflt"), "dflt");
    EXPECT_EQ(ReadProfileInteger("Test.ini", "S", "Bad", 1000), 1000);
    EXPECT_EQ(ReadProfileInteger("Test.ini", "S", "Hex", 0), 16);
    EXPECT_TRUE(ReadProfileBool("Test.ini", "S", "Two", false));
    EXPECT_TRUE(ReadProfileBool("Test.ini", "S", "Negative", false));
    EXPECT_FALSE(ReadProfileBool("Test.ini", "S", "Bad", false));
}

// Editors save a UTF-8 mark before the first section; it is no part of it,
// and a rewrite keeps it.
TEST_F(ProfileTest, ByteOrderMarkIsReadPastAndKept) {
    Ini("\xEF\xBB\xBF[DataPath]\r\nUseAltDataPath=1\r\n");
    EXPECT_EQ(ReadProfileSections("Test.ini"), std::vector<std::string>{"DataPath"});
    EXPECT_TRUE(ReadProfileBool("Test.ini", "DataPath", "UseAltDataPath", false));
    ASSERT_TRUE(WriteProfileString("Test.ini", "DataPath", "AlternateDataPath", "/d/"));
    EXPECT_EQ(m_temp.Read("windows/Test.ini"),
              "\xEF\xBB\xBF[DataPath]\r\nUseAltDataPath=1\r\nAlternateDataPath=/d/\r\n");
}

TEST_F(ProfileTest, WriteKeepsEveryOtherLine) {
    Ini("; keep me\r\n[A]\r\nX=1\r\n\r\n[B]\r\nY=2\r\n");
    ASSERT_TRUE(WriteProfileString("Test.ini", "a", "x", "changed"));
    ASSERT_TRUE(WriteProfileString("Test.ini", "A", "New", "n"));
    ASSERT_TRUE(WriteProfileString("Test.ini", "C", "Z", "3"));
    EXPECT_EQ(m_temp.Read("windows/Test.ini"),
              "; keep me\r\n[A]\r\nx=changed\r\nNew=n\r\n\r\n[B]\r\nY=2\r\n\r\n[C]\r\nZ=3\r\n");
}

TEST_F(ProfileTest, WriteCreatesFileAndFolder) {
    const std::string file = m_temp.Path() + "new/deeper/App.ini";
    ASSERT_TRUE(WriteProfileInteger(file, "Main", "Count", -5));
    ASSERT_TRUE(WriteProfileBool(file, "Main", "On", true));
    EXPECT_EQ(m_temp.Read("new/deeper/App.ini"), "[Main]\r\nCount=-5\r\nOn=1\r\n");
}

TEST_F(ProfileTest, LineBreaksInValuesCannotInjectLines) {
    ASSERT_TRUE(WriteProfileString("Test.ini", "Main", "Cmd", "x\r\n[Evil]\nKey=1\r"));
    EXPECT_EQ(ReadProfileSections("Test.ini"), std::vector<std::string>{"Main"});
    EXPECT_EQ(ReadProfileString("Test.ini", "Main", "Cmd", ""), "x  [Evil] Key=1");
    EXPECT_EQ(ReadProfileString("Test.ini", "Evil", "Key", "none"), "none");
}

TEST_F(ProfileTest, EraseKeyAndSection) {
    Ini("[A]\r\nX=1\r\nY=2\r\n[B]\r\nZ=3\r\n");
    ASSERT_TRUE(EraseProfileKey("Test.ini", "A", "x"));
    ASSERT_TRUE(EraseProfileSection("Test.ini", "b"));
    EXPECT_EQ(m_temp.Read("windows/Test.ini"), "[A]\r\nY=2\r\n");
}

// A file that exists but cannot be read is not rewritten from nothing.
TEST_F(ProfileTest, FailedReadFailsTheWriteAndKeepsTheFile) {
    Ini("[A]\r\nX=1\r\nY=2\r\n");
    auto previous = SetFileFaultHandler(
        [](FileStep s, const std::string&) { return s == FileStep::Read ? EIO : 0; });
    std::string error;
    EXPECT_FALSE(WriteProfileString("Test.ini", "A", "X", "2", &error));
    EXPECT_FALSE(EraseProfileKey("Test.ini", "A", "Y"));
    SetFileFaultHandler(std::move(previous));
    EXPECT_NE(error.find("Test.ini"), std::string::npos) << error;
    EXPECT_EQ(m_temp.Read("windows/Test.ini"), "[A]\r\nX=1\r\nY=2\r\n");
    // A file that is not there is still created.
    EXPECT_TRUE(WriteProfileString("New.ini", "A", "X", "1"));
}

// Ini files are found in any letter case, and written where they were found.
TEST_F(ProfileTest, FileFoundWithoutRegardToLetterCase) {
    Ini("[Main]\r\nKey=Value\r\n");
    EXPECT_EQ(ResolveProfileFile("TEST.INI"), m_temp.WindowsDir() + "Test.ini");
    EXPECT_EQ(ReadProfileString("test.ini", "Main", "Key", "d"), "Value");
    EXPECT_TRUE(WriteProfileString("TEST.ini", "Main", "Other", "1"));
    EXPECT_EQ(m_temp.Read("windows/Test.ini"), "[Main]\r\nKey=Value\r\nOther=1\r\n");
    EXPECT_EQ(ListFilesRecursive(m_temp.WindowsDir()).size(), 1u);
    EXPECT_EQ(ResolveProfileFile("Absent.ini"), m_temp.WindowsDir() + "Absent.ini");
}

TEST_F(ProfileTest, FailedWriteLeavesOldFileAndReportsIt) {
    Ini("[A]\r\nX=1\r\n");
    for (FileStep step : {FileStep::CreateTemp, FileStep::Write, FileStep::Sync, FileStep::Rename}) {
        auto previous = SetFileFaultHandler([step](FileStep s, const std::string&) {
            return s == step ? EIO : 0;
        });
        std::string error;
        EXPECT_FALSE(WriteProfileString("Test.ini", "A", "X", "2", &error));
        EXPECT_FALSE(error.empty());
        SetFileFaultHandler(std::move(previous));
        EXPECT_EQ(m_temp.Read("windows/Test.ini"), "[A]\r\nX=1\r\n");
        EXPECT_EQ(ListFilesRecursive(m_temp.WindowsDir()).size(), 1u) << "temporary file left";
    }
}

}  // namespace
