#include "QEL_SettingsObj.h"

#include <sys/time.h>

#include <cctype>
#include <climits>
#include <ctime>

#include "Helpers.h"
#include "platform/Files.h"
#include "platform/IniText.h"
#include "platform/Paths.h"
#include "platform/TextCodec.h"
#include "qelDataStorage.h"
#include "qelXMLDoc.h"

namespace {

constexpr char kDefaultRootName[] = "QELSettings";

std::string UpperCase(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

// "yyyymmdd" followed by "hhnnsszzz", local time.
std::string DateTimeStamp() {
    timeval now{};
    gettimeofday(&now, nullptr);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    return FormatText("%04d%02d%02d%02d%02d%02d%03d", local.tm_year + 1900, local.tm_mon + 1,
                      local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                      static_cast<int>(now.tv_usec / 1000));
}

// Sets an unreadable file aside. Never overwrites an earlier one set aside in
// the same millisecond, and fails rather than leave the file to be replaced.
void MoveAside(const std::string& fileName) {
    const std::string target = fileName + "CannotParse" + DateTimeStamp();
    std::string candidate = target;
    for (int n = 1; platform::FileExists(candidate); ++n)
        candidate = target + "_" + std::to_string(n);
    if (!platform::RenameFile(fileName, candidate))
        throw EFileError(FormatText("Cannot move the unreadable settings file %s aside to %s",
                                    fileName.c_str(), candidate.c_str()));
}

bool ParseDecimal(const std::string& text, int32_t& value) {
    size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) i = 1;
    if (i == text.size()) return false;
    long long v = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        v = v * 10 + (text[i] - '0');
        if (v > static_cast<long long>(INT_MAX) + 1) return false;
    }
    if (negative) v = -v;
    if (v > INT_MAX || v < INT_MIN) return false;
    value = static_cast<int32_t>(v);
    return true;
}

}  // namespace

TSettingsObj::TSettingsObj() : m_windowsFolder(GetWindowsFolder()) {
    SetFileBase(platform::ProgramFileName());
}

TSettingsObj::~TSettingsObj() = default;

void TSettingsObj::SetFileBase(const std::string& pathAndName) {
    const std::string programFolder = platform::ProgramFolder();
    std::string folder = platform::ExtractFilePath(pathAndName);
    const std::string relative = std::string(".") + platform::PathDelim;
    if (folder.empty())
        folder = programFolder;
    else if (folder.rfind(relative, 0) == 0)
        folder = programFolder + folder.substr(relative.size());
    if (!folder.empty() && folder.back() != platform::PathDelim) folder += platform::PathDelim;
    const std::string name =
        platform::ChangeFileExt(platform::ExtractFileName(pathAndName), "").substr(0, 7);
    m_baseName = folder + name;
    m_defaultStorage.reset();
    m_allUsersStorage.reset();
    m_userStorage.reset();
}

std::string TSettingsObj::FileName(uint8_t scope) const {
    static constexpr char kLetters[] = {'\0', 'd', 'a', 'u'};
    if (scope < ssDefault || scope > ssUser) return {};
    std::string base = m_baseName;
    if (scope == ssUser) {
        std::string folder = m_windowsFolder;
        if (folder.empty() || folder.back() != platform::PathDelim) folder += platform::PathDelim;
        base = folder + platform::ExtractFileName(m_baseName);
    }
    return FormatText("%s%c%s", base.c_str(), kLetters[scope],
                      m_storageType == TqelDataStorage::stINI ? ".ini" : ".xml");
}

std::unique_ptr<TqelDataStorage>& TSettingsObj::StorageOf(uint8_t scope) {
    switch (scope) {
        case ssDefault:
            return m_defaultStorage;
        case ssAllUsers:
            return m_allUsersStorage;
        default:
            return m_userStorage;
    }
}

void TSettingsObj::OpenStorages() {
    if (m_storageType == 0) m_storageType = TqelDataStorage::stXML;
    try {
        for (uint8_t scope : {ssDefault, ssAllUsers, ssUser}) {
            if (!m_settingsLevel.Contains(scope) || StorageOf(scope)) continue;
            auto storage = std::make_unique<TqelDataStorage>();
            storage->SetStorageType(m_storageType);
            storage->SetStorageName(FileName(scope));
            if (scope != ssDefault) PrepareFile(*storage);
            StorageOf(scope) = std::move(storage);
        }
    } catch (...) {
        m_allUsersStorage.reset();
        m_userStorage.reset();
        throw;
    }
}

void TSettingsObj::PrepareFile(TqelDataStorage& storage) {
    const std::string& fileName = storage.StorageName();
    if (m_rootName.empty()) m_rootName = kDefaultRootName;
    // A fresh file with a root the parser refuses would be set aside again on
    // every run.
    if (m_storageType == TqelDataStorage::stXML && !IsValidXMLName(m_rootName))
        throw ESettingsObj(
            FormatText("The root element name %s is not a valid XML name", m_rootName.c_str()));
    bool replaced = false;
    if (platform::FileExists(fileName)) {
        try {
            storage.Reload();
            return;
        } catch (const Exception& e) {
            // Only a file the parser rejects is replaced; any other failure
            // (unreadable, locked, ...) leaves it alone and propagates.
            if (UpperCase(e.Message()).find("PARSER ERROR") == std::string::npos) throw;
        }
        MoveAside(fileName);
        replaced = true;
    }
    std::string contents;
    if (m_storageType == TqelDataStorage::stXML) {
        const std::string root = platform::AnsiToUtf8(m_rootName);
        contents = FormatText("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<%s>\r\n</%s>\r\n",
                              root.c_str(), root.c_str());
    }
    if (m_storageType == TqelDataStorage::stXML || m_storageType == TqelDataStorage::stINI) {
        std::string error;
        if (!platform::WriteFileAtomic(fileName, contents, &error)) throw EFileError(error);
    }
    if (replaced)
        throw ESettingsObj(
            FormatText("The setting file %s was unreadable and had to be replaced with a new file",
                       fileName.c_str()));
}

std::string TSettingsObj::Cascade(const std::string& section, const std::string& item) {
    std::string value;
    if (m_settingsLevel.Contains(ssDefault)) {
        const std::string attribute = m_defaultStorage->ReadAttribute(section, item);
        const std::string text = m_defaultStorage->ReadString(section, item);
        value = !text.empty() ? text : attribute;
    }
    if (m_settingsLevel.Contains(ssAllUsers) && m_allUsersStorage->ValueExists(section, item))
        value = m_allUsersStorage->ReadString(section, item);
    if (m_settingsLevel.Contains(ssUser) && m_userStorage->ValueExists(section, item))
        value = m_userStorage->ReadString(section, item);
    return value;
}

std::string TSettingsObj::ReadString(const std::string& section, const std::string& item,
                                     const std::string& deflt) {
    OpenStorages();
    const std::string value = Cascade(section, item);
    return value.empty() ? deflt : value;
}

int32_t TSettingsObj::ReadInteger(const std::string& section, const std::string& item,
                                  int32_t deflt) {
    OpenStorages();
    const std::string value = platform::TrimBlanks(Cascade(section, item));
    int32_t result = 0;
    return ParseDecimal(value, result) ? result : deflt;
}

bool TSettingsObj::ReadBool(const std::string& section, const std::string& item, bool deflt) {
    OpenStorages();
    const std::string value = Cascade(section, item);
    return value.empty() ? deflt : value == "1";
}

void TSettingsObj::WriteInteger(const std::string& section, const std::string& item, uint8_t scope,
                                int32_t value) {
    DoWriteString(section, item, false, scope, std::to_string(value));
}

void TSettingsObj::WriteBool(const std::string& section, const std::string& item, uint8_t scope,
                             bool value) {
    DoWriteString(section, item, false, scope, value ? "1" : "0");
}

void TSettingsObj::DoWriteString(const std::string& section, const std::string& item, bool asCData,
                                 uint8_t scope, const std::string& value) {
    OpenStorages();
    const bool hasAllUsers = m_settingsLevel.Contains(ssAllUsers);
    const bool hasUser = m_settingsLevel.Contains(ssUser);
    bool inAllUsers = hasAllUsers && m_allUsersStorage->ValueExists(section, item);
    bool inUser = hasUser && m_userStorage->ValueExists(section, item);
    const std::string d =
        m_settingsLevel.Contains(ssDefault) ? m_defaultStorage->ReadString(section, item) : "";
    std::string a = hasAllUsers ? m_allUsersStorage->ReadString(section, item) : "";
    std::string u = hasUser ? m_userStorage->ReadString(section, item) : "";

    switch (scope) {
        case ssNone:
            throw ESettingsObj(
                FormatText("No scope specified in %s\r\nSection: %s\r\nItem: %s\r\nValue: %s",
                           "DoWriteString", section.c_str(), item.c_str(), value.c_str()));
        case ssDefault:
            inAllUsers = false;
            inUser = false;
            break;
        case ssAllUsers:
            inAllUsers = true;
            a = value;
            break;
        case ssUser:
            inUser = true;
            u = value;
            break;
        default:
            break;
    }

    if (hasAllUsers) {
        if (!inAllUsers || a == d) {
            m_allUsersStorage->DeleteKey(section, item);
            inAllUsers = m_allUsersStorage->ValueExists(section, item);
        } else {
            m_allUsersStorage->WriteData(section, item, a, asCData);
        }
    }
    if (hasUser) {
        if (!inUser || (inAllUsers && u == a) || (!inAllUsers && u == d))
            m_userStorage->DeleteKey(section, item);
        else
            m_userStorage->WriteData(section, item, u, asCData);
    }
}

void TSettingsObj::EraseSectionByScope(const std::string& section, uint8_t scope) {
    OpenStorages();
    if (scope != ssNone && !m_settingsLevel.Contains(scope))
        throw ESettingsObj(
            FormatText("Scope not valid for SettingsLevel in %s", "EraseSectionByScope"));
    DoEraseSection(section, scope);
}

void TSettingsObj::DoEraseSection(const std::string& section, uint8_t scope) {
    switch (scope) {
        case ssNone:
            throw ESettingsObj(FormatText("No scope specified in %s\r\nSection: %s",
                                          "DoEraseSection", section.c_str()));
        case ssDefault:
            throw ESettingsObj(FormatText("Delete default not allowed in %s\r\nSection: %s",
                                          "DoEraseSection", section.c_str()));
        case ssAllUsers:
            m_allUsersStorage->EraseSection(section);
            break;
        case ssUser:
            m_userStorage->EraseSection(section);
            break;
        default:
            break;
    }
}

void TSettingsObj::UpdateFiles() {
    OpenStorages();
    if (m_allUsersStorage) m_allUsersStorage->UpdateFile();
    if (m_userStorage) m_userStorage->UpdateFile();
}
