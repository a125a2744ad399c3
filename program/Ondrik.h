// The lookup program's driver: the start-up procedure and the lookup object.
#pragma once

#include <string>

#include "Exception.h"
#include "yarvel.h"

class TAppInfo;

// The lookup object of a run: owns the engine binding (LoadYarvel at
// construction, UnloadYarvel at destruction) and opens the lookup window on
// a vehicle record. One per run; the environment is borrowed.
class TVehicleInfoLookup {
public:
    // Loads, binds and starts the engine from the program's folder; its
    // errors (EYarvelPortal) propagate and nothing is left loaded.
    explicit TVehicleInfoLookup(TAppInfo& appInfo);
    ~TVehicleInfoLookup();
    TVehicleInfoLookup(const TVehicleInfoLookup&) = delete;
    TVehicleInfoLookup& operator=(const TVehicleInfoLookup&) = delete;

    TAppInfo& AppInfo() const { return m_appInfo; }
    // Host mode: the process has at least one command-line argument.
    bool StartedWithParameters() const { return m_startedWithParameters; }
    void SetStartedWithParameters(bool host) { m_startedWithParameters = host; }
    // The program file's "FileVersion"; empty without version information.
    const std::string& VersionNumber() const { return m_versionNumber; }

    // Creates the lookup window for the record. Silent: runs its VIN search
    // without showing it and answers true. Otherwise shows it modally and
    // answers whether it closed with a vehicle accepted. The window is gone
    // before this returns.
    bool RunLookup(TVinRecord& record, bool silent);
    bool ShowLookup(TVinRecord& record) { return RunLookup(record, false); }
    // The silent command-line lookup by the record's VIN, the engine's own
    // boxes suppressed meanwhile: found when the engine loaded a vehicle
    // (ModelYear above 0); otherwise ModelYear is put back as it was.
    bool QuickLookup(TVinRecord& record);

private:
    TAppInfo& m_appInfo;
    bool m_startedWithParameters = false;
    std::string m_versionNumber;
};

// The whole run of the program, from environment to output data file.
// Answers the process exit status, which is 0 after success, cancel and
// error alike. Expects the Qt application object to exist.
int RunOndrik(int argc, char** argv);
