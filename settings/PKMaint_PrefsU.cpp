#include "PKMaint_PrefsU.h"

#include <memory>

#include "QEL_SettingsObj.h"
#include "platform/Files.h"
#include "platform/Paths.h"

namespace {

constexpr char kBackup[] = "QELSettings/Backup";
constexpr char kEmail[] = "QELSettings/Email";
constexpr char kAutoCleanup[] = "QELSettings/AutoCleanup";
constexpr char kDBMaintenance[] = "QELSettings/DBMaintenance";
constexpr char kRestore[] = "QELSettings/Restore";
constexpr char kDatabase[] = "QELSettings/Database";

}  // namespace

TPKMaint_Prefs::TPKMaint_Prefs(const std::string& folder) : m_folder(folder) {
    if (!m_folder.empty() && m_folder.back() != platform::PathDelim)
        m_folder += platform::PathDelim;
    const std::string defaultRollBackup = m_folder + "RollBackup";
    {
        TSettingsObj settings;
        settings.SetFileBase(m_folder + "PKMaint");

        m_backupEnabled = settings.ReadBool(kBackup, "Enabled", true);
        m_rollBackupPath = settings.ReadString(kBackup, "RollBackupPath", defaultRollBackup);
        m_latestBackupDate = settings.ReadString(kBackup, "LatestBackupDate", "");
        m_userBackupFile = settings.ReadString(kBackup, "UserBackupFile", "");
        m_userBackupPath = settings.ReadString(kBackup, "UserBackupPath", "");
        m_capacity = settings.ReadInteger(kBackup, "Capacity", 30);
        settings.WriteInteger(kBackup, "Capacity", ssAllUsers, m_capacity);
        settings.WriteBool(kBackup, "Enabled", ssAllUsers, m_backupEnabled);

        m_emailAddress = settings.ReadString(kEmail, "EmailAddress", "");

        m_autoCleanupEnabled = settings.ReadBool(kAutoCleanup, "Enabled", true);
        m_latestCleanupDate = settings.ReadString(kAutoCleanup, "LatestCleanupDate", "");
        settings.WriteBool(kAutoCleanup, "Enabled", ssAllUsers, m_autoCleanupEnabled);

        m_latestDBMaintenanceDate =
            settings.ReadString(kDBMaintenance, "LatestDBMaintenanceDate", "");
        m_latestRestoreDate = settings.ReadString(kRestore, "LatestRestoreDate", "");
        m_latestRestoreUser = settings.ReadString(kRestore, "LatestRestoreUser", "");
        m_structSize = settings.ReadInteger(kDatabase, "StructSize", 0);

        if (m_rollBackupPath == defaultRollBackup || !platform::DirectoryExists(m_rollBackupPath)) {
            m_rollBackupPath = defaultRollBackup;
            settings.EraseSectionByScope(std::string(kBackup) + "/" + "RollBackupPath", ssAllUsers);
        }
        settings.UpdateFiles();
        m_viewRTRXml = settings.ReadBool("QELSettings/", "ViewRTRXml", false);
    }
    // A folder that cannot be made is left to the backup itself to report:
    // the preferences are still worth having (the e-mail address, say).
    if (m_backupEnabled && !platform::DirectoryExists(m_rollBackupPath))
        platform::ForceDirectories(m_rollBackupPath);
}
