#include "TestSupport.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TRun RunProgram(const std::vector<std::string>& argv, long killAfterMicroseconds) {
    if (argv.empty()) throw std::invalid_argument("RunProgram: no program");
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/run_XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    const std::string outPath = pattern + "/out", errPath = pattern + "/err";
    // Made before the fork: the child only opens, duplicates and executes.
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        const int in = open("/dev/null", O_RDONLY);
        const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0) _exit(127);
        dup2(in, 0);
        dup2(out, 1);
        dup2(err, 2);
        execvp(args[0], args.data());
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
    run.out = Slurp(outPath);
    run.err = Slurp(errPath);
    std::error_code ignored;
    std::filesystem::remove_all(pattern, ignored);
    return run;
}
