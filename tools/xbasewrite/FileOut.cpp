#include "FileOut.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "WriteError.h"

namespace {

constexpr std::size_t kBufferSize = 1 << 20;

// Temporaries alive right now, kept in plain arrays so that the signal
// handler can read them without allocating.
constexpr int kSlots = 16;
constexpr std::size_t kPathMax = 4096;
char g_tempPaths[kSlots][kPathMax];
volatile std::sig_atomic_t g_slotUsed[kSlots];

int ClaimSlot(const std::string& path) {
    if (path.size() >= kPathMax) return -1;
    for (int i = 0; i < kSlots; ++i) {
        if (!g_slotUsed[i]) {
            std::memcpy(g_tempPaths[i], path.c_str(), path.size() + 1);
            g_slotUsed[i] = 1;
            return i;
        }
    }
    return -1;
}

void ReleaseSlot(int slot) {
    if (slot >= 0) g_slotUsed[slot] = 0;
}

void RemoveTempsAndDie(int sig) {
    for (int i = 0; i < kSlots; ++i) {
        if (g_slotUsed[i]) unlink(g_tempPaths[i]);
    }
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

std::string SystemError(const char* what, const std::string& path) {
    return std::string(what) + " '" + path + "': " + std::strerror(errno);
}

// Mode of the file being replaced, or what a new file would get.
mode_t TargetMode(const std::string& finalPath) {
    struct stat st;
    if (stat(finalPath.c_str(), &st) == 0) return st.st_mode & 07777;
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

// "<target>.tmp<pid>.<6 characters>": the pid of a writer that is gone.
pid_t DeadWriter(const std::string& name) {
    const auto mark = name.rfind(".tmp");
    if (mark == std::string::npos) return 0;
    const auto dot = name.find('.', mark + 4);
    if (dot == std::string::npos || dot == mark + 4 || name.size() != dot + 7) return 0;
    pid_t pid = 0;
    for (std::size_t i = mark + 4; i < dot; ++i) {
        if (name[i] < '0' || name[i] > '9' || pid > 99999999) return 0;
        pid = pid * 10 + (name[i] - '0');
    }
    if (pid <= 0 || pid == getpid()) return 0;
    return kill(pid, 0) != 0 && errno == ESRCH ? pid : 0;
}

}  // namespace

void RemoveStaleTemporaries(const std::string& folder) {
    DIR* dir = opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) return;
    while (dirent* e = readdir(dir)) {
        const std::string name = e->d_name;
        if (DeadWriter(name) != 0) unlink((folder.empty() ? name : folder + "/" + name).c_str());
    }
    closedir(dir);
}

namespace {

void SweepOnce(const std::string& finalPath) {
    static std::set<std::string> swept;
    const auto slash = finalPath.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : finalPath.substr(0, slash);
    if (swept.insert(folder).second) RemoveStaleTemporaries(folder);
}

}  // namespace

TFileOut::TFileOut(std::string finalPath) : m_finalPath(std::move(finalPath)) {
    SweepOnce(m_finalPath);
    std::string pattern = m_finalPath + ".tmp" + std::to_string(getpid()) + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    m_fd = mkstemp(name.data());
    if (m_fd < 0) throw EXbaseWrite(SystemError("Cannot create a file beside", m_finalPath));
    m_tempPath = name.data();
    m_slot = ClaimSlot(m_tempPath);
    fchmod(m_fd, TargetMode(m_finalPath));
    m_buffer.reserve(kBufferSize);
}

TFileOut::~TFileOut() {
    Discard();
}

void TFileOut::Discard() noexcept {
    if (m_fd >= 0) {
        close(m_fd);
        m_fd = -1;
    }
    if (!m_tempPath.empty()) {
        unlink(m_tempPath.c_str());
        m_tempPath.clear();
    }
    ReleaseSlot(m_slot);
    m_slot = -1;
}

void TFileOut::PutAll(const std::uint8_t* bytes, std::size_t size, std::uint64_t offset) {
    while (size > 0) {
        ssize_t n = pwrite(m_fd, bytes, size, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR) continue;
            throw EXbaseWrite(SystemError("Cannot write", m_tempPath));
        }
        bytes += n;
        size -= static_cast<std::size_t>(n);
        offset += static_cast<std::uint64_t>(n);
    }
}

void TFileOut::CheckOpen() const {
    if (m_fd < 0) throw EXbaseWrite("Write to a closed file '" + m_finalPath + "'");
}

void TFileOut::Write(const void* data, std::size_t size) {
    CheckOpen();
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    if (m_buffer.size() + size > kBufferSize) Flush();
    if (size >= kBufferSize) {
        PutAll(bytes, size, m_flushed);
        m_flushed += size;
        return;
    }
    m_buffer.insert(m_buffer.end(), bytes, bytes + size);
}

void TFileOut::WriteAt(std::uint64_t offset, const void* data, std::size_t size) {
    CheckOpen();
    if (offset + size > Size()) throw EXbaseWrite("Write past the end of '" + m_tempPath + "'");
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    // The part that lies before the buffer goes to disk, the rest into the buffer.
    if (offset < m_flushed) {
        std::size_t chunk =
            static_cast<std::size_t>(std::min<std::uint64_t>(size, m_flushed - offset));
        PutAll(bytes, chunk, offset);
        bytes += chunk;
        size -= chunk;
        offset += chunk;
    }
    if (size > 0) std::memcpy(m_buffer.data() + (offset - m_flushed), bytes, size);
}

void TFileOut::Flush() {
    CheckOpen();
    PutAll(m_buffer.data(), m_buffer.size(), m_flushed);
    m_flushed += m_buffer.size();
    m_buffer.clear();
}

void TFileOut::Commit() {
    Flush();
    if (fsync(m_fd) != 0) throw EXbaseWrite(SystemError("Cannot write", m_tempPath));
    int fd = m_fd;
    m_fd = -1;
    if (close(fd) != 0) throw EXbaseWrite(SystemError("Cannot write", m_tempPath));
    if (rename(m_tempPath.c_str(), m_finalPath.c_str()) != 0)
        throw EXbaseWrite(SystemError("Cannot replace", m_finalPath));
    m_tempPath.clear();
    ReleaseSlot(m_slot);
    m_slot = -1;
}

void InstallTempCleanup() {
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) std::signal(sig, RemoveTempsAndDie);
}
