// The application environment: the program's folder, the data and quote
// folders, the host ini file, the log file and the module's database session.
// One object per deliverable instance; see TCBDBAppInfo for the engine's.
//
// Every folder ends in the platform separator (an alternate data folder from
// the host ini gets one when written without), except an empty alternate and
// the alternate quote folder, taken verbatim. The object owns its cursor list, published
// paths and preferences; it does not own the database session, which lives
// until the module is unloaded.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Cursrlst.h"
#include "UserPreferences.h"

class TCBDatabase;

// The published view of the environment's folders: "name=value" lines.
class TAppPaths {
public:
    // A non-empty value replaces the name's line or appends one; an empty
    // value removes it. Names compare without regard to letter case.
    void PublishPath(const std::string& name, const std::string& value);
    const std::vector<std::string>& Lines() const { return m_lines; }

private:
    std::vector<std::string> m_lines;
};

class TAppInfo {
public:
    // Seeds the cursor list, obtains the database session (which starts the
    // table engine; its errors propagate) and computes every path.
    TAppInfo();
    virtual ~TAppInfo();
    TAppInfo(const TAppInfo&) = delete;
    TAppInfo& operator=(const TAppInfo&) = delete;

    // Not virtual: the constructor computes the paths, and a call there
    // never reaches an override; nothing here is meant to be replaced.
    std::string GetIniFileName() const { return m_iniFileName; }
    // Loads the preferences of that ini file and recomputes the paths. A
    // second call replaces the preferences with those of the new file.
    void SetIniFileName(const std::string& iniFileName);
    void SetDataPath(const std::string& folder);
    void SetupPaths();
    void SetupDataPaths();

    TCBDatabase& Database() const { return *m_database; }
    const std::string& AppPath() const { return m_appPath; }
    const std::string& DataPath() const { return m_dataPath; }
    const std::string& UserPath() const { return m_userPath; }
    const std::string& QuotePath() const { return m_quotePath; }
    const std::string& UserWinPath() const { return m_userWinPath; }
    bool QuotePathIsAlternate() const { return m_quotePathIsAlternate; }
    const std::string& LogFileName() const { return m_logFileName; }
    void SetLogFileName(const std::string& name) { m_logFileName = name; }
    const TAppPaths& Paths() const { return *m_paths; }
    const TDataPathUserPreferences* Preferences() const { return m_preferences.get(); }
    TCursorList& CursorList() { return *m_cursorList; }

    // Turns the application log on: creates the process's log writer (see
    // QEL_LoggerObj.h), aims it at LogFileName and logs the folders. The
    // destructor releases the writer, which writes the log file once.
    void StartLog();
    // One log line when the log is on; nothing, at no cost, when it is off.
    void Log(const std::string& message);

private:
    void Initialize();

    std::unique_ptr<TCursorList> m_cursorList;
    TCBDatabase* m_database = nullptr;
    bool m_quotePathIsAlternate = false;
    std::unique_ptr<TAppPaths> m_paths;
    std::unique_ptr<TDataPathUserPreferences> m_preferences;
    std::string m_logFileName;
    std::string m_iniFileName;
    std::string m_appPath;
    std::string m_dataPath;
    std::string m_userPath;
    std::string m_quotePath;
    std::string m_userWinPath;
};

// The engine's environment object: adds nothing, overrides nothing.
class TCBDBAppInfo : public TAppInfo {};

// The module's database session, created on the first request and kept until
// the module is unloaded.
TCBDatabase& ProcessDatabase();
