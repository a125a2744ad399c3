#include "qelDataStorage.h"

#include <sys/stat.h>

#include <algorithm>
#include <utility>

#include "platform/Files.h"
#include "platform/IniText.h"
#include "qelXMLDoc.h"

namespace {

// A ReadTree over a hostile INI file could fan out without end even without a
// cycle; no real settings file comes near this.
constexpr size_t kMaxTreeItems = 100'000;

std::string WithSlash(const std::string& section) {
    return !section.empty() && section.back() == '/' ? section : section + "/";
}

std::string ItemPath(const std::string& section, const std::string& item) {
    return WithSlash(section) + item;
}

void CheckSection(const std::string& section, const char* operation) {
    if (section.empty())
        throw EqelDataStorageError(FormatText("Data path location not specified on %s", operation));
}

void CheckItem(const std::string& item, const char* operation) {
    if (item.empty())
        throw EqelDataStorageError(FormatText("Data item not specified on %s", operation));
}

// A wrapper found through the document, released when it goes.
class TFoundNode {
public:
    TFoundNode(TqelXMLDocument& document, TqelXMLNode* node) : m_document(document), m_node(node) {}
    ~TFoundNode() { m_document.ReleaseNode(m_node); }
    TFoundNode(const TFoundNode&) = delete;
    TFoundNode& operator=(const TFoundNode&) = delete;
    TqelXMLNode* operator->() const { return m_node; }
    TqelXMLNode& operator*() const { return *m_node; }
    explicit operator bool() const { return m_node != nullptr; }

private:
    TqelXMLDocument& m_document;
    TqelXMLNode* m_node;
};

// Calls f for each child element of `parent`, in document order. The walk
// hands out short-lived wrappers, so nothing piles up however many children.
template <typename F>
void ForEachChildElementOf(TqelXMLNode& parent, F f) {
    const int childLevel = parent.Level() + 1;
    parent.ForEachNode(
        NodeTypeSet({ntElement}),
        [&](void*, TqelXMLNode& node) {
            if (node.Level() == childLevel) f(node);
            return true;
        },
        nullptr);
}

std::string SectionLine(const std::string& name, const std::string& value) {
    return name + "=" + value;
}

}  // namespace

// -------------------------------------------------------------- TqelValuesList

TqelValuesList* TqelValuesList::Add(const std::string& name, const std::string& value) {
    m_items.push_back(std::make_unique<TqelValuesList>(name, value));
    return m_items.back().get();
}

// ------------------------------------------------------- TqelDataStorageAccess

void TqelDataStorageAccess::ReadSectionTexts(const std::string&, TqelStrings&) {
    throw EqelDataStorageError(
        FormatText("Abstract method %s called", "TqelDataStorageAccess.ReadSectionTexts"));
}

std::string TqelDataStorageAccess::FindSectionByID(const std::string& section, int id) {
    return FindSectionByID(section, std::to_string(id));
}

// ---------------------------------------------------- TqelXMLDataStorageAccess

TqelXMLDataStorageAccess::TqelXMLDataStorageAccess(const std::string& storageName)
    : m_document(std::make_unique<TqelXMLDocument>()) {
    m_document->SetFileName(storageName);
}

TqelXMLDataStorageAccess::~TqelXMLDataStorageAccess() = default;

void TqelXMLDataStorageAccess::EnsureLoaded() {
    if (m_loaded) return;
    m_document->Load();
    m_document->Root()->ResolveEntityReferences(TqelEntityResolution::Replace);
    m_loaded = true;
    m_processingInstructions.clear();
    m_document->DOMDocument()->ForEachNode(
        NodeTypeSet({ntProcessingInstruction}),
        [this](void*, TqelXMLNode& node) {
            m_processingInstructions.push_back(
                FormatText("%s=<%s>", node.PITarget().c_str(), node.PIData().c_str()));
            return true;
        },
        nullptr);
}

void TqelXMLDataStorageAccess::UpdateFile() {
    if (m_loaded) m_document->Save();
}

void TqelXMLDataStorageAccess::Reload() {
    m_loaded = false;
    EnsureLoaded();
}

bool TqelXMLDataStorageAccess::SectionExists(const std::string& section) {
    EnsureLoaded();
    return m_document->PathExists(section);
}

bool TqelXMLDataStorageAccess::ValueExists(const std::string& section, const std::string& item) {
    EnsureLoaded();
    return m_document->PathExists(ItemPath(section, item));
}

void TqelXMLDataStorageAccess::DeleteKey(const std::string& section, const std::string& item) {
    EraseSection(ItemPath(section, item) + "/");
}

std::string TqelXMLDataStorageAccess::ReadString(const std::string& section,
                                                 const std::string& item) {
    EnsureLoaded();
    return m_document->ReadValue(ItemPath(section, item));
}

void TqelXMLDataStorageAccess::WriteString(const std::string& section, const std::string& item,
                                           const std::string& value, bool asCData) {
    EnsureLoaded();
    const std::string path = ItemPath(section, item) + "/";
    if (!asCData) {
        m_document->WriteValue(path, value);
        return;
    }
    // The section is made before the old element goes, so that a value the
    // file cannot hold is refused with the old one still in place.
    TqelDOMDocument& dom = *m_document->DOMDocument();
    TqelXMLNode* cdata = dom.CreateCDATASection(value);
    try {
        EraseSection(path);
        TFoundNode element(*m_document, m_document->CreatePath(path));
        element->AppendChild(cdata);
    } catch (...) {
        dom.ReleaseNode(cdata);
        throw;
    }
    dom.ReleaseNode(cdata);
}

std::string TqelXMLDataStorageAccess::ReadAttribute(const std::string& section,
                                                    const std::string& name) {
    EnsureLoaded();
    TFoundNode element(*m_document, m_document->FindNode(WithSlash(section)));
    return element ? element->GetAttributeValue(name) : std::string();
}

void TqelXMLDataStorageAccess::WriteAttribute(const std::string& section, const std::string& name,
                                              const std::string& value) {
    EnsureLoaded();
    TFoundNode element(*m_document, m_document->FindNode(WithSlash(section)));
    if (element) element->SetAttributeValue(name, value);
}

template <typename F>
void TqelXMLDataStorageAccess::ForEachChildElement(const std::string& section, F f) {
    EnsureLoaded();
    TFoundNode element(*m_document, m_document->FindNode(section));
    if (element) ForEachChildElementOf(*element, f);
}

void TqelXMLDataStorageAccess::ReadSection(const std::string& section, TqelStrings& names) {
    ForEachChildElement(section, [&](TqelXMLNode& child) { names.push_back(child.NodeName()); });
}

void TqelXMLDataStorageAccess::ReadSectionValues(const std::string& section, TqelStrings& lines) {
    ForEachChildElement(section, [&](TqelXMLNode& child) {
        lines.push_back(SectionLine(child.NodeName(), child.TextContent()));
    });
}

void TqelXMLDataStorageAccess::ReadSectionTexts(const std::string& section, TqelStrings& texts) {
    ForEachChildElement(section, [&](TqelXMLNode& child) { texts.push_back(child.TextContent()); });
}

void TqelXMLDataStorageAccess::ReadTree(const std::string& section, TqelValuesList& tree) {
    EnsureLoaded();
    TFoundNode element(*m_document, m_document->FindNode(section));
    if (!element) return;
    tree.SetName(element->NodeName());
    // The walk visits elements in document order, each before its children:
    // the open lists by level give every element its parent item.
    const int baseLevel = element->Level();
    std::vector<TqelValuesList*> open{&tree};
    element->ForEachNode(
        NodeTypeSet({ntElement}),
        [&](void*, TqelXMLNode& node) {
            const int depth = node.Level() - baseLevel;  // 0 for the section itself
            if (depth == 0) return true;
            open.resize(static_cast<size_t>(depth));
            open.push_back(open.back()->Add(node.NodeName(), node.TextContent()));
            return true;
        },
        nullptr);
}

void TqelXMLDataStorageAccess::EraseSection(const std::string& section) {
    EnsureLoaded();
    TFoundNode element(*m_document, m_document->FindNode(section));
    if (!element) return;
    if (element->Level() == 1) {
        while (TqelXMLNode* child = element->GetChild(0)) element->RemoveChild(child);
        return;
    }
    TqelXMLNode* parent = element->ParentNode();
    parent->RemoveChild(&*element);
}

std::string TqelXMLDataStorageAccess::FindSectionByID(const std::string& section,
                                                      const std::string& id) {
    EnsureLoaded();
    std::string rest = section;
    if (!rest.empty() && rest.front() == '/') rest.erase(0, 1);
    const auto slash = rest.find('/');
    const std::string first = rest.substr(0, slash);
    TqelXMLNode* root = m_document->Root();
    const std::string path =
        !platform::SameTextNoCase(first, root->NodeName())
            ? section
            : (slash == std::string::npos ? std::string() : rest.substr(slash + 1));
    return root->FindChildNameByAttribute(path, "id", id);
}

const TqelStrings& TqelXMLDataStorageAccess::ProcessingInstructions() {
    EnsureLoaded();
    return m_processingInstructions;
}

// -------------------------------------------------------------- TqelMemIniFile

// Section names compare without regard to the case of ASCII letters.
std::string TqelMemIniFile::Folded(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return out;
}

TqelMemIniFile::TqelMemIniFile(std::string fileName) : m_fileName(std::move(fileName)) {
    Reload();
}

void TqelMemIniFile::Reload() {
    std::string text, error;
    if (platform::FileExists(m_fileName) && !platform::ReadWholeFile(m_fileName, text, &error))
        throw EFileError(error);
    Parse(text);
}

void TqelMemIniFile::Parse(const std::string& text) {
    // The line rules are the platform's profile-file rules; only what is kept
    // differs: no comments or blank lines, and values with their quotes, since
    // the whole file is written back from what is held here.
    const platform::IniText ini = platform::IniText::Parse(text);
    std::vector<TSection> sections;
    std::unordered_map<std::string, size_t> index;
    TSection* current = nullptr;
    for (const auto& line : ini.Lines()) {
        using Kind = platform::IniText::LineKind;
        if (line.kind == Kind::Section) {
            // A repeated section continues the first, so that no value of the
            // file becomes unreachable.
            const auto [it, added] = index.emplace(Folded(line.name), sections.size());
            if (added) sections.push_back(TSection{line.name, {}});
            current = &sections[it->second];
            continue;
        }
        if (!current) continue;
        const std::string trimmed = platform::TrimBlanks(line.text);
        if (line.kind == Kind::Value) {
            const std::string value = platform::TrimBlanks(trimmed.substr(trimmed.find('=') + 1));
            current->entries.push_back({line.name, value, true});
        } else if (!trimmed.empty() && trimmed[0] != ';') {
            current->entries.push_back({std::string(), trimmed, false});
        }
    }
    m_sections = std::move(sections);
    m_index = std::move(index);
}

std::string TqelMemIniFile::Text() const {
    std::string out;
    for (const auto& s : m_sections) {
        out += "[" + s.name + "]\r\n";
        for (const auto& e : s.entries)
            out += (e.hasKey ? e.key + "=" + e.value : e.value) + "\r\n";
        out += "\r\n";
    }
    return out;
}

void TqelMemIniFile::UpdateFile() const {
    std::string error;
    if (!platform::WriteFileAtomic(m_fileName, Text(), &error)) throw EFileError(error);
}

const TqelMemIniFile::TSection* TqelMemIniFile::Find(const std::string& section) const {
    const auto it = m_index.find(Folded(platform::TrimBlanks(section)));
    return it == m_index.end() ? nullptr : &m_sections[it->second];
}

TqelMemIniFile::TSection* TqelMemIniFile::Find(const std::string& section) {
    return const_cast<TSection*>(std::as_const(*this).Find(section));
}

namespace {

template <typename Entries>
auto FindKey(Entries& entries, const std::string& key) {
    const std::string name = platform::TrimBlanks(key);
    return std::find_if(entries.begin(), entries.end(), [&](const auto& e) {
        return e.hasKey && platform::SameTextNoCase(e.key, name);
    });
}

}  // namespace

bool TqelMemIniFile::SectionExists(const std::string& section) const {
    return Find(section) != nullptr;
}

bool TqelMemIniFile::ValueExists(const std::string& section, const std::string& key) const {
    const TSection* s = Find(section);
    return s && FindKey(s->entries, key) != s->entries.end();
}

std::string TqelMemIniFile::ReadString(const std::string& section, const std::string& key,
                                       const std::string& deflt) const {
    const TSection* s = Find(section);
    if (!s) return deflt;
    const auto it = FindKey(s->entries, key);
    return it == s->entries.end() ? deflt : it->value;
}

void TqelMemIniFile::WriteString(const std::string& section, const std::string& key,
                                 const std::string& value) {
    // What is written must read back as the same section and key: a line
    // break, a "]" in a section name, or a key with "=" or starting like a
    // comment or a section would turn into something else on the next load.
    const std::string name = platform::TrimBlanks(platform::IniText::SingleLine(section));
    const std::string k = platform::TrimBlanks(platform::IniText::SingleLine(key));
    if (name.find(']') != std::string::npos)
        throw EqelDataStorageError(
            FormatText("Section name not valid in an ini file (%s)", section.c_str()));
    if (k.find('=') != std::string::npos || (!k.empty() && (k[0] == ';' || k[0] == '[')))
        throw EqelDataStorageError(
            FormatText("Key name not valid in an ini file (%s)", key.c_str()));
    const std::string v = platform::IniText::SingleLine(value);
    TSection* s = Find(name);
    if (!s) {
        m_index.emplace(Folded(name), m_sections.size());
        m_sections.push_back({name, {}});
        s = &m_sections.back();
    }
    if (auto it = FindKey(s->entries, k); it != s->entries.end())
        it->value = v;
    else
        s->entries.push_back({k, v, true});
}

void TqelMemIniFile::DeleteKey(const std::string& section, const std::string& key) {
    TSection* s = Find(section);
    if (!s) return;
    const std::string name = platform::TrimBlanks(key);
    std::erase_if(s->entries, [&](const TEntry& e) {
        return e.hasKey && platform::SameTextNoCase(e.key, name);
    });
}

void TqelMemIniFile::EraseSection(const std::string& section) {
    const std::string name = platform::TrimBlanks(section);
    if (std::erase_if(m_sections, [&](const TSection& s) {
            return platform::SameTextNoCase(s.name, name);
        }) == 0)
        return;
    m_index.clear();
    for (size_t i = 0; i < m_sections.size(); ++i) m_index.emplace(Folded(m_sections[i].name), i);
}

TqelStrings TqelMemIniFile::Sections() const {
    TqelStrings out;
    for (const auto& s : m_sections) out.push_back(s.name);
    return out;
}

TqelStrings TqelMemIniFile::Keys(const std::string& section) const {
    TqelStrings out;
    if (const TSection* s = Find(section))
        for (const auto& e : s->entries)
            if (e.hasKey) out.push_back(e.key);
    return out;
}

TqelStrings TqelMemIniFile::SectionValues(const std::string& section) const {
    TqelStrings out;
    if (const TSection* s = Find(section))
        for (const auto& e : s->entries)
            if (e.hasKey) out.push_back(SectionLine(e.key, e.value));
    return out;
}

// ---------------------------------------------------- TqelINIDataStorageAccess

TqelINIDataStorageAccess::TqelINIDataStorageAccess(const std::string& storageName)
    : m_iniFile(std::make_unique<TqelMemIniFile>(storageName)) {}

void TqelINIDataStorageAccess::UpdateFile() {
    m_iniFile->UpdateFile();
}

void TqelINIDataStorageAccess::Reload() {
    m_iniFile->Reload();
}

bool TqelINIDataStorageAccess::SectionExists(const std::string& section) {
    return m_iniFile->SectionExists(section);
}

bool TqelINIDataStorageAccess::ValueExists(const std::string& section, const std::string& item) {
    return m_iniFile->ValueExists(section, item);
}

void TqelINIDataStorageAccess::DeleteKey(const std::string& section, const std::string& item) {
    m_iniFile->DeleteKey(section, item);
}

std::string TqelINIDataStorageAccess::ReadString(const std::string& section,
                                                 const std::string& item) {
    return m_iniFile->ReadString(section, item, "");
}

void TqelINIDataStorageAccess::WriteString(const std::string& section, const std::string& item,
                                           const std::string& value, bool) {
    m_iniFile->WriteString(section, item, value);
}

std::string TqelINIDataStorageAccess::ReadAttribute(const std::string& section,
                                                    const std::string& name) {
    return ReadString(section, name);
}

void TqelINIDataStorageAccess::WriteAttribute(const std::string& section, const std::string& name,
                                              const std::string& value) {
    WriteString(section, name, value, false);
}

void TqelINIDataStorageAccess::ReadSection(const std::string& section, TqelStrings& names) {
    names = section.empty() ? m_iniFile->Sections() : m_iniFile->Keys(section);
}

void TqelINIDataStorageAccess::ReadSectionValues(const std::string& section, TqelStrings& lines) {
    lines = section.empty() ? TqelStrings() : m_iniFile->SectionValues(section);
}

void TqelINIDataStorageAccess::ReadTree(const std::string& section, TqelValuesList& tree) {
    std::vector<std::string> chain;
    size_t items = 0;
    ReadTreeBelow(section, tree, chain, items);
}

void TqelINIDataStorageAccess::ReadTreeBelow(const std::string& section, TqelValuesList& tree,
                                             std::vector<std::string>& chain, size_t& items) {
    tree.SetName(section);
    const bool onTheWay = std::any_of(chain.begin(), chain.end(), [&](const std::string& s) {
        return platform::SameTextNoCase(platform::TrimBlanks(s), platform::TrimBlanks(section));
    });
    if (onTheWay) return;
    chain.push_back(section);
    for (const auto& key : m_iniFile->Keys(section)) {
        if (++items > kMaxTreeItems)
            throw EqelDataStorageError(FormatText("The tree of section %s is too large to be read",
                                                  chain.front().c_str()));
        const std::string value = m_iniFile->ReadString(section, key, "");
        ReadTreeBelow(value, *tree.Add(key, value), chain, items);
    }
    chain.pop_back();
}

void TqelINIDataStorageAccess::EraseSection(const std::string& section) {
    m_iniFile->EraseSection(section);
}

std::string TqelINIDataStorageAccess::FindSectionByID(const std::string&, const std::string& id) {
    for (const auto& name : m_iniFile->Sections())
        if (m_iniFile->ValueExists(name, "ID") && m_iniFile->ReadString(name, "ID", "") == id)
            return name;
    return {};
}

const TqelStrings& TqelINIDataStorageAccess::ProcessingInstructions() {
    if (!m_listBuilt) {
        m_processingInstructions.clear();
        for (const auto& line : m_iniFile->SectionValues("ProcessingInstructions")) {
            const auto eq = line.find('=');
            m_processingInstructions.push_back(
                FormatText("%s=<%s>", line.substr(0, eq).c_str(), line.substr(eq + 1).c_str()));
        }
        m_listBuilt = true;
    }
    return m_processingInstructions;
}

// ------------------------------------------------------------- TqelDataStorage

TqelDataStorage::TqelDataStorage() = default;
TqelDataStorage::~TqelDataStorage() = default;

void TqelDataStorage::SetStorageName(const std::string& name) {
    if (platform::SameTextNoCase(name, m_storageName)) return;
    m_storageName = name;
    m_access.reset();
}

void TqelDataStorage::SetStorageType(uint8_t type) {
    if (type == m_storageType) return;
    m_storageType = type;
    m_access.reset();
}

TqelDataStorageAccess& TqelDataStorage::Access() {
    if (m_access) return *m_access;
    if (m_storageType != stINI && m_storageType != stXML)
        throw EqelDataStorageError(
            "Storage type not implemented.  Cannot create storage access object.");
    if (m_storageName.empty())
        throw EqelDataStorageError("Storage name undefined.  Cannot create storage access.");
    if (platform::DirectoryExists(m_storageName))
        throw EqelDataStorageError(FormatText(
            "Storage name invalid (%s is a folder).  Cannot load storage data.",
            m_storageName.c_str()));
    if (struct stat st{}; ::stat(m_storageName.c_str(), &st) == 0 && st.st_size > kMaxStorageSize)
        throw EqelDataStorageError(FormatText(
            "Storage file %s is larger than %d MiB.  Cannot load storage data.",
            m_storageName.c_str(), static_cast<int>(kMaxStorageSize >> 20)));
    if (!platform::FileExists(m_storageName))
        throw EqelDataStorageError(FormatText(
            "Storage name invalid (%s).  Cannot load storage data.", m_storageName.c_str()));
    if (m_storageType == stINI)
        m_access = std::make_unique<TqelINIDataStorageAccess>(m_storageName);
    else
        m_access = std::make_unique<TqelXMLDataStorageAccess>(m_storageName);
    return *m_access;
}

void TqelDataStorage::UpdateFile() {
    Access().UpdateFile();
}

void TqelDataStorage::Reload() {
    Access().Reload();
}

void TqelDataStorage::EraseSection(const std::string& section) {
    CheckSection(section, "EraseSection");
    Access().EraseSection(section);
}

bool TqelDataStorage::ValueExists(const std::string& section, const std::string& item) {
    CheckSection(section, "ValueExists");
    CheckItem(item, "ValueExists");
    return Access().ValueExists(section, item);
}

void TqelDataStorage::DeleteKey(const std::string& section, const std::string& item) {
    CheckSection(section, "DeleteKey");
    CheckItem(item, "DeleteKey");
    Access().DeleteKey(section, item);
}

std::string TqelDataStorage::ReadAttribute(const std::string& section, const std::string& name) {
    CheckSection(section, "ReadAttribute");
    CheckItem(name, "ReadAttribute");
    return Access().ReadAttribute(section, name);
}

std::string TqelDataStorage::ReadData(const std::string& section, const std::string& item) {
    CheckSection(section, "ReadData");
    CheckItem(item, "ReadData");
    return Access().ReadString(section, item);
}

std::string TqelDataStorage::ReadString(const std::string& section, const std::string& item) {
    return ReadData(section, item);
}

void TqelDataStorage::WriteData(const std::string& section, const std::string& item,
                                const std::string& value, bool asCData) {
    CheckSection(section, "WriteData");
    CheckItem(item, "WriteData");
    Access().WriteString(section, item, value, asCData);
}

void TqelDataStorage::WriteString(const std::string& section, const std::string& item,
                                  const std::string& value) {
    WriteData(section, item, value, false);
}

void TqelDataStorage::WriteCData(const std::string& section, const std::string& item,
                                 const std::string& value) {
    WriteData(section, item, value, true);
}
