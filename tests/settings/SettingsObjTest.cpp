#include "QEL_SettingsObj.h"

#include <gtest/gtest.h>

#include "SettingsTestSupport.h"
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <regex>
#include <string>

#include "platform/Files.h"
#include "platform/IniText.h"
#include "platform/Paths.h"
#include "platform/TempFolder.h"
#include "qelDataStorage.h"
#include "qelXMLDoc.h"

namespace {

using settings_test::Stored;

const std::string kTemplate =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<QELSettings>\r\n</QELSettings>\r\n";
const char kBackup[] = "QELSettings/Backup";

std::string Xml(const std::string& body) {
    return "<QELSettings>" + body + "</QELSettings>";
}

std::string Capacity(const std::string& value) {
    return Xml("<Backup><Capacity>" + value + "</Capacity></Backup>");
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { m_settings.SetFileBase(Folder() + "PKMaint"); }
    void TearDown() override { platform::SetFileFaultHandler({}); }

    std::string Folder() const { return m_temp.Path() + "maint/"; }
    std::string DefaultFile() const { return Folder() + "PKMaintd.xml"; }
    std::string AllUsersFile() const { return Folder() + "PKMainta.xml"; }
    std::string UserFile() const { return m_temp.WindowsDir() + "PKMaintu.xml"; }

    void WriteDefault(const std::string& text) { m_temp.Write("maint/PKMaintd.xml", text); }
    void WriteAllUsers(const std::string& text) { m_temp.Write("maint/PKMainta.xml", text); }
    void WriteUser(const std::string& text) { m_temp.Write("windows/PKMaintu.xml", text); }

    static std::string Read(const std::string& file) { return settings_test::ReadRaw(file); }

    platform::testing::TempFolder m_temp;  // first: sets WINDIR for the settings object
    TSettingsObj m_settings;
};

using settings_test::Message;

// ------------------------------------------------------------- file names

struct NameCase {
    const char* input;
    bool fromProgramFolder;  // the expected base is below the program's folder
    const char* base;
    uint8_t storageType;
    const char* extension;
};

class FileNameTest : public ::testing::TestWithParam<NameCase> {
protected:
    platform::testing::TempFolder m_temp;
};

TEST_P(FileNameTest, FormsTheThreeFileNames) {
    const NameCase& c = GetParam();
    TSettingsObj settings;
    settings.SetStorageType(c.storageType);
    settings.SetFileBase(c.input);
    const std::string base = (c.fromProgramFolder ? platform::ProgramFolder() : "") + c.base;
    EXPECT_EQ(settings.FileBase(), base);
    EXPECT_EQ(settings.FileName(ssDefault), base + "d" + c.extension);
    EXPECT_EQ(settings.FileName(ssAllUsers), base + "a" + c.extension);
    EXPECT_EQ(settings.FileName(ssUser),
              m_temp.WindowsDir() + platform::ExtractFileName(base) + "u" + c.extension);
}

INSTANTIATE_TEST_SUITE_P(
    Names, FileNameTest,
    ::testing::Values(NameCase{"/data/PKMaint", false, "/data/PKMaint", 0, ".xml"},
                      NameCase{"/data/PKMaint", false, "/data/PKMaint", 1, ".ini"},
                      NameCase{"/data/PKMaintenance.exe", false, "/data/PKMaint", 2, ".xml"},
                      NameCase{"/data/Set.tings.cfg", false, "/data/Set.tin", 0, ".xml"},
                      NameCase{"PKMaint", true, "PKMaint", 0, ".xml"},
                      NameCase{"./sub/PKMaint", true, "sub/PKMaint", 0, ".xml"}));

TEST_F(SettingsTest, TakesItsBaseFromTheProgramByDefault) {
    TSettingsObj settings;
    const std::string program = platform::ProgramFileName();
    EXPECT_EQ(settings.FileBase(),
              platform::ProgramFolder() +
                  platform::ChangeFileExt(platform::ExtractFileName(program), "").substr(0, 7));
    EXPECT_EQ(settings.StorageType(), 0);
    EXPECT_EQ(settings.SettingsLevel(), (TSettingsScopes{ssDefault, ssAllUsers, ssUser}));
}

// ------------------------------------------------------------- the cascade

struct CascadeCase {
    const char* name;
    std::string defaults;
    std::optional<std::string> allUsers;
    std::optional<std::string> user;
    int expected;  // ReadInteger with the default 7
};

class CascadeTest : public SettingsTest, public ::testing::WithParamInterface<CascadeCase> {};

TEST_P(CascadeTest, MostSpecificPresentValueWins) {
    const CascadeCase& c = GetParam();
    WriteDefault(c.defaults);
    if (c.allUsers) WriteAllUsers(*c.allUsers);
    if (c.user) WriteUser(*c.user);
    EXPECT_EQ(m_settings.ReadInteger(kBackup, "Capacity", 7), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Scopes, CascadeTest,
    ::testing::Values(
        CascadeCase{"DefaultAttribute", Xml("<Backup Capacity=\"40\"/>"), {}, {}, 40},
        CascadeCase{"DefaultElementBeatsAttribute",
                    Xml("<Backup Capacity=\"40\"><Capacity>41</Capacity></Backup>"),
                    {},
                    {},
                    41},
        CascadeCase{"EmptyDefaultElementFallsBackToAttribute",
                    Xml("<Backup Capacity=\"40\"><Capacity> </Capacity></Backup>"),
                    {},
                    {},
                    40},
        CascadeCase{
            "AllUsersOverDefault", Xml("<Backup Capacity=\"40\"/>"), Capacity("35"), {}, 35},
        CascadeCase{"AllUsersAttributeIsNotRead",
                    Xml("<Backup Capacity=\"40\"/>"),
                    Xml("<Backup Capacity=\"36\"/>"),
                    {},
                    40},
        CascadeCase{"UserOverAllUsers", Capacity("40"), Capacity("35"), Capacity("33"), 33},
        CascadeCase{"EmptyUserItemGivesCallersDefault", Xml("<Backup Capacity=\"40\"/>"),
                    Capacity("35"), Capacity(""), 7},
        CascadeCase{"NothingAnywhere", Xml(""), {}, {}, 7}),
    [](const auto& info) { return std::string(info.param.name); });

struct ConversionCase {
    const char* stored;
    int asInteger;  // default 7
    bool asBool;    // default true
};

class ConversionTest : public SettingsTest, public ::testing::WithParamInterface<ConversionCase> {};

TEST_P(ConversionTest, ReadsIntegersAndBooleans) {
    WriteDefault(Capacity(GetParam().stored));
    EXPECT_EQ(m_settings.ReadInteger(kBackup, "Capacity", 7), GetParam().asInteger);
    EXPECT_EQ(m_settings.ReadBool(kBackup, "Capacity", true), GetParam().asBool);
    EXPECT_EQ(m_settings.ReadString(kBackup, "Capacity", "none"),
              *GetParam().stored ? platform::TrimBlanks(GetParam().stored) : "none");
}

INSTANTIATE_TEST_SUITE_P(
    Values, ConversionTest,
    ::testing::Values(ConversionCase{"1", 1, true}, ConversionCase{"0", 0, false},
                      ConversionCase{"", 7, true}, ConversionCase{" 12 ", 12, false},
                      ConversionCase{"-1", -1, false}, ConversionCase{"+5", 5, false},
                      ConversionCase{"true", 7, false}, ConversionCase{"yes", 7, false},
                      ConversionCase{"abc", 7, false}, ConversionCase{"12abc", 7, false},
                      ConversionCase{"$1F", 7, false},
                      ConversionCase{"2147483647", 2147483647, false},
                      ConversionCase{"2147483648", 7, false},
                      ConversionCase{"-2147483648", -2147483647 - 1, false}));

// ----------------------------------------------------------- the pruning

struct PruneCase {
    const char* name;
    const char* defaultValue;  // nullptr: no item in that file
    const char* allUsers;
    const char* user;
    uint8_t scope;
    const char* value;
    const char* expectAllUsers;
    const char* expectUser;
};

std::string CapacityOrNothing(const char* value) {
    return value ? Capacity(value) : Xml("");
}

std::optional<std::string> Opt(const char* s) {
    return s ? std::optional<std::string>(s) : std::nullopt;
}

class PruneTest : public SettingsTest, public ::testing::WithParamInterface<PruneCase> {};

TEST_P(PruneTest, StoresOnlyOverridesThatDiffer) {
    const PruneCase& c = GetParam();
    WriteDefault(CapacityOrNothing(c.defaultValue));
    WriteAllUsers(CapacityOrNothing(c.allUsers));
    WriteUser(CapacityOrNothing(c.user));
    const std::string defaults = Read(DefaultFile());
    m_settings.DoWriteString(kBackup, "Capacity", false, c.scope, c.value);
    m_settings.UpdateFiles();
    EXPECT_EQ(Stored(AllUsersFile(), kBackup, "Capacity"), Opt(c.expectAllUsers));
    EXPECT_EQ(Stored(UserFile(), kBackup, "Capacity"), Opt(c.expectUser));
    EXPECT_EQ(Read(DefaultFile()), defaults);
}

INSTANTIATE_TEST_SUITE_P(
    Scopes, PruneTest,
    ::testing::Values(
        PruneCase{"AllUsersEqualToDefaultIsRemoved", "40", "35", nullptr, 2, "40", nullptr,
                  nullptr},
        PruneCase{"AllUsersDifferentIsStored", "40", nullptr, nullptr, 2, "50", "50", nullptr},
        PruneCase{"UserEqualToNewAllUsersIsRemoved", "40", nullptr, "50", 2, "50", "50", nullptr},
        PruneCase{"UserDifferentFromNewAllUsersStays", "40", nullptr, "20", 2, "50", "50", "20"},
        PruneCase{"UserEqualToDefaultGoesWithAllUsers", "40", "35", "40", 2, "40", nullptr,
                  nullptr},
        PruneCase{"UserEqualToAllUsersIsRemoved", "40", "35", "20", 3, "35", "35", nullptr},
        PruneCase{"UserDifferentIsStored", "40", "35", nullptr, 3, "20", "35", "20"},
        PruneCase{"UserEqualToDefaultWithoutAllUsers", "40", nullptr, "20", 3, "40", nullptr,
                  nullptr},
        PruneCase{"DefaultScopeRemovesBothOverrides", "40", "35", "20", 1, "99", nullptr, nullptr},
        PruneCase{"EmptyValueIsAValue", "40", nullptr, nullptr, 3, "", nullptr, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsTest, ScopesOutsideTheLevelAreNeitherReadNorWritten) {
    WriteDefault(Capacity("40"));
    WriteAllUsers(Capacity("35"));
    WriteUser(Capacity("20"));
    m_settings.SetSettingsLevel({ssDefault, ssUser});
    EXPECT_EQ(m_settings.ReadInteger(kBackup, "Capacity", 7), 20);
    m_settings.DoWriteString(kBackup, "Capacity", false, ssUser, "40");
    m_settings.UpdateFiles();
    EXPECT_EQ(Stored(AllUsersFile(), kBackup, "Capacity"), "35");
    EXPECT_EQ(Stored(UserFile(), kBackup, "Capacity"), std::nullopt);
}

TEST_F(SettingsTest, CDataValuesAreStoredAsCData) {
    WriteDefault(Xml(""));
    m_settings.DoWriteString("QELSettings/Email", "Body", true, ssAllUsers, "<p>Hi & bye</p>");
    m_settings.UpdateFiles();
    EXPECT_NE(Read(AllUsersFile()).find("<Body><![CDATA[<p>Hi & bye</p>]]></Body>"),
              std::string::npos);
    EXPECT_EQ(m_settings.ReadString("QELSettings/Email", "Body", ""), "<p>Hi & bye</p>");
}

// ---------------------------------------------------------- scope errors

struct ScopeErrorCase {
    const char* name;
    std::function<void(TSettingsObj&)> action;
    const char* message;
};

class ScopeErrorTest : public SettingsTest, public ::testing::WithParamInterface<ScopeErrorCase> {};

TEST_P(ScopeErrorTest, ChangesNothing) {
    WriteDefault(Capacity("40"));
    WriteAllUsers(Capacity("35"));
    EXPECT_EQ(Message([&] { GetParam().action(m_settings); }), GetParam().message);
    m_settings.UpdateFiles();
    EXPECT_EQ(Stored(AllUsersFile(), kBackup, "Capacity"), "35");
}

INSTANTIATE_TEST_SUITE_P(
    Errors, ScopeErrorTest,
    ::testing::Values(
        ScopeErrorCase{"WriteWithoutScope",
                       [](TSettingsObj& s) { s.WriteInteger(kBackup, "Capacity", ssNone, 1); },
                       "No scope specified in DoWriteString\r\nSection: QELSettings/Backup\r\n"
                       "Item: Capacity\r\nValue: 1"},
        ScopeErrorCase{"EraseWithoutScope",
                       [](TSettingsObj& s) { s.EraseSectionByScope(kBackup, ssNone); },
                       "No scope specified in DoEraseSection\r\nSection: QELSettings/Backup"},
        ScopeErrorCase{
            "EraseDefault", [](TSettingsObj& s) { s.EraseSectionByScope(kBackup, ssDefault); },
            "Delete default not allowed in DoEraseSection\r\nSection: QELSettings/Backup"},
        ScopeErrorCase{"EraseOutsideLevel",
                       [](TSettingsObj& s) {
                           s.SetSettingsLevel({ssDefault, ssAllUsers});
                           s.EraseSectionByScope(kBackup, ssUser);
                       },
                       "Scope not valid for SettingsLevel in EraseSectionByScope"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsTest, EraseSectionByScopeRemovesTheSectionOfThatFileOnly) {
    WriteDefault(Capacity("40"));
    WriteAllUsers(Capacity("35"));
    WriteUser(Capacity("20"));
    m_settings.EraseSectionByScope(kBackup, ssUser);
    m_settings.UpdateFiles();
    EXPECT_EQ(Stored(UserFile(), kBackup, "Capacity"), std::nullopt);
    EXPECT_EQ(Stored(AllUsersFile(), kBackup, "Capacity"), "35");
}

// --------------------------------------------------------- the files

TEST_F(SettingsTest, MissingAllUsersAndUserFilesAreCreatedFromTheTemplate) {
    WriteDefault(Capacity("40"));
    platform::DeleteFile(m_temp.WindowsDir() + "PKMaintu.xml");
    ::rmdir(m_temp.WindowsDir().c_str());  // the Windows folder is created on first write
    m_settings.SetRootName("");
    EXPECT_EQ(m_settings.ReadInteger(kBackup, "Capacity", 7), 40);
    EXPECT_EQ(Read(AllUsersFile()), kTemplate);
    EXPECT_EQ(Read(UserFile()), kTemplate);
    EXPECT_EQ(m_settings.RootName(), "QELSettings");
}

TEST_F(SettingsTest, IniFilesAreCreatedEmptyAndCascadeTheSameWay) {
    m_settings.SetStorageType(TqelDataStorage::stINI);
    m_temp.Write("maint/PKMaintd.ini", "[QELSettings/Backup]\r\nCapacity=40\r\n");
    EXPECT_EQ(m_settings.ReadInteger(kBackup, "Capacity", 7), 40);
    EXPECT_EQ(Read(Folder() + "PKMainta.ini"), "");
    EXPECT_EQ(Read(m_temp.WindowsDir() + "PKMaintu.ini"), "");
    m_settings.WriteInteger(kBackup, "Capacity", ssUser, 41);
    m_settings.UpdateFiles();
    EXPECT_EQ(Read(m_temp.WindowsDir() + "PKMaintu.ini"),
              "[QELSettings/Backup]\r\nCapacity=41\r\n\r\n");
    EXPECT_EQ(Read(Folder() + "PKMainta.ini"), "");
}

TEST_F(SettingsTest, MissingDefaultFileFailsEveryRead) {
    const std::string expected =
        "Storage name invalid (" + DefaultFile() + ").  Cannot load storage data.";
    EXPECT_EQ(Message([&] { m_settings.ReadString(kBackup, "Capacity", ""); }), expected);
    EXPECT_EQ(Message([&] { m_settings.ReadBool(kBackup, "Enabled", true); }), expected);
    EXPECT_FALSE(platform::FileExists(DefaultFile()));
}

TEST_F(SettingsTest, AnInvalidRootNameIsRefusedBeforeAnyFileIsTouched) {
    WriteDefault(Capacity("40"));
    m_settings.SetRootName("Not a name");
    EXPECT_THROW(m_settings.ReadString(kBackup, "Capacity", ""), ESettingsObj);
    EXPECT_FALSE(platform::FileExists(AllUsersFile()));
}

// ------------------------------------------------------ unreadable files

struct BrokenFile {
    const char* name;
    uint8_t scope;
    std::string text;
};

class CannotParseTest : public SettingsTest, public ::testing::WithParamInterface<BrokenFile> {};

TEST_P(CannotParseTest, MovesTheFileAsideReportsOnceThenReads) {
    const BrokenFile& c = GetParam();
    WriteDefault(Capacity("40"));
    const std::string file = c.scope == ssAllUsers ? AllUsersFile() : UserFile();
    const std::string folder = platform::ExtractFilePath(file);
    m_temp.Write(file.substr(m_temp.Path().size()), c.text);

    EXPECT_EQ(
        Message([&] { m_settings.ReadInteger(kBackup, "Capacity", 7); }),
        "The setting file " + file + " was unreadable and had to be replaced with a new file");
    EXPECT_EQ(m_settings.ReadInteger(kBackup, "Capacity", 7), 40);
    EXPECT_EQ(Read(file), kTemplate);

    const std::regex asideName(
        std::regex_replace(platform::ExtractFileName(file), std::regex("\\."), "\\.") +
        "CannotParse(20[0-9]{2})(0[1-9]|1[0-2])([0-3][0-9])"
        "([01][0-9]|2[0-3])[0-5][0-9][0-5][0-9][0-9]{3}");
    std::vector<std::string> aside;
    for (const auto& f : platform::ListFilesRecursive(folder))
        if (std::regex_match(platform::ExtractFileName(f), asideName)) aside.push_back(f);
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(Read(aside[0]), c.text);
}

INSTANTIATE_TEST_SUITE_P(
    Broken, CannotParseTest,
    ::testing::Values(BrokenFile{"AllUsersNotXml", ssAllUsers, "Capacity=35"},
                      BrokenFile{
                          "AllUsersTruncated", ssAllUsers,
                          "<?xml version=\"1.0\"?>\r\n<QELSettings>\r\n\t<Backup>\r\n\t\t<Capa"},
                      BrokenFile{"AllUsersEmpty", ssAllUsers, ""},
                      BrokenFile{"UserNotXml", ssUser, "\x89PNG\r\n\x1a\n"},
                      BrokenFile{"UserTruncated", ssUser, "<QELSettings><Backup>"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsTest, AFileWithAnotherRootIsReadableAndKept) {
    WriteDefault(Capacity("40"));
    const std::string foreign = "<Other><Backup><Capacity>35</Capacity></Backup></Other>";
    WriteAllUsers(foreign);
    EXPECT_EQ(m_settings.ReadInteger(kBackup, "Capacity", 7), 40);
    m_settings.WriteInteger("QELSettings/Email", "Count", ssAllUsers, 2);
    m_settings.UpdateFiles();
    EXPECT_EQ(platform::ListFilesRecursive(Folder()).size(), 2u);  // nothing set aside
    TqelXMLDocument doc;
    doc.Load(AllUsersFile());
    EXPECT_EQ(doc.ReadValue("Other/Backup/Capacity"), "35");
    EXPECT_EQ(doc.ReadValue("Other/QELSettings/Email/Count"), "2");
}

TEST_F(SettingsTest, AFileThatCannotBeReadIsNeverReplaced) {
    WriteDefault(Capacity("40"));
    const std::string good = Capacity("35");
    WriteAllUsers(good);
    const std::string allUsers = AllUsersFile();
    platform::SetFileFaultHandler([&](platform::FileStep step, const std::string& path) {
        return step == platform::FileStep::Read && path == allUsers ? EACCES : 0;
    });
    EXPECT_THROW(m_settings.ReadInteger(kBackup, "Capacity", 7), EFileError);
    EXPECT_EQ(Read(allUsers), good);
    EXPECT_EQ(platform::ListFilesRecursive(Folder()).size(), 2u);

    platform::SetFileFaultHandler({});
    EXPECT_EQ(m_settings.ReadInteger(kBackup, "Capacity", 7), 35);
}

// ---------------------------------------------------------- safe saving

TEST_F(SettingsTest, FailedSaveKeepsTheOldFiles) {
    auto previousWait = TqelXMLDocument::SetRetryWait([](int) {});
    WriteDefault(Capacity("40"));
    WriteAllUsers(Capacity("35"));
    const std::string before = Read(AllUsersFile());
    m_settings.WriteInteger(kBackup, "Capacity", ssAllUsers, 50);
    platform::SetFileFaultHandler([](platform::FileStep step, const std::string&) {
        return step == platform::FileStep::Write ? ENOSPC : 0;
    });
    EXPECT_THROW(m_settings.UpdateFiles(), EFileError);
    EXPECT_EQ(Read(AllUsersFile()), before);
    platform::SetFileFaultHandler({});
    m_settings.UpdateFiles();
    EXPECT_EQ(Stored(AllUsersFile(), kBackup, "Capacity"), "50");
    TqelXMLDocument::SetRetryWait(previousWait);
}

class SettingsDeathTest : public SettingsTest,
                          public ::testing::WithParamInterface<platform::FileStep> {};

TEST_P(SettingsDeathTest, WriterKilledHalfWayLeavesTheOldFile) {
    // "fast" forks right here, so the child writes to this test's own folder.
    GTEST_FLAG_SET(death_test_style, "fast");
    WriteDefault(Capacity("40"));
    WriteAllUsers(Capacity("35"));
    const std::string before = Read(AllUsersFile());
    const platform::FileStep dieAt = GetParam();
    EXPECT_EXIT(
        {
            platform::SetFileFaultHandler([dieAt](platform::FileStep step, const std::string&) {
                if (step == dieAt) _exit(3);
                return 0;
            });
            m_settings.WriteInteger(kBackup, "Capacity", ssAllUsers, 50);
            m_settings.UpdateFiles();
            _exit(0);
        },
        ::testing::ExitedWithCode(3), "");
    EXPECT_EQ(Read(AllUsersFile()), before);
    TSettingsObj fresh;
    fresh.SetFileBase(Folder() + "PKMaint");
    EXPECT_EQ(fresh.ReadInteger(kBackup, "Capacity", 7), 35);
}

INSTANTIATE_TEST_SUITE_P(Steps, SettingsDeathTest,
                         ::testing::Values(platform::FileStep::Write, platform::FileStep::Sync,
                                           platform::FileStep::Rename));

}  // namespace
