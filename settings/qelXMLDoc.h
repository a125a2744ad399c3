// XML settings documents: one file loaded into a DOM document (libxml2) and
// saved back, elements addressed by slash paths below the root element, and
// line feeds and tabs inserted on every added element so that people can
// still read and edit the file.
//
// Text crosses this interface as Windows-1252 and is converted to and from the
// DOM's UTF-8 on the way.
//
// Ownership. Every operation that returns a TqelXMLNode* creates a new wrapper
// and registers it with the wrapper the operation was called on; the caller
// never deletes it. It lives until that owner is destroyed, or until the
// caller frees it early with ReleaseNode on that same owner. Destroying a
// wrapper destroys every wrapper it owns. Wrappers never free DOM nodes: nodes
// belong to their DOM document, and every document a TqelXMLDocument has
// loaded lives until the TqelXMLDocument is destroyed. No wrapper may be used
// after its TqelXMLDocument is gone. Not thread-safe (the system has one
// thread).
//
// Errors.
//   EqelXMLDocException  the errors of this layer, with the codes listed at
//                        RaiseXMLDocError;
//   EDOMException        the DOM's own errors: "Parser error." for input that
//                        is not well-formed (the settings object recognises an
//                        unreadable file by that text), and refusals of names
//                        and text a well-formed file could not hold;
//   EFileError           the file system refused to read or write.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "Exception.h"

struct _xmlNode;
struct _xmlDoc;

class EqelXMLDocException : public Exception {
public:
    using Exception::Exception;
};

class EDOMException : public Exception {
public:
    explicit EDOMException(std::string message, std::string detail = {})
        : Exception(std::move(message)), m_detail(std::move(detail)) {}
    // What the DOM reported beyond the message (line and cause of a parse
    // error); for logs, not for deciding anything.
    const std::string& Detail() const noexcept { return m_detail; }

private:
    std::string m_detail;
};

class EFileError : public Exception {
public:
    using Exception::Exception;
};

// Raises EqelXMLDocException with the message of the code:
//   -900 "File name not specified on <argument>.Load"   (argument: class name)
//   -901 "File name not specified on <argument>.Save"
//   -902 "The specified file (%s) does not exist or could not be found"
//   -903 "No source node specified on %s"
//   -904 "Index out of range on %s"
//   -905 "Invalid Node Type for action (%s)"
//   -906 "The specified node path was invalid (%s)"
//   -907 "No parent node available on %s"
//   other "An exception (<code>) occurred in qelXMLDoc"
[[noreturn]] void RaiseXMLDocError(int code, const std::string& argument);

// True when the name can be an element or attribute name of a file.
bool IsValidXMLName(const std::string& name);

// Node types, numbered as the W3C DOM numbers them.
enum TqelNodeType : int {
    ntNone = 0,
    ntElement = 1,
    ntAttribute = 2,
    ntText = 3,
    ntCDATASection = 4,
    ntEntityReference = 5,
    ntEntity = 6,
    ntProcessingInstruction = 7,
    ntComment = 8,
    ntDocument = 9,
    ntDocumentType = 10,
    ntDocumentFragment = 11,
    ntNotation = 12,
};

// A set of node types, one bit per code; codes above 31 are never members.
using TqelNodeTypes = uint32_t;
constexpr TqelNodeTypes NodeTypeSet(std::initializer_list<int> codes) {
    TqelNodeTypes set = 0;
    for (int c : codes)
        if (c >= 0 && c <= 31) set |= TqelNodeTypes{1} << c;
    return set;
}
constexpr bool InNodeTypes(TqelNodeTypes set, int code) {
    return code >= 0 && code <= 31 && ((set >> code) & 1u) != 0;
}

// Replace: entity references in the subtree are replaced by their content.
// Expand: references stay; their content is read through them.
enum class TqelEntityResolution { Replace, Expand };

class TqelDOMDocument;
class TqelXMLNode;

// Called by ForEachNode; `node` is valid for the duration of the call only.
// Answering false stops the walk.
using TqelNodeCallback = std::function<bool(void* context, TqelXMLNode& node)>;

class TqelXMLNode {
public:
    // `owner` is not owned; `node` may be null (an unassigned wrapper).
    TqelXMLNode(TqelDOMDocument* owner, _xmlNode* node);
    virtual ~TqelXMLNode();
    TqelXMLNode(const TqelXMLNode&) = delete;
    TqelXMLNode& operator=(const TqelXMLNode&) = delete;

    bool IsAssigned() const { return m_node != nullptr; }
    int NodeType() const;  // ntNone when unassigned
    std::string NodeName() const;
    // Entity references below are replaced first, hence not const.
    std::string NodeValue();
    std::string TextContent();  // descendant text; comments and PIs excluded
    void SetNodeValue(const std::string& value);
    void SetText(const std::string& value);
    // Raises -903 when unassigned.
    void ResolveEntityReferences(TqelEntityResolution option);

    bool HasAttributes() const;
    TqelXMLNode* GetAttributeNode(const std::string& name);
    std::string GetAttributeValue(const std::string& name);
    // Raises -905 unless this is an element.
    void SetAttributeValue(const std::string& name, const std::string& value);

    int ChildCount() const;
    // Raises -904 for an index outside the children (when there are any).
    TqelXMLNode* GetChild(int index);
    TqelXMLNode* FindChild(const std::string& name);  // exact, case-sensitive
    TqelXMLNode* FirstChildElement();
    TqelXMLNode* ParentNode();
    TqelXMLNode* NextSibling();
    TqelXMLNode* PreviousSibling();
    int Level() const;  // number of ancestors: the root element has 1
    bool HasChildElements();
    std::string PITarget() const;
    std::string PIData() const;

    // Inserts `child` (moving it when it sits elsewhere) with the indentation
    // rule of the file format. Raises -903 when this wrapper or the child is
    // unassigned, EDOMException when the child cannot go there.
    void AppendChild(TqelXMLNode* child);
    void AppendCDATA(const std::string& text);
    // Removes `child` (and the indentation in front of it) and releases its
    // wrapper if this wrapper owns it. Raises -903 when this wrapper or the
    // child is unassigned, -907 when the child is not a child of this node.
    void RemoveChild(TqelXMLNode* child);
    // Destroys the wrapper if this wrapper owns it; else leaves it alone.
    void ReleaseNode(TqelXMLNode* node);

    // Paths: element names separated by "/", one leading "/" ignored; names
    // compare exactly; the first of equal names wins.
    TqelXMLNode* FindNode(const std::string& path);
    bool PathExists(const std::string& path);
    // Reuses existing elements along the path except the last, which is
    // always new. Raises -906 for an empty or too deep path.
    TqelXMLNode* CreatePath(const std::string& path);
    // Name of the first node, from the first child element of the node at
    // `path` (this node when empty) on, whose attribute equals `value`
    // ignoring case; empty when none.
    std::string FindChildNameByAttribute(const std::string& path, const std::string& attribute,
                                         const std::string& value);
    // Visits this node and, recursively, the children whose type is in
    // `types`; false when a callback answered false.
    bool ForEachNode(TqelNodeTypes types, const TqelNodeCallback& callback, void* context);

    TqelDOMDocument* OwnerDocument() const { return m_ownerDocument; }

protected:
    // A new wrapper of `node` owned by this wrapper; null for a null node.
    TqelXMLNode* Adopt(_xmlNode* node);
    _xmlNode* Node() const { return m_node; }
    void SetNode(_xmlNode* node);

    TqelDOMDocument* m_ownerDocument;

private:
    friend class TqelDOMDocument;
    friend class TqelXMLDocument;

    _xmlNode* m_node;
    bool m_hasChildElements = false;
    std::vector<std::unique_ptr<TqelXMLNode>> m_ownedWrappers;
};

// Owns every DOM document it produced and every node taken out of (or never
// put into) a document, and frees them when it goes.
class TqelDOMImplementation {
public:
    TqelDOMImplementation();
    ~TqelDOMImplementation();
    TqelDOMImplementation(const TqelDOMImplementation&) = delete;
    TqelDOMImplementation& operator=(const TqelDOMImplementation&) = delete;

    void AdoptDocument(_xmlDoc* doc);
    void AdoptLooseNode(_xmlNode* node);

private:
    std::vector<_xmlDoc*> m_documents;
    std::vector<_xmlNode*> m_looseNodes;
};

// Parses bytes into a document of its implementation. Entity references are
// replaced; external entities and DTDs are never loaded (nor anything from the
// network); libxml2's limits against entity expansion and huge text stay on.
class TqelDOMParser {
public:
    explicit TqelDOMParser(TqelDOMImplementation& implementation)
        : m_implementation(implementation) {}
    // Raises EDOMException("Parser error.") for input that is not well-formed.
    _xmlDoc* Parse(const std::string& bytes, const std::string& url);

private:
    TqelDOMImplementation& m_implementation;
};

class TqelXMLDocument;

class TqelDOMDocument : public TqelXMLNode {
public:
    TqelDOMDocument(TqelXMLDocument* owner, TqelDOMImplementation& implementation);
    ~TqelDOMDocument() override;

    // New nodes of the DOM document, not yet inserted, with wrappers owned by
    // this document wrapper. Raise -903 before the first load and
    // EDOMException for a name or text a file could not hold.
    TqelXMLNode* CreateElement(const std::string& name);
    TqelXMLNode* CreateTextNode(const std::string& text);
    TqelXMLNode* CreateCDATASection(const std::string& text);

    TqelXMLNode* Root() const { return m_root; }  // never null; unassigned before a load
    void SetDocument(_xmlDoc* domDocument);
    bool Formatting() const { return m_formatting; }
    TqelXMLDocument* Owner() const { return m_owner; }
    TqelDOMImplementation& Implementation() const { return m_implementation; }

private:
    friend class TqelXMLNode;

    TqelXMLDocument* m_owner;
    TqelDOMImplementation& m_implementation;
    TqelXMLNode* m_root;  // owned through the wrapper list
    bool m_formatting = true;
};

class TqelXMLDocument {
public:
    TqelXMLDocument();
    virtual ~TqelXMLDocument();
    TqelXMLDocument(const TqelXMLDocument&) = delete;
    TqelXMLDocument& operator=(const TqelXMLDocument&) = delete;

    // Run-time class name, used in the -900/-901 messages.
    virtual std::string ClassName() const { return "TqelXMLDocument"; }

    const std::string& FileName() const { return m_fileName; }
    void SetFileName(const std::string& fileName) { m_fileName = fileName; }

    // A non-empty argument replaces FileName. Raises -900 without a name,
    // -902 for a missing file, EFileError when it cannot be read and
    // EDOMException("Parser error.") when it is not well-formed; the loaded
    // document is kept as it was on any failure.
    void Load(const std::string& fileName = {});
    // Writes the whole document as UTF-8 with an XML declaration, replacing
    // the file atomically (a reader sees the old or the new file, never a
    // part). Creating the file is tried three times, a second apart; a
    // failure to write once created propagates at once. Raises -901 without a
    // name, -903 before the first load, EFileError when writing fails.
    void Save(const std::string& fileName = {});

    TqelXMLNode* Root() const { return m_document->Root(); }
    TqelDOMDocument* DOMDocument() const { return m_document.get(); }

    // Paths may start with the root element's name (any letter case).
    // Returned wrappers are owned by the root wrapper.
    TqelXMLNode* FindNode(const std::string& path);
    bool PathExists(const std::string& path);
    TqelXMLNode* CreatePath(const std::string& path);
    // Text of the element trimmed of blanks and control characters; empty
    // when the path does not exist.
    std::string ReadValue(const std::string& path);
    void WriteValue(const std::string& path, const std::string& value);
    void ReleaseNode(TqelXMLNode* node);

    // Test seam: how Save waits between attempts. Returns the previous wait;
    // an empty function restores the real one.
    using TRetryWait = std::function<void(int milliseconds)>;
    static TRetryWait SetRetryWait(TRetryWait wait);

private:
    std::string WithoutRootPrefix(const std::string& path) const;

    // Declared in this order so that the document wrapper goes first, then
    // the parser, then the implementation with the documents.
    std::unique_ptr<TqelDOMImplementation> m_implementation;
    std::unique_ptr<TqelDOMParser> m_parser;
    std::unique_ptr<TqelDOMDocument> m_document;
    std::string m_fileName;
};
