#include "ToolTestSupport.h"

#include <sys/stat.h>
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
