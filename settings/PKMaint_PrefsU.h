// The host's maintenance preferences (backup, e-mail, clean-up, database
// maintenance, restore), read from the settings files "PKMaint" of a folder
// through TSettingsObj: the default file "PKMaintd.xml" and the all-users file
// "PKMainta.xml" in that folder, the user file "PKMaintu.xml" in the Windows
// directory.
//
// A snapshot: the constructor reads everything, stores back the values the
// host keeps at the all-users scope, saves the all-users and user files, and
// creates the backup folder when backups are on. The fields are then read
// directly.
//
// Errors: whatever TSettingsObj raises, e.g. "Storage name invalid (...).
// Cannot load storage data." when the default file is missing, or the
// one-time ESettingsObj after an unreadable file was replaced.
#pragma once

#include <cstdint>
#include <string>

class TPKMaint_Prefs {
public:
    explicit TPKMaint_Prefs(const std::string& folder);

    const std::string& Folder() const { return m_folder; }  // ends with "/" unless empty
    const std::string& RollBackupPath() const { return m_rollBackupPath; }
    const std::string& UserBackupPath() const { return m_userBackupPath; }
    const std::string& UserBackupFile() const { return m_userBackupFile; }
    bool BackupEnabled() const { return m_backupEnabled; }
    int32_t Capacity() const { return m_capacity; }
    const std::string& LatestBackupDate() const { return m_latestBackupDate; }
    const std::string& LatestDBMaintenanceDate() const { return m_latestDBMaintenanceDate; }
    const std::string& EmailAddress() const { return m_emailAddress; }
    const std::string& LatestRestoreDate() const { return m_latestRestoreDate; }
    const std::string& LatestRestoreUser() const { return m_latestRestoreUser; }
    bool AutoCleanupEnabled() const { return m_autoCleanupEnabled; }
    const std::string& LatestCleanupDate() const { return m_latestCleanupDate; }
    int32_t StructSize() const { return m_structSize; }
    bool ViewRTRXml() const { return m_viewRTRXml; }

private:
    std::string m_folder;
    std::string m_rollBackupPath;
    std::string m_userBackupPath;
    std::string m_userBackupFile;
    bool m_backupEnabled = false;
    int32_t m_capacity = 0;
    std::string m_latestBackupDate;
    std::string m_latestDBMaintenanceDate;
    std::string m_emailAddress;
    std::string m_latestRestoreDate;
    std::string m_latestRestoreUser;
    bool m_autoCleanupEnabled = false;
    std::string m_latestCleanupDate;
    int32_t m_structSize = 0;
    bool m_viewRTRXml = false;
};
