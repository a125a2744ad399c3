// Shared pieces of the tools' tests: a temporary folder per test, file
// helpers, and running a program with its output captured.
#pragma once

#include <string>
#include <vector>

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

struct TRun {
    int status = -1;  // exit status, or 128 + signal
    int pid = 0;      // of the finished process
    std::string out;
    std::string err;
};

// Runs argv[0] (a path) with the arguments; waits for it. With
// `killAfterMicroseconds` >= 0 the program is killed (SIGKILL) that long
// after it started, unless it has finished by then.
TRun RunProgram(const std::vector<std::string>& argv, long killAfterMicroseconds = -1);

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
