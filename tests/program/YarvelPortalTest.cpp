#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "YarvelPortal.h"
#include "platform/Paths.h"
#include "platform/RecordingServices.h"
#include "platform/TempFolder.h"

namespace {

using platform::testing::RecordingServices;
using platform::testing::TempFolder;

const char* const kNames[] = {YARVEL_EXPORT_NAMES};

// The table's slots as addresses, in binding order.
std::vector<const void*> Slots() {
    const TYarvelEntryPoints& e = YarvelEntryPoints();
    std::vector<const void*> slots(YARVEL_EXPORT_COUNT);
    std::memcpy(slots.data(), &e, sizeof e);
    return slots;
}

std::string BindError(const std::string& folder) {
    try {
        BindYarvel(folder);
    } catch (const EYarvelPortal& e) {
        return e.Message();
    }
    return "no error";
}

class YarvelPortalTest : public ::testing::Test {
protected:
    ~YarvelPortalTest() override { UnloadYarvel(); }

    TempFolder m_folder;
    RecordingServices m_services;
};

TEST_F(YarvelPortalTest, MissingLibraryNamesThePathWithOneSeparator) {
    const std::string dir = m_folder.Path() + "bin";
    std::filesystem::create_directories(dir);
    for (const std::string& folder : {dir, dir + "/"})
        EXPECT_EQ(BindError(folder), "YarvelPortal: Dll not found - " + dir + "/libYarvel.so");
    EXPECT_EQ(BindError(m_folder.Path() + "absent"),
              "YarvelPortal: Dll not found - " + m_folder.Path() + "absent/libYarvel.so");
    EXPECT_FALSE(YarvelLoaded());
}

TEST_F(YarvelPortalTest, FileThatIsNotALibrary) {
    struct Case {
        const char* name;
        std::string contents;
    } cases[] = {{"libYarvel.so", "MZ this is not a shared object"},
                 {"libyarvel.SO", std::string("\x7f"
                                              "ELF",
                                              4) +
                                      std::string(60, '\0')},
                 {"libYarvel.so", ""}};
    for (const auto& c : cases) {
        TempFolder folder;
        const std::string path = folder.Write(c.name, c.contents);
        EXPECT_EQ(BindError(folder.Path()), "YarvelPortal: Unable to load " + path) << c.name;
        EXPECT_FALSE(YarvelLoaded());
        EXPECT_FALSE(YarvelLoadErrorDetail().empty());
    }
    // A folder of that name is no library file either.
    TempFolder folder;
    std::filesystem::create_directories(folder.Path() + "libYarvel.so");
    EXPECT_EQ(BindError(folder.Path()).rfind("YarvelPortal: Dll not found - ", 0), 0u);
}

TEST_F(YarvelPortalTest, MissingLastExportStopsBindingBeforeTheStart) {
    EXPECT_EQ(BindError(PARTIAL_YARVEL_DIR), "YarvelPortal: Routine not valid.");
    ASSERT_TRUE(YarvelLoaded());
    const auto slots = Slots();
    for (size_t i = 0; i + 1 < slots.size(); ++i) EXPECT_NE(slots[i], nullptr) << kNames[i];
    EXPECT_EQ(slots.back(), nullptr);
    // The stand-in counts its starts here.
    EXPECT_EQ(YarvelEntryPoints().YarvelGetEarliestSymbolYearAvailable(), 0);
    EXPECT_THROW(Yarvel(), EYarvelPortal);

    UnloadYarvel();
    EXPECT_FALSE(YarvelLoaded());
    for (const void* slot : Slots()) EXPECT_EQ(slot, nullptr);
    UnloadYarvel();  // a second time, and without anything loaded: harmless
    EXPECT_TRUE(m_services.Boxes().empty());
}

TEST_F(YarvelPortalTest, LibraryNameMatchesInAnyLetterCase) {
    const std::string copy = m_folder.Path() + "LIBYARVEL.SO";
    std::filesystem::copy_file(std::string(PARTIAL_YARVEL_DIR) + "/libYarvel.so", copy);
    // Found and loaded: the failure is the missing export, not the file.
    EXPECT_EQ(BindError(m_folder.Path()), "YarvelPortal: Routine not valid.");
    EXPECT_TRUE(YarvelLoaded());
}

TEST_F(YarvelPortalTest, StopFailureIsShownAndTheLibraryStillReleased) {
    BindError(PARTIAL_YARVEL_DIR);
    YarvelEntryPoints().YarvelSetSuppressMessages(2);  // the stand-in's next stop fails
    UnloadYarvel();
    ASSERT_EQ(m_services.Boxes().size(), 1u);
    EXPECT_EQ(m_services.Boxes()[0].request.text, "YarvelPortal: the engine would not stop");
    EXPECT_FALSE(YarvelLoaded());
    UnloadYarvel();
    EXPECT_EQ(m_services.Boxes().size(), 1u);
}

TEST_F(YarvelPortalTest, BindingAgainReplacesTheLoadedLibrary) {
    BindError(PARTIAL_YARVEL_DIR);
    EXPECT_EQ(BindError(m_folder.Path()),
              "YarvelPortal: Dll not found - " + m_folder.Path() + "libYarvel.so");
    EXPECT_FALSE(YarvelLoaded());
    for (const void* slot : Slots()) EXPECT_EQ(slot, nullptr);
}

TEST(YarvelTextTest, OwnsItsString) {
    TYarvelText text("1HGCM826&3A");
    EXPECT_EQ(text.Str(), "1HGCM826&3A");
    *text.Out() = (YarvelStringRelease(*text.Out()), YarvelStringFromC("replaced"));
    TYarvelText moved = std::move(text);
    EXPECT_EQ(moved.Str(), "replaced");
    EXPECT_EQ(text.In(), nullptr);
    EXPECT_EQ(TYarvelText("").In(), nullptr);
}

TEST(YarvelObjectListTest, KeepsAndFreesTheEngineObjects) {
    TMakeList makes;
    TYarvelList* protocol = makes.Protocol();
    TYarvelString* name = YarvelStringFromC("Honda");
    TYarvelString* abbr = YarvelStringFromC("HOND");
    EXPECT_EQ(protocol->AddObject(protocol->Owner, name, YarvelAutoMakeCreate(name, abbr)), 0);
    EXPECT_EQ(protocol->AddObject(protocol->Owner, nullptr, YarvelAutoMakeCreate(nullptr, abbr)),
              1);
    ASSERT_EQ(makes.Entries().size(), 2u);
    EXPECT_EQ(makes.Entries()[0].first, "Honda");
    EXPECT_EQ(makes.Entries()[1].first, "");
    EXPECT_EQ(abbr->RefCount, 3);
    makes.Clear();
    EXPECT_EQ(abbr->RefCount, 1);
    EXPECT_EQ(name->RefCount, 1);
    YarvelStringRelease(name);
    YarvelStringRelease(abbr);
}

TEST_F(YarvelPortalTest, RealEngineFromTheProgramFolder) {
    LoadYarvel();
    ASSERT_TRUE(YarvelLoaded());
    for (const void* slot : Slots()) EXPECT_NE(slot, nullptr);
    EXPECT_EQ(Yarvel().YarvelGetMinVinSizePermitted(), 9);
    EXPECT_EQ(Yarvel().YarvelGetEarliestSymbolYearAvailable(), 1985);
    UnloadYarvel();
    EXPECT_FALSE(YarvelLoaded());
    // Loaded again in the same process, as a test run does.
    BindYarvel(platform::ProgramFolder());
    EXPECT_EQ(Yarvel().YarvelGetMinVinSizePermitted(), 9);
    EXPECT_TRUE(m_services.Boxes().empty()) << m_services.Boxes()[0].request.text;
}

}  // namespace
