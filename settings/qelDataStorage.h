// One way to read and write named values in a settings file, whatever its
// format: a value is addressed by a section and an item.
//
//   XML file  a section is a slash path of elements below the root element (a
//             first segment naming the root, in any letter case, is dropped);
//             an item is a child element of the section element, its value the
//             element's text (trimmed on reading); an attribute is an
//             attribute of the section element.
//   INI file  a section is the INI section named by the whole section string
//             ("[QELSettings/Backup]"); items and attributes are both keys.
//
// Changes live in memory until UpdateFile, which replaces the file atomically:
// a process that dies while saving leaves the old file whole.
//
// Ownership: TqelDataStorage owns its access object, which owns its document
// or in-memory INI file and its processing-instruction list. Not thread-safe.
//
// Errors: EqelDataStorageError for the checks of this layer; the errors of the
// XML layer (qelXMLDoc.h: EqelXMLDocException, EDOMException with
// "Parser error.", EFileError) pass through unchanged.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Exception.h"

class TqelXMLDocument;

class EqelDataStorageError : public Exception {
public:
    using Exception::Exception;
};

using TqelStrings = std::vector<std::string>;

// A tree of names and values; a list owns its children.
class TqelValuesList {
public:
    TqelValuesList() = default;
    TqelValuesList(std::string name, std::string value)
        : m_name(std::move(name)), m_value(std::move(value)) {}
    TqelValuesList(const TqelValuesList&) = delete;
    TqelValuesList& operator=(const TqelValuesList&) = delete;

    const std::string& Name() const { return m_name; }
    void SetName(const std::string& name) { m_name = name; }
    const std::string& Value() const { return m_value; }
    void SetValue(const std::string& value) { m_value = value; }
    const std::vector<std::unique_ptr<TqelValuesList>>& Items() const { return m_items; }

    // Appends a new child; it stays owned by this list.
    TqelValuesList* Add(const std::string& name, const std::string& value);

private:
    std::string m_name;
    std::string m_value;
    std::vector<std::unique_ptr<TqelValuesList>> m_items;
};

class TqelDataStorageAccess {
public:
    virtual ~TqelDataStorageAccess() = default;

    virtual void UpdateFile() = 0;
    virtual void Reload() = 0;
    virtual bool SectionExists(const std::string& section) = 0;
    virtual bool ValueExists(const std::string& section, const std::string& item) = 0;
    virtual void DeleteKey(const std::string& section, const std::string& item) = 0;
    virtual std::string ReadString(const std::string& section, const std::string& item) = 0;
    virtual void WriteString(const std::string& section, const std::string& item,
                             const std::string& value, bool asCData) = 0;
    virtual std::string ReadAttribute(const std::string& section, const std::string& name) = 0;
    virtual void WriteAttribute(const std::string& section, const std::string& name,
                                const std::string& value) = 0;
    virtual void ReadSection(const std::string& section, TqelStrings& names) = 0;
    virtual void ReadSectionValues(const std::string& section, TqelStrings& lines) = 0;
    // Only the XML access has it; elsewhere it is a programming error and
    // raises EqelDataStorageError.
    virtual void ReadSectionTexts(const std::string& section, TqelStrings& texts);
    virtual void ReadTree(const std::string& section, TqelValuesList& tree) = 0;
    virtual void EraseSection(const std::string& section) = 0;
    std::string FindSectionByID(const std::string& section, int id);
    virtual std::string FindSectionByID(const std::string& section, const std::string& id) = 0;
    // Lines "target=<data>"; the list belongs to the access object.
    virtual const TqelStrings& ProcessingInstructions() = 0;
};

class TqelXMLDataStorageAccess : public TqelDataStorageAccess {
public:
    // Binds the document to the file; nothing is read until the first use.
    explicit TqelXMLDataStorageAccess(const std::string& storageName);
    ~TqelXMLDataStorageAccess() override;

    // Saves only a document that has been loaded.
    void UpdateFile() override;
    void Reload() override;
    bool SectionExists(const std::string& section) override;
    bool ValueExists(const std::string& section, const std::string& item) override;
    void DeleteKey(const std::string& section, const std::string& item) override;
    std::string ReadString(const std::string& section, const std::string& item) override;
    void WriteString(const std::string& section, const std::string& item, const std::string& value,
                     bool asCData) override;
    std::string ReadAttribute(const std::string& section, const std::string& name) override;
    // An absent section element is not created.
    void WriteAttribute(const std::string& section, const std::string& name,
                        const std::string& value) override;
    // Appends to the list.
    void ReadSection(const std::string& section, TqelStrings& names) override;
    void ReadSectionValues(const std::string& section, TqelStrings& lines) override;
    void ReadSectionTexts(const std::string& section, TqelStrings& texts) override;
    void ReadTree(const std::string& section, TqelValuesList& tree) override;
    // Erasing the root element's own path empties it instead: a file without
    // a root element could not be read again.
    void EraseSection(const std::string& section) override;
    using TqelDataStorageAccess::FindSectionByID;
    std::string FindSectionByID(const std::string& section, const std::string& id) override;
    const TqelStrings& ProcessingInstructions() override;

    TqelXMLDocument& Document() { return *m_document; }

private:
    void EnsureLoaded();
    template <typename F>
    void ForEachChildElement(const std::string& section, F f);

    bool m_loaded = false;
    std::unique_ptr<TqelXMLDocument> m_document;
    TqelStrings m_processingInstructions;
};

// An INI file held in memory whole. Sections and keys compare without regard
// to letter case (the first of equal names wins); lines are trimmed; comments
// (";"), empty lines and lines before the first section are dropped; values
// are kept as they stand, quotes included. Written back in section order, an
// empty line after each section, CR LF after each line.
class TqelMemIniFile {
public:
    // Reads the file; a missing file gives an empty one. Raises EFileError
    // when it exists but cannot be read.
    explicit TqelMemIniFile(std::string fileName);

    const std::string& FileName() const { return m_fileName; }
    void Reload();
    // Raises EFileError when the file cannot be written; the old file is
    // then untouched.
    void UpdateFile() const;
    std::string Text() const;

    bool SectionExists(const std::string& section) const;
    bool ValueExists(const std::string& section, const std::string& key) const;
    std::string ReadString(const std::string& section, const std::string& key,
                           const std::string& deflt) const;
    // Raises EqelDataStorageError for a section or key the file format could
    // not read back as such.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void DeleteKey(const std::string& section, const std::string& key);
    void EraseSection(const std::string& section);
    TqelStrings Sections() const;
    TqelStrings Keys(const std::string& section) const;
    TqelStrings SectionValues(const std::string& section) const;  // "key=value"

private:
    struct TEntry {
        std::string key;    // empty for a line without "="
        std::string value;  // the whole line when it has no "="
        bool hasKey = false;
    };
    struct TSection {
        std::string name;
        std::vector<TEntry> entries;
    };
    void Parse(const std::string& text);
    static std::string Folded(std::string_view name);
    const TSection* Find(const std::string& section) const;
    TSection* Find(const std::string& section);

    std::string m_fileName;
    std::vector<TSection> m_sections;
    std::unordered_map<std::string, size_t> m_index;  // folded name -> position
};

class TqelINIDataStorageAccess : public TqelDataStorageAccess {
public:
    // Reads the whole file; raises EFileError when it cannot be read.
    explicit TqelINIDataStorageAccess(const std::string& storageName);

    void UpdateFile() override;
    void Reload() override;
    bool SectionExists(const std::string& section) override;
    bool ValueExists(const std::string& section, const std::string& item) override;
    void DeleteKey(const std::string& section, const std::string& item) override;
    std::string ReadString(const std::string& section, const std::string& item) override;
    // The CDATA flag has no meaning here.
    void WriteString(const std::string& section, const std::string& item, const std::string& value,
                     bool asCData) override;
    std::string ReadAttribute(const std::string& section, const std::string& name) override;
    void WriteAttribute(const std::string& section, const std::string& name,
                        const std::string& value) override;
    // Replace the list's contents. An empty section lists the section names
    // (ReadSection) or nothing (ReadSectionValues).
    void ReadSection(const std::string& section, TqelStrings& names) override;
    void ReadSectionValues(const std::string& section, TqelStrings& lines) override;
    // Follows each value as the name of a further section. A value naming a
    // section already on the way down is not followed again (the file would
    // otherwise never end), and a tree of more than 100,000 items raises
    // EqelDataStorageError.
    void ReadTree(const std::string& section, TqelValuesList& tree) override;
    void EraseSection(const std::string& section) override;
    using TqelDataStorageAccess::FindSectionByID;
    // The section argument is not used: the first section whose key "ID"
    // equals the identifier exactly.
    std::string FindSectionByID(const std::string& section, const std::string& id) override;
    // Built from the section "ProcessingInstructions" on the first call only.
    const TqelStrings& ProcessingInstructions() override;

private:
    void ReadTreeBelow(const std::string& section, TqelValuesList& tree,
                       std::vector<std::string>& chain, size_t& items);

    bool m_listBuilt = false;
    std::unique_ptr<TqelMemIniFile> m_iniFile;
    TqelStrings m_processingInstructions;
};

class TqelDataStorage {
public:
    enum : uint8_t { stINI = 1, stXML = 2 };
    // Settings files are small; a larger one is refused rather than loaded.
    static constexpr long long kMaxStorageSize = 64LL << 20;

    TqelDataStorage();
    ~TqelDataStorage();  // discards unwritten changes; call UpdateFile first
    TqelDataStorage(const TqelDataStorage&) = delete;
    TqelDataStorage& operator=(const TqelDataStorage&) = delete;

    const std::string& StorageName() const { return m_storageName; }
    // A name equal to the current one ignoring case changes nothing; any other
    // discards the access object without writing.
    void SetStorageName(const std::string& name);
    uint8_t StorageType() const { return m_storageType; }
    void SetStorageType(uint8_t type);

    // The access object, created on first use: raises EqelDataStorageError
    // "Storage type not implemented.  Cannot create storage access object.",
    // "Storage name undefined.  Cannot create storage access." or
    // "Storage name invalid (<name>).  Cannot load storage data." (the file
    // must exist: the storage never creates one; a folder is named as such),
    // or, for a file above kMaxStorageSize, "Storage file <name> is larger
    // than 64 MiB.  Cannot load storage data.". Owned by the storage.
    TqelDataStorageAccess& Access();

    // Each raises "Data path location not specified on <operation>" for an
    // empty section, then "Data item not specified on <operation>" for an
    // empty item, before anything is opened.
    void UpdateFile();
    void Reload();
    void EraseSection(const std::string& section);
    bool ValueExists(const std::string& section, const std::string& item);
    void DeleteKey(const std::string& section, const std::string& item);
    std::string ReadAttribute(const std::string& section, const std::string& name);
    std::string ReadData(const std::string& section, const std::string& item);
    std::string ReadString(const std::string& section, const std::string& item);
    void WriteData(const std::string& section, const std::string& item, const std::string& value,
                   bool asCData);
    void WriteString(const std::string& section, const std::string& item, const std::string& value);
    void WriteCData(const std::string& section, const std::string& item, const std::string& value);

private:
    std::unique_ptr<TqelDataStorageAccess> m_access;
    std::string m_storageName;
    uint8_t m_storageType = stXML;
};
