#include "AppInfo.h"

#include "Cbdb.h"
#include "Helpers.h"
#include "QEL_LoggerObj.h"
#include "platform/Files.h"
#include "platform/IniText.h"
#include "platform/Paths.h"
#include "platform/Services.h"

namespace {

const std::string kDelim(1, platform::PathDelim);

}  // namespace

TCBDatabase& ProcessDatabase() {
    static std::unique_ptr<TCBDatabase> database;
    if (!database) database = std::make_unique<TCBDatabase>();
    return *database;
}

void TAppPaths::PublishPath(const std::string& name, const std::string& value) {
    auto it = m_lines.begin();
    for (; it != m_lines.end(); ++it) {
        const auto eq = it->find('=');
        if (platform::SameTextNoCase(it->substr(0, eq), name)) break;
    }
    if (value.empty()) {
        if (it != m_lines.end()) m_lines.erase(it);
    } else if (it != m_lines.end()) {
        *it = name + "=" + value;
    } else {
        m_lines.push_back(name + "=" + value);
    }
}

TAppInfo::TAppInfo()
    : m_cursorList(std::make_unique<TCursorList>(platform::GetScreenCursor())),
      m_paths(std::make_unique<TAppPaths>()) {
    Initialize();
    m_logFileName = m_appPath + "AppLog.txt";
}

TAppInfo::~TAppInfo() {
    m_paths.reset();
    m_cursorList.reset();
    m_preferences.reset();
    FreeLogger();
}

void TAppInfo::StartLog() {
    TLoggerObj& logger = GetLogger();
    logger.SetTargetFile(m_logFileName);
    Log("Application Path: " + m_appPath);
    Log("Data Path: " + m_dataPath);
    Log("Log File Name: " + m_logFileName);
    Log("");
}

void TAppInfo::Log(const std::string& message) {
    if (TLoggerObj* logger = CurrentLogger()) logger->Log(message);
}

void TAppInfo::Initialize() {
    m_database = &ProcessDatabase();
    SetupPaths();
}

void TAppInfo::SetIniFileName(const std::string& iniFileName) {
    m_iniFileName = iniFileName;
    m_preferences = std::make_unique<TDataPathUserPreferences>(iniFileName);
    m_preferences->LoadPreferences();
    SetupPaths();
}

void TAppInfo::SetDataPath(const std::string& folder) {
    m_dataPath = folder;
    m_userPath = m_dataPath + "User" + kDelim;
}

void TAppInfo::SetupPaths() {
    // The folder of the program that runs, also inside the engine library.
    m_appPath = platform::ProgramFolder();
    SetupDataPaths();
    std::string win = platform::WindowsDirectory();
    if (win.size() > 255) win.resize(255);
    m_userWinPath = platform::TrimBlanks(win);
    AddTrailingBackslash(m_userWinPath);
    m_paths->PublishPath("AppPath", m_appPath);
    m_paths->PublishPath("UserWinPath", m_userWinPath);
    m_paths->PublishPath("DataPath", m_dataPath);
    m_paths->PublishPath("QuotePath", m_quotePath);
}

void TAppInfo::SetupDataPaths() {
    m_quotePathIsAlternate = false;
    bool useAlternateData = false;
    std::string dataPath;
    if (m_preferences) {
        if (m_preferences->UseAltDataPath) {
            dataPath = m_preferences->AlternateDataPath;
            // Users write the folder without its separator too; without it the
            // tables would be looked for beside the folder (".../DataYarvel.dbf").
            if (!dataPath.empty() && dataPath.back() != platform::PathDelim) dataPath += kDelim;
            useAlternateData = true;
        }
        if (m_preferences->UseAltQuotePath) {
            m_quotePath = m_preferences->AlternateQuotePath;
            m_quotePathIsAlternate = true;
        }
    }
    if (!useAlternateData) dataPath = m_appPath + "Data" + kDelim;
    SetDataPath(dataPath);
    if (!m_quotePathIsAlternate) {
        m_quotePath = m_dataPath;
        if (!platform::FindFileNoCase(m_dataPath, "qtfolder.def").empty())
            m_quotePath += "Quotes" + kDelim;
    }
}
