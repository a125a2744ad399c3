// One set of settings kept in three files, one per scope:
//
//   scope 1 default    <base>d.xml  read only; never created or repaired
//   scope 2 all users  <base>a.xml  beside the default file
//   scope 3 user       <name>u.xml  in the Windows directory
//
// (".ini" instead of ".xml" with StorageType 1.) Reading gives the most
// specific value present; writing stores a value at one scope and removes the
// overrides that would only repeat the value beneath them. Nothing reaches the
// disk before UpdateFiles, which replaces each file atomically.
//
// An all-users or user file that can no longer be parsed is renamed to its
// name + "CannotParse" + date and time, replaced by a fresh file, and reported
// once with ESettingsObj; a file that fails to load for any other reason is
// left as it is and its error propagates.
//
// Ownership: the object owns its three storages. Not thread-safe.
// Errors: ESettingsObj for scope errors and the one-time replacement notice;
// the storage's errors (qelDataStorage.h) pass through.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>

#include "Exception.h"

class TqelDataStorage;

class ESettingsObj : public Exception {
public:
    using Exception::Exception;
};

enum : uint8_t { ssNone = 0, ssDefault = 1, ssAllUsers = 2, ssUser = 3 };

// A set of scope codes; codes above 7 are never members.
class TSettingsScopes {
public:
    constexpr TSettingsScopes() = default;
    constexpr TSettingsScopes(std::initializer_list<int> scopes) {
        for (int s : scopes) Include(s);
    }
    constexpr bool Contains(int scope) const {
        return scope >= 0 && scope <= 7 && ((m_bits >> scope) & 1u) != 0;
    }
    constexpr void Include(int scope) {
        if (scope >= 0 && scope <= 7) m_bits = static_cast<uint8_t>(m_bits | (1u << scope));
    }
    constexpr void Exclude(int scope) {
        if (scope >= 0 && scope <= 7) m_bits = static_cast<uint8_t>(m_bits & ~(1u << scope));
    }
    constexpr bool operator==(const TSettingsScopes&) const = default;

private:
    uint8_t m_bits = 0;
};

class TSettingsObj {
public:
    // The base name comes from the program's own file.
    TSettingsObj();
    ~TSettingsObj();  // discards unwritten changes
    TSettingsObj(const TSettingsObj&) = delete;
    TSettingsObj& operator=(const TSettingsObj&) = delete;

    // Folder and first seven characters of the name (extension dropped); an
    // empty folder is the program's folder, one starting with "./" is below
    // it. Discards the storages without writing.
    void SetFileBase(const std::string& pathAndName);
    const std::string& FileBase() const { return m_baseName; }
    // The file of a scope (1, 2 or 3) for the current StorageType.
    std::string FileName(uint8_t scope) const;
    const std::string& WindowsFolder() const { return m_windowsFolder; }  // ends with "/"

    // 0 (taken as 2, XML) on creation; 1 selects INI files. Applies to the
    // storages opened after the change.
    uint8_t StorageType() const { return m_storageType; }
    void SetStorageType(uint8_t type) { m_storageType = type; }
    TSettingsScopes SettingsLevel() const { return m_settingsLevel; }
    void SetSettingsLevel(TSettingsScopes level) { m_settingsLevel = level; }
    // Root element of new XML files; "QELSettings" when empty.
    const std::string& RootName() const { return m_rootName; }
    void SetRootName(const std::string& name) { m_rootName = name; }

    std::string ReadString(const std::string& section, const std::string& item,
                           const std::string& deflt);
    // Empty or not a decimal integer (blanks around allowed) gives the default.
    int32_t ReadInteger(const std::string& section, const std::string& item, int32_t deflt);
    // Empty gives the default; otherwise true exactly for "1".
    bool ReadBool(const std::string& section, const std::string& item, bool deflt);
    void WriteInteger(const std::string& section, const std::string& item, uint8_t scope,
                      int32_t value);
    void WriteBool(const std::string& section, const std::string& item, uint8_t scope, bool value);
    // Stores the value at the scope and prunes overrides equal to what lies
    // beneath; scope 1 removes both overrides. Raises ESettingsObj for scope 0.
    void DoWriteString(const std::string& section, const std::string& item, bool asCData,
                       uint8_t scope, const std::string& value);
    // Scope 2 or 3 only; raises ESettingsObj for 0, 1, or a scope outside
    // SettingsLevel.
    void EraseSectionByScope(const std::string& section, uint8_t scope);
    // Writes the all-users and user files.
    void UpdateFiles();

private:
    void OpenStorages();
    void PrepareFile(TqelDataStorage& storage);
    void DoEraseSection(const std::string& section, uint8_t scope);
    std::string Cascade(const std::string& section, const std::string& item);
    std::unique_ptr<TqelDataStorage>& StorageOf(uint8_t scope);

    std::string m_windowsFolder;
    std::string m_baseName;
    std::unique_ptr<TqelDataStorage> m_defaultStorage;
    std::unique_ptr<TqelDataStorage> m_allUsersStorage;
    std::unique_ptr<TqelDataStorage> m_userStorage;
    uint8_t m_storageType = 0;
    TSettingsScopes m_settingsLevel{ssDefault, ssAllUsers, ssUser};
    std::string m_rootName;
};
