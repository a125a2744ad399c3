// A table opened through our xBase engine (xbase.h) for the tools that read:
// an engine session and one open table, both released by the destructor.
#pragma once

#include <string>
#include <vector>

#include "Schema.h"
#include "xbase.h"

class TEngineTable {
public:
    // Opens the table and its production index. Throws EXbaseWrite with the
    // engine's reason when it cannot. With `indexOptional`, a table whose
    // production index is missing (or cannot be opened) opens without it,
    // and IndexMissing() says so; a damaged index is still an error.
    explicit TEngineTable(const std::string& path, bool indexOptional = false);
    ~TEngineTable();
    TEngineTable(const TEngineTable&) = delete;
    TEngineTable& operator=(const TEngineTable&) = delete;

    XBENGINE* Engine() const { return m_engine; }
    XBDATA* Data() const { return m_data; }
    const std::string& Path() const { return m_path; }
    bool IndexMissing() const { return m_indexMissing; }

    // Throws EXbaseWrite "<what>: <reason>" when the engine has recorded an
    // error since the last check; clears it.
    void CheckError(const std::string& what) const;

    // The tags of the production index in directory order (none without an
    // index), with the filter kept in `filters` (empty when none).
    std::vector<TTagDef> Tags(std::vector<std::string>* filters = nullptr) const;

private:
    std::string m_path;
    XBENGINE* m_engine = nullptr;
    XBDATA* m_data = nullptr;
    bool m_indexMissing = false;
};

// "the index file is damaged or not an index (code -90)" and the like.
std::string EngineErrorText(int code);

// The tag definitions stored in a table's index, for rebuilding it. Throws
// EXbaseWrite when the table has no index, or a tag is one this writer cannot
// rebuild faithfully (a FOR condition or a descending tag).
std::vector<TTagDef> ReadIndexTags(const std::string& tablePath);
