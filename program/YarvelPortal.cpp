#include "YarvelPortal.h"

#include <dlfcn.h>

#include <new>

#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Services.h"

namespace {

const char* const kExportNames[] = {YARVEL_EXPORT_NAMES};
static_assert(std::size(kExportNames) == YARVEL_EXPORT_COUNT);
static_assert(sizeof(TYarvelEntryPoints) == YARVEL_EXPORT_COUNT * sizeof(void*),
              "one table slot per export");

void* g_library = nullptr;
TYarvelEntryPoints g_entries;
bool g_bound = false;
std::string g_loadErrorDetail;

class EBinding : public Exception {
public:
    using Exception::Exception;
};

template <typename F>
void BindEntry(F& slot, size_t index) {
    void* address = dlsym(g_library, kExportNames[index]);
    if (!address) throw EBinding("Routine not valid.");
    slot = reinterpret_cast<F>(address);
}

void BindEntries() {
    size_t i = 0;
#define YARVEL_PORTAL_BIND_(Name) BindEntry(g_entries.Yarvel##Name, i++);
    YARVEL_EXPORTS(YARVEL_PORTAL_BIND_)
#undef YARVEL_PORTAL_BIND_
}

void ShowPortalError(const std::string& message) {
    platform::MessageBoxRequest box;
    box.text = "YarvelPortal: " + message;
    box.caption = platform::ExtractFileName(platform::ProgramFileName());
    platform::ShowMessageBox(box);
}

// The box itself may fail (a handler that throws); unloading goes on regardless.
void ShowPortalErrorQuietly(const std::string& message) noexcept {
    try {
        ShowPortalError(message);
    } catch (...) {
    }
}

}  // namespace

void LoadYarvel() {
    BindYarvel(platform::ProgramFolder());
}

void BindYarvel(const std::string& folder) {
    UnloadYarvel();
    g_loadErrorDetail.clear();
    try {
        std::string dir = folder;
        if (!dir.empty() && dir.back() != platform::PathDelim) dir += platform::PathDelim;
        std::string path = platform::FindFileNoCase(dir, kYarvelLibraryName);
        if (path.empty())
            throw EBinding(FormatText("Dll not found - %s", (dir + kYarvelLibraryName).c_str()));
        // RTLD_NOW: a library with unresolved symbols fails here, not at its first call.
        g_library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!g_library) {
            const char* detail = dlerror();
            g_loadErrorDetail = detail ? detail : "";
            throw EBinding(FormatText("Unable to load %s", path.c_str()));
        }
        BindEntries();
        g_entries.YarvelStart();
        g_bound = true;
    } catch (const Exception& e) {
        throw EYarvelPortal(FormatText("YarvelPortal: %s", e.Message().c_str()));
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception& e) {
        throw EYarvelPortal(FormatText("YarvelPortal: %s", e.what()));
    }
}

void UnloadYarvel() noexcept {
    if (!g_library) return;
    try {
        if (g_entries.YarvelStop) g_entries.YarvelStop();
    } catch (const std::exception& e) {
        ShowPortalErrorQuietly(e.what());
    } catch (...) {
        ShowPortalErrorQuietly("Unknown error while stopping the engine");
    }
    // Released even when stopping failed: a second unload must not stop it again.
    if (dlclose(g_library) != 0) {
        const char* detail = dlerror();
        ShowPortalErrorQuietly(detail ? detail : "Unable to release the engine library");
    }
    g_library = nullptr;
    g_entries = TYarvelEntryPoints{};
    g_bound = false;
}

bool YarvelLoaded() {
    return g_library != nullptr;
}

const std::string& YarvelLoadErrorDetail() {
    return g_loadErrorDetail;
}

const TYarvelEntryPoints& YarvelEntryPoints() {
    return g_entries;
}

const TYarvelEntryPoints& Yarvel() {
    if (!g_bound) throw EYarvelPortal("YarvelPortal: Yarvel is not loaded");
    return g_entries;
}

TYarvelText::TYarvelText(std::string_view text) {
    if (text.empty()) return;
    if (text.size() > static_cast<size_t>(INT32_MAX)) throw std::bad_alloc();
    m_string = YarvelStringCreate(text.data(), static_cast<int32_t>(text.size()));
    if (!m_string) throw std::bad_alloc();
}

TYarvelText& TYarvelText::operator=(TYarvelText&& other) noexcept {
    if (this != &other) {
        YarvelStringRelease(m_string);
        m_string = std::exchange(other.m_string, nullptr);
    }
    return *this;
}

std::string TYarvelText::Str() const {
    return std::string(YarvelStringText(m_string),
                       static_cast<size_t>(YarvelStringLength(m_string)));
}
