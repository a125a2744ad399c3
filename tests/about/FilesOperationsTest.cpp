#include <gtest/gtest.h>
#include <cerrno>

#include "AboutTestSupport.h"
#include "FilesOperationsU.h"
#include "platform/Files.h"

namespace {

using about_test::TAboutFixture;

const std::string kSuiteTitle = "            Exe/Dll versions           ";
const std::string kVersionTitle = "           Version files info          ";

std::string VersionFile(const std::string& description, const std::string& buildDate) {
    return "[General]\r\nDescription=" + description + "\r\nBuildDate=" + buildDate + "\r\n";
}

struct TTextCase {
    const char* input;
    const char* expected;
};

TEST(FilesOperations, PlatformFileNames) {
    const TTextCase cases[] = {{"Yarvel.dll", "libYarvel.so"}, {"qelEmail.DLL", "libqelEmail.so"},
                               {"Ondrik.exe", "Ondrik"},       {"PKMAINT.EXE", "PKMAINT"},
                               {"readme.txt", "readme.txt"},   {".dll", ".dll"}};
    for (const auto& c : cases) EXPECT_EQ(PlatformFileName(c.input), c.expected) << c.input;
}

TEST(FilesOperations, BuildDateConversion) {
    const TTextCase cases[] = {{"20080115", "01/15/2008"},
                               {"200801159", "01/15/2008"},
                               {"2008", ""},
                               {"2008011", ""},
                               {"", ""}};
    for (const auto& c : cases) EXPECT_EQ(ConvertBuildDate(c.input), c.expected) << c.input;
}

TEST(FilesOperations, CleanupLineCutAfterTheDateSeparator) {
    const TTextCase cases[] = {{" a.ver     - 01/15/2008", " a.ver     -"},
                               {" a.ver - ", " a.ver -"},
                               {" x - y.ver - 01/02/2003", " x - y.ver -"},
                               {" no separator", " no separator"}};
    for (const auto& c : cases) EXPECT_EQ(CutAfterDateSeparator(c.input), c.expected) << c.input;
    EXPECT_EQ(CleanupLine("a.ver", 9, "20080115"), " a.ver    - 01/15/2008");
    EXPECT_EQ(CleanupLine("a.ver", 2, "2008"), " a.ver - ");
}

TEST(FilesOperations, VersionFilesFoundAtAnyDepthWithoutRegardToCase) {
    TAboutFixture fixture;
    for (const char* name : {"a.ver", "Sub/B.VER", "sub/deep/c.Ver", "server", "notes.txt",
                             "ver.txt", "x.ver/readme.txt"})
        fixture.Write(name, "");
    const std::vector<std::string> expected = {"a.ver", "server", "Sub/B.VER", "sub/deep/c.Ver"};
    EXPECT_EQ(FindVersionFiles(fixture.Folder()), expected);
    EXPECT_TRUE(FindVersionFiles(fixture.Folder() + "missing").empty());
}

TEST(FilesOperations, DetailsWithNoneOfTheSuiteAndNoVersionFile) {
    TAboutFixture fixture;
    const TDetailsText details = BuildDetailsText(fixture.Folder());
    const std::vector<std::string> expected = {"", kSuiteTitle, "", "", ""};
    EXPECT_EQ(details.Lines, expected);
    EXPECT_TRUE(details.VersionFiles.empty());
}

TEST(FilesOperations, DetailsOfOurOwnBuiltFilesAndFilesWithoutOurVersionBlock) {
    TAboutFixture fixture;
    fixture.Install(YARVEL_LIBRARY, "libYarvel.so");
    fixture.Install(SHIPPED_PLUGIN, "LIBQELEMAIL.SO");
    fixture.Write("pkmaint", "no version information here");
    fixture.Install(OTHER_LANGUAGE_LIBRARY, "libPlimtor.so");
    const std::string v = OUR_FILE_VERSION;
    const std::vector<std::string> expected = {"",
                                               kSuiteTitle,
                                               "",
                                               " PKMaint         : ",
                                               " libPlimtor.so   : ",
                                               " libqelEmail.so  : " + v,
                                               " libYarvel.so    : " + v,
                                               "",
                                               ""};
    EXPECT_EQ(BuildDetailsText(fixture.Folder()).Lines, expected);
}

TEST(FilesOperations, DetailsOfVersionFilesInSubFolders) {
    TAboutFixture fixture;
    fixture.Write("Data/Update1.ver", VersionFile("Rating update", "20080115"));
    fixture.Write("four.VER", VersionFile("Four digits", "2008"));
    fixture.Write("Sub/blank.ver", VersionFile("   ", "20080115"));
    const TDetailsText details = BuildDetailsText(fixture.Folder());
    const std::vector<std::string> expected = {"",
                                               kSuiteTitle,
                                               "",
                                               "",
                                               "",
                                               kVersionTitle,
                                               "",
                                               " Rating update (Update1.ver)  : 01/15/2008",
                                               " Four digits (four.VER)       : "};
    EXPECT_EQ(details.Lines, expected);
    const std::vector<std::string> files = {"Data/Update1.ver", "four.VER", "Sub/blank.ver"};
    EXPECT_EQ(details.VersionFiles, files);
}

TEST(FilesOperations, UnreadableVersionFileIsLeftOut) {
    TAboutFixture fixture;
    fixture.Write("good.ver", VersionFile("Good", "20080115"));
    const std::string locked = fixture.Write("locked.ver", VersionFile("Locked", "20080115"));
    platform::SetFileFaultHandler([locked](platform::FileStep step, const std::string& path) {
        return step == platform::FileStep::Read && path == locked ? EACCES : 0;
    });
    const TDetailsText details = BuildDetailsText(fixture.Folder());
    platform::SetFileFaultHandler({});
    ASSERT_FALSE(details.Lines.empty());
    EXPECT_EQ(details.Lines.back(), " Good (good.ver)  : 01/15/2008");
}

TEST(FilesOperations, CleanupClearsOnlyTheBuildDate) {
    TAboutFixture fixture;
    const std::string path =
        fixture.Write("a.ver", VersionFile("Kept", "20080115") + "[Other]\r\nKey=1\r\n");
    CleanupVersionFile(path);
    ASSERT_TRUE(platform::FileExists(path));
    const TVersionFileInfo info = ReadVersionFile(path);
    EXPECT_EQ(info.Description, "Kept");
    EXPECT_EQ(info.BuildDate, "");
    EXPECT_NE(about_test::ReadFile(path).find("Key=1"), std::string::npos);
}

}  // namespace
