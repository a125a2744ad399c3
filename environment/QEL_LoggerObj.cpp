#include "QEL_LoggerObj.h"

#include <pwd.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <vector>

#include "Exception.h"
#include "Helpers.h"
#include "platform/Paths.h"

namespace {

TLogSources g_sources;
std::unique_ptr<TLoggerObj> g_logger;

TLogTime SystemNow() {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    const std::time_t seconds = tv.tv_sec;
    std::tm local{};
    localtime_r(&seconds, &local);
    return {local.tm_year + 1900,
            local.tm_mon + 1,
            local.tm_mday,
            local.tm_hour,
            local.tm_min,
            local.tm_sec,
            static_cast<int>(tv.tv_usec / 1000)};
}

TNetworkInfo SystemNetwork() {
    TNetworkInfo info;
    char buffer[256] = {};
    if (getdomainname(buffer, sizeof buffer - 1) != 0) {
        info.Complete = false;
        return info;
    }
    // Linux answers "(none)" when no domain is set.
    if (std::string(buffer) != "(none)") info.UserDomain = buffer;
    if (gethostname(buffer, sizeof buffer - 1) != 0) {
        info.Complete = false;
        return info;
    }
    buffer[sizeof buffer - 1] = '\0';
    info.ComputerName = buffer;
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> scratch(16384);
    if (getpwuid_r(geteuid(), &entry, scratch.data(), scratch.size(), &found) != 0 || !found) {
        info.Complete = false;
        return info;
    }
    info.UserName = found->pw_name ? found->pw_name : "";
    return info;
}

TLogTime Now() {
    return g_sources.Now ? g_sources.Now() : SystemNow();
}
TNetworkInfo Network() {
    return g_sources.Network ? g_sources.Network() : SystemNetwork();
}

std::string Digits(int value, int width) {
    std::string s = std::to_string(value);
    while (static_cast<int>(s.size()) < width) s.insert(s.begin(), '0');
    return s;
}

// Folders as the original read them into 260-character buffers.
std::string Bounded(std::string folder) {
    if (folder.size() > 259) folder.resize(259);
    return folder;
}

}  // namespace

TLogSources SetLogSources(TLogSources sources) {
    TLogSources previous = std::move(g_sources);
    g_sources = std::move(sources);
    return previous;
}

std::string FormatLogTimeStamp(const TLogTime& t) {
    std::string stamp = Digits(t.Year, 4) + "-" + Digits(t.Month, 2) + "-" + Digits(t.Day, 2);
    if (t.Hour != 0 || t.Minute != 0 || t.Second != 0)
        stamp += " " + Digits(t.Hour, 2) + ":" + Digits(t.Minute, 2) + ":" + Digits(t.Second, 2) +
                 "." + Digits(t.Millisecond, 3);
    return stamp;
}

TLoggerObj::TLoggerObj()
    : m_targetFile(platform::ChangeFileExt(platform::ProgramFileName(), ".log")),
      m_tempDir(Bounded(platform::TempFolder())),
      m_winDir(Bounded(platform::WindowsDirectory())) {}

TLoggerObj::~TLoggerObj() {
    Flush();
}

void TLoggerObj::Log(const std::string& message) {
    if (m_lines.empty()) LogMachineInfo();
    if (!message.empty() && m_timeStamp)
        m_lines.push_back(FormatLogTimeStamp(Now()) + " " + message);
    else
        m_lines.push_back(message);
}

void TLoggerObj::LogMachineInfo() {
    const bool timeStamp = m_timeStamp;
    m_timeStamp = false;
    // The block's first line, an empty one, also keeps Log() from starting the block again.
    m_lines.push_back("");
    Log("[MachineInfo]");
    Log("---< MachineInfo >---");
    const std::string application = platform::ProgramFileName();
    std::string version = GetVersionString(application, 2);
    TNetworkInfo network;
    try {
        network = Network();
    } catch (...) {
        network = TNetworkInfo{};
        network.Complete = false;
    }
    if (!network.Complete) Log("Network information not available.");
    if (version.empty()) version = "UnknownVersion";
    if (network.UserDomain.empty()) network.UserDomain = "UnnamedDomain";
    if (network.ComputerName.empty()) network.ComputerName = "UnnamedComputer";
    if (network.UserName.empty()) network.UserName = "UnnamedUser";
    Log("Application=" + application);
    Log("ApplicationVersion=" + version);
    Log("UserDomain=" + network.UserDomain);
    Log("ComputerName=" + network.ComputerName);
    Log("UserName=" + network.UserName);
    Log("WinDir=" + m_winDir);
    Log("TempDir=" + m_tempDir);
    // The line break inside the entry leaves an empty line before "[Log]" in the file.
    Log("---< MachineInfo >---\r\n");
    Log("[Log]");
    m_timeStamp = timeStamp;
}

void TLoggerObj::Flush() const noexcept {
    if (m_targetFile.empty() || m_lines.empty()) return;
    try {
        std::string text;
        for (const std::string& line : m_lines) text += line + "\r\n";
        // A log is diagnostics: when it cannot be written the run must not fail for it.
        std::FILE* file = std::fopen(m_targetFile.c_str(), "wb");
        if (!file) return;
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    } catch (...) {
    }
}

TLoggerObj& GetLogger() {
    if (!g_logger) g_logger = std::make_unique<TLoggerObj>();
    return *g_logger;
}

TLoggerObj* CurrentLogger() {
    return g_logger.get();
}

void FreeLogger() noexcept {
    g_logger.reset();
}
