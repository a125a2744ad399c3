#include "PKMaint_PrefsU.h"

#include <gtest/gtest.h>

#include "SettingsTestSupport.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "QEL_SettingsObj.h"
#include "platform/Files.h"
#include "platform/TempFolder.h"
#include "qelDataStorage.h"

namespace {

using settings_test::Stored;

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

const std::string kDefaults =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<QELSettings>\r\n"
    "\t<Backup>\r\n"
    "\t\t<Enabled>1</Enabled>\r\n"
    "\t\t<Capacity>30</Capacity>\r\n"
    "\t\t<LatestBackupDate>01/15/2008</LatestBackupDate>\r\n"
    "\t</Backup>\r\n"
    "\t<Email>\r\n"
    "\t\t<EmailAddress>support@example.com</EmailAddress>\r\n"
    "\t</Email>\r\n"
    "\t<AutoCleanup Enabled=\"1\"/>\r\n"
    "\t<Database>\r\n"
    "\t\t<StructSize>12</StructSize>\r\n"
    "\t</Database>\r\n"
    "</QELSettings>\r\n";

class PKMaintPrefsTest : public ::testing::Test {
protected:
    std::string Folder() const { return m_temp.Path() + "maint/"; }
    std::string AllUsersFile() const { return Folder() + "PKMainta.xml"; }
    std::string UserFile() const { return m_temp.WindowsDir() + "PKMaintu.xml"; }
    void Write(const std::string& relative, const std::string& text) {
        m_temp.Write(relative, text);
    }
    static std::string Read(const std::string& file) { return settings_test::ReadRaw(file); }

    platform::testing::TempFolder m_temp;
};

TEST_F(PKMaintPrefsTest, ReadsAFolderWithOnlyTheDefaultFile) {
    Write("maint/PKMaintd.xml", kDefaults);
    const TPKMaint_Prefs prefs(m_temp.Path() + "maint");

    EXPECT_EQ(prefs.Folder(), Folder());
    EXPECT_TRUE(prefs.BackupEnabled());
    EXPECT_EQ(prefs.Capacity(), 30);
    EXPECT_EQ(prefs.LatestBackupDate(), "01/15/2008");
    EXPECT_EQ(prefs.RollBackupPath(), Folder() + "RollBackup");
    EXPECT_EQ(prefs.UserBackupPath(), "");
    EXPECT_EQ(prefs.EmailAddress(), "support@example.com");
    EXPECT_TRUE(prefs.AutoCleanupEnabled());
    EXPECT_EQ(prefs.StructSize(), 12);
    EXPECT_FALSE(prefs.ViewRTRXml());
    EXPECT_TRUE(platform::DirectoryExists(Folder() + "RollBackup"));

    // Values equal to the default file's items are not repeated; the clean-up
    // switch is only an attribute there, so it is stored.
    EXPECT_EQ(Read(AllUsersFile()), kDeclaration +
                                        "<QELSettings>\n\t<AutoCleanup>\n\t\t<Enabled>1</Enabled>"
                                        "\n\t</AutoCleanup>\n</QELSettings>\n");
    EXPECT_EQ(Read(UserFile()), kDeclaration + "<QELSettings>\n</QELSettings>\n");
    EXPECT_EQ(Read(Folder() + "PKMaintd.xml"), kDefaults);
}

TEST_F(PKMaintPrefsTest, CapacityHeldOnlyByTheUserMovesToAllUsers) {
    Write("maint/PKMaintd.xml", kDefaults);
    Write("windows/PKMaintu.xml",
          "<QELSettings><Backup><Capacity>50</Capacity></Backup></QELSettings>");
    const TPKMaint_Prefs prefs(Folder());
    EXPECT_EQ(prefs.Capacity(), 50);
    EXPECT_EQ(Stored(AllUsersFile(), "QELSettings/Backup", "Capacity"), "50");
    EXPECT_EQ(Stored(UserFile(), "QELSettings/Backup", "Capacity"), std::nullopt);
}

struct RollBackupCase {
    const char* name;
    bool folderExists;
    bool kept;
};

class RollBackupTest : public PKMaintPrefsTest,
                       public ::testing::WithParamInterface<RollBackupCase> {};

TEST_P(RollBackupTest, KeepsAnExistingOverrideAndDropsAMissingOne) {
    const std::string custom = m_temp.Path() + "elsewhere/Roll";
    if (GetParam().folderExists) platform::ForceDirectories(custom);
    Write("maint/PKMaintd.xml", kDefaults);
    Write("maint/PKMainta.xml", "<QELSettings><Backup><RollBackupPath>" + custom +
                                    "</RollBackupPath></Backup><ViewRTRXml>1</ViewRTRXml>"
                                    "</QELSettings>");
    const TPKMaint_Prefs prefs(Folder());
    EXPECT_TRUE(prefs.ViewRTRXml());
    if (GetParam().kept) {
        EXPECT_EQ(prefs.RollBackupPath(), custom);
        EXPECT_EQ(Stored(AllUsersFile(), "QELSettings/Backup", "RollBackupPath"), custom);
        EXPECT_FALSE(platform::DirectoryExists(Folder() + "RollBackup"));
    } else {
        EXPECT_EQ(prefs.RollBackupPath(), Folder() + "RollBackup");
        EXPECT_EQ(Stored(AllUsersFile(), "QELSettings/Backup", "RollBackupPath"), std::nullopt);
        EXPECT_TRUE(platform::DirectoryExists(Folder() + "RollBackup"));
        EXPECT_FALSE(platform::DirectoryExists(custom));
    }
}

INSTANTIATE_TEST_SUITE_P(Overrides, RollBackupTest,
                         ::testing::Values(RollBackupCase{"FolderExists", true, true},
                                           RollBackupCase{"FolderMissing", false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(PKMaintPrefsTest, NoBackupFolderWhenBackupsAreOff) {
    Write("maint/PKMaintd.xml", "<QELSettings><Backup><Enabled>0</Enabled></Backup></QELSettings>");
    const TPKMaint_Prefs prefs(Folder());
    EXPECT_FALSE(prefs.BackupEnabled());
    EXPECT_EQ(prefs.Capacity(), 30);
    EXPECT_FALSE(platform::DirectoryExists(Folder() + "RollBackup"));
    EXPECT_EQ(Stored(AllUsersFile(), "QELSettings/Backup", "Capacity"), "30");
    EXPECT_EQ(Stored(AllUsersFile(), "QELSettings/Backup", "Enabled"), std::nullopt);
}

TEST_F(PKMaintPrefsTest, MissingDefaultFileIsAnError) {
    platform::ForceDirectories(Folder());
    try {
        TPKMaint_Prefs prefs(Folder());
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Storage name invalid (" + Folder() +
                                   "PKMaintd.xml).  Cannot load storage data.");
    }
}

TEST_F(PKMaintPrefsTest, BrokenAllUsersFileIsReportedOnceThenReplaced) {
    Write("maint/PKMaintd.xml", kDefaults);
    Write("maint/PKMainta.xml", "garbage");
    EXPECT_THROW(TPKMaint_Prefs{Folder()}, ESettingsObj);
    const TPKMaint_Prefs prefs(Folder());
    EXPECT_EQ(prefs.EmailAddress(), "support@example.com");
    EXPECT_EQ(platform::ListFilesRecursive(Folder()).size(), 3u);  // default, new, set aside
}

}  // namespace
