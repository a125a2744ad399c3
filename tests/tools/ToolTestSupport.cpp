#include "ToolTestSupport.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

TTempDir::TTempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/tools_test_XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (mkdtemp(name.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    m_path = name.data();
}

TTempDir::~TTempDir() {
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

std::vector<std::string> TTempDir::Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_path))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool FileExists(const std::string& path) {
    return access(path.c_str(), F_OK) == 0;
}

TRun RunProgram(const std::vector<std::string>& argv, long killAfterMicroseconds) {
    TTempDir capture;
    std::string outPath = capture.File("out");
    std::string errPath = capture.File("err");
    pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        int in = open("/dev/null", O_RDONLY);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        std::vector<char*> args;
        for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    if (killAfterMicroseconds >= 0) {
        usleep(static_cast<useconds_t>(killAfterMicroseconds));
        kill(pid, SIGKILL);  // harmless when it has ended: it is not reaped yet
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
    }
    TRun run;
    run.pid = pid;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    run.out = ReadFile(outPath);
    run.err = ReadFile(errPath);
    return run;
}

std::string IndexDumpPath() {
    return INDEX_DUMP_PATH;
}
std::string PerlPath() {
    return PERL_PATH;
}

bool HaveIndexDump() {
    return !IndexDumpPath().empty() && FileExists(IndexDumpPath());
}

bool HavePerlXBase() {
    static const bool have = !PerlPath().empty() && FileExists(PerlPath()) &&
                             RunProgram({PerlPath(), "-MXBase", "-e", "1"}).status == 0;
    return have;
}

TRun RunPerl(const std::string& program, const std::vector<std::string>& args) {
    std::vector<std::string> argv = {PerlPath(), "-MXBase", "-MXBase::Index", "-e", program};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv);
}
