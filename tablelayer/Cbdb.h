// The table layer: one database object per module holding the engine session
// and a registry of tables; each table one xBase data file that is opened,
// positioned through its index tags and read field by field; and the keyed
// data layer from which every table object of the system derives.
//
// Every failure is raised as ECBDBError (ESortedListError from the registry)
// carrying a finished message. Single-threaded: all calls come from the
// thread that uses the engine. Folders end with the platform separator and
// are joined to file names by concatenation.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "CodeBase.h"
#include "Exception.h"
#include "Sortlist.h"

class ECBDBError : public Exception {
public:
    using Exception::Exception;
};

class TCBDatabase;
class TCBTable;

// One field of a table as the engine reports it. Handle belongs to the
// table's open data file and is valid while that stays open.
struct TFieldInfo {
    std::string Name;  // upper case
    char FieldType = ' ';
    int32_t Length = 0;
    int32_t Decimals = 0;
    int32_t FieldNumber = 0;  // counted from 1
    XBFIELD* Handle = nullptr;
};

// One registry entry; owns its table, which is closed and freed with it.
class TTableHolder {
public:
    explicit TTableHolder(TCBDatabase& database);
    ~TTableHolder();
    TTableHolder(const TTableHolder&) = delete;
    TTableHolder& operator=(const TTableHolder&) = delete;

    TCBDatabase& Database() const { return m_database; }
    TCBTable& Table() const { return *m_table; }

private:
    TCBDatabase& m_database;
    std::unique_ptr<TCBTable> m_table;
};

// One data file. Created only by TCBDatabase::AddTable, owned by its holder;
// callers keep the pointer until RemoveTable or the database's destruction.
class TCBTable {
public:
    // Full names longer than this are refused when the table is added.
    static constexpr size_t kMaxFullName = 255;

    TCBTable(TCBDatabase& database, TTableHolder& holder);
    ~TCBTable();  // closes the file if open
    TCBTable(const TCBTable&) = delete;
    TCBTable& operator=(const TCBTable&) = delete;

    // Opens the file when it is not open; a failure raises "Error opening
    // table %s%s - error code: %d" and leaves it closed, with the database's
    // read-only mode as it was.
    void Open();
    void Close();  // when open; forgets the field list, whose handles die with it

    // The operations below need the table open and raise "Access to table
    // (%s) via %s when table NOT OPEN" otherwise.
    bool Eof();
    void Top();
    void Bottom();
    void SkipNext();
    // An empty name selects record order. Raises "Tag \"%s\" not found in
    // table %s." for a tag the file lacks.
    void SelectTag(const std::string& tagName);
    XBTAG* GetTag(const std::string& tagName);
    // A non-empty TagName is selected first and stays selected afterwards.
    // A seek the engine fails (damage, no position for SeekNext) raises
    // "Error seeking in table %s" with the engine's code.
    bool Seek(const std::string& key, const std::string& tagName);
    bool SeekNext(const std::string& key);
    // Exactly the field's width, blank-padded as stored. Raises "Field \"%s\"
    // not found in %s." and the CheckError message.
    std::string GetField(const std::string& name);
    int32_t GetFieldInt(const std::string& name);
    // Field `slot` of a fixed list of names, read without a look-up by name:
    // the handles of the whole list are resolved once per open file, by
    // position. `names` must be a static table (it is told apart by its
    // address). The view points into the engine's record buffer and lasts
    // until the next positioning call or Close. Raises as GetField.
    std::string_view FieldView(const char* const* names, size_t count, size_t slot);
    // Whether the file has field `slot` of such a list; never raises for a
    // missing field.
    bool HasField(const char* const* names, size_t count, size_t slot);
    int16_t NumFields();

    // The field of that name (compared upper case), or null; never raises for
    // a missing field. Loads the field list on first use (which needs the
    // table open).
    TFieldInfo* FindFieldInfo(const std::string& name);
    void LoadDBFieldList();
    // Raises the engine's recorded error, if any, as an error reading (or
    // writing) the field.
    void CheckError(const std::string& fieldName, bool reading);

    std::string FullName() const { return m_path + m_fileName; }
    const std::string& Path() const { return m_path; }
    const std::string& FileName() const { return m_fileName; }
    bool IsOpen() const { return m_isOpen; }
    int32_t TableID() const { return m_tableID; }
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool on) { m_readOnly = on; }
    XBDATA* Handle() const { return m_handle; }
    TCBDatabase& Database() const { return m_database; }
    TTableHolder& Holder() const { return m_holder; }
    const std::vector<std::unique_ptr<TFieldInfo>>* FieldList() const { return m_fieldList.get(); }

private:
    friend class TCBDatabase;
    void RequireOpen(const char* operation) const;
    bool CheckSeek(int rc);  // found; raises for a negative code
    XBFIELD* RequireField(const std::string& name);
    XBFIELD* ResolvedField(const char* const* names, size_t count, size_t slot);
    [[noreturn]] void RaiseFieldError(const std::string& fieldName, bool reading, int16_t code);

    TCBDatabase& m_database;
    TTableHolder& m_holder;
    XBDATA* m_handle = nullptr;
    std::string m_path;
    std::string m_fileName;
    bool m_isOpen = false;
    int32_t m_tableID = 0;
    bool m_readOnly = false;
    std::unique_ptr<std::vector<std::unique_ptr<TFieldInfo>>> m_fieldList;
    // Handles for FieldView's list, valid while the file stays open.
    const char* const* m_resolvedNames = nullptr;
    std::vector<XBFIELD*> m_resolved;
    // Tags looked up so far by the name they were asked for, likewise.
    std::vector<std::pair<std::string, XBTAG*>> m_tags;
};

// The module's engine session and table registry. Starting it starts the
// engine; destroying it closes and frees every registered table, then
// releases the engine.
class TCBDatabase {
public:
    TCBDatabase();  // raises ECBDBError when the engine cannot be started
    ~TCBDatabase();
    TCBDatabase(const TCBDatabase&) = delete;
    TCBDatabase& operator=(const TCBDatabase&) = delete;

    // The engine's recorded code (0 none, negative an error); reading resets it.
    int16_t GetErrorCode();
    void SetOptimize(bool on);
    void SetReadOnly(bool on);

    // Registers the file Path + FileName under a new table number (reported
    // in tableID) and opens it when openNow. Raises "Cannot add table to
    // database that does not exist\r\nTable, %s%s, not found." (nothing is
    // registered then) and the Open error (the table stays registered and
    // closed). The table belongs to the database.
    TCBTable* AddTable(const std::string& fileName, const std::string& path, bool openNow,
                       int32_t& tableID);
    // Closes and frees the table of that number; nothing when there is none.
    void RemoveTable(int32_t tableID);
    bool FindTable(int32_t tableID, TTableHolder*& holder);

    XBENGINE* Engine() const { return m_engine; }
    bool Initialized() const { return m_initialized; }
    int32_t LastTableID() const { return m_lastTableID; }
    bool Optimize() const { return m_optimize; }
    bool ReadOnly() const { return m_readOnly; }
    int TableCount() const { return m_tables.Count(); }

private:
    void AfterStart() {}  // a hook for other systems; nothing to do here

    XBENGINE* m_engine = nullptr;
    bool m_initialized = false;
    int32_t m_lastTableID = 0;
    TSortedList m_tables;  // of TTableHolder, ascending by table number; owned
    bool m_optimize = false;
    bool m_readOnly = false;
};

// Base of TCBDataLayer; nothing the system uses.
class TKeyItem {
public:
    virtual ~TKeyItem() = default;
};

// Base of every object standing for one table: ties a folder and file name
// to the database object, registers the table there, opens and closes it,
// and offers key services for tables with a numeric key field. The database
// is referenced, never owned; the table is registered while Attached.
class TCBDataLayer : public TKeyItem {
public:
    // Registers the table (closed). A missing file raises the AddTable error
    // and registers nothing.
    TCBDataLayer(TCBDatabase& database, const std::string& path, const std::string& fileName);
    ~TCBDataLayer() override;  // detaches

    virtual bool IsActive() const;  // attached and open
    // The next free key number. Raises "TCBDataLayer.GetKey invoked when
    // table has no KEY field" and "Max attempts exceeded on new record key
    // for %s".
    virtual int32_t GetKey();
    virtual void AttachTable();
    virtual void DetachTable();
    virtual void Open();
    virtual void Close();
    // Not found without a key field; raises NOT OPEN when not active.
    virtual bool FindByKey(int32_t key);
    // Moves to another folder, reopening when the table was open.
    virtual void SetPath(const std::string& newPath);
    // Changes the file; the table is closed afterwards, even when it was open.
    virtual void SetFileName(const std::string& newName);

    TCBDatabase& Database() const { return m_database; }
    const std::string& Path() const { return m_path; }
    const std::string& FileName() const { return m_fileName; }
    TCBTable* Table() const { return m_table; }
    bool Attached() const { return m_attached; }
    bool NoKeyField() const { return m_noKeyField; }
    void SetNoKeyField(bool on) { m_noKeyField = on; }
    const std::string& KeyField() const { return m_keyField; }
    void SetKeyField(const std::string& name) { m_keyField = name; }
    const std::string& KeyTag() const { return m_keyTag; }
    void SetKeyTag(const std::string& name) { m_keyTag = name; }
    bool ReadOnly() const { return m_readOnly; }
    void SetReadOnly(bool on) { m_readOnly = on; }

private:
    TCBDatabase& m_database;
    std::string m_path;
    std::string m_fileName;
    bool m_noKeyField = false;
    std::string m_keyField;
    std::string m_keyTag;
    TCBTable* m_table = nullptr;  // owned by the database's registry
    bool m_attached = false;
    bool m_readOnly = false;
};
