#include "platform/Paths.h"

#include <dlfcn.h>
#include <pwd.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

namespace platform {
namespace {

std::string EnvOrEmpty(const char* name) {
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string HomeFolder() {
    std::string home = EnvOrEmpty("HOME");
    if (!home.empty()) return home;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/tmp";
}

std::string StripTrailingDelims(std::string s) {
    while (s.size() > 1 && s.back() == PathDelim) s.pop_back();
    return s;
}

}  // namespace

std::string WindowsDirectory() {
    std::string dir = EnvOrEmpty("WINDIR");
    if (!dir.empty()) return StripTrailingDelims(dir);
    std::string config = EnvOrEmpty("XDG_CONFIG_HOME");
    if (config.empty()) config = HomeFolder() + "/.config";
    return StripTrailingDelims(config) + "/pollark";
}

std::string TempFolder() {
    std::string dir = EnvOrEmpty("TMPDIR");
    if (dir.empty()) dir = "/tmp";
    if (dir.back() != PathDelim) dir += PathDelim;
    return dir;
}

std::string ProgramFileName() {
    std::vector<char> buf(PATH_MAX + 1);
    const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
    if (n <= 0) return {};
    return std::string(buf.data(), static_cast<size_t>(n));
}

std::string ProgramFolder() { return ExtractFilePath(ProgramFileName()); }

std::string ModuleFileName(const void* addressInModule) {
    Dl_info info{};
    if (dladdr(addressInModule, &info) == 0 || !info.dli_fname) return {};
    std::string name = info.dli_fname;
    if (name.empty() || name.find(PathDelim) == std::string::npos) return ProgramFileName();
    if (char* real = realpath(name.c_str(), nullptr)) {
        name = real;
        std::free(real);
    }
    return name;
}

std::string ShortPathName(const std::string& path) { return path; }

std::string ExtractFilePath(const std::string& path) {
    const auto pos = path.rfind(PathDelim);
    return pos == std::string::npos ? std::string() : path.substr(0, pos + 1);
}

std::string ExtractFileName(const std::string& path) {
    const auto pos = path.rfind(PathDelim);
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
    const auto slash = path.rfind(PathDelim);
    const auto dot = path.rfind('.');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        return path.substr(0, dot) + ext;
    return path + ext;
}

}  // namespace platform
