#include "qelXMLDoc.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "platform/TempFolder.h"

namespace {

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

class XMLDocTest : public ::testing::Test {
protected:
    void LoadText(const std::string& text) {
        m_fileName = m_temp.Write("doc.xml", text);
        m_doc.Load(m_fileName);
    }
    std::string SavedText() {
        m_doc.Save();
        return m_temp.Read("doc.xml");
    }

    platform::testing::TempFolder m_temp;
    TqelXMLDocument m_doc;
    std::string m_fileName;
};

// Records the waits between save attempts instead of sleeping, and makes the
// file layer fail on request.
class SaveRetryTest : public XMLDocTest {
protected:
    void SetUp() override {
        m_previousWait = TqelXMLDocument::SetRetryWait([this](int ms) { m_waits.push_back(ms); });
    }
    void TearDown() override {
        TqelXMLDocument::SetRetryWait(m_previousWait);
        platform::SetFileFaultHandler({});
    }

    TqelXMLDocument::TRetryWait m_previousWait;
    std::vector<int> m_waits;
};

// ------------------------------------------------------------------ paths

struct PathCase {
    const char* path;
    const char* found;  // name of the element found, nullptr for none
    const char* text;   // its trimmed text, when checked
};

class FindNodeTest : public XMLDocTest, public ::testing::WithParamInterface<PathCase> {};

TEST_P(FindNodeTest, FindsByRootPrefixRule) {
    LoadText(
        "<QELSettings><Backup><Capacity>30</Capacity></Backup><Backup><Capacity>99</Capacity>"
        "</Backup><Email/></QELSettings>");
    const PathCase& c = GetParam();
    TqelXMLNode* node = m_doc.FindNode(c.path);
    if (!c.found) {
        EXPECT_EQ(node, nullptr);
        return;
    }
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->NodeName(), c.found);
    if (c.text) {
        EXPECT_EQ(node->TextContent(), c.text);
    }
    m_doc.ReleaseNode(node);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, FindNodeTest,
    ::testing::Values(PathCase{"QELSettings", "QELSettings", nullptr},
                      PathCase{"/QELSettings", "QELSettings", nullptr},
                      PathCase{"qelsettings", "QELSettings", nullptr},
                      PathCase{"QELSettings/Backup", "Backup", nullptr},
                      PathCase{"/qelSETTINGS/Backup/Capacity", "Capacity", "30"},
                      PathCase{"Backup/Capacity", "Capacity", "30"},
                      PathCase{"/Backup/Capacity/", "Capacity", "30"},
                      PathCase{"QELSettings/backup", nullptr, nullptr},
                      PathCase{"Backup/capacity", nullptr, nullptr},
                      PathCase{"QELSettings/Missing/Capacity", nullptr, nullptr},
                      PathCase{"", nullptr, nullptr},
                      PathCase{"//QELSettings", nullptr, nullptr},
                      PathCase{"//Backup/Capacity", nullptr, nullptr},
                      PathCase{"//QELSettings/Backup", nullptr, nullptr}));

TEST_F(XMLDocTest, PathExistsDoesNotTakeTheWholePathAsTheRoot) {
    LoadText("<QELSettings><Backup><Capacity>30</Capacity></Backup></QELSettings>");
    EXPECT_FALSE(m_doc.PathExists("QELSettings"));
    EXPECT_TRUE(m_doc.PathExists("qelsettings/Backup"));
    EXPECT_TRUE(m_doc.PathExists("/QELSettings/Backup/Capacity"));
    EXPECT_TRUE(m_doc.PathExists("Backup"));
    EXPECT_FALSE(m_doc.PathExists("QELSettings/backup"));
}

TEST_F(XMLDocTest, CreatePathReusesAllButTheLastSegmentAndWriteValueDoesNotDuplicate) {
    LoadText("<QELSettings></QELSettings>");
    m_doc.ReleaseNode(m_doc.CreatePath("QELSettings/A/B"));
    m_doc.ReleaseNode(m_doc.CreatePath("A/B"));
    TqelXMLNode* a = m_doc.FindNode("A");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->ChildCount(), 5);  // indentation, B, indentation, B, indentation
    EXPECT_FALSE(m_doc.PathExists("QELSettings/QELSettings"));

    m_doc.WriteValue("C/D", "1");
    m_doc.WriteValue("QELSettings/C/D", "2");
    TqelXMLNode* c = m_doc.FindNode("C");
    ASSERT_NE(c, nullptr);
    int elements = 0;
    for (int i = 0; i < c->ChildCount(); ++i)
        if (c->GetChild(i)->NodeType() == ntElement) ++elements;
    EXPECT_EQ(elements, 1);
    EXPECT_EQ(m_doc.ReadValue("C/D"), "2");
}

// Writing a value replaces the element's text (text and CDATA children),
// never a child element or the indentation between child elements.
TEST_F(XMLDocTest, WriteValueReplacesTheTextOnly) {
    struct TCase {
        const char* name;
        const char* element;  // inside <QELSettings>
        const char* written;  // the element as saved after writing "new"
    };
    const TCase cases[] = {
        {"text", "<Note>old</Note>", "<Note>new</Note>"},
        {"CDATA", "<Note><![CDATA[old]]></Note>", "<Note>new</Note>"},
        {"text and CDATA", "<Note>a<![CDATA[b]]>c<![CDATA[d]]></Note>", "<Note>new</Note>"},
        {"empty", "<Note/>", "<Note>new</Note>"},
        {"child elements", "<Note>\n\t\t<B>1</B>\n\t</Note>", "<Note>new\n\t\t<B>1</B>\n\t</Note>"},
        {"child elements and text", "<Note>\n\t\told<B>1</B><![CDATA[x]]>\n\t</Note>",
         "<Note>new<B>1</B>\n\t</Note>"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        LoadText("<QELSettings>\n\t" + std::string(c.element) + "\n</QELSettings>");
        m_doc.WriteValue("Note", "new");
        EXPECT_EQ(SavedText(), kDeclaration + "<QELSettings>\n\t" + c.written + "\n</QELSettings>\n");
    }
}

TEST_F(XMLDocTest, PathWithTwoLeadingSlashesIsNotCreated) {
    LoadText("<QELSettings><Capacity>30</Capacity></QELSettings>");
    EXPECT_THROW(m_doc.WriteValue("//Capacity", "31"), EqelXMLDocException);
    EXPECT_EQ(m_doc.ReadValue("Capacity"), "30");
    EXPECT_EQ(m_doc.ReadValue("//Capacity"), "");
    EXPECT_FALSE(m_doc.PathExists("//Capacity"));
}

TEST_F(XMLDocTest, ReadValueTrimsBlanksAndControlCharacters) {
    LoadText("<QELSettings><Capacity>  \t30 \n</Capacity></QELSettings>");
    EXPECT_EQ(m_doc.ReadValue("QELSettings/Capacity"), "30");
    EXPECT_EQ(m_doc.ReadValue("QELSettings/Missing"), "");
}

// ------------------------------------------------------------- formatting

TEST_F(XMLDocTest, TwoAppendsAndOneRemovalKeepTheIndentationBytes) {
    LoadText("<QELSettings>\n\t<Backup/>\n</QELSettings>");
    TqelXMLNode* backup = m_doc.FindNode("Backup");
    ASSERT_NE(backup, nullptr);
    TqelDOMDocument* dom = m_doc.DOMDocument();
    TqelXMLNode* first = dom->CreateElement("First");
    backup->AppendChild(first);
    backup->AppendChild(dom->CreateElement("Second"));
    EXPECT_EQ(SavedText(), kDeclaration +
                               "<QELSettings>\n\t<Backup>\n\t\t<First/>\n\t\t<Second/>\n\t</Backup>"
                               "\n</QELSettings>\n");

    backup->RemoveChild(first);
    EXPECT_EQ(
        SavedText(),
        kDeclaration + "<QELSettings>\n\t<Backup>\n\t\t<Second/>\n\t</Backup>\n</QELSettings>\n");
}

TEST_F(XMLDocTest, NewSettingsFileGrowsReadably) {
    LoadText("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<QELSettings>\r\n</QELSettings>\r\n");
    m_doc.WriteValue("QELSettings/Backup/Capacity/", "30");
    m_doc.WriteValue("QELSettings/Backup/Enabled/", "1");
    EXPECT_EQ(SavedText(), kDeclaration +
                               "<QELSettings>\n\t<Backup>\n\t\t<Capacity>30</Capacity>\n\t\t"
                               "<Enabled>1</Enabled>\n\t</Backup>\n</QELSettings>\n");
}

TEST_F(XMLDocTest, TextAndCDATAAreAppendedWithoutIndentation) {
    LoadText("<QELSettings><Note/></QELSettings>");
    TqelXMLNode* note = m_doc.FindNode("Note");
    note->AppendCDATA("a]]>b");
    note->AppendChild(m_doc.DOMDocument()->CreateTextNode("&<x>"));
    EXPECT_EQ(SavedText(), kDeclaration +
                               "<QELSettings><Note><![CDATA[a]]]]><![CDATA[>b]]>&amp;&lt;x&gt;"
                               "</Note></QELSettings>\n");
    TqelXMLDocument again;
    again.Load(m_fileName);
    EXPECT_EQ(again.ReadValue("Note"), "a]]>b&<x>");
}

// ---------------------------------------------------------------- errors

struct ErrorCase {
    const char* name;
    std::function<void(TqelXMLDocument&)> action;
    const char* message;
};

class XMLErrorTest : public XMLDocTest, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(XMLErrorTest, RaisesTheMessageOfItsCode) {
    LoadText("<QELSettings>text<Backup/></QELSettings>");
    try {
        GetParam().action(m_doc);
        FAIL() << "no error";
    } catch (const EqelXMLDocException& e) {
        EXPECT_EQ(e.Message(), GetParam().message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Codes, XMLErrorTest,
    ::testing::Values(
        ErrorCase{"LoadWithoutName", [](TqelXMLDocument&) { TqelXMLDocument().Load(); },
                  "File name not specified on TqelXMLDocument.Load"},
        ErrorCase{"SaveWithoutName", [](TqelXMLDocument&) { TqelXMLDocument().Save(); },
                  "File name not specified on TqelXMLDocument.Save"},
        ErrorCase{"LoadMissingFile", [](TqelXMLDocument& d) { d.Load("/nonexistent/x.xml"); },
                  "The specified file (/nonexistent/x.xml) does not exist or could not be found"},
        ErrorCase{"AttributeOnText",
                  [](TqelXMLDocument& d) { d.Root()->GetChild(0)->SetAttributeValue("a", "b"); },
                  "Invalid Node Type for action (NodeType 3 on SetAttributeValue)"},
        ErrorCase{"AttributeOnUnassigned",
                  [](TqelXMLDocument& d) {
                      TqelXMLNode(d.DOMDocument(), nullptr).SetAttributeValue("a", "b");
                  },
                  "Invalid Node Type for action (NodeType 0 on SetAttributeValue)"},
        ErrorCase{"AppendToUnassigned",
                  [](TqelXMLDocument& d) {
                      TqelXMLNode(d.DOMDocument(), nullptr)
                          .AppendChild(d.DOMDocument()->CreateElement("x"));
                  },
                  "No source node specified on TqelXMLNode.AppendChild"},
        ErrorCase{
            "RemoveFromUnassigned",
            [](TqelXMLDocument& d) { TqelXMLNode(d.DOMDocument(), nullptr).RemoveChild(d.Root()); },
            "No source node specified on TqelXMLNode.RemoveChild"},
        ErrorCase{"RemoveSomeoneElsesChild",
                  [](TqelXMLDocument& d) { d.Root()->RemoveChild(d.Root()); },
                  "No parent node available on TqelXMLNode.RemoveChild"},
        ErrorCase{"ResolveOnUnassigned",
                  [](TqelXMLDocument& d) {
                      TqelXMLNode(d.DOMDocument(), nullptr)
                          .ResolveEntityReferences(TqelEntityResolution::Replace);
                  },
                  "No source node specified on TqelXMLNode.ResolveEntityReferences"},
        ErrorCase{"CreateEmptyPath", [](TqelXMLDocument& d) { d.CreatePath(""); },
                  "The specified node path was invalid (Empty path string on CreatePath)"},
        ErrorCase{"CreateEmptyPathOnNode", [](TqelXMLDocument& d) { d.Root()->CreatePath(""); },
                  "The specified node path was invalid (Empty path string on CreatePath)"},
        ErrorCase{"ChildIndexOutOfRange", [](TqelXMLDocument& d) { d.Root()->GetChild(2); },
                  "Index out of range on TqelXMLNode.GetChild"},
        ErrorCase{"UnknownCode", [](TqelXMLDocument&) { RaiseXMLDocError(-1, "x"); },
                  "An exception (-1) occurred in qelXMLDoc"}),
    [](const auto& info) { return std::string(info.param.name); });

struct BrokenCase {
    const char* name;
    std::string text;
};

class ParserErrorTest : public XMLDocTest, public ::testing::WithParamInterface<BrokenCase> {};

TEST_P(ParserErrorTest, RaisesParserErrorAndKeepsTheLoadedDocument) {
    LoadText("<QELSettings><Capacity>30</Capacity></QELSettings>");
    const std::string broken = m_temp.Write("broken.xml", GetParam().text);
    try {
        m_doc.Load(broken);
        FAIL() << "no error";
    } catch (const EDOMException& e) {
        EXPECT_EQ(e.Message(), "Parser error.");
    }
    EXPECT_EQ(m_doc.ReadValue("Capacity"), "30");
}

std::string EntityBomb() {
    std::string dtd = "<!DOCTYPE r [<!ENTITY e0 \"laugh\">";
    for (int i = 1; i <= 12; ++i) {
        dtd += "<!ENTITY e" + std::to_string(i) + " \"";
        for (int j = 0; j < 10; ++j) dtd += "&e" + std::to_string(i - 1) + ";";
        dtd += "\">";
    }
    return dtd + "]><r>&e12;</r>";
}

INSTANTIATE_TEST_SUITE_P(
    Broken, ParserErrorTest,
    ::testing::Values(BrokenCase{"NotXML", "This is not XML at all"}, BrokenCase{"Empty", ""},
                      BrokenCase{"Truncated", "<?xml version=\"1.0\"?>\n<QELSettings><Backup>"},
                      BrokenCase{"TwoRoots", "<a/><b/>"}, BrokenCase{"NotUtf8", "<a>\xE9t\xE9</a>"},
                      BrokenCase{"UndeclaredEntity", "<a>&nothing;</a>"},
                      BrokenCase{"BadCharacterReference", "<a>&#1;</a>"},
                      BrokenCase{"EntityBomb", EntityBomb()}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(XMLDocTest, ExternalEntitiesAreNeverLoaded) {
    const std::string secret = m_temp.Write("secret.txt", "top secret");
    LoadText("<!DOCTYPE r [<!ENTITY s SYSTEM \"file://" + secret + "\">]><r><v>&s;</v></r>");
    EXPECT_EQ(m_doc.ReadValue("v"), "");
    LoadText("<!DOCTYPE r SYSTEM \"file://" + secret + "\"><r><v>x</v></r>");
    EXPECT_EQ(m_doc.ReadValue("v"), "x");
}

TEST_F(XMLDocTest, InternalEntitiesAreReplaced) {
    LoadText("<!DOCTYPE r [<!ENTITY co \"Q&amp;E Ltd\">]><r><v>&co; &lt;1&gt;</v></r>");
    EXPECT_EQ(m_doc.ReadValue("v"), "Q&E Ltd <1>");
    TqelXMLNode* v = m_doc.FindNode("v");
    EXPECT_EQ(v->ChildCount(), 1);
    EXPECT_EQ(v->GetChild(0)->NodeType(), ntText);
}

TEST_F(XMLDocTest, RefusedTextLeavesTheDocumentUnchanged) {
    LoadText("<QELSettings><Capacity>30</Capacity></QELSettings>");
    EXPECT_THROW(m_doc.WriteValue("Capacity", std::string("3\x01") + "0"), EDOMException);
    EXPECT_THROW(m_doc.WriteValue("New/Item", "\x1f"), EDOMException);
    EXPECT_THROW(m_doc.WriteValue("Has Blank", "1"), EDOMException);
    EXPECT_THROW(m_doc.Root()->SetAttributeValue("1st", "x"), EDOMException);
    EXPECT_EQ(SavedText(), kDeclaration + "<QELSettings><Capacity>30</Capacity></QELSettings>\n");
}

TEST_F(XMLDocTest, NodesCannotBeInsertedWhereTheFileWouldBreak) {
    LoadText("<r><a><b/></a></r>");
    TqelXMLNode* a = m_doc.FindNode("a");
    TqelXMLNode* b = m_doc.FindNode("a/b");
    EXPECT_THROW(b->AppendChild(a), EDOMException);
    EXPECT_THROW(a->AppendChild(a), EDOMException);
    EXPECT_THROW(m_doc.DOMDocument()->AppendChild(m_doc.DOMDocument()->CreateElement("second")),
                 EDOMException);
    EXPECT_EQ(SavedText(), kDeclaration + "<r><a><b/></a></r>\n");
}

// ------------------------------------------------------------ conversion

TEST_F(XMLDocTest, WindowsTextIsStoredAsUtf8AndReadBack) {
    LoadText("<QELSettings/>");
    const std::string ansi =
        "Gr\xF6\xDF"
        "e \x80 5";  // "Größe € 5" in Windows-1252
    m_doc.WriteValue("Name", ansi);
    m_doc.Root()->SetAttributeValue("note", ansi);
    const std::string saved = SavedText();
    EXPECT_NE(saved.find("Gr\xC3\xB6\xC3\x9F"
                         "e \xE2\x82\xAC 5"),
              std::string::npos);
    TqelXMLDocument again;
    again.Load(m_fileName);
    EXPECT_EQ(again.ReadValue("Name"), ansi);
    EXPECT_EQ(again.Root()->GetAttributeValue("note"), ansi);
}

// ------------------------------------------------------------- node model

TEST_F(XMLDocTest, NodeTypesAreTheDomCodes) {
    LoadText("<!DOCTYPE r><?top data?><r a=\"1\">t<![CDATA[c]]><!--x--><?inner d?><e/></r>");
    TqelDOMDocument* dom = m_doc.DOMDocument();
    EXPECT_EQ(dom->NodeType(), ntDocument);
    std::vector<int> top;
    for (int i = 0; i < dom->ChildCount(); ++i) top.push_back(dom->GetChild(i)->NodeType());
    EXPECT_EQ(top, (std::vector<int>{ntDocumentType, ntProcessingInstruction, ntElement}));
    TqelXMLNode* root = m_doc.Root();
    std::vector<int> inner;
    for (int i = 0; i < root->ChildCount(); ++i) inner.push_back(root->GetChild(i)->NodeType());
    EXPECT_EQ(inner, (std::vector<int>{ntText, ntCDATASection, ntComment, ntProcessingInstruction,
                                       ntElement}));
    EXPECT_EQ(root->GetAttributeNode("a")->NodeType(), ntAttribute);
    EXPECT_EQ(root->GetAttributeNode("b"), nullptr);
    EXPECT_EQ(root->GetChild(0)->NodeName(), "#text");
    EXPECT_EQ(root->Level(), 1);
    EXPECT_EQ(root->FindChild("e")->Level(), 2);
    EXPECT_EQ(TqelXMLNode(dom, nullptr).NodeType(), ntNone);
}

TEST_F(XMLDocTest, ForEachNodeDescendsOnlyIntoTypesOfTheSet) {
    LoadText("<?a 1?><r><?b 2?></r><?c 3?>");
    std::vector<std::string> seen;
    const bool completed = m_doc.DOMDocument()->ForEachNode(
        NodeTypeSet({ntProcessingInstruction}),
        [&](void*, TqelXMLNode& node) {
            seen.push_back(node.PITarget() + "=" + node.PIData());
            return true;
        },
        nullptr);
    EXPECT_TRUE(completed);
    EXPECT_EQ(seen, (std::vector<std::string>{"a=1", "c=3"}));

    int calls = 0;
    EXPECT_FALSE(m_doc.DOMDocument()->ForEachNode(
        NodeTypeSet({ntDocument, ntElement, ntProcessingInstruction}),
        [&](void*, TqelXMLNode&) { return ++calls < 3; }, nullptr));
    EXPECT_EQ(calls, 3);
    EXPECT_FALSE(InNodeTypes(NodeTypeSet({40}), 40));
}

TEST_F(XMLDocTest, FindChildNameByAttributeComparesIgnoringCase) {
    LoadText("<r><Shops><One id=\"a1\"/>text<Two id=\"B2\"/></Shops><Three id=\"b2\"/></r>");
    TqelXMLNode* root = m_doc.Root();
    EXPECT_EQ(root->FindChildNameByAttribute("Shops", "id", "b2"), "Two");
    EXPECT_EQ(root->FindChildNameByAttribute("", "id", "B2"), "Three");
    EXPECT_EQ(root->FindChildNameByAttribute("Shops", "id", "zz"), "");
    EXPECT_EQ(root->FindChildNameByAttribute("Missing", "id", "a1"), "");
}

TEST_F(XMLDocTest, WrappersOfAnEarlierLoadStayUsable) {
    LoadText("<r><v>old</v></r>");
    TqelXMLNode* old = m_doc.FindNode("v");
    const std::string second = m_temp.Write("second.xml", "<r><v>new</v></r>");
    m_doc.Load(second);
    EXPECT_EQ(old->TextContent(), "old");
    EXPECT_EQ(m_doc.ReadValue("v"), "new");
}

TEST_F(XMLDocTest, ReleaseNodeLeavesForeignWrappersAlone) {
    LoadText("<r><v>1</v></r>");
    TqelXMLNode* v = m_doc.FindNode("v");
    TqelXMLNode* child = v->GetChild(0);
    m_doc.ReleaseNode(child);  // owned by v, not by the root wrapper
    EXPECT_EQ(child->NodeValue(), "1");
    m_doc.ReleaseNode(m_doc.Root());  // the root wrapper is never released
    EXPECT_TRUE(m_doc.Root()->IsAssigned());
}

// ------------------------------------------------------------------ saving

struct SaveFault {
    const char* name;
    platform::FileStep step;
    int failures;
    bool saved;
    int waits;
};

class SaveFaultTest : public SaveRetryTest, public ::testing::WithParamInterface<SaveFault> {};

TEST_P(SaveFaultTest, RetriesOnlyCreationAndNeverDamagesTheOldFile) {
    const std::string original = "<QELSettings><Capacity>30</Capacity></QELSettings>";
    LoadText(original);
    m_doc.WriteValue("Capacity", "31");
    const SaveFault& c = GetParam();
    int failures = c.failures;
    platform::SetFileFaultHandler([&](platform::FileStep step, const std::string&) {
        return step == c.step && failures-- > 0 ? EACCES : 0;
    });
    if (c.saved) {
        EXPECT_NO_THROW(m_doc.Save());
        EXPECT_EQ(m_temp.Read("doc.xml"),
                  kDeclaration + "<QELSettings><Capacity>31</Capacity></QELSettings>\n");
    } else {
        EXPECT_THROW(m_doc.Save(), EFileError);
        EXPECT_EQ(m_temp.Read("doc.xml"), original);
    }
    EXPECT_EQ(m_waits, std::vector<int>(static_cast<size_t>(c.waits), 1000));
    EXPECT_EQ(platform::ListFilesRecursive(m_temp.Path()).size(), 1u);  // no temporary left
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SaveFaultTest,
    ::testing::Values(SaveFault{"CreateFailsTwice", platform::FileStep::CreateTemp, 2, true, 2},
                      SaveFault{"CreateFailsThrice", platform::FileStep::CreateTemp, 3, false, 2},
                      SaveFault{"ReplaceFailsOnce", platform::FileStep::Rename, 1, true, 1},
                      SaveFault{"WriteFails", platform::FileStep::Write, 1, false, 0},
                      SaveFault{"FlushFails", platform::FileStep::Sync, 1, false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SaveRetryTest, LoadThroughTheFileLayerReportsReadFailures) {
    m_fileName = m_temp.Write("doc.xml", "<r/>");
    platform::SetFileFaultHandler([](platform::FileStep step, const std::string&) {
        return step == platform::FileStep::Read ? EIO : 0;
    });
    EXPECT_THROW(m_doc.Load(m_fileName), EFileError);
    EXPECT_FALSE(m_doc.Root()->IsAssigned());
}

}  // namespace
