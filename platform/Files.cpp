#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/Paths.h"

namespace platform {
namespace {

FileFaultHandler& FaultHandler() {
    static FileFaultHandler handler;
    return handler;
}

// Asks the test seam; sets errno and returns false when the step must fail.
bool StepAllowed(FileStep step, const std::string& path) {
    if (!FaultHandler()) return true;
    if (const int err = FaultHandler()(step, path); err != 0) {
        errno = err;
        return false;
    }
    return true;
}

void SetError(std::string* error, const std::string& what, const std::string& path) {
    if (error) *error = what + " " + path + ": " + std::strerror(errno);
}

void ListInto(const std::string& folder, std::vector<std::string>& out, int depth) {
    if (depth > 64) return;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        const std::string full = folder + name;
        struct stat st{};
        if (lstat(full.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode))
            ListInto(full + PathDelim, out, depth + 1);
        else if (S_ISREG(st.st_mode))
            out.push_back(full);
    }
    closedir(dir);
}

std::string WithDelim(std::string folder) {
    if (!folder.empty() && folder.back() != PathDelim) folder += PathDelim;
    return folder;
}

}  // namespace

FileFaultHandler SetFileFaultHandler(FileFaultHandler handler) {
    FileFaultHandler previous = std::move(FaultHandler());
    FaultHandler() = std::move(handler);
    return previous;
}

bool FileExists(const std::string& path) {
    struct stat st{};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st{};
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool DeleteFile(const std::string& path) {
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

bool RenameFile(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

bool ForceDirectories(const std::string& path) {
    if (path.empty()) return false;
    if (DirectoryExists(path)) return true;
    if (!StepAllowed(FileStep::CreateFolder, path)) return false;
    std::string current;
    size_t pos = 0;
    while (pos != std::string::npos) {
        pos = path.find(PathDelim, pos + 1);
        current = path.substr(0, pos);
        if (current.empty() || DirectoryExists(current)) continue;
        if (::mkdir(current.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
    return DirectoryExists(path);
}

std::vector<std::string> ListFilesRecursive(const std::string& folder) {
    std::vector<std::string> out;
    if (!folder.empty()) ListInto(WithDelim(folder), out, 0);
    std::sort(out.begin(), out.end());
    return out;
}

std::string FindFileNoCase(const std::string& folder, const std::string& name) {
    const std::string dirName = WithDelim(folder.empty() ? std::string(".") : folder);
    if (FileExists(dirName + name)) return dirName + name;
    DIR* dir = opendir(dirName.c_str());
    if (!dir) return {};
    std::vector<std::string> matches;
    while (dirent* e = readdir(dir))
        if (strcasecmp(e->d_name, name.c_str()) == 0) matches.emplace_back(e->d_name);
    closedir(dir);
    std::sort(matches.begin(), matches.end());
    for (const auto& m : matches)
        if (FileExists(dirName + m)) return dirName + m;
    return {};
}

bool ReadWholeFile(const std::string& path, std::string& contents, std::string* error) {
    contents.clear();
    if (!StepAllowed(FileStep::Read, path)) {
        SetError(error, "Cannot read", path);
        return false;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SetError(error, "Cannot open", path);
        return false;
    }
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            SetError(error, "Cannot read", path);
            ::close(fd);
            contents.clear();
            return false;
        }
        if (n == 0) break;
        contents.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

bool WriteFileAtomic(const std::string& path, std::string_view contents, std::string* error) {
    const std::string folder = ExtractFilePath(path);
    if (!folder.empty() && !ForceDirectories(folder)) {
        SetError(error, "Cannot create folder", folder);
        return false;
    }
    std::string temp = path + ".XXXXXX";
    if (!StepAllowed(FileStep::CreateTemp, path)) {
        SetError(error, "Cannot create", temp);
        return false;
    }
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        SetError(error, "Cannot create", temp);
        return false;
    }
    // Keep the permissions of the file being replaced, else the usual ones.
    struct stat st{};
    const mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    ::fchmod(fd, mode);
    auto fail = [&](const char* what) {
        const int saved = errno;
        ::close(fd);
        ::unlink(temp.c_str());
        errno = saved;
        SetError(error, what, path);
        return false;
    };
    size_t done = 0;
    while (done < contents.size()) {
        if (!StepAllowed(FileStep::Write, path)) return fail("Cannot write");
        const ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail("Cannot write");
        }
        done += static_cast<size_t>(n);
    }
    if (!StepAllowed(FileStep::Sync, path) || ::fsync(fd) != 0) return fail("Cannot flush");
    if (::close(fd) != 0) {
        const int saved = errno;
        ::unlink(temp.c_str());
        errno = saved;
        SetError(error, "Cannot write", path);
        return false;
    }
    if (!StepAllowed(FileStep::Rename, path) || ::rename(temp.c_str(), path.c_str()) != 0) {
        const int saved = errno;
        ::unlink(temp.c_str());
        errno = saved;
        SetError(error, "Cannot replace", path);
        return false;
    }
    return true;
}

}  // namespace platform
