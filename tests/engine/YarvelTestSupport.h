// Test support for the engine: the library loaded with dlopen and bound by
// name as the program binds it, shared strings and records that clean up
// after themselves, a collecting list, and fixture data folders whose tables
// are built with the real dbfbuild from the sample schemas.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "platform/RecordingServices.h"
#include "platform/TempFolder.h"
#include "yarvel.h"

namespace yarvel_test {

// libYarvel.so, loaded for the object's lifetime; every entry point bound.
// Construction fails the test (ADD_FAILURE) and leaves Loaded() false when
// the library or an entry point is missing.
class TEngine {
public:
    TEngine();
    ~TEngine();
    TEngine(const TEngine&) = delete;
    TEngine& operator=(const TEngine&) = delete;
    bool Loaded() const { return m_handle != nullptr; }

    // One slot per export, named without the "Yarvel" prefix (Start, Stop, ...).
#define YARVEL_TEST_SLOT_(Name) TYarvel##Name##Func Name = nullptr;
    YARVEL_EXPORTS(YARVEL_TEST_SLOT_)
#undef YARVEL_TEST_SLOT_

private:
    void* m_handle = nullptr;
};

// An owned shared string.
class TStr {
public:
    TStr() = default;
    explicit TStr(const std::string& text)
        : m_s(YarvelStringCreate(text.data(), static_cast<int32_t>(text.size()))) {}
    ~TStr() { YarvelStringRelease(m_s); }
    TStr(const TStr&) = delete;
    TStr& operator=(const TStr&) = delete;
    const TYarvelString* get() const { return m_s; }
    TYarvelString** out() { return &m_s; }
    std::string Text() const { return {YarvelStringText(m_s), size_t(YarvelStringLength(m_s))}; }

private:
    TYarvelString* m_s = nullptr;
};

std::string Text(const TYarvelString* s);
// A new string for `text`, releasing `old`: record fields are unaligned, so
// they are assigned (field = Replaced(field, text)), never bound by address.
TYarvelString* Replaced(TYarvelString* old, const std::string& text);

// A record field by value: the record is packed, and the assertion macros
// bind their arguments by reference.
template <typename T>
T Val(T value) {
    return value;
}

// A caller's record; its texts are released with it.
struct TRecord {
    TVinRecord r{};
    TRecord() = default;
    ~TRecord() { YarvelVinRecordClear(&r); }
    TRecord(const TRecord&) = delete;
    TRecord& operator=(const TRecord&) = delete;
    TVinRecord* p() { return &r; }
    TVinRecord* operator->() { return &r; }
    // Every non-text field set to a value no load produces.
    void FillSentinels();
};

// The program side of a list: collects entries and frees their objects.
class TCollectedList {
public:
    enum TKind { kMakes, kModels };
    explicit TCollectedList(TKind kind);
    ~TCollectedList();
    TCollectedList(const TCollectedList&) = delete;
    TCollectedList& operator=(const TCollectedList&) = delete;
    TYarvelList* get() { return &m_list; }

    struct TEntry {
        std::string text;
        void* object;
    };
    const std::vector<TEntry>& Entries() const { return m_entries; }
    std::vector<std::string> Texts() const;
    const TAutoMake& Make(size_t i) const { return *static_cast<TAutoMake*>(m_entries[i].object); }
    const TModelID& Model(size_t i) const { return *static_cast<TModelID*>(m_entries[i].object); }

private:
    static int32_t YARVEL_CALL AddObject(void* owner, const TYarvelString* text, void* object);
    TKind m_kind;
    TYarvelList m_list;
    std::vector<TEntry> m_entries;
};

// One master row: field name to value; fields not given take the defaults of
// DefaultMasterRow.
using TRow = std::map<std::string, std::string>;
TRow DefaultMasterRow();
TRow Row(std::initializer_list<std::pair<const std::string, std::string>> changes);

struct TFixtureData {
    std::vector<TRow> master;
    std::vector<std::pair<std::string, std::string>> makes;  // ABBR, MAKE
    std::vector<std::vector<std::string>> translations;      // FIELDNAME, CODE, DESC
    std::vector<std::string> omitFields;                     // master fields left out
};
// Makes and translations the fixtures usually want.
TFixtureData DefaultFixture();

// Builds the three tables into `folder` (created) with dbfbuild; fails the
// test on a build error. Returns false then.
bool BuildTables(const std::string& folder, const TFixtureData& fixture);

// Points the host ini in $WINDIR at a data folder.
void WriteHostIni(const std::string& windowsDir, const std::string& dataFolder);

// The day count of a calendar date, and of a date with a time of day.
double DayCount(int year, int month, int day, double fractionOfDay = 0.0);

// An engine test: its own folder (and $WINDIR), recorded boxes, the library
// loaded; the session stopped at the end if a test left it running.
class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Builds the tables in Folder()+"data/", points the host ini at them and
    // starts the engine; no box may appear. False (and a failure) otherwise.
    bool StartWith(const TFixtureData& fixture);
    std::string DataFolder() const { return m_folder->Path() + "data/"; }
    const platform::testing::TempFolder& Folder() const { return *m_folder; }

    // Texts of the boxes shown so far, and clearing them.
    std::vector<std::string> BoxTexts() const;
    void ClearBoxes() { m_boxes->ClearRecords(); }
    const std::vector<platform::testing::RecordingServices::Box>& Boxes() const {
        return m_boxes->Boxes();
    }

    // Positions the engine on the first VIN candidate and loads it.
    void LoadVIN(const std::string& vin, TRecord& record);

    std::unique_ptr<platform::testing::TempFolder> m_folder;
    std::unique_ptr<platform::testing::RecordingServices> m_boxes;
    std::unique_ptr<TEngine> m_engine;
    TEngine* e = nullptr;
};

inline const char kNotStarted[] = "YARVEL.DLL Error: Not valid without Yarvel support started.";

}  // namespace yarvel_test
