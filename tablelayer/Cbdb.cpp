#include "Cbdb.h"

#include <strings.h>

#include <cctype>

#include "platform/Files.h"

namespace {

const char kNotOpen[] = "Access to table (%s) via %s when table NOT OPEN";

int CompareHolders(const void* a, const void* b) {
    const int32_t left = static_cast<const TTableHolder*>(a)->Table().TableID();
    const int32_t right = static_cast<const TTableHolder*>(b)->Table().TableID();
    return left < right ? -1 : (left > right ? 1 : 0);
}

std::string UpperCase(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The production index beside a table, as the engine finds it.
std::string IndexNameOf(const std::string& table) {
    const size_t slash = table.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : table.substr(0, slash + 1);
    std::string base = table.substr(slash == std::string::npos ? 0 : slash + 1);
    if (const size_t dot = base.rfind('.'); dot != std::string::npos && dot > 0) base.erase(dot);
    const std::string found = platform::FindFileNoCase(folder, base + ".cdx");
    return found.empty() ? folder + base + ".cdx" : found;
}

}  // namespace

// --- TTableHolder ---------------------------------------------------------

TTableHolder::TTableHolder(TCBDatabase& database)
    : m_database(database), m_table(std::make_unique<TCBTable>(database, *this)) {}

TTableHolder::~TTableHolder() = default;

// --- TCBTable -------------------------------------------------------------

TCBTable::TCBTable(TCBDatabase& database, TTableHolder& holder)
    : m_database(database), m_holder(holder) {}

TCBTable::~TCBTable() {
    Close();
}

void TCBTable::RequireOpen(const char* operation) const {
    if (!m_isOpen) throw ECBDBError(FormatText(kNotOpen, FullName().c_str(), operation));
}

void TCBTable::Open() {
    if (m_isOpen) return;
    const bool remembered = m_database.ReadOnly();
    if (m_readOnly) m_database.SetReadOnly(true);
    m_handle = CodeBase::Open(m_database.Engine(), FullName().c_str());
    m_database.SetReadOnly(remembered);
    if (m_handle == nullptr) {
        const int code = m_database.GetErrorCode();
        if (code == XB_E_PAIR) {
            // A data folder updated half-way: name both files, since either
            // may be the stale one.
            throw ECBDBError(FormatText(
                "Error opening table %s: its index %s was built for another version of the "
                "table - error code: %d",
                FullName().c_str(), IndexNameOf(FullName()).c_str(), code));
        }
        throw ECBDBError(FormatText("Error opening table %s%s - error code: %d", m_path.c_str(),
                                    m_fileName.c_str(), code));
    }
    m_isOpen = true;
}

void TCBTable::Close() {
    if (!m_isOpen) return;
    CodeBase::Close(m_handle);
    m_handle = nullptr;
    m_isOpen = false;
    m_fieldList.reset();
    m_resolvedNames = nullptr;
    m_resolved.clear();
    m_tags.clear();
}

bool TCBTable::Eof() {
    RequireOpen("TCBTable.Eof");
    return CodeBase::Eof(m_handle) > 0;
}

void TCBTable::Top() {
    RequireOpen("TCBTable.Top");
    CodeBase::Top(m_handle);
}

void TCBTable::Bottom() {
    RequireOpen("TCBTable.Bottom");
    CodeBase::Bottom(m_handle);
}

void TCBTable::SkipNext() {
    RequireOpen("TCBTable.SkipNext");
    CodeBase::Skip(m_handle, 1);
}

void TCBTable::SelectTag(const std::string& tagName) {
    RequireOpen("TCBTable.SelectTag");
    CodeBase::TagSelect(m_handle, tagName.empty() ? nullptr : GetTag(tagName));
}

XBTAG* TCBTable::GetTag(const std::string& tagName) {
    RequireOpen("TCBTable.GetTag");
    // Lookups name the same few tags on every seek.
    for (const auto& [name, known] : m_tags)
        if (name == tagName) return known;
    XBTAG* tag = CodeBase::Tag(m_handle, tagName.c_str());
    if (tag == nullptr) {
        // The engine recorded the miss; read it so that no later CheckError
        // reports it against an unrelated field.
        m_database.GetErrorCode();
        throw ECBDBError(
            FormatText("Tag \"%s\" not found in table %s.", tagName.c_str(), FullName().c_str()));
    }
    m_tags.emplace_back(tagName, tag);
    return tag;
}

bool TCBTable::Seek(const std::string& key, const std::string& tagName) {
    RequireOpen("TCBTable.Seek");
    if (!tagName.empty()) SelectTag(tagName);
    return CheckSeek(CodeBase::Seek(m_handle, key.c_str()));
}

bool TCBTable::SeekNext(const std::string& key) {
    RequireOpen("TCBTable.SeekNext");
    return CheckSeek(CodeBase::SeekNext(m_handle, key.c_str()));
}

bool TCBTable::CheckSeek(int rc) {
    if (rc >= 0) return rc == 0;
    // A damaged record or index, or a table changed beyond reopening: an
    // error, never "not found".
    const int16_t code = m_database.GetErrorCode();
    throw ECBDBError("Error seeking in table " + m_fileName + "\r\n\r\n" +
                     "Codebase Error Code = " + std::to_string(code < 0 ? code : rc));
}

XBFIELD* TCBTable::RequireField(const std::string& name) {
    XBFIELD* field = CodeBase::Field(m_handle, name.c_str());
    if (field == nullptr) {
        m_database.GetErrorCode();  // as in GetTag: the miss is reported here
        throw ECBDBError(
            FormatText("Field \"%s\" not found in %s.", name.c_str(), m_fileName.c_str()));
    }
    return field;
}

std::string TCBTable::GetField(const std::string& name) {
    RequireOpen("TCBTable.GetField");
    XBFIELD* field = RequireField(name);
    std::string value(CodeBase::FieldStr(field), CodeBase::FieldLen(field));
    CheckError(name, true);
    return value;
}

XBFIELD* TCBTable::ResolvedField(const char* const* names, size_t count, size_t slot) {
    if (m_resolvedNames != names || m_resolved.size() != count) {
        m_resolved.assign(count, nullptr);
        const int16_t fields = CodeBase::NumFields(m_handle);
        for (int16_t j = 1; j <= fields; ++j) {
            XBFIELD* field = CodeBase::FieldJ(m_handle, j);
            const char* name = CodeBase::FieldName(field);
            for (size_t k = 0; k < count; ++k)
                if (m_resolved[k] == nullptr && ::strcasecmp(name, names[k]) == 0)
                    m_resolved[k] = field;
        }
        m_resolvedNames = names;
    }
    return m_resolved[slot];
}

std::string_view TCBTable::FieldView(const char* const* names, size_t count, size_t slot) {
    RequireOpen("TCBTable.GetField");
    XBFIELD* field = ResolvedField(names, count, slot);
    if (field == nullptr) field = RequireField(names[slot]);  // raises the missing-field error
    std::string_view value(CodeBase::FieldStr(field), CodeBase::FieldLen(field));
    // The name is made a string only when there is an error to report.
    if (const int16_t code = m_database.GetErrorCode(); code < 0) RaiseFieldError(names[slot], true, code);
    return value;
}

bool TCBTable::HasField(const char* const* names, size_t count, size_t slot) {
    RequireOpen("TCBTable.HasField");
    return ResolvedField(names, count, slot) != nullptr;
}

int32_t TCBTable::GetFieldInt(const std::string& name) {
    RequireOpen("TCBTable.GetFieldInt");
    XBFIELD* field = RequireField(name);
    const auto value = static_cast<int32_t>(CodeBase::FieldInt(field));
    CheckError(name, true);
    return value;
}

int16_t TCBTable::NumFields() {
    RequireOpen("TCBTable.NumFields");
    return CodeBase::NumFields(m_handle);
}

void TCBTable::CheckError(const std::string& fieldName, bool reading) {
    const int16_t code = m_database.GetErrorCode();
    if (code < 0) RaiseFieldError(fieldName, reading, code);
}

void TCBTable::RaiseFieldError(const std::string& fieldName, bool reading, int16_t code) {
    throw ECBDBError("Error " + std::string(reading ? "reading" : "writing") + " field " +
                     fieldName + " in table " + m_fileName + "\r\n\r\n" +
                     "Codebase Error Code = " + std::to_string(code));
}

TFieldInfo* TCBTable::FindFieldInfo(const std::string& name) {
    if (!m_fieldList) {
        m_fieldList = std::make_unique<std::vector<std::unique_ptr<TFieldInfo>>>();
        try {
            LoadDBFieldList();
        } catch (...) {
            m_fieldList.reset();  // try again next time rather than keep an empty list
            throw;
        }
    }
    const std::string wanted = UpperCase(name);
    for (const auto& info : *m_fieldList) {
        if (info->Name == wanted) return info.get();
    }
    return nullptr;
}

void TCBTable::LoadDBFieldList() {
    if (!m_fieldList) throw ECBDBError("Field list not created on LoadDBFieldList");
    if (!m_isOpen) {
        throw ECBDBError(FormatText(kNotOpen, FullName().c_str(), "TCBTable.LoadDBFieldList"));
    }
    if (!platform::FileExists(FullName())) return;
    m_fieldList->clear();
    const int16_t count = CodeBase::NumFields(m_handle);
    for (int16_t j = 1; j <= count; ++j) {
        XBFIELD* field = CodeBase::FieldJ(m_handle, j);
        auto info = std::make_unique<TFieldInfo>();
        info->Name = CodeBase::FieldName(field);
        info->FieldType = CodeBase::FieldType(field);
        info->Length = static_cast<int32_t>(CodeBase::FieldLen(field));
        info->Decimals = CodeBase::FieldDecimals(field);
        info->FieldNumber = j;
        info->Handle = field;
        m_fieldList->push_back(std::move(info));
    }
}

// --- TCBDatabase ----------------------------------------------------------

TCBDatabase::TCBDatabase() : m_tables(CompareHolders) {
    m_initialized = false;
    m_engine = CodeBase::InitP();
    if (m_engine == nullptr) throw ECBDBError("The table engine could not be started.");
    CodeBase::SingleOpen(m_engine, 0);
    CodeBase::LockAttempts(m_engine, 5);
    m_initialized = true;
    AfterStart();
}

TCBDatabase::~TCBDatabase() {
    for (int i = 0; i < m_tables.Count(); ++i) {
        delete static_cast<TTableHolder*>(m_tables.Items(i));
    }
    m_tables.Clear();
    if (m_initialized) CodeBase::InitUndo(m_engine);
}

int16_t TCBDatabase::GetErrorCode() {
    return CodeBase::ErrorCode(m_engine);
}

void TCBDatabase::SetOptimize(bool on) {
    m_optimize = on;
    if (on) {
        CodeBase::OptStart(m_engine);
    } else {
        CodeBase::OptSuspend(m_engine);
    }
}

void TCBDatabase::SetReadOnly(bool on) {
    if (on == m_readOnly) return;
    CodeBase::ReadOnly(m_engine, on ? 1 : 0);
    m_readOnly = on;
}

TCBTable* TCBDatabase::AddTable(const std::string& fileName, const std::string& path, bool openNow,
                                int32_t& tableID) {
    const std::string fullName = path + fileName;
    // Longer names never reached the engine on the original platform; refuse
    // them here rather than let them fail later in some other way.
    if (fullName.size() > TCBTable::kMaxFullName) {
        throw ECBDBError(FormatText("Table name %s is longer than %d characters.", fullName.c_str(),
                                    static_cast<int>(TCBTable::kMaxFullName)));
    }
    // Data folders copied from other file systems come in any letter case.
    std::string actualName = fileName;
    if (!platform::FileExists(fullName) && fileName.find('/') == std::string::npos) {
        const std::string found = platform::FindFileNoCase(path.empty() ? "." : path, fileName);
        if (!found.empty()) actualName = found.substr(found.rfind('/') + 1);
    }
    if (!platform::FileExists(path + actualName)) {
        std::string message = "Cannot add table to database that does not exist\r\nTable, " +
                              path + fileName + ", not found.";
        // A wrong folder in the host ini is the usual cause: say so.
        if (!path.empty() && !platform::DirectoryExists(path))
            message += "\r\nThe folder " + path + " does not exist.";
        throw ECBDBError(message);
    }
    auto holder = std::make_unique<TTableHolder>(*this);
    TCBTable& table = holder->Table();
    table.m_fileName = actualName;
    table.m_path = path;
    ++m_lastTableID;
    table.m_tableID = m_lastTableID;
    tableID = m_lastTableID;
    m_tables.Add(holder.get());
    holder.release();  // the registry owns it now
    if (openNow) table.Open();
    return &table;
}

bool TCBDatabase::FindTable(int32_t tableID, TTableHolder*& holder) {
    TTableHolder probe(*this);
    probe.Table().m_tableID = tableID;
    if (!m_tables.Find(&probe)) return false;
    holder = static_cast<TTableHolder*>(m_tables.Current());
    return true;
}

void TCBDatabase::RemoveTable(int32_t tableID) {
    TTableHolder* holder = nullptr;
    if (!FindTable(tableID, holder)) return;
    holder->Table().Close();
    m_tables.Remove(holder);
    delete holder;
}

// --- TCBDataLayer ---------------------------------------------------------

TCBDataLayer::TCBDataLayer(TCBDatabase& database, const std::string& path,
                           const std::string& fileName)
    : m_database(database), m_path(path), m_fileName(fileName) {
    AttachTable();
}

TCBDataLayer::~TCBDataLayer() {
    try {
        DetachTable();
    } catch (...) {  // closing cannot fail today; a destructor must not throw anyway
    }
}

bool TCBDataLayer::IsActive() const {
    return m_attached && m_table->IsOpen();
}

int32_t TCBDataLayer::GetKey() {
    if (m_noKeyField) throw ECBDBError("TCBDataLayer.GetKey invoked when table has no KEY field");
    if (!IsActive()) {
        throw ECBDBError(
            FormatText(kNotOpen, (m_path + m_fileName).c_str(), "TCBDataLayer.GetKey"));
    }
    m_table->SelectTag(m_keyTag);
    m_table->Bottom();
    // An empty table has no last key: its blank key field counts as 0.
    int32_t n = m_table->Eof() ? 1 : m_table->GetFieldInt(m_keyField) + 1;
    constexpr int kMaxAttempts = 499;
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt, ++n) {
        if (!m_table->Seek(std::to_string(n), m_keyTag)) return n;
    }
    throw ECBDBError(
        FormatText("Max attempts exceeded on new record key for %s", m_fileName.c_str()));
}

void TCBDataLayer::AttachTable() {
    int32_t tableID = 0;
    m_table = m_database.AddTable(m_fileName, m_path, false, tableID);
    m_attached = true;
}

void TCBDataLayer::DetachTable() {
    if (!m_attached) return;
    if (IsActive()) Close();
    m_database.RemoveTable(m_table->TableID());
    m_table = nullptr;
    m_attached = false;
}

void TCBDataLayer::Open() {
    if (!m_attached) AttachTable();
    m_table->SetReadOnly(m_readOnly);
    m_table->Open();
}

void TCBDataLayer::Close() {
    if (IsActive()) m_table->Close();
}

bool TCBDataLayer::FindByKey(int32_t key) {
    if (m_noKeyField) return false;
    if (!IsActive()) {
        throw ECBDBError(
            FormatText(kNotOpen, (m_path + m_fileName).c_str(), "TCBDataLayer.FindByKey"));
    }
    return m_table->Seek(std::to_string(key), m_keyTag);
}

void TCBDataLayer::SetPath(const std::string& newPath) {
    const bool wasActive = IsActive();
    DetachTable();
    m_path = newPath;
    AttachTable();
    if (wasActive) Open();
}

void TCBDataLayer::SetFileName(const std::string& newName) {
    DetachTable();
    m_fileName = newName;
    AttachTable();
}
