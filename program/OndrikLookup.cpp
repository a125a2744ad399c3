// The lookup object: owns the engine binding for the run and opens the
// lookup window on a vehicle record.
#include <QCoreApplication>

#include "AppInfo.h"
#include "Helpers.h"
#include "Ondrik.h"
#include "YarvelPortal.h"
#include "fOndrik.h"
#include "platform/Paths.h"

namespace {

constexpr int kFileVersionKey = 2;

// Switches the engine's own boxes off for the object's lifetime, also when
// the lookup raises.
class TSuppressEngineMessages {
public:
    TSuppressEngineMessages() { Yarvel().YarvelSetSuppressMessages(1); }
    ~TSuppressEngineMessages() {
        const TYarvelEntryPoints& entries = YarvelEntryPoints();
        if (entries.YarvelSetSuppressMessages) entries.YarvelSetSuppressMessages(0);
    }
    TSuppressEngineMessages(const TSuppressEngineMessages&) = delete;
    TSuppressEngineMessages& operator=(const TSuppressEngineMessages&) = delete;
};

}  // namespace

TVehicleInfoLookup::TVehicleInfoLookup(TAppInfo& appInfo) : m_appInfo(appInfo) {
    LoadYarvel();
    m_startedWithParameters = QCoreApplication::arguments().size() > 1;
    m_versionNumber = GetVersionString(platform::ProgramFileName(), kFileVersionKey);
}

TVehicleInfoLookup::~TVehicleInfoLookup() { UnloadYarvel(); }

bool TVehicleInfoLookup::RunLookup(TVinRecord& record, bool silent) {
    TfrmOndrik window(nullptr, *this, m_startedWithParameters, record);
    if (silent) {
        window.LookupVIN(true);
        return true;
    }
    return window.ShowModal() == QDialog::Accepted;
}

bool TVehicleInfoLookup::QuickLookup(TVinRecord& record) {
    TSuppressEngineMessages suppressed;
    if (RecordText(record.VIN).empty()) return false;
    // The VIN search clears the record before it loads; a run that finds
    // nothing gives the host's year, make and model back, so that the window
    // which follows opens on them.
    const int32_t modelYear = record.ModelYear;
    const std::string make = RecordText(record.Make);
    const std::string model = RecordText(record.Model);
    auto putBack = [&] {
        record.ModelYear = modelYear;
        record.Make = ReplaceRecordText(record.Make, make);
        record.Model = ReplaceRecordText(record.Model, model);
    };
    record.ModelYear = 0;
    try {
        RunLookup(record, true);
    } catch (...) {
        putBack();
        throw;
    }
    const bool found = record.ModelYear > 0;
    if (!found) putBack();
    return found;
}
