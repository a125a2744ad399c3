#include "qelXMLDoc.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/valid.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <thread>

#include "platform/Files.h"
#include "platform/IniText.h"
#include "platform/TextCodec.h"

namespace {

// libxml2 refuses text nodes above 10,000,000 bytes and names above 50,000
// when reading; anything we write must stay readable, or the settings object
// would set the whole file aside as unparsable on the next run.
constexpr size_t kMaxStoredText = 8'000'000;
constexpr size_t kMaxStoredName = 40'000;
// libxml2 reads at most 256 levels of elements.
constexpr int kMaxCreatedLevel = 250;
// Nodes copied by one ResolveEntityReferences, so that a reference chain can
// never balloon the tree.
constexpr size_t kMaxResolvedNodes = 100'000;

std::string ToDom(const std::string& ansi) {
    return platform::AnsiToUtf8(ansi);
}

std::string FromDom(const xmlChar* utf8) {
    return utf8 ? platform::Utf8ToAnsi(reinterpret_cast<const char*>(utf8)) : std::string();
}

const xmlChar* Bytes(const std::string& s) {
    return reinterpret_cast<const xmlChar*>(s.c_str());
}

// Takes ownership of a string libxml2 allocated.
std::string TakeDom(xmlChar* utf8) {
    std::string out = FromDom(utf8);
    if (utf8) xmlFree(utf8);
    return out;
}

int DomType(const xmlNode* node) {
    if (!node) return ntNone;
    switch (node->type) {
        case XML_ELEMENT_NODE:
            return ntElement;
        case XML_ATTRIBUTE_NODE:
            return ntAttribute;
        case XML_TEXT_NODE:
            return ntText;
        case XML_CDATA_SECTION_NODE:
            return ntCDATASection;
        case XML_ENTITY_REF_NODE:
            return ntEntityReference;
        case XML_ENTITY_NODE:
        case XML_ENTITY_DECL:
            return ntEntity;
        case XML_PI_NODE:
            return ntProcessingInstruction;
        case XML_COMMENT_NODE:
            return ntComment;
        case XML_DOCUMENT_NODE:
        case XML_HTML_DOCUMENT_NODE:
            return ntDocument;
        case XML_DOCUMENT_TYPE_NODE:
        case XML_DTD_NODE:
            return ntDocumentType;
        case XML_DOCUMENT_FRAG_NODE:
            return ntDocumentFragment;
        case XML_NOTATION_NODE:
            return ntNotation;
        default:
            return ntNone;
    }
}

// The DOM's child list: libxml2 hangs declarations below the DTD node and the
// entity itself below a reference; neither are children in DOM terms.
xmlNode* FirstChildOf(const xmlNode* node) {
    if (!node) return nullptr;
    switch (DomType(node)) {
        case ntElement:
        case ntAttribute:
        case ntDocument:
        case ntDocumentFragment:
            return node->children;
        default:
            return nullptr;
    }
}

xmlNode* LastChildOf(const xmlNode* node) {
    return FirstChildOf(node) ? node->last : nullptr;
}

xmlNode* ParentOf(const xmlNode* node) {
    if (!node || DomType(node) == ntAttribute || DomType(node) == ntDocument) return nullptr;
    return node->parent;
}

std::string QualifiedName(const xmlNode* node) {
    std::string name = node->name ? reinterpret_cast<const char*>(node->name) : "";
    if ((node->type == XML_ELEMENT_NODE || node->type == XML_ATTRIBUTE_NODE) && node->ns &&
        node->ns->prefix)
        name = reinterpret_cast<const char*>(node->ns->prefix) + (":" + name);
    return name;
}

xmlAttr* FindAttribute(const xmlNode* element, const std::string& utf8Name) {
    if (!element || element->type != XML_ELEMENT_NODE) return nullptr;
    for (xmlAttr* a = element->properties; a; a = a->next)
        if (QualifiedName(reinterpret_cast<const xmlNode*>(a)) == utf8Name) return a;
    return nullptr;
}

bool IsAncestorOrSelf(const xmlNode* candidate, const xmlNode* node) {
    for (const xmlNode* n = node; n; n = n->parent)
        if (n == candidate) return true;
    return false;
}

// Links `child` into `parent` before `reference` (at the end when null).
// libxml2's own insertion calls merge adjacent text nodes and free one of
// them, which would both undo the indentation rule and leave wrappers
// pointing at freed nodes.
void LinkChild(xmlNode* parent, xmlNode* child, xmlNode* reference) {
    xmlUnlinkNode(child);
    if (child->doc != parent->doc) xmlSetTreeDoc(child, parent->doc);
    child->parent = parent;
    if (reference) {
        child->next = reference;
        child->prev = reference->prev;
        if (reference->prev)
            reference->prev->next = child;
        else
            parent->children = child;
        reference->prev = child;
    } else {
        child->next = nullptr;
        child->prev = parent->last;
        if (parent->last)
            parent->last->next = child;
        else
            parent->children = child;
        parent->last = child;
    }
}

std::string Tabs(int count) {
    return "\n" + std::string(static_cast<size_t>(std::max(count, 0)), '\t');
}

void CheckStorableName(const std::string& ansiName) {
    if (!IsValidXMLName(ansiName))
        throw EDOMException(
            FormatText("Invalid character error: '%s' is not a valid XML name", ansiName.c_str()));
}

// XML 1.0 cannot hold C0 control characters other than tab, line feed and
// carriage return, not even as character references.
void CheckStorableText(const std::string& ansi, size_t utf8Size) {
    for (unsigned char c : ansi)
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            throw EDOMException(FormatText(
                "Invalid character error: character code %d cannot be stored in XML", c));
    if (utf8Size > kMaxStoredText)
        throw EDOMException(
            FormatText("Text of %zu bytes is too long to be stored in XML", utf8Size));
}

std::string StorableText(const std::string& ansi) {
    std::string utf8 = ToDom(ansi);
    CheckStorableText(ansi, utf8.size());
    return utf8;
}

// While a settings file is parsed, every external entity or DTD is refused,
// local files included: NONET alone still lets entities read local files.
class TRefuseExternalLoads {
public:
    TRefuseExternalLoads() : m_previous(xmlGetExternalEntityLoader()) {
        xmlSetExternalEntityLoader(Refuse);
    }
    ~TRefuseExternalLoads() { xmlSetExternalEntityLoader(m_previous); }
    TRefuseExternalLoads(const TRefuseExternalLoads&) = delete;
    TRefuseExternalLoads& operator=(const TRefuseExternalLoads&) = delete;

private:
    static xmlParserInputPtr Refuse(const char*, const char*, xmlParserCtxtPtr) { return nullptr; }
    xmlExternalEntityLoader m_previous;
};

void SilentValidityError(void*, const char*, ...) {}

void ProcessDocumentType(xmlDoc* doc) {
    if (!xmlGetIntSubset(doc)) return;
    // Settings files carry no document-type declaration; when one is there,
    // its notation references are checked as the DOM's DTD step does. The
    // outcome is not used, so nothing is reported.
    xmlValidCtxt ctxt{};
    ctxt.error = SilentValidityError;
    ctxt.warning = SilentValidityError;
    TRefuseExternalLoads refuse;
    xmlValidateDtdFinal(&ctxt, doc);
}

TqelXMLDocument::TRetryWait& RetryWait() {
    static TqelXMLDocument::TRetryWait wait;
    return wait;
}

void WaitBeforeRetry(int milliseconds) {
    if (RetryWait())
        RetryWait()(milliseconds);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// WriteFileAtomic reports which step failed in the first words of its error.
// Not being able to create (or put in place) the file is worth another try,
// as another program may hold it; a failing write is not.
bool CouldNotCreate(const std::string& error) {
    return error.rfind("Cannot create", 0) == 0 || error.rfind("Cannot replace", 0) == 0;
}

}  // namespace

bool IsValidXMLName(const std::string& name) {
    const std::string utf8 = ToDom(name);
    return !utf8.empty() && utf8.size() <= kMaxStoredName && xmlValidateName(Bytes(utf8), 0) == 0;
}

void RaiseXMLDocError(int code, const std::string& argument) {
    const char* a = argument.c_str();
    switch (code) {
        case -900:
            throw EqelXMLDocException(FormatText("File name not specified on %s.%s", a, "Load"));
        case -901:
            throw EqelXMLDocException(FormatText("File name not specified on %s.%s", a, "Save"));
        case -902:
            throw EqelXMLDocException(
                FormatText("The specified file (%s) does not exist or could not be found", a));
        case -903:
            throw EqelXMLDocException(FormatText("No source node specified on %s", a));
        case -904:
            throw EqelXMLDocException(FormatText("Index out of range on %s", a));
        case -905:
            throw EqelXMLDocException(FormatText("Invalid Node Type for action (%s)", a));
        case -906:
            throw EqelXMLDocException(FormatText("The specified node path was invalid (%s)", a));
        case -907:
            throw EqelXMLDocException(FormatText("No parent node available on %s", a));
        default:
            throw EqelXMLDocException(
                FormatText("An exception (%d) occurred in %s", code, "qelXMLDoc"));
    }
}

// ---------------------------------------------------------------- TqelXMLNode

TqelXMLNode::TqelXMLNode(TqelDOMDocument* owner, _xmlNode* node)
    : m_ownerDocument(owner), m_node(node) {}

TqelXMLNode::~TqelXMLNode() = default;

void TqelXMLNode::SetNode(_xmlNode* node) {
    m_node = node;
    m_hasChildElements = false;
}

TqelXMLNode* TqelXMLNode::Adopt(_xmlNode* node) {
    if (!node) return nullptr;
    m_ownedWrappers.push_back(std::make_unique<TqelXMLNode>(m_ownerDocument, node));
    return m_ownedWrappers.back().get();
}

void TqelXMLNode::ReleaseNode(TqelXMLNode* node) {
    if (!node || (m_ownerDocument && node == m_ownerDocument->m_root)) return;
    auto it = std::find_if(m_ownedWrappers.begin(), m_ownedWrappers.end(),
                           [node](const auto& w) { return w.get() == node; });
    if (it != m_ownedWrappers.end()) m_ownedWrappers.erase(it);
}

int TqelXMLNode::NodeType() const {
    return DomType(m_node);
}

std::string TqelXMLNode::NodeName() const {
    if (!m_node) return {};
    switch (NodeType()) {
        case ntText:
            return "#text";
        case ntCDATASection:
            return "#cdata-section";
        case ntComment:
            return "#comment";
        case ntDocument:
            return "#document";
        case ntDocumentFragment:
            return "#document-fragment";
        default:
            return FromDom(Bytes(QualifiedName(m_node)));
    }
}

std::string TqelXMLNode::NodeValue() {
    if (!m_node) return {};
    ResolveEntityReferences(TqelEntityResolution::Replace);
    switch (NodeType()) {
        case ntAttribute:
        case ntText:
        case ntCDATASection:
        case ntComment:
        case ntProcessingInstruction:
            return TakeDom(xmlNodeGetContent(m_node));
        default:
            return {};
    }
}

std::string TqelXMLNode::TextContent() {
    if (!m_node) return {};
    ResolveEntityReferences(TqelEntityResolution::Replace);
    switch (NodeType()) {
        case ntDocument:
        case ntDocumentType:
        case ntNotation:
        case ntNone:
            return {};
        default:
            return TakeDom(xmlNodeGetContent(m_node));
    }
}

void TqelXMLNode::SetNodeValue(const std::string& value) {
    if (!m_node) return;
    switch (NodeType()) {
        case ntAttribute: {
            const std::string utf8 = StorableText(value);
            // xmlSetNsProp takes the value literally; setting the attribute's
            // content directly would parse "&" as the start of a reference.
            xmlSetNsProp(m_node->parent, m_node->ns, m_node->name, Bytes(utf8));
            break;
        }
        case ntText:
        case ntCDATASection:
        case ntComment:
        case ntProcessingInstruction: {
            const std::string utf8 = StorableText(value);
            xmlNodeSetContent(m_node, Bytes(utf8));
            break;
        }
        default:
            break;
    }
}

void TqelXMLNode::SetText(const std::string& value) {
    if (!m_node) return;
    const std::string utf8 = StorableText(value);
    // The element's text is its text and CDATA children. Between child
    // elements, blank text is their indentation and stays; the elements stay.
    bool hasElements = false;
    for (xmlNode* c = FirstChildOf(m_node); c; c = c->next)
        if (c->type == XML_ELEMENT_NODE) hasElements = true;
    auto isIndentation = [&](xmlNode* c) {
        if (!hasElements || c->type != XML_TEXT_NODE) return false;
        for (const xmlChar* b = c->content; b && *b; ++b)
            if (*b != ' ' && *b != '\t' && *b != '\r' && *b != '\n') return false;
        return true;
    };
    xmlNode* text = nullptr;
    for (xmlNode *c = FirstChildOf(m_node), *next = nullptr; c; c = next) {
        next = c->next;
        if (c->type != XML_TEXT_NODE && c->type != XML_CDATA_SECTION_NODE) continue;
        if (isIndentation(c)) continue;
        if (!text && c->type == XML_TEXT_NODE) {
            text = c;
            continue;
        }
        // Wrappers may still point at it: kept alive until the document goes.
        xmlUnlinkNode(c);
        m_ownerDocument->Implementation().AdoptLooseNode(c);
    }
    if (!text) {
        TqelXMLNode* created = m_ownerDocument->CreateTextNode("");
        text = created->m_node;
        m_ownerDocument->ReleaseNode(created);
        LinkChild(m_node, text, hasElements ? FirstChildOf(m_node) : nullptr);
    }
    xmlNodeSetContent(text, Bytes(utf8));
}

void TqelXMLNode::ResolveEntityReferences(TqelEntityResolution option) {
    if (!m_node) RaiseXMLDocError(-903, "TqelXMLNode.ResolveEntityReferences");
    if (option == TqelEntityResolution::Expand) return;
    size_t copied = 0;
    std::vector<xmlNode*> pending{m_node};
    while (!pending.empty()) {
        xmlNode* node = pending.back();
        pending.pop_back();
        if (node->type == XML_ENTITY_REF_NODE) {
            xmlEntity* entity = xmlGetDocEntity(node->doc, node->name);
            xmlNode* parent = node->parent;
            // An unknown entity has nothing to replace it with; it stays.
            if (!entity || !parent || copied >= kMaxResolvedNodes) continue;
            xmlNode* content = nullptr;
            if (entity->etype == XML_INTERNAL_PREDEFINED_ENTITY)
                content = xmlNewDocText(node->doc, entity->content);
            else if (entity->children)
                content = xmlDocCopyNodeList(node->doc, entity->children);
            else if (entity->content)
                content = xmlStringGetNodeList(node->doc, entity->content);
            while (content) {
                xmlNode* next = content->next;
                content->prev = content->next = nullptr;
                content->parent = nullptr;
                LinkChild(parent, content, node);
                pending.push_back(content);
                ++copied;
                content = next;
            }
            xmlUnlinkNode(node);
            m_ownerDocument->Implementation().AdoptLooseNode(node);
            continue;
        }
        for (xmlNode* c = FirstChildOf(node); c; c = c->next) pending.push_back(c);
    }
}

bool TqelXMLNode::HasAttributes() const {
    return m_node && m_node->type == XML_ELEMENT_NODE && m_node->properties;
}

TqelXMLNode* TqelXMLNode::GetAttributeNode(const std::string& name) {
    if (!HasAttributes()) return nullptr;
    return Adopt(reinterpret_cast<xmlNode*>(FindAttribute(m_node, ToDom(name))));
}

std::string TqelXMLNode::GetAttributeValue(const std::string& name) {
    TqelXMLNode* attribute = GetAttributeNode(name);
    if (!attribute) return {};
    std::string value = attribute->NodeValue();
    ReleaseNode(attribute);
    return value;
}

void TqelXMLNode::SetAttributeValue(const std::string& name, const std::string& value) {
    if (NodeType() != ntElement)
        RaiseXMLDocError(-905, FormatText("NodeType %d on SetAttributeValue", NodeType()));
    CheckStorableName(name);
    const std::string utf8Name = ToDom(name);
    const std::string utf8 = StorableText(value);
    xmlSetProp(m_node, Bytes(utf8Name), Bytes(utf8));
}

int TqelXMLNode::ChildCount() const {
    int count = 0;
    for (xmlNode* c = FirstChildOf(m_node); c; c = c->next) ++count;
    return count;
}

TqelXMLNode* TqelXMLNode::GetChild(int index) {
    xmlNode* c = FirstChildOf(m_node);
    if (!c) return nullptr;
    if (index < 0) RaiseXMLDocError(-904, "TqelXMLNode.GetChild");
    for (int i = 0; c && i < index; ++i) c = c->next;
    if (!c) RaiseXMLDocError(-904, "TqelXMLNode.GetChild");
    return Adopt(c);
}

namespace {

xmlNode* FindChildElement(const xmlNode* parent, const std::string& utf8Name) {
    for (xmlNode* c = FirstChildOf(parent); c; c = c->next)
        if (c->type == XML_ELEMENT_NODE && QualifiedName(c) == utf8Name) return c;
    return nullptr;
}

// "a/b" -> "a", "b/"; "b/" -> "b", "".
void SplitPath(std::string path, std::string& first, std::string& rest) {
    if (path.empty() || path.back() != '/') path += '/';
    if (path.front() == '/') path.erase(0, 1);
    const auto slash = path.find('/');
    if (slash == std::string::npos) {
        first = path;
        rest.clear();
    } else {
        first = path.substr(0, slash);
        rest = path.substr(slash + 1);
    }
}

}  // namespace

TqelXMLNode* TqelXMLNode::FindChild(const std::string& name) {
    return Adopt(FindChildElement(m_node, ToDom(name)));
}

TqelXMLNode* TqelXMLNode::FirstChildElement() {
    for (xmlNode* c = FirstChildOf(m_node); c; c = c->next)
        if (c->type == XML_ELEMENT_NODE) return Adopt(c);
    return nullptr;
}

TqelXMLNode* TqelXMLNode::ParentNode() {
    return Adopt(ParentOf(m_node));
}

TqelXMLNode* TqelXMLNode::NextSibling() {
    if (!m_node || DomType(m_node) == ntAttribute || DomType(m_node) == ntDocument) return nullptr;
    return Adopt(m_node->next);
}

TqelXMLNode* TqelXMLNode::PreviousSibling() {
    if (!m_node || DomType(m_node) == ntAttribute || DomType(m_node) == ntDocument) return nullptr;
    return Adopt(m_node->prev);
}

int TqelXMLNode::Level() const {
    int level = 0;
    for (xmlNode* p = ParentOf(m_node); p; p = ParentOf(p)) ++level;
    return level;
}

bool TqelXMLNode::HasChildElements() {
    if (m_hasChildElements) return true;
    for (xmlNode* c = FirstChildOf(m_node); c; c = c->next)
        if (c->type == XML_ELEMENT_NODE) return m_hasChildElements = true;
    return false;
}

std::string TqelXMLNode::PITarget() const {
    return NodeType() == ntProcessingInstruction ? FromDom(m_node->name) : std::string();
}

std::string TqelXMLNode::PIData() const {
    return NodeType() == ntProcessingInstruction ? FromDom(m_node->content) : std::string();
}

void TqelXMLNode::AppendChild(TqelXMLNode* child) {
    if (!m_node) RaiseXMLDocError(-903, "TqelXMLNode.AppendChild");
    if (!child || !child->m_node) RaiseXMLDocError(-903, "TqelXMLNode.AppendChild");
    xmlNode* node = child->m_node;
    const int parentType = NodeType();
    const int childType = child->NodeType();
    // Anything else would corrupt the tree or the file: a node inside itself,
    // a second root element, text outside the root.
    bool allowed =
        parentType == ntElement || parentType == ntDocumentFragment || parentType == ntDocument;
    switch (childType) {
        case ntElement:
            if (parentType == ntDocument) {
                const xmlNode* root = xmlDocGetRootElement(reinterpret_cast<xmlDoc*>(m_node));
                allowed = allowed && (!root || root == node);
            }
            break;
        case ntText:
        case ntCDATASection:
        case ntEntityReference:
            allowed = allowed && parentType != ntDocument;
            break;
        case ntComment:
        case ntProcessingInstruction:
            break;
        default:
            allowed = false;
    }
    if (!allowed || IsAncestorOrSelf(node, m_node))
        throw EDOMException("Hierarchy request error: the node cannot be inserted there");

    const bool format = parentType != ntDocument && m_ownerDocument &&
                        m_ownerDocument->Formatting() && childType != ntText &&
                        childType != ntCDATASection;
    if (!format) {
        LinkChild(m_node, node, nullptr);
        return;
    }
    auto newText = [this](const std::string& text) {
        TqelXMLNode* w = m_ownerDocument->CreateTextNode(text);
        xmlNode* n = w->m_node;
        m_ownerDocument->ReleaseNode(w);
        return n;
    };
    const int level = Level();
    if (!FirstChildOf(m_node)) LinkChild(m_node, newText(Tabs(level - 1)), nullptr);
    xmlNode* reference = nullptr;
    for (xmlNode* c = LastChildOf(m_node); c; c = c->prev)
        if (c->type == XML_TEXT_NODE) {
            reference = c;
            break;
        }
    LinkChild(m_node, newText(Tabs(level)), reference);
    LinkChild(m_node, node, reference);
    if (childType == ntElement) m_hasChildElements = true;
}

void TqelXMLNode::AppendCDATA(const std::string& text) {
    TqelXMLNode* cdata = m_ownerDocument->CreateCDATASection(text);
    try {
        AppendChild(cdata);
    } catch (...) {
        m_ownerDocument->ReleaseNode(cdata);
        throw;
    }
    m_ownerDocument->ReleaseNode(cdata);
}

void TqelXMLNode::RemoveChild(TqelXMLNode* child) {
    if (!m_node) RaiseXMLDocError(-903, "TqelXMLNode.RemoveChild");
    if (!child || !child->m_node) RaiseXMLDocError(-903, "TqelXMLNode.RemoveChild");
    xmlNode* node = child->m_node;
    if (ParentOf(node) != m_node) RaiseXMLDocError(-907, "TqelXMLNode.RemoveChild");
    TqelDOMImplementation& implementation = m_ownerDocument->Implementation();
    if (m_ownerDocument->Formatting() && node->prev && node->prev->type == XML_TEXT_NODE) {
        xmlNode* indentation = node->prev;
        xmlUnlinkNode(indentation);
        implementation.AdoptLooseNode(indentation);
    }
    xmlUnlinkNode(node);
    implementation.AdoptLooseNode(node);
    m_hasChildElements = false;
    ReleaseNode(child);
}

TqelXMLNode* TqelXMLNode::FindNode(const std::string& path) {
    if (!m_node || path.empty()) return nullptr;
    xmlNode* node = m_node;
    std::string remaining = path, first;
    do {
        SplitPath(remaining, first, remaining);
        node = FindChildElement(node, ToDom(first));
    } while (node && !remaining.empty());
    return Adopt(node);
}

bool TqelXMLNode::PathExists(const std::string& path) {
    TqelXMLNode* found = FindNode(path);
    ReleaseNode(found);
    return found != nullptr;
}

TqelXMLNode* TqelXMLNode::CreatePath(const std::string& path) {
    if (path.empty()) RaiseXMLDocError(-906, "Empty path string on CreatePath");
    if (!m_node) RaiseXMLDocError(-903, "TqelXMLNode.CreatePath");
    // A file nested deeper than the reader accepts could not be loaded again.
    int segments = 0;
    for (std::string rest = path, first; !rest.empty(); ++segments) SplitPath(rest, first, rest);
    if (Level() + segments > kMaxCreatedLevel)
        RaiseXMLDocError(-906, "Path too deep on CreatePath");

    TqelXMLNode walker(m_ownerDocument, m_node);
    std::string remaining = path, first;
    do {
        SplitPath(remaining, first, remaining);
        xmlNode* next = remaining.empty() ? nullptr : FindChildElement(walker.m_node, ToDom(first));
        if (!next) {
            TqelXMLNode* element = m_ownerDocument->CreateElement(first);
            next = element->m_node;
            try {
                walker.AppendChild(element);
            } catch (...) {
                m_ownerDocument->ReleaseNode(element);
                throw;
            }
            m_ownerDocument->ReleaseNode(element);
        }
        walker.SetNode(next);
    } while (!remaining.empty());
    return Adopt(walker.m_node);
}

std::string TqelXMLNode::FindChildNameByAttribute(const std::string& path,
                                                  const std::string& attribute,
                                                  const std::string& value) {
    TqelXMLNode* start = path.empty() ? this : FindNode(path);
    if (!start) return {};
    std::string name;
    TqelXMLNode* first = start->FirstChildElement();
    for (xmlNode* n = first ? first->m_node : nullptr; n; n = n->next) {
        TqelXMLNode candidate(m_ownerDocument, n);
        if (platform::SameTextNoCase(candidate.GetAttributeValue(attribute), value)) {
            name = candidate.NodeName();
            break;
        }
    }
    start->ReleaseNode(first);
    if (start != this) ReleaseNode(start);
    return name;
}

bool TqelXMLNode::ForEachNode(TqelNodeTypes types, const TqelNodeCallback& callback,
                              void* context) {
    if (InNodeTypes(types, NodeType()) && !callback(context, *this)) return false;
    for (xmlNode* c = FirstChildOf(m_node); c; c = c->next) {
        if (!InNodeTypes(types, DomType(c))) continue;
        TqelXMLNode child(m_ownerDocument, c);
        if (!child.ForEachNode(types, callback, context)) return false;
    }
    return true;
}

// ------------------------------------------------------ TqelDOMImplementation

TqelDOMImplementation::TqelDOMImplementation() {
    xmlInitParser();
}

TqelDOMImplementation::~TqelDOMImplementation() {
    // Only nodes still outside any tree are freed here; the others go with
    // the tree they were put back into. Decide for all before freeing any.
    std::sort(m_looseNodes.begin(), m_looseNodes.end());
    m_looseNodes.erase(std::unique(m_looseNodes.begin(), m_looseNodes.end()), m_looseNodes.end());
    std::vector<xmlNode*> detached;
    for (xmlNode* n : m_looseNodes)
        if (!n->parent) detached.push_back(n);
    for (xmlNode* n : detached) xmlFreeNode(n);
    for (xmlDoc* d : m_documents) xmlFreeDoc(d);
}

void TqelDOMImplementation::AdoptDocument(_xmlDoc* doc) {
    m_documents.push_back(doc);
}

void TqelDOMImplementation::AdoptLooseNode(_xmlNode* node) {
    m_looseNodes.push_back(node);
}

// --------------------------------------------------------------- TqelDOMParser

_xmlDoc* TqelDOMParser::Parse(const std::string& bytes, const std::string& url) {
    if (bytes.size() > static_cast<size_t>(INT_MAX))
        throw EDOMException("Parser error.", "too large");
    xmlParserCtxtPtr ctxt = xmlNewParserCtxt();
    if (!ctxt) throw EDOMException("Parser error.", "out of memory");
    xmlDoc* doc = nullptr;
    {
        TRefuseExternalLoads refuse;
        doc = xmlCtxtReadMemory(ctxt, bytes.data(), static_cast<int>(bytes.size()), url.c_str(),
                                nullptr,
                                XML_PARSE_NOENT | XML_PARSE_NONET | XML_PARSE_NODICT |
                                    XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
    }
    std::string detail;
    if (const xmlError* e = xmlCtxtGetLastError(ctxt); e && e->message)
        detail = FormatText("line %d: %s", e->line, platform::TrimBlanks(e->message).c_str());
    const bool wellFormed = ctxt->wellFormed != 0;
    xmlFreeParserCtxt(ctxt);
    if (doc && (!wellFormed || !xmlDocGetRootElement(doc))) {
        xmlFreeDoc(doc);
        doc = nullptr;
    }
    if (!doc) throw EDOMException("Parser error.", detail);
    m_implementation.AdoptDocument(doc);
    return doc;
}

// ------------------------------------------------------------- TqelDOMDocument

TqelDOMDocument::TqelDOMDocument(TqelXMLDocument* owner, TqelDOMImplementation& implementation)
    : TqelXMLNode(this, nullptr), m_owner(owner), m_implementation(implementation) {
    m_ownedWrappers.push_back(std::make_unique<TqelXMLNode>(this, nullptr));
    m_root = m_ownedWrappers.back().get();
}

TqelDOMDocument::~TqelDOMDocument() = default;

void TqelDOMDocument::SetDocument(_xmlDoc* domDocument) {
    SetNode(reinterpret_cast<xmlNode*>(domDocument));
    m_root->SetNode(domDocument ? xmlDocGetRootElement(domDocument) : nullptr);
}

TqelXMLNode* TqelDOMDocument::CreateElement(const std::string& name) {
    if (!Node()) RaiseXMLDocError(-903, "TqelDOMDocument.CreateElement");
    CheckStorableName(name);
    const std::string utf8 = ToDom(name);
    xmlNode* node = xmlNewDocNode(reinterpret_cast<xmlDoc*>(Node()), nullptr, Bytes(utf8), nullptr);
    m_implementation.AdoptLooseNode(node);
    return Adopt(node);
}

TqelXMLNode* TqelDOMDocument::CreateTextNode(const std::string& text) {
    if (!Node()) RaiseXMLDocError(-903, "TqelDOMDocument.CreateTextNode");
    const std::string utf8 = StorableText(text);
    xmlNode* node = xmlNewDocText(reinterpret_cast<xmlDoc*>(Node()), Bytes(utf8));
    m_implementation.AdoptLooseNode(node);
    return Adopt(node);
}

TqelXMLNode* TqelDOMDocument::CreateCDATASection(const std::string& text) {
    if (!Node()) RaiseXMLDocError(-903, "TqelDOMDocument.CreateCDATASection");
    const std::string utf8 = StorableText(text);
    // The writer splits the section wherever the text holds "]]>".
    xmlNode* node = xmlNewCDataBlock(reinterpret_cast<xmlDoc*>(Node()), Bytes(utf8),
                                     static_cast<int>(utf8.size()));
    m_implementation.AdoptLooseNode(node);
    return Adopt(node);
}

// ------------------------------------------------------------- TqelXMLDocument

TqelXMLDocument::TqelXMLDocument()
    : m_implementation(std::make_unique<TqelDOMImplementation>()),
      m_parser(std::make_unique<TqelDOMParser>(*m_implementation)),
      m_document(std::make_unique<TqelDOMDocument>(this, *m_implementation)) {}

TqelXMLDocument::~TqelXMLDocument() = default;

TqelXMLDocument::TRetryWait TqelXMLDocument::SetRetryWait(TRetryWait wait) {
    TRetryWait previous = std::move(RetryWait());
    RetryWait() = std::move(wait);
    return previous;
}

void TqelXMLDocument::Load(const std::string& fileName) {
    if (!fileName.empty()) m_fileName = fileName;
    if (m_fileName.empty()) RaiseXMLDocError(-900, ClassName());
    if (!platform::FileExists(m_fileName)) RaiseXMLDocError(-902, m_fileName);
    std::string bytes, error;
    if (!platform::ReadWholeFile(m_fileName, bytes, &error)) throw EFileError(error);
    xmlDoc* doc = m_parser->Parse(bytes, m_fileName);
    ProcessDocumentType(doc);
    m_document->SetDocument(doc);
}

void TqelXMLDocument::Save(const std::string& fileName) {
    if (!fileName.empty()) m_fileName = fileName;
    if (m_fileName.empty()) RaiseXMLDocError(-901, ClassName());
    xmlDoc* doc = reinterpret_cast<xmlDoc*>(m_document->Node());
    if (!doc) RaiseXMLDocError(-903, "TqelXMLDocument.Save");
    xmlChar* buffer = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc, &buffer, &size, "UTF-8", 0);
    if (!buffer) throw EFileError(FormatText("Cannot write %s: out of memory", m_fileName.c_str()));
    const std::string contents(reinterpret_cast<const char*>(buffer), static_cast<size_t>(size));
    xmlFree(buffer);
    constexpr int kAttempts = 3;
    for (int attempt = 1;; ++attempt) {
        std::string error;
        if (platform::WriteFileAtomic(m_fileName, contents, &error)) return;
        if (attempt == kAttempts || !CouldNotCreate(error)) throw EFileError(error);
        WaitBeforeRetry(1000);
    }
}

std::string TqelXMLDocument::WithoutRootPrefix(const std::string& path) const {
    std::string p = path;
    if (!p.empty() && p.front() == '/') p.erase(0, 1);
    const auto slash = p.find('/');
    if (slash != std::string::npos &&
        platform::SameTextNoCase(p.substr(0, slash), Root()->NodeName()))
        p.erase(0, slash + 1);
    return p;
}

TqelXMLNode* TqelXMLDocument::FindNode(const std::string& path) {
    TqelXMLNode* root = Root();
    if (!root->IsAssigned()) return nullptr;
    // One leading "/" is the document's; a second one names no element.
    const std::string once = !path.empty() && path.front() == '/' ? path.substr(1) : path;
    if (platform::SameTextNoCase(once, root->NodeName())) return root->Adopt(root->Node());
    std::string p = WithoutRootPrefix(path);
    if (!p.empty() && p.front() == '/') return nullptr;
    if (p.empty() || p.back() != '/') p += '/';
    return root->FindNode(p);
}

bool TqelXMLDocument::PathExists(const std::string& path) {
    TqelXMLNode* root = Root();
    if (!root->IsAssigned()) return false;
    const std::string p = WithoutRootPrefix(path);
    return !(p.empty() || p.front() == '/') && root->PathExists(p);
}

TqelXMLNode* TqelXMLDocument::CreatePath(const std::string& path) {
    if (path.empty()) RaiseXMLDocError(-906, "Empty path string on CreatePath");
    const std::string p = WithoutRootPrefix(path);
    // "//x" is not found as "/x"; creating it as "/x" would add one more
    // element on every write.
    if (!p.empty() && p.front() == '/') RaiseXMLDocError(-906, "Empty element name on CreatePath");
    return Root()->CreatePath(p);
}

std::string TqelXMLDocument::ReadValue(const std::string& path) {
    TqelXMLNode* node = FindNode(path);
    if (!node) return {};
    const std::string value = platform::TrimBlanks(node->TextContent());
    ReleaseNode(node);
    return value;
}

void TqelXMLDocument::WriteValue(const std::string& path, const std::string& value) {
    StorableText(value);  // refused before any element is created for it
    TqelXMLNode* node = FindNode(path);
    if (!node) node = CreatePath(path);
    try {
        node->SetText(value);
    } catch (...) {
        ReleaseNode(node);
        throw;
    }
    ReleaseNode(node);
}

void TqelXMLDocument::ReleaseNode(TqelXMLNode* node) {
    Root()->ReleaseNode(node);
}
