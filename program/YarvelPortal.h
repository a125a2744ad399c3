// The program's binding of the engine library libYarvel.so: loaded with dlopen
// from the program's folder once per run, its 22 exports bound by name into one
// process-wide table of entry points, the engine started; stopped and released
// when the run ends. The program never links the library.
//
// Single-threaded: the loader state and the table belong to the user-interface
// thread. Every call through the table is a plain C call into the engine, which
// reports its own failures in message boxes and never throws.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Exception.h"
#include "platform/Services.h"
#include "VehDets.h"
#include "VehicleChoice.h"
#include "yarvel.h"

// Every failure of loading or binding, as "YarvelPortal: " and the cause.
class EYarvelPortal : public Exception {
public:
    using Exception::Exception;
};

// The platform's file name of the engine library; looked for without regard to
// letter case.
inline constexpr char kYarvelLibraryName[] = "libYarvel.so";

// The 22 entry points in binding order (YARVEL_EXPORTS), each named as its
// export (YarvelStart, ...). All null until bound and after unloading; a failed
// binding leaves those bound so far.
#define YARVEL_PORTAL_SLOT_(Name) TYarvel##Name##Func Yarvel##Name = nullptr;
struct TYarvelEntryPoints {
    YARVEL_EXPORTS(YARVEL_PORTAL_SLOT_)
};
#undef YARVEL_PORTAL_SLOT_

// BindYarvel on the running program's own folder (platform::ProgramFolder()).
// Throws EYarvelPortal.
void LoadYarvel();

// Loads the engine library of the folder (a separator is added when missing),
// binds the 22 exports in order and calls YarvelStart. Throws EYarvelPortal
// (std::bad_alloc passes as it is):
//   "YarvelPortal: Dll not found - <path>"   no such file in the folder
//   "YarvelPortal: Unable to load <path>"    the file is not a loadable library
//   "YarvelPortal: Routine not valid."       an export is missing; binding stops
//                                            there and the engine is not started
// After a failure the library stays loaded until UnloadYarvel. A library that
// is already loaded is unloaded first.
void BindYarvel(const std::string& folder);

// Calls YarvelStop (when bound), releases the library and clears the table.
// Errors are shown in a message box as "YarvelPortal: " and the message and go
// no further; the library counts as released afterwards in any case. Does
// nothing when no library is loaded, so calling it twice is harmless.
void UnloadYarvel() noexcept;

// Whether a library is loaded (bound or not), and the loader's own explanation
// of the last "Unable to load" (the dynamic linker's message), for support.
bool YarvelLoaded();
const std::string& YarvelLoadErrorDetail();

// The table as it stands, entries possibly null.
const TYarvelEntryPoints& YarvelEntryPoints();
// The table of a loaded and completely bound library; throws EYarvelPortal
// "YarvelPortal: Yarvel is not loaded" otherwise, so that no null entry is
// ever called.
const TYarvelEntryPoints& Yarvel();

// An owned shared string, for passing texts to the engine and receiving its
// results. Moves, does not copy.
class TYarvelText {
public:
    TYarvelText() = default;
    // Throws std::bad_alloc when memory runs out.
    explicit TYarvelText(std::string_view text);
    ~TYarvelText() { YarvelStringRelease(m_string); }
    TYarvelText(TYarvelText&& other) noexcept : m_string(std::exchange(other.m_string, nullptr)) {}
    TYarvelText& operator=(TYarvelText&& other) noexcept;
    TYarvelText(const TYarvelText&) = delete;
    TYarvelText& operator=(const TYarvelText&) = delete;

    // For an input argument, borrowed for the call.
    const TYarvelString* In() const { return m_string; }
    // For an output argument: the engine releases what it holds and stores its result.
    TYarvelString** Out() { return &m_string; }
    std::string Str() const;

private:
    TYarvelString* m_string = nullptr;
};

// The program's side of the engine's list protocol: entries of text with an
// engine-made object attached, which the list owns and frees with `Free`.
template <typename T, void (*Free)(T*)>
class TYarvelObjectList {
public:
    TYarvelObjectList() = default;
    ~TYarvelObjectList() { Clear(); }
    TYarvelObjectList(const TYarvelObjectList&) = delete;
    TYarvelObjectList& operator=(const TYarvelObjectList&) = delete;

    // What the engine is given; valid while this list lives.
    TYarvelList* Protocol() { return &m_protocol; }
    const std::vector<std::pair<std::string, T*>>& Entries() const { return m_entries; }
    void Clear() noexcept {
        for (auto it = m_entries.rbegin(); it != m_entries.rend(); ++it) Free(it->second);
        m_entries.clear();
    }

private:
    // Must not throw into the engine; an entry that cannot be kept is freed.
    static int32_t YARVEL_CALL AddObject(void* owner, const TYarvelString* text,
                                         void* object) noexcept {
        auto* self = static_cast<TYarvelObjectList*>(owner);
        try {
            self->m_entries.emplace_back(
                std::string(YarvelStringText(text), static_cast<size_t>(YarvelStringLength(text))),
                static_cast<T*>(object));
            return static_cast<int32_t>(self->m_entries.size() - 1);
        } catch (...) {
            Free(static_cast<T*>(object));
            return -1;
        }
    }

    std::vector<std::pair<std::string, T*>> m_entries;
    TYarvelList m_protocol{this, &TYarvelObjectList::AddObject};
};

using TMakeList = TYarvelObjectList<TAutoMake, YarvelAutoMakeFree>;
using TModelList = TYarvelObjectList<TModelID, YarvelModelIDFree>;

// ---- Engine error reports --------------------------------------------------------
// The engine never throws: it shows "YARVEL.DLL Error: ..." and answers a
// default that may look like an answer. While a watch lives, every box goes
// on to the handler that was installed before it, and the error reports
// among them are counted, so that a caller can tell a failed call from an
// empty result. Watches nest; the latest one installed must go first.
class TEngineErrorWatch {
public:
    TEngineErrorWatch();
    ~TEngineErrorWatch();
    TEngineErrorWatch(const TEngineErrorWatch&) = delete;
    TEngineErrorWatch& operator=(const TEngineErrorWatch&) = delete;

    // Error reports seen since construction.
    int Count() const { return m_count; }

private:
    int m_count = 0;
    platform::MessageBoxHandler m_previous;
};

// ---- Choice tables ----------------------------------------------------------------
// The title of each choice column, by field selector.
extern const char* const kChoiceColumnTitles[YV_FIELD_LAST + 1];

// The symbol columns a model year shows: the two-digit symbol up to 2010,
// the comprehensive and collision symbols from 2011 on.
TYarvelDifferenceSet SymbolColumns(int modelYear);

// The choice as text: the caption, then the titles, then one line per row,
// cells separated by tabs, lines by "\n". What a headless run writes for the
// dialog and what yarvel-lookup prints.
std::string ChoiceText(const TChoiceTable& table);

// The VIN candidates in effect on the record's EffectiveDate, one row and
// one loaded record each (Records[i] belongs to Table.Rows[i]).
struct TVinChoices {
    TChoiceTable Table;
    std::vector<TVinRecordPtr> Records;
};
// The sub-models in effect, one row and one VIN pattern each.
struct TYmmChoices {
    TChoiceTable Table;
    std::vector<std::string> Patterns;
};

// Walks the engine's candidates of the VIN. A candidate is listed when it is
// in effect on the record's EffectiveDate and its model name differs from
// that of the candidate listed before it (a name that returns after another
// is listed again; a candidate not in effect changes nothing). A candidate
// whose load the engine reports as failed is left out and the walk goes on;
// an error while stepping ends the walk. Columns: the engine's difference
// set, the model name and the symbol columns of the record's ModelYear, or,
// when that is 0, of the first candidate in effect. Reads the record, changes
// nothing in it.
TVinChoices FillVINChoices(const TVinRecord& record, const std::string& vin);
// The same over the sub-models of the model, judged by their VIN patterns;
// columns: the engine's difference set, the VIN pattern and the symbol
// columns of the year. Throws EConvertError for a year that is no number.
TYmmChoices FillYMMChoices(const TVinRecord& record, const std::string& year,
                           const std::string& makeAbbreviation, const std::string& modelName);

// ---- Lookup procedures ---------------------------------------------------------
// They turn search criteria into a loaded vehicle record through the bound
// engine, asking the chooser when several descriptions in effect on the
// record's EffectiveDate match. Each sets the record's RecordType to 1 and
// answers whether a vehicle was found; not found (no candidate, choice
// cancelled) leaves the record as the preceding engine calls left it.
bool LookupByVIN(TVinRecord& record, const std::string& vin, TVehicleChooser& chooser);
// The model entry is the object the engine attached to the chosen model of
// the model list; year as shown, make abbreviation, model name.
bool LookupByYMM(TVinRecord& record, TModelID* model, const std::string& year,
                 const std::string& makeAbbreviation, const std::string& modelName,
                 TVehicleChooser& chooser);

// The choice among the VIN's candidates: with one row that candidate is
// taken without asking, with two or more the chooser is asked. A vehicle
// taken is copied into the record. False with no row or when cancelled.
bool ChooseByVIN(TVinRecord& record, const std::string& vin, TVehicleChooser& chooser);
// The choice among the model's sub-models: the chosen VIN pattern is stored
// in the record's VIN. False with no row or when cancelled.
bool ChooseByYMM(TVinRecord& record, TModelID* model, const std::string& year,
                 const std::string& makeAbbreviation, const std::string& modelName,
                 TVehicleChooser& chooser);
