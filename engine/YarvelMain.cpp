// The engine session and the 22 exported functions.
//
// The session lives in plain module state: the environment object, the
// database it supplies, the data folder and the master layer. It counts as
// started exactly when the master layer exists. Each export runs its work
// inside Guarded, which turns any error into the "YARVEL.DLL Error: " box and
// the export's default result; nothing unwinds into the caller.
#include <exception>
#include <memory>
#include <string>
#include <vector>

#include "AppInfo.h"
#include "Cbdb.h"
#include "Helpers.h"
#include "YarvelObject.h"
#include "platform/Services.h"
#include "yarvel.h"

namespace {

// Raw pointers on purpose: see TSessionGuard.
TCBDBAppInfo* g_appInfo = nullptr;
TCBDatabase* g_database = nullptr;
std::string g_dataPath;
TYarvel* g_master = nullptr;

void EndSession() {
    delete g_master;
    g_master = nullptr;
    delete g_appInfo;
    g_appInfo = nullptr;
    g_database = nullptr;
    g_dataPath.clear();
}

// A session still running when the library is unloaded must close its
// tables before the module's database object goes. The guard is created
// after that object, so it is destroyed before it.
struct TSessionGuard {
    ~TSessionGuard() {
        try {
            EndSession();
        } catch (...) {
        }
    }
};

void ReportError(const std::string& message) {
    try {
        ShowMessage("YARVEL.DLL Error: " + message, "Yarvel", platform::MsgIcon::None);
    } catch (...) {
        // A failing box must not take the caller down with it.
    }
}

template <typename R, typename Work>
R Guarded(R fallback, Work&& work) noexcept {
    try {
        return work();
    } catch (const Exception& e) {
        ReportError(e.Message());
    } catch (const std::exception& e) {
        ReportError(e.what());
    } catch (...) {
        ReportError("Unknown error");
    }
    return fallback;
}

template <typename Work>
void GuardedVoid(Work&& work) noexcept {
    Guarded(0, [&] {
        work();
        return 0;
    });
}

TYarvel& Master() {
    if (!g_master) throw EYarvelError("Not valid without Yarvel support started.");
    return *g_master;
}

std::string Text(const TYarvelString* s) {
    return std::string(YarvelStringText(s), static_cast<size_t>(YarvelStringLength(s)));
}

template <typename T>
T& Required(T* p, const char* what, const char* operation) {
    if (!p) throw EYarvelError(FormatText("%s not specified on %s", what, operation));
    return *p;
}

const TYarvelList& RequiredList(const TYarvelList* list, const char* operation) {
    if (!list || !list->AddObject)
        throw EYarvelError(FormatText("%s not specified on %s", "List", operation));
    return *list;
}

// *slot := a new string for text; the old one is released after the new one
// exists, so a failure leaves the caller's value as it was.
void SetOutText(TYarvelString** slot, const std::string& text) {
    TYarvelString* s = nullptr;
    if (!text.empty()) {
        s = YarvelStringCreate(text.data(), static_cast<int32_t>(text.size()));
        if (!s) throw std::bad_alloc();
    }
    YarvelStringRelease(*slot);
    *slot = s;
}

TYarvelBool Bool(bool b) {
    return b ? 1 : 0;
}

}  // namespace

extern "C" {

YARVEL_EXPORT void YARVEL_CALL YarvelStart(void) {
    GuardedVoid([] {
        if (g_master) return;  // the running session stays as it is
        try {
            g_appInfo = new TCBDBAppInfo();
            static TSessionGuard guard;
            g_appInfo->SetIniFileName("Pollark.Ini");
            g_database = &g_appInfo->Database();
            g_database->SetOptimize(true);
            g_dataPath = g_appInfo->DataPath();
            g_master = new TYarvel(*g_database, g_dataPath);
            g_master->Open();
        } catch (...) {
            // No half-built session: a failed start leaves none, and the
            // next start begins afresh.
            EndSession();
            throw;
        }
    });
}

YARVEL_EXPORT void YARVEL_CALL YarvelStop(void) {
    GuardedVoid([] {
        Master();
        EndSession();
    });
}

YARVEL_EXPORT TYarvelDifferenceSet YARVEL_CALL YarvelGetDifferenceFields(
    const TYarvelString* Make, const TYarvelString* Year, const TYarvelString* Model) {
    return Guarded<TYarvelDifferenceSet>(
        0, [&] { return Master().GetDifferenceFields(Text(Make), Text(Year), Text(Model)); });
}

YARVEL_EXPORT int32_t YARVEL_CALL YarvelGetEarliestSymbolYearAvailable(void) {
    return Guarded<int32_t>(-1, [] { return Master().EarliestSymbolYear; });
}

YARVEL_EXPORT void YARVEL_CALL YarvelGetFieldValue(TYarvelString** Value,
                                                   TYarvelFieldSelector Selector) {
    GuardedVoid([&] {
        TYarvel& master = Master();
        Required(Value, "Value", "YarvelGetFieldValue");
        SetOutText(Value, master.GetFieldValue(Selector));
    });
}

YARVEL_EXPORT void YARVEL_CALL YarvelGetFirstSubModel(const TYarvelString* Make,
                                                      const TYarvelString* Year,
                                                      const TYarvelString* Model) {
    GuardedVoid([&] { Master().GetFirstSubModel(Text(Make), Text(Year), Text(Model)); });
}

YARVEL_EXPORT void YARVEL_CALL YarvelGetNextSubModel(void) {
    GuardedVoid([] { Master().GetNextSubModel(); });
}

// A walk ends on an error: a host looping until the end must stop.
YARVEL_EXPORT TYarvelBool YARVEL_CALL YarvelGetEndOfModel(void) {
    return Guarded<TYarvelBool>(1, [] { return Bool(Master().GetEndOfModel()); });
}

YARVEL_EXPORT void YARVEL_CALL YarvelGetListOfMakes(TYarvelList* List) {
    GuardedVoid([&] {
        TYarvel& master = Master();
        master.Makes().GetListOfMakes(RequiredList(List, "YarvelGetListOfMakes"));
    });
}

YARVEL_EXPORT void YARVEL_CALL YarvelGetListOfModels(TYarvelList* List, const TAutoMake* AutoMake,
                                                     const TYarvelString* Year) {
    GuardedVoid([&] {
        TYarvel& master = Master();
        const TYarvelList& list = RequiredList(List, "YarvelGetListOfModels");
        master.GetListOfModels(list, Required(AutoMake, "AutoMake", "YarvelGetListOfModels"),
                               Text(Year));
    });
}

YARVEL_EXPORT TYarvelBool YARVEL_CALL YarvelGetModelAlwaysRatesSame(
    const TYarvelString* Make, const TYarvelString* Year, const TYarvelString* Model,
    const TYarvelString* const* FieldNames, int32_t LastIndex) {
    return Guarded<TYarvelBool>(0, [&] {
        TYarvel& master = Master();
        std::vector<std::string> names;
        if (LastIndex >= 0) {
            Required(FieldNames, "FieldNames", "YarvelGetModelAlwaysRatesSame");
            names.reserve(static_cast<size_t>(LastIndex) + 1);
            for (int32_t i = 0; i <= LastIndex; ++i) names.push_back(Text(FieldNames[i]));
        }
        return Bool(master.GetModelAlwaysRatesSame(Text(Make), Text(Year), Text(Model), names));
    });
}

YARVEL_EXPORT void YARVEL_CALL YarvelGetModelVIN(TYarvelString** VIN, const TYarvelString* Make,
                                                 const TYarvelString* Year,
                                                 const TYarvelString* Model) {
    GuardedVoid([&] {
        TYarvel& master = Master();
        Required(VIN, "VIN", "YarvelGetModelVIN");
        SetOutText(VIN, master.GetModelVIN(Text(Make), Text(Year), Text(Model)));
    });
}

YARVEL_EXPORT TYarvelBool YARVEL_CALL YarvelGetRecordByVIN(TVinRecord* Record) {
    return Guarded<TYarvelBool>(0, [&] {
        TYarvel& master = Master();
        return Bool(master.GetRecordByVIN(Required(Record, "Record", "YarvelGetRecordByVIN")));
    });
}

YARVEL_EXPORT TYarvelBool YARVEL_CALL YarvelGetRecordByYMM(TVinRecord* Record) {
    return Guarded<TYarvelBool>(0, [&] {
        TYarvel& master = Master();
        return Bool(master.GetRecordByYMM(Required(Record, "Record", "YarvelGetRecordByYMM")));
    });
}

YARVEL_EXPORT void YARVEL_CALL YarvelSetSuppressMessages(TYarvelBool Value) {
    GuardedVoid([&] { Master().SuppressMessages = Value != 0; });
}

YARVEL_EXPORT TYarvelBool YARVEL_CALL YarvelGetRecordEffective(double Date) {
    return Guarded<TYarvelBool>(0, [&] { return Bool(Master().GetRecordEffective(Date)); });
}

YARVEL_EXPORT void YARVEL_CALL YarvelGetFirstVIN(const TYarvelString* VIN) {
    GuardedVoid([&] { Master().GetFirstVIN(Text(VIN)); });
}

YARVEL_EXPORT TYarvelBool YARVEL_CALL YarvelGetEndOfVIN(void) {
    return Guarded<TYarvelBool>(1, [] { return Bool(Master().GetEndOfVIN()); });
}

YARVEL_EXPORT void YARVEL_CALL YarvelGetNextVIN(void) {
    GuardedVoid([] { Master().GetNextVIN(); });
}

YARVEL_EXPORT TYarvelDifferenceSet YARVEL_CALL
YarvelGetDifferenceFieldsVIN(const TYarvelString* VIN) {
    return Guarded<TYarvelDifferenceSet>(
        0, [&] { return Master().GetDifferenceFieldsVIN(Text(VIN)); });
}

YARVEL_EXPORT void YARVEL_CALL YarvelLoadFromCurrentRecord(TVinRecord* Record) {
    GuardedVoid([&] {
        TYarvel& master = Master();
        master.LoadFromCurrentRecord(Required(Record, "Record", "YarvelLoadFromCurrentRecord"));
    });
}

YARVEL_EXPORT int32_t YARVEL_CALL YarvelGetMinVinSizePermitted(void) {
    return Guarded<int32_t>(0, [] {
        Master();
        return TYarvel::kMinVinSize;
    });
}

}  // extern "C"
