// Binding of the e-mail plug-in (qelEmail.h): for each send the plug-in is
// found in the program folder, loaded, its four entry points bound by name,
// started, called, stopped and unloaded.
//
// Module-wide state, one per process: the library handle and the bound entry
// points. User-interface thread only.
//
// Errors: a missing plug-in file raises EqelSendEmailPortal ("Attempt to
// access QEL Send Email library when plugin not available") to the caller.
// Failures to load, bind, stop or free are shown in a message box as
// "qelSendEmailPortal: <message>" and go no further; they never propagate.
#pragma once

#include <cstdint>
#include <string>

#include "Exception.h"
#include "platform/Paths.h"

class EqelSendEmailPortal : public Exception {
public:
    using Exception::Exception;
};

// The plug-in's file name on this platform ("qelEmail.DLL" there).
inline constexpr const char* kEmailPluginName = "libqelEmail.so";

// Full name of the plug-in in the folder ("<folder>/<name as found>");
// empty when the folder holds no such file.
std::string PluginFileName(const std::string& folder = platform::ProgramFolder());
bool PluginAvailable(const std::string& folder = platform::ProgramFolder());

// Loads the plug-in of the folder, binds the entry points in the order
// start, stop, "qelBopSendEmail", "qelQELSendEmail" and calls start with the
// window handle. Stops at the first failure, with its message box; what was
// bound until then stays bound so that unloading calls only that.
void LoadPlugin(const std::string& folder = platform::ProgramFolder(), uintptr_t appWindow = 0);
// Calls stop (when bound), frees the library and forgets every entry point.
// Nothing happens when no library is loaded.
void UnloadPlugin();
// Whether a library is loaded now (for diagnostics and tests).
bool PluginLoaded();

class TqelEmailIntf {
public:
    explicit TqelEmailIntf(std::string folder = platform::ProgramFolder(), uintptr_t appWindow = 0);
    ~TqelEmailIntf();  // unloads the plug-in when this object loaded it
    TqelEmailIntf(const TqelEmailIntf&) = delete;
    TqelEmailIntf& operator=(const TqelEmailIntf&) = delete;

    // Raises EqelSendEmailPortal when the plug-in file is absent; otherwise
    // loads it once.
    void CheckPlugin();
    // CheckPlugin, then the plug-in's send with the six values in this order.
    // False when the plug-in could not be bound (nothing is sent then).
    bool SendEmail(const std::string& recipient, const std::string& secondText,
                   const std::string& subject, const std::string& messageFile, int32_t first,
                   int32_t second);
    bool Loaded() const { return m_loaded; }

private:
    std::string m_folder;
    uintptr_t m_appWindow;
    bool m_loaded = false;
};

// One send through a TqelEmailIntf of its own, which loads and unloads the
// plug-in. Raises as CheckPlugin does.
bool SendVersionEmail(const std::string& recipient, const std::string& secondText,
                      const std::string& subject, const std::string& messageFile, int32_t first,
                      int32_t second, const std::string& folder = platform::ProgramFolder(),
                      uintptr_t appWindow = 0);
