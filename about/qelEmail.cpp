// The e-mail plug-in we ship, so that "Email to QEL" works on a plain
// desktop: a send hands recipient, subject and the message file as an
// attachment to the desktop's mail program through xdg-email when it is on
// the PATH, else opens a "mailto:" address with the subject (and the
// message as its body) through the platform's shell open. It answers
// whether that started; it never waits for the mail program.
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "platform/Services.h"
#include "platform/TextCodec.h"
#include "qelEmail.h"

extern char** environ;

#define QEL_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// The body of a "mailto:" address is kept to what every mail program takes.
constexpr size_t kMaxBodyBytes = 16 * 1024;

uintptr_t g_appWindow = 0;

std::string Text(const char* text) {
    return text ? std::string(text) : std::string();
}

bool IsExecutable(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) &&
           access(path.c_str(), X_OK) == 0;
}

// Full name of the program on the PATH; empty when there is none.
std::string FindOnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    if (!path || !*path) return {};
    std::string list = path;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos) end = list.size();
        const std::string folder = end > start ? list.substr(start, end - start) : ".";
        const std::string candidate = folder + "/" + program;
        if (IsExecutable(candidate)) return candidate;
        start = end + 1;
    }
    return {};
}

// Starts the program in the background through /bin/sh, which exits at once,
// so that nothing is left to reap and the caller never waits for the mail
// program. True when the shell ran and started it.
bool StartDetached(const std::string& program, const std::vector<std::string>& arguments) {
    std::vector<std::string> argv = {"sh", "-c", "\"$0\" \"$@\" </dev/null >/dev/null 2>&1 &",
                                     program};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> pointers;
    for (std::string& argument : argv) pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, "/bin/sh", nullptr, nullptr, pointers.data(), environ) != 0) return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return false;
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string PercentEncoded(const std::string& utf8, const std::string& keep) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : utf8) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                           keep.find(static_cast<char>(c)) != std::string::npos;
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

// Line breaks of a "mailto:" body are CR LF, whatever the file holds.
std::string WithCrLf(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') continue;
        if (text[i] == '\n') out += '\r';
        out += text[i];
    }
    return out;
}

bool SendThroughXdgEmail(const std::string& xdgEmail, const std::string& recipient,
                         const std::string& secondText, const std::string& subject,
                         const std::string& messageFile) {
    std::vector<std::string> arguments = {"--utf8"};
    if (!subject.empty())
        arguments.insert(arguments.end(), {"--subject", platform::AnsiToUtf8(subject)});
    if (!secondText.empty())
        arguments.insert(arguments.end(), {"--body", platform::AnsiToUtf8(secondText)});
    if (!messageFile.empty()) arguments.insert(arguments.end(), {"--attach", messageFile});
    if (!recipient.empty()) arguments.push_back(platform::AnsiToUtf8(recipient));
    return StartDetached(xdgEmail, arguments);
}

bool SendThroughMailto(const std::string& recipient, const std::string& secondText,
                       const std::string& subject, const std::string& messageFile) {
    std::string body = secondText.empty() ? std::string() : secondText + "\r\n";
    std::string contents;
    if (!messageFile.empty() && platform::ReadWholeFile(messageFile, contents)) body += contents;
    if (body.size() > kMaxBodyBytes) body.resize(kMaxBodyBytes);
    std::string address = "mailto:" + PercentEncoded(platform::AnsiToUtf8(recipient), "@+");
    std::string query;
    if (!subject.empty()) query += "subject=" + PercentEncoded(platform::AnsiToUtf8(subject), "");
    if (!body.empty()) {
        if (!query.empty()) query += '&';
        query += "body=" + PercentEncoded(platform::AnsiToUtf8(WithCrLf(body)), "");
    }
    if (!query.empty()) address += "?" + query;
    return platform::ShellOpen({address, "", "", 1}) > 32;
}

int32_t Send(const char* recipient, const char* secondText, const char* subject,
             const char* messageFile) {
    try {
        const std::string file = Text(messageFile);
        if (!file.empty() && !platform::FileExists(file)) return 0;
        const std::string xdgEmail = FindOnPath("xdg-email");
        if (!xdgEmail.empty())
            return SendThroughXdgEmail(xdgEmail, Text(recipient), Text(secondText), Text(subject),
                                       file)
                       ? 1
                       : 0;
        return SendThroughMailto(Text(recipient), Text(secondText), Text(subject), file) ? 1 : 0;
    } catch (...) {
        return 0;  // nothing unwinds into the program
    }
}

}  // namespace

QEL_EXPORT void QEL_STDCALL qelEmailStart(uintptr_t appWindow) {
    g_appWindow = appWindow;
}

QEL_EXPORT void QEL_STDCALL qelEmailStop() {
    g_appWindow = 0;
}

// The host's other send; it takes the same values and sends the same way.
QEL_EXPORT int32_t QEL_STDCALL qelBopSendEmail(const char* recipient, const char* secondText,
                                               const char* subject, const char* messageFile,
                                               int32_t, int32_t) {
    return Send(recipient, secondText, subject, messageFile);
}

QEL_EXPORT int32_t QEL_STDCALL qelQELSendEmail(const char* recipient, const char* secondText,
                                               const char* subject, const char* messageFile,
                                               int32_t, int32_t) {
    return Send(recipient, secondText, subject, messageFile);
}
