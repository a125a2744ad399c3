#include "qelDataStorage.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "SettingsTestSupport.h"

#include <cerrno>
#include <functional>
#include <string>

#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/TempFolder.h"
#include "qelXMLDoc.h"

namespace {

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
const std::string kTemplate =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<QELSettings>\r\n</QELSettings>\r\n";

class StorageTest : public ::testing::Test {
protected:
    void TearDown() override { platform::SetFileFaultHandler({}); }

    TqelDataStorage& Open(const std::string& name, const std::string& text, uint8_t type) {
        m_fileName = m_temp.Write(name, text);
        m_storage.SetStorageType(type);
        m_storage.SetStorageName(m_fileName);
        return m_storage;
    }
    TqelDataStorage& OpenXML(const std::string& text = kTemplate) {
        return Open("settings.xml", text, TqelDataStorage::stXML);
    }
    TqelDataStorage& OpenINI(const std::string& text) {
        return Open("settings.ini", text, TqelDataStorage::stINI);
    }
    std::string FileText() const { return m_temp.Read(platform::ExtractFileName(m_fileName)); }

    platform::testing::TempFolder m_temp;
    TqelDataStorage m_storage;
    std::string m_fileName;
};

using settings_test::Message;

// ------------------------------------------------------------ the checks

struct CheckCase {
    const char* name;
    std::function<void(TqelDataStorage&)> action;
    const char* message;
};

class StorageCheckTest : public StorageTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(StorageCheckTest, ChecksArgumentsBeforeOpeningAnything) {
    // The storage points at a file that does not exist: an argument error
    // must come before the storage error.
    m_storage.SetStorageName(m_temp.Path() + "missing.xml");
    EXPECT_EQ(Message([&] { GetParam().action(m_storage); }), GetParam().message);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, StorageCheckTest,
    ::testing::Values(
        CheckCase{"ReadDataBoth", [](TqelDataStorage& s) { s.ReadData("", ""); },
                  "Data path location not specified on ReadData"},
        CheckCase{"ReadDataItem", [](TqelDataStorage& s) { s.ReadData("S", ""); },
                  "Data item not specified on ReadData"},
        CheckCase{"ReadStringItem", [](TqelDataStorage& s) { s.ReadString("S", ""); },
                  "Data item not specified on ReadData"},
        CheckCase{"EraseSection", [](TqelDataStorage& s) { s.EraseSection(""); },
                  "Data path location not specified on EraseSection"},
        CheckCase{"ValueExists", [](TqelDataStorage& s) { s.ValueExists("S", ""); },
                  "Data item not specified on ValueExists"},
        CheckCase{"DeleteKey", [](TqelDataStorage& s) { s.DeleteKey("", "I"); },
                  "Data path location not specified on DeleteKey"},
        CheckCase{"ReadAttribute", [](TqelDataStorage& s) { s.ReadAttribute("S", ""); },
                  "Data item not specified on ReadAttribute"},
        CheckCase{"WriteData", [](TqelDataStorage& s) { s.WriteData("", "I", "v", false); },
                  "Data path location not specified on WriteData"},
        CheckCase{"WriteString", [](TqelDataStorage& s) { s.WriteString("S", "", "v"); },
                  "Data item not specified on WriteData"},
        CheckCase{"WriteCData", [](TqelDataStorage& s) { s.WriteCData("", "", "v"); },
                  "Data path location not specified on WriteData"}),
    [](const auto& info) { return std::string(info.param.name); });

struct OpenCase {
    const char* name;
    uint8_t type;
    bool named;
    enum { kAbsent, kFile, kFolder, kOversize } file;
    const char* message;  // "%s" stands for the file name
};

class StorageOpenTest : public StorageTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(StorageOpenTest, ReportsInOrderAndTriesAgainNextTime) {
    const OpenCase& c = GetParam();
    const std::string name = m_temp.Path() + "s.xml";
    if (c.file == OpenCase::kFile) m_temp.Write("s.xml", kTemplate);
    if (c.file == OpenCase::kFolder) std::filesystem::create_directory(name);
    if (c.file == OpenCase::kOversize) {
        m_temp.Write("s.xml", kTemplate);
        std::filesystem::resize_file(name, TqelDataStorage::kMaxStorageSize + 1);
    }
    m_storage.SetStorageType(c.type);
    if (c.named) m_storage.SetStorageName(name);
    EXPECT_EQ(Message([&] { m_storage.ReadData("QELSettings/Backup", "Capacity"); }),
              FormatText(c.message, name.c_str()));

    // Nothing was kept: once the cause is gone the next call opens the file.
    std::filesystem::remove_all(name);
    m_temp.Write("s.xml", kTemplate);
    m_storage.SetStorageType(TqelDataStorage::stXML);
    m_storage.SetStorageName(name);
    EXPECT_EQ(m_storage.ReadData("QELSettings/Backup", "Capacity"), "");
}

INSTANTIATE_TEST_SUITE_P(
    Access, StorageOpenTest,
    ::testing::Values(
        OpenCase{"TypeZero", 0, true, OpenCase::kFile,
                 "Storage type not implemented.  Cannot create storage access object."},
        OpenCase{"TypeBeforeName", 3, false, OpenCase::kAbsent,
                 "Storage type not implemented.  Cannot create storage access object."},
        OpenCase{"NoName", 2, false, OpenCase::kAbsent,
                 "Storage name undefined.  Cannot create storage access."},
        OpenCase{"MissingXml", 2, true, OpenCase::kAbsent,
                 "Storage name invalid (%s).  Cannot load storage data."},
        OpenCase{"MissingIni", 1, true, OpenCase::kAbsent,
                 "Storage name invalid (%s).  Cannot load storage data."},
        OpenCase{"FolderXml", 2, true, OpenCase::kFolder,
                 "Storage name invalid (%s is a folder).  Cannot load storage data."},
        OpenCase{"FolderIni", 1, true, OpenCase::kFolder,
                 "Storage name invalid (%s is a folder).  Cannot load storage data."},
        OpenCase{"OversizeXml", 2, true, OpenCase::kOversize,
                 "Storage file %s is larger than 64 MiB.  Cannot load storage data."},
        OpenCase{"OversizeIni", 1, true, OpenCase::kOversize,
                 "Storage file %s is larger than 64 MiB.  Cannot load storage data."}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StorageTest, ANameDifferingOnlyInCaseKeepsUnwrittenChanges) {
    OpenXML().WriteString("QELSettings/Backup", "Capacity", "30");
    std::string upper = m_fileName;
    upper.replace(upper.size() - 12, 12, "SETTINGS.XML");
    m_storage.SetStorageName(upper);
    EXPECT_EQ(m_storage.StorageName(), m_fileName);
    EXPECT_EQ(m_storage.ReadString("QELSettings/Backup", "Capacity"), "30");

    // Any other name, or another type, drops the access without writing.
    const std::string other = m_temp.Write("other.xml", kTemplate);
    m_storage.SetStorageName(other);
    m_storage.SetStorageName(m_fileName);
    EXPECT_EQ(m_storage.ReadString("QELSettings/Backup", "Capacity"), "");
    EXPECT_EQ(FileText(), kTemplate);
}

// ------------------------------------------------------------ XML mapping

TEST_F(StorageTest, XmlSectionsAreElementPathsBelowTheRoot) {
    OpenXML().WriteString("QELSettings/Backup", "Capacity", "30");
    m_storage.WriteString("qelsettings/Backup/", "Enabled", "1");
    m_storage.UpdateFile();
    EXPECT_EQ(FileText(), kDeclaration +
                              "<QELSettings>\n\t<Backup>\n\t\t<Capacity>30</Capacity>\n\t\t"
                              "<Enabled>1</Enabled>\n\t</Backup>\n</QELSettings>\n");

    TqelDataStorage fresh;
    fresh.SetStorageName(m_fileName);
    EXPECT_EQ(fresh.ReadString("QELSettings/Backup", "Capacity"), "30");
    EXPECT_TRUE(fresh.ValueExists("Backup", "Enabled"));
    EXPECT_FALSE(fresh.ValueExists("QELSettings/QELSettings", "Backup"));
    EXPECT_FALSE(fresh.Access().SectionExists("QELSettings/backup"));
}

TEST_F(StorageTest, XmlDeleteKeyTakesTheIndentationAlong) {
    OpenXML(
        "<QELSettings>\n\t<Backup>\n\t\t<Capacity>30</Capacity>\n\t\t<Enabled>1</Enabled>\n"
        "\t</Backup>\n</QELSettings>\n");
    m_storage.DeleteKey("QELSettings/Backup", "Capacity");
    m_storage.DeleteKey("QELSettings/Backup", "Missing");
    m_storage.UpdateFile();
    EXPECT_EQ(FileText(), kDeclaration +
                              "<QELSettings>\n\t<Backup>\n\t\t<Enabled>1</Enabled>\n\t</Backup>\n"
                              "</QELSettings>\n");
}

TEST_F(StorageTest, XmlAttributesBelongToTheSectionElement) {
    OpenXML("<QELSettings><Backup Capacity=\"40\"/></QELSettings>");
    EXPECT_EQ(m_storage.ReadAttribute("QELSettings/Backup", "Capacity"), "40");
    EXPECT_EQ(m_storage.ReadString("QELSettings/Backup", "Capacity"), "");
    m_storage.Access().WriteAttribute("QELSettings/Backup", "Capacity", "41");
    m_storage.Access().WriteAttribute("QELSettings/Missing", "Capacity", "41");
    EXPECT_EQ(m_storage.ReadAttribute("QELSettings/Missing", "Capacity"), "");
    m_storage.UpdateFile();
    EXPECT_EQ(FileText(), kDeclaration + "<QELSettings><Backup Capacity=\"41\"/></QELSettings>\n");
}

TEST_F(StorageTest, XmlCDataReplacesTheElement) {
    OpenXML("<QELSettings>\n\t<Mail>\n\t\t<Body>old</Body>\n\t</Mail>\n</QELSettings>");
    m_storage.WriteCData("QELSettings/Mail", "Body", "<b>x</b> ]]> y");
    m_storage.UpdateFile();
    EXPECT_EQ(FileText(),
              kDeclaration +
                  "<QELSettings>\n\t<Mail>\n\t\t<Body><![CDATA[<b>x</b> ]]]]><![CDATA[> "
                  "y]]></Body>\n\t</Mail>\n</QELSettings>\n");
    m_storage.Reload();
    EXPECT_EQ(m_storage.ReadString("QELSettings/Mail", "Body"), "<b>x</b> ]]> y");

    // A value the file cannot hold is refused with the old element in place.
    EXPECT_THROW(m_storage.WriteCData("QELSettings/Mail", "Body", "\x02"), EDOMException);
    EXPECT_EQ(m_storage.ReadString("QELSettings/Mail", "Body"), "<b>x</b> ]]> y");
}

TEST_F(StorageTest, XmlSectionListsAndTree) {
    OpenXML(
        "<QELSettings><Email><To> a@b </To><Cc/><!--x--><Nested><Deep>1</Deep><Deeper><Deepest>2"
        "</Deepest></Deeper></Nested></Email></QELSettings>");
    TqelDataStorageAccess& access = m_storage.Access();
    TqelStrings names{"kept"};
    access.ReadSection("QELSettings/Email", names);
    EXPECT_EQ(names, (TqelStrings{"kept", "To", "Cc", "Nested"}));
    TqelStrings lines;
    access.ReadSectionValues("Email", lines);
    EXPECT_EQ(lines, (TqelStrings{"To= a@b ", "Cc=", "Nested=12"}));
    TqelStrings texts;
    access.ReadSectionTexts("Email", texts);
    EXPECT_EQ(texts, (TqelStrings{" a@b ", "", "12"}));
    TqelStrings none;
    access.ReadSection("", none);
    EXPECT_TRUE(none.empty());

    TqelValuesList tree;
    access.ReadTree("QELSettings/Email", tree);
    EXPECT_EQ(tree.Name(), "Email");
    ASSERT_EQ(tree.Items().size(), 3u);
    const TqelValuesList& nested = *tree.Items()[2];
    EXPECT_EQ(nested.Name(), "Nested");
    ASSERT_EQ(nested.Items().size(), 2u);
    EXPECT_EQ(nested.Items()[0]->Name(), "Deep");
    EXPECT_EQ(nested.Items()[1]->Items()[0]->Name(), "Deepest");
    EXPECT_EQ(nested.Items()[1]->Items()[0]->Value(), "2");
    TqelValuesList absent;
    access.ReadTree("Nothing", absent);
    EXPECT_EQ(absent.Name(), "");
}

TEST_F(StorageTest, XmlFindSectionByID) {
    OpenXML(
        "<QELSettings><Shops><North id=\"7\"/><South id=\"AB\"/></Shops><Top id=\"ab\"/>"
        "</QELSettings>");
    TqelDataStorageAccess& access = m_storage.Access();
    EXPECT_EQ(access.FindSectionByID("QELSettings/Shops", "ab"), "South");
    EXPECT_EQ(access.FindSectionByID("/qelsettings/Shops", 7), "North");
    EXPECT_EQ(access.FindSectionByID("Shops", "7"), "North");
    EXPECT_EQ(access.FindSectionByID("QELSettings", "AB"), "Top");
    EXPECT_EQ(access.FindSectionByID("QELSettings/Shops", "8"), "");
}

TEST_F(StorageTest, XmlProcessingInstructionsAreRebuiltOnEveryLoad) {
    OpenXML("<?app version=1?><QELSettings><?inner x?></QELSettings>");
    EXPECT_EQ(m_storage.Access().ProcessingInstructions(), (TqelStrings{"app=<version=1>"}));
    m_temp.Write("settings.xml", "<?app version=2?><?other?><QELSettings/>");
    m_storage.Reload();
    EXPECT_EQ(m_storage.Access().ProcessingInstructions(),
              (TqelStrings{"app=<version=2>", "other=<>"}));
}

TEST_F(StorageTest, XmlErasingTheRootSectionKeepsAReadableFile) {
    OpenXML("<QELSettings a=\"1\">\n\t<Backup/>\n\t<Email/>\n</QELSettings>");
    m_storage.EraseSection("QELSettings");
    m_storage.UpdateFile();
    EXPECT_EQ(FileText(), kDeclaration + "<QELSettings a=\"1\"/>\n");
    m_storage.Reload();
    m_storage.WriteString("QELSettings/Backup", "Capacity", "1");
    EXPECT_EQ(m_storage.ReadString("Backup", "Capacity"), "1");
}

TEST_F(StorageTest, XmlUpdateFileWritesOnlyALoadedDocument) {
    OpenXML("<QELSettings/>");
    const std::string original = FileText();
    m_storage.UpdateFile();  // never loaded: nothing to write
    EXPECT_EQ(FileText(), original);
    m_temp.Write("settings.xml", "not xml any more");
    m_storage.UpdateFile();
    EXPECT_EQ(FileText(), "not xml any more");
}

// ------------------------------------------------------------ INI mapping

TEST_F(StorageTest, IniFileIsHeldWholeAndRewrittenInSectionOrder) {
    OpenINI(
        "orphan=before any section\r\n"
        "; comment\r\n"
        "[General]\r\n"
        "  BuildDate =  20080115  \r\n"
        "; another comment\r\n"
        "\r\n"
        "Description=\"Quoted\" text\r\n"
        "a line without equals\r\n"
        "[QELSettings/Backup]\n"
        "Capacity=30\n"
        "[general]\n"
        "Extra=1\n");
    EXPECT_EQ(m_storage.ReadString("GENERAL", "builddate"), "20080115");
    EXPECT_EQ(m_storage.ReadString("General", "Description"), "\"Quoted\" text");
    EXPECT_EQ(m_storage.ReadString("General", "Extra"), "1");
    EXPECT_EQ(m_storage.ReadString("qelsettings/backup", "CAPACITY"), "30");
    EXPECT_EQ(m_storage.ReadString("General", "orphan"), "");

    m_storage.WriteString("General", "BuildDate", "");
    m_storage.WriteString("New", "Key", "v");
    m_storage.UpdateFile();
    EXPECT_EQ(FileText(),
              "[General]\r\n"
              "BuildDate=\r\n"
              "Description=\"Quoted\" text\r\n"
              "a line without equals\r\n"
              "Extra=1\r\n"
              "\r\n"
              "[QELSettings/Backup]\r\n"
              "Capacity=30\r\n"
              "\r\n"
              "[New]\r\n"
              "Key=v\r\n"
              "\r\n");
}

TEST_F(StorageTest, IniItemsAndAttributesAreBothKeys) {
    OpenINI("[S]\r\nA=1\r\n");
    EXPECT_EQ(m_storage.ReadAttribute("S", "a"), "1");
    m_storage.WriteCData("S", "B", "<x>");
    EXPECT_EQ(m_storage.ReadString("S", "B"), "<x>");
    EXPECT_TRUE(m_storage.ValueExists("s", "b"));
    m_storage.DeleteKey("S", "A");
    EXPECT_FALSE(m_storage.ValueExists("S", "A"));
    m_storage.EraseSection("s");
    EXPECT_FALSE(m_storage.Access().SectionExists("S"));
}

TEST_F(StorageTest, IniSectionLists) {
    OpenINI("[One]\r\nb=2\r\na=1\r\n[Two]\r\nc=3\r\n");
    TqelDataStorageAccess& access = m_storage.Access();
    TqelStrings list{"old"};
    access.ReadSection("", list);
    EXPECT_EQ(list, (TqelStrings{"One", "Two"}));
    access.ReadSection("one", list);
    EXPECT_EQ(list, (TqelStrings{"b", "a"}));
    access.ReadSectionValues("One", list);
    EXPECT_EQ(list, (TqelStrings{"b=2", "a=1"}));
    access.ReadSectionValues("", list);
    EXPECT_TRUE(list.empty());
    EXPECT_THROW(access.ReadSectionTexts("One", list), EqelDataStorageError);
}

TEST_F(StorageTest, IniNamesThatWouldReadBackAsSomethingElseAreRefused) {
    OpenINI("[S]\r\nA=1\r\n");
    EXPECT_THROW(m_storage.WriteString("S", "k=v", "1"), EqelDataStorageError);
    EXPECT_THROW(m_storage.WriteString("S", ";k", "1"), EqelDataStorageError);
    EXPECT_THROW(m_storage.WriteString("S", "[k", "1"), EqelDataStorageError);
    EXPECT_THROW(m_storage.WriteString("a]b", "k", "1"), EqelDataStorageError);
    m_storage.WriteString("S", "B", "two\r\nlines");
    m_storage.UpdateFile();
    EXPECT_EQ(FileText(), "[S]\r\nA=1\r\nB=two  lines\r\n\r\n");
}

struct TreeCase {
    const char* name;
    const char* ini;
    const char* expected;  // the tree printed as name(children...)
};

std::string Print(const TqelValuesList& list) {
    std::string out = list.Name();
    if (list.Items().empty()) return out;
    out += "(";
    for (size_t i = 0; i < list.Items().size(); ++i)
        out += (i ? " " : "") + Print(*list.Items()[i]);
    return out + ")";
}

class IniTreeTest : public StorageTest, public ::testing::WithParamInterface<TreeCase> {};

TEST_P(IniTreeTest, FollowsValuesAsSectionsAndStopsAtACycle) {
    OpenINI(GetParam().ini);
    TqelValuesList tree;
    m_storage.Access().ReadTree("Root", tree);
    EXPECT_EQ(Print(tree), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Trees, IniTreeTest,
    ::testing::Values(TreeCase{"Nested", "[Root]\nx=A\ny=plain\n[A]\nz=B\n[B]\nw=1\n",
                               "Root(A(B(1)) plain)"},
                      TreeCase{"Cycle", "[Root]\nx=A\n[A]\nback=root\n", "Root(A(root))"},
                      TreeCase{"SelfLoop", "[Root]\nme=Root\nother=v\n", "Root(Root v)"},
                      TreeCase{"Absent", "[Other]\nx=1\n", "Root"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StorageTest, IniTreeThatFansOutWithoutEndIsRefused) {
    // 2^20 paths through 20 sections, no cycle.
    std::string ini = "[Root]\na=S1\nb=S1\n";
    for (int i = 1; i < 20; ++i)
        ini += "[S" + std::to_string(i) + "]\na=S" + std::to_string(i + 1) + "\nb=S" +
               std::to_string(i + 1) + "\n";
    OpenINI(ini);
    TqelValuesList tree;
    EXPECT_THROW(m_storage.Access().ReadTree("Root", tree), EqelDataStorageError);
}

TEST_F(StorageTest, IniFindSectionByIDComparesExactly) {
    OpenINI("[One]\nid=abc\n[Two]\nID=ABC\n[Three]\nID=12\n");
    TqelDataStorageAccess& access = m_storage.Access();
    EXPECT_EQ(access.FindSectionByID("ignored", "ABC"), "Two");
    EXPECT_EQ(access.FindSectionByID("", "abc"), "One");
    EXPECT_EQ(access.FindSectionByID("", 12), "Three");
    EXPECT_EQ(access.FindSectionByID("", "Abc"), "");
}

TEST_F(StorageTest, IniProcessingInstructionsAreBuiltOnce) {
    OpenINI("[ProcessingInstructions]\nstyle=a.xsl\n");
    EXPECT_EQ(m_storage.Access().ProcessingInstructions(), (TqelStrings{"style=<a.xsl>"}));
    m_storage.WriteString("ProcessingInstructions", "more", "x");
    EXPECT_EQ(m_storage.Access().ProcessingInstructions(), (TqelStrings{"style=<a.xsl>"}));
}

TEST_F(StorageTest, IniReloadDiscardsUnwrittenChanges) {
    OpenINI("[S]\nA=1\n");
    m_storage.WriteString("S", "A", "2");
    m_storage.Reload();
    EXPECT_EQ(m_storage.ReadString("S", "A"), "1");
}

// ----------------------------------------------------- failing file layer

struct WriteFault {
    const char* name;
    uint8_t type;
    platform::FileStep step;
};

class StorageWriteFaultTest : public StorageTest, public ::testing::WithParamInterface<WriteFault> {
protected:
    void SetUp() override {
        m_previousWait = TqelXMLDocument::SetRetryWait([](int) {});
    }
    void TearDown() override {
        TqelXMLDocument::SetRetryWait(m_previousWait);
        StorageTest::TearDown();
    }
    TqelXMLDocument::TRetryWait m_previousWait;
};

TEST_P(StorageWriteFaultTest, FailedUpdateLeavesTheOldFileWhole) {
    const WriteFault& c = GetParam();
    const std::string original = c.type == TqelDataStorage::stINI
                                     ? std::string("[QELSettings/Backup]\r\nCapacity=30\r\n\r\n")
                                     : kTemplate;
    Open(c.type == TqelDataStorage::stINI ? "s.ini" : "s.xml", original, c.type);
    m_storage.WriteString("QELSettings/Backup", "Capacity", "31");
    platform::SetFileFaultHandler(
        [&](platform::FileStep step, const std::string&) { return step == c.step ? ENOSPC : 0; });
    EXPECT_THROW(m_storage.UpdateFile(), EFileError);
    EXPECT_EQ(FileText(), original);
    platform::SetFileFaultHandler({});
    m_storage.UpdateFile();
    TqelDataStorage fresh;
    fresh.SetStorageType(c.type);
    fresh.SetStorageName(m_fileName);
    EXPECT_EQ(fresh.ReadString("QELSettings/Backup", "Capacity"), "31");
}

INSTANTIATE_TEST_SUITE_P(
    Faults, StorageWriteFaultTest,
    ::testing::Values(WriteFault{"XmlCreate", TqelDataStorage::stXML,
                                 platform::FileStep::CreateTemp},
                      WriteFault{"XmlWrite", TqelDataStorage::stXML, platform::FileStep::Write},
                      WriteFault{"XmlRename", TqelDataStorage::stXML, platform::FileStep::Rename},
                      WriteFault{"IniWrite", TqelDataStorage::stINI, platform::FileStep::Write},
                      WriteFault{"IniSync", TqelDataStorage::stINI, platform::FileStep::Sync}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StorageTest, UnreadableIniFileIsReportedNotTakenAsEmpty) {
    OpenINI("[S]\nA=1\n");
    platform::SetFileFaultHandler([](platform::FileStep step, const std::string&) {
        return step == platform::FileStep::Read ? EIO : 0;
    });
    EXPECT_THROW(m_storage.ReadString("S", "A"), EFileError);
    platform::SetFileFaultHandler({});
    EXPECT_EQ(m_storage.ReadString("S", "A"), "1");
}

}  // namespace
