#include <gtest/gtest.h>

#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/TempFolder.h"

using namespace platform;

TEST(PathsTest, WindowsDirectoryFallsBackToXdg) {
    platform::testing::TempFolder temp(false);
    const char* oldWin = getenv("WINDIR");
    const std::string saved = oldWin ? oldWin : "";
    setenv("WINDIR", "", 1);
    setenv("XDG_CONFIG_HOME", (temp.Path() + "cfg").c_str(), 1);
    EXPECT_EQ(WindowsDirectory(), temp.Path() + "cfg/pollark");
    setenv("WINDIR", (temp.Path() + "win/").c_str(), 1);
    EXPECT_EQ(WindowsDirectory(), temp.Path() + "win");
    if (oldWin) setenv("WINDIR", saved.c_str(), 1); else unsetenv("WINDIR");
    unsetenv("XDG_CONFIG_HOME");
}

TEST(PathsTest, ProgramAndFileNameParts) {
    EXPECT_EQ(ProgramFolder().back(), PathDelim);
    EXPECT_EQ(ExtractFileName(ProgramFileName()), "platform_tests");
    EXPECT_EQ(ExtractFilePath("/a/b/c.txt"), "/a/b/");
    EXPECT_EQ(ExtractFileName("/a/b/c.txt"), "c.txt");
    EXPECT_EQ(ChangeFileExt("/a/b.c/Ondrik", ".log"), "/a/b.c/Ondrik.log");
    EXPECT_EQ(ChangeFileExt("/a/x.exe", ".logger"), "/a/x.logger");
    EXPECT_EQ(ShortPathName("/Some Long/Path Name"), "/Some Long/Path Name");
    EXPECT_EQ(ModuleFileName(reinterpret_cast<const void*>(&ProgramFolder)),
              ExtractFilePath(ProgramFileName()) + "libplatform.so");
}

TEST(FilesTest, FindFileNoCaseAndListing) {
    platform::testing::TempFolder temp;
    temp.Write("d/YARVEL.dbf", "x");
    temp.Write("d/sub/deep/a.ver", "y");
    EXPECT_EQ(FindFileNoCase(temp.Path() + "d", "yarvel.DBF"), temp.Path() + "d/YARVEL.dbf");
    EXPECT_EQ(FindFileNoCase(temp.Path() + "d/", "absent.dbf"), "");
    EXPECT_EQ(FindFileNoCase(temp.Path() + "d/", "sub"), "") << "folders are not files";
    const std::vector<std::string> listed{temp.Path() + "d/YARVEL.dbf",
                                          temp.Path() + "d/sub/deep/a.ver"};
    EXPECT_EQ(ListFilesRecursive(temp.Path() + "d"), listed);
    EXPECT_TRUE(RenameFile(temp.Path() + "d/YARVEL.dbf", temp.Path() + "d/y.dbf"));
    EXPECT_TRUE(FileExists(temp.Path() + "d/y.dbf"));
    EXPECT_TRUE(DeleteFile(temp.Path() + "d/y.dbf"));
    EXPECT_FALSE(FileExists(temp.Path() + "d/y.dbf"));
    EXPECT_TRUE(DeleteFile(temp.Path() + "d/y.dbf")) << "already gone counts as deleted";
}

TEST(FilesTest, AtomicWriteReplacesWholeFile) {
    platform::testing::TempFolder temp;
    const std::string file = temp.Write("f.dat", "old contents");
    ASSERT_TRUE(WriteFileAtomic(file, "new"));
    std::string text;
    ASSERT_TRUE(ReadWholeFile(file, text));
    EXPECT_EQ(text, "new");
    std::string error;
    EXPECT_FALSE(ReadWholeFile(temp.Path() + "missing", text, &error));
    EXPECT_NE(error.find("missing"), std::string::npos);
}
