#include "qelSendEmailPortal.h"

#include <dlfcn.h>

#include "Helpers.h"
#include "platform/Files.h"
#include "platform/Services.h"
#include "qelEmail.h"

namespace {

// The one loaded plug-in of the process.
struct TPluginState {
    void* handle = nullptr;
    std::string path;
    TqelEmailStartProc start = nullptr;
    TqelEmailStopProc stop = nullptr;
    TqelSendEmailProc bopSend = nullptr;
    TqelSendEmailProc qelSend = nullptr;
};
TPluginState g_plugin;

void ShowPortalError(const std::string& message) {
    platform::ShowMessageBox({FormatText("qelSendEmailPortal: %s", message.c_str()), "Error",
                              platform::MsgIcon::Error, platform::MsgButtons::OK, 0});
}

template <typename TProc>
void Bind(TProc& proc, const char* name) {
    dlerror();
    void* address = dlsym(g_plugin.handle, name);
    if (!address) throw EqelSendEmailPortal(FormatText("%s - ", "Routine not valid.") + name);
    proc = reinterpret_cast<TProc>(address);
}

const char* TextOrNull(const std::string& text) {
    return text.empty() ? nullptr : text.c_str();
}

}  // namespace

std::string PluginFileName(const std::string& folder) {
    const std::string found = platform::FindFileNoCase(folder, kEmailPluginName);
    if (found.empty() || !platform::FileExists(found)) return {};
    std::string bare = folder;
    while (bare.size() > 1 && bare.back() == platform::PathDelim) bare.pop_back();
    return FormatText("%s%c%s", bare.c_str(), platform::PathDelim,
                      platform::ExtractFileName(found).c_str());
}

bool PluginAvailable(const std::string& folder) {
    return !PluginFileName(folder).empty();
}

bool PluginLoaded() {
    return g_plugin.handle != nullptr;
}

void LoadPlugin(const std::string& folder, uintptr_t appWindow) {
    if (g_plugin.handle) UnloadPlugin();
    try {
        const std::string path = PluginFileName(folder);
        if (path.empty())
            throw EqelSendEmailPortal(FormatText("Unable to load %s", kEmailPluginName));
        g_plugin.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!g_plugin.handle)
            throw EqelSendEmailPortal(FormatText("Unable to load %s", path.c_str()));
        g_plugin.path = path;
        Bind(g_plugin.start, QEL_EMAIL_START_NAME);
        Bind(g_plugin.stop, QEL_EMAIL_STOP_NAME);
        Bind(g_plugin.bopSend, QEL_BOP_SEND_NAME);
        Bind(g_plugin.qelSend, QEL_QEL_SEND_NAME);
        g_plugin.start(appWindow);
    } catch (const Exception& e) {
        ShowPortalError(e.Message());
    } catch (const std::exception& e) {
        ShowPortalError(e.what());
    }
}

void UnloadPlugin() {
    if (!g_plugin.handle) return;
    try {
        if (g_plugin.stop) g_plugin.stop();
        if (dlclose(g_plugin.handle) != 0) {
            const char* why = dlerror();
            throw EqelSendEmailPortal(FormatText("Unable to free %s: %s", g_plugin.path.c_str(),
                                                 why ? why : "unknown error"));
        }
        g_plugin = TPluginState();
    } catch (const Exception& e) {
        ShowPortalError(e.Message());
    }
}

TqelEmailIntf::TqelEmailIntf(std::string folder, uintptr_t appWindow)
    : m_folder(std::move(folder)), m_appWindow(appWindow) {}

TqelEmailIntf::~TqelEmailIntf() {
    if (m_loaded) UnloadPlugin();
}

void TqelEmailIntf::CheckPlugin() {
    if (!PluginAvailable(m_folder))
        throw EqelSendEmailPortal(
            "Attempt to access QEL Send Email library when plugin not available");
    if (!m_loaded) {
        LoadPlugin(m_folder, m_appWindow);
        m_loaded = true;
    }
}

bool TqelEmailIntf::SendEmail(const std::string& recipient, const std::string& secondText,
                              const std::string& subject, const std::string& messageFile,
                              int32_t first, int32_t second) {
    CheckPlugin();
    // A plug-in that failed to bind is never called; its box has been shown.
    if (!g_plugin.handle || !g_plugin.qelSend) return false;
    const int32_t answer =
        g_plugin.qelSend(TextOrNull(recipient), TextOrNull(secondText), TextOrNull(subject),
                         TextOrNull(messageFile), first, second);
    return (answer & 0xFF) != 0;
}

bool SendVersionEmail(const std::string& recipient, const std::string& secondText,
                      const std::string& subject, const std::string& messageFile, int32_t first,
                      int32_t second, const std::string& folder, uintptr_t appWindow) {
    TqelEmailIntf email(folder, appWindow);
    return email.SendEmail(recipient, secondText, subject, messageFile, first, second);
}
