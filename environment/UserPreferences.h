// Installation-wide preferences kept by the host application in its ini file.
// Reading never fails: anything absent or unconvertible takes its default.
#pragma once

#include <cstdint>
#include <string>

#include "Exception.h"

// Raised when the platform refuses to write an ini file: "Unable to write to %s".
class EIniFileException : public Exception {
public:
    using Exception::Exception;
};

class TUserPreferences {
public:
    virtual ~TUserPreferences() = default;
    virtual void LoadPreferences() = 0;
    virtual void SavePreferences() = 0;

    std::string Location;
    bool UseAltDataPath = false;
    bool UseAltQuotePath = false;
    std::string AlternateDataPath;
    std::string AlternateQuotePath;
    bool UseAppLogFile = false;
    int32_t LogListLength = 1000;
};

// Preferences over one ini file; a bare file name resolves in the Windows
// directory. Construction does not touch the file.
class TDataPathUserPreferences : public TUserPreferences {
public:
    explicit TDataPathUserPreferences(std::string iniFileName)
        : m_iniFileName(std::move(iniFileName)) {}
    const std::string& IniFileName() const { return m_iniFileName; }

    // Reads the seven keys of "Version Info", "DataPath" and "Preferences".
    void LoadPreferences() override;
    // Writes "Preferences"/"UseAppLogFile" and "LogListLength" only; throws
    // EIniFileException at the first key the platform refuses.
    void SavePreferences() override;

private:
    std::string m_iniFileName;
};
