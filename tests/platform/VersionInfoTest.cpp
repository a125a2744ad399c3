#include <gtest/gtest.h>

#include "platform/Paths.h"
#include "platform/TempFolder.h"
#include "platform/VersionInfo.h"

using namespace platform;

TEST(VersionInfoTest, BuiltFilesCarryTheirBlock) {
    EXPECT_EQ(ReadVersionValue(PLATFORM_LIB, "OriginalFilename"), "libplatform.so");
    EXPECT_EQ(ReadVersionValue(PLATFORM_LIB, "FileDescription"), "Platform services");
    EXPECT_FALSE(ReadVersionValue(PLATFORM_LIB, "FileVersion").empty());
    EXPECT_FALSE(ReadVersionValue(PLATFORM_LIB, "ProductName").empty());
    EXPECT_EQ(ReadVersionValue(PLATFORM_LIB, "LegalTradeMarks"), "");
    EXPECT_EQ(ReadVersionValue(PLATFORM_LIB, "NoSuchKey"), "");
}

TEST(VersionInfoTest, FilesWithoutBlockGiveEmpty) {
    platform::testing::TempFolder temp;
    // The test program itself is ELF without a block; the others are not ELF at all.
    for (const std::string& file : std::vector<std::string>{ProgramFileName(), temp.Write("text.txt", "hello"),
                                   temp.Write("fake.so", std::string("\x7f" "ELF\2\1\1", 7)),
                                   temp.Path() + "absent"})
        EXPECT_EQ(ReadVersionValue(file, "FileVersion"), "") << file;
}
