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
