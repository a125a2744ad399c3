// Shared pieces of the tools' tests: a temporary folder per test, file
// helpers, and perl's XBase (RunProgram comes from TestSupport.h).
#pragma once

#include <string>
#include <vector>

#include "TestSupport.h"

class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }
    // Names of the entries in the folder, sorted.
    std::vector<std::string> Entries() const;

private:
    std::string m_path;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
bool FileExists(const std::string& path);

// index_dump and perl's XBase module, when installed.
bool HaveIndexDump();
bool HavePerlXBase();
std::string IndexDumpPath();
std::string PerlPath();

// Runs a short perl program with XBase loaded; the arguments follow it.
TRun RunPerl(const std::string& program, const std::vector<std::string>& args);
