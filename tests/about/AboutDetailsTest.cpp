#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "About.h"
#include "AboutTestSupport.h"
#include "FmAboutDetailsU.h"
#include "QtText.h"
#include "platform/Files.h"

namespace {

using about_test::TAboutFixture;

std::string VersionFile(const std::string& description, const std::string& buildDate) {
    return "[General]\r\nDescription=" + description + "\r\nBuildDate=" + buildDate + "\r\n";
}

const std::string kMaintenanceDefaults =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
    "<QELSettings>\r\n"
    "\t<Email>\r\n"
    "\t\t<EmailAddress>support@host.example</EmailAddress>\r\n"
    "\t</Email>\r\n"
    "</QELSettings>\r\n";

class AboutDetailsTest : public ::testing::Test, protected TAboutFixture {
protected:
    AboutDetailsTest() {
        m_properties.UserName = "Pollark User";
        m_properties.InstallLocation = Folder() + "inst";
        Write("inst/.keep", "");
    }
    std::unique_ptr<TFmAboutDetails> Make() {
        return std::make_unique<TFmAboutDetails>(nullptr, m_properties, Folder());
    }
    static void Press(TFmAboutDetails& details, Qt::MouseButton button,
                      Qt::KeyboardModifiers modifiers) {
        QTest::mousePress(details.findChild<QPlainTextEdit*>("MemoDetails")->viewport(), button,
                          modifiers);
    }
    static const Qt::KeyboardModifiers kAll;
    static QListWidget& CleanupList(TFmAboutDetails& details) {
        return *details.findChild<QListWidget*>("LbxCleanupVersions_Show");
    }
    static void Click(TFmAboutDetails& details, const char* button) {
        QTest::mouseClick(details.findChild<QPushButton*>(button), Qt::LeftButton);
    }
    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> texts;
        for (const auto& box : m_services.Boxes()) texts.push_back(box.request.text);
        return texts;
    }
    std::string MessageFile() const { return Folder() + "inst/VersionMessage.txt"; }

    TAboutBoxProperties m_properties;
};
const Qt::KeyboardModifiers AboutDetailsTest::kAll =
    Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;

TEST_F(AboutDetailsTest, ShowsTheDetailsText) {
    Write("Data/Update1.ver", VersionFile("Rating update", "20080115"));
    auto details = Make();
    const auto* memo = details->findChild<QPlainTextEdit*>("MemoDetails");
    QStringList lines;
    for (const std::string& line : details->DetailLines()) lines << ToQString(line);
    EXPECT_EQ(memo->toPlainText(), lines.join('\n'));
    EXPECT_EQ(details->DetailLines().back(), " Rating update (Update1.ver)  : 01/15/2008");
    EXPECT_TRUE(memo->isReadOnly());
    EXPECT_EQ(details->size(), QSize(404, 283));
    EXPECT_TRUE(details->findChild<QPushButton*>("BtnCleanup")->isHidden());
    EXPECT_TRUE(details->findChild<QWidget*>("PnlCleanupVersionFile")->isHidden());
}

TEST_F(AboutDetailsTest, WidenedForALongVersionLine) {
    Write("long.ver", VersionFile(std::string(120, 'D'), "20080115"));
    auto details = Make();
    EXPECT_GT(details->width(), 404);
    details->show();  // the anchors apply once the window has its size
    // The buttons keep to the right edge.
    const auto* close = details->findChild<QPushButton*>("btnClose");
    EXPECT_EQ(details->width() - close->geometry().right(), 7);
}

TEST_F(AboutDetailsTest, ClipboardHoldsEachLineWithACarriageReturn) {
    auto details = Make();
    Click(*details, "btnPasteClipboard");
    EXPECT_EQ(m_services.Clipboard(), "\r            Exe/Dll versions           \r\r\r\r");
}

TEST_F(AboutDetailsTest, CleanupModeOnlyWithTheRightPressAndAllThreeKeys) {
    const struct {
        Qt::MouseButton button;
        Qt::KeyboardModifiers modifiers;
        bool cleanup;
    } cases[] = {{Qt::RightButton, kAll, true},
                 {Qt::RightButton, Qt::ShiftModifier | Qt::ControlModifier, false},
                 {Qt::RightButton, Qt::ControlModifier | Qt::AltModifier, false},
                 {Qt::RightButton, Qt::NoModifier, false},
                 {Qt::LeftButton, kAll, false},
                 {Qt::MiddleButton, kAll, false}};
    for (const auto& c : cases) {
        auto details = Make();
        details->show();
        Press(*details, c.button, c.modifiers);
        EXPECT_EQ(details->CleanupMode(), c.cleanup);
        EXPECT_EQ(details->findChild<QPushButton*>("BtnCleanup")->isVisible(), c.cleanup);
        EXPECT_EQ(details->findChild<QWidget*>("PnlCleanupVersionFile")->isVisible(), c.cleanup);
        EXPECT_EQ(details->findChild<QPlainTextEdit*>("MemoDetails")->isVisible(), !c.cleanup);
        EXPECT_EQ(details->findChild<QPushButton*>("BtnEmail")->isVisible(), !c.cleanup);
        EXPECT_EQ(details->findChild<QPushButton*>("btnPasteClipboard")->isVisible(), !c.cleanup);
    }
}

TEST_F(AboutDetailsTest, CleanupListHoldsEveryVersionFile) {
    Write("Data/Update1.ver", VersionFile("Rating update", "20080115"));
    Write("blank.ver", VersionFile("  ", "20091231"));
    Write("Sub/short.VER", VersionFile("Short", "2008"));
    auto details = Make();
    Press(*details, Qt::RightButton, kAll);
    QStringList shown;
    for (int i = 0; i < CleanupList(*details).count(); ++i)
        shown << CleanupList(*details).item(i)->text();
    EXPECT_EQ(shown, QStringList({" blank.ver   - 12/31/2009", " short.VER   - ",
                                  " Update1.ver - 01/15/2008"}));
}

TEST_F(AboutDetailsTest, CleanupOfOneFile) {
    const struct {
        const char* name;
        bool select;
        int answer;
        std::vector<std::string> boxes;
        bool cleared;
    } cases[] = {
        {"nothing selected",
         false,
         platform::mrYes,
         {"Please select file you want to cleanup"},
         false},
        {"No", true, platform::mrNo, {"Are you sure you want to cleanup R&D.ver file?"}, false},
        {"Yes", true, platform::mrYes, {"Are you sure you want to cleanup R&D.ver file?"}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string contents = VersionFile("Research", "20080115");
        const std::string path = Write("R&D.ver", contents);
        m_services.ClearRecords();
        auto details = Make();
        Press(*details, Qt::RightButton, kAll);
        QListWidget& list = CleanupList(*details);
        ASSERT_EQ(list.count(), 1);
        if (c.select) list.setCurrentRow(0);
        m_services.AnswerNextBox(c.answer);
        Click(*details, "BtnCleanup");
        EXPECT_EQ(BoxTexts(), c.boxes);
        ASSERT_TRUE(platform::FileExists(path));
        const std::string after = about_test::ReadFile(path);
        if (c.cleared) {
            EXPECT_NE(after.find("BuildDate=\r\n"), std::string::npos) << after;
            EXPECT_NE(after.find("Description=Research"), std::string::npos) << after;
            EXPECT_EQ(list.item(0)->text(), " R&D.ver -");
        } else {
            EXPECT_EQ(after, contents);
            EXPECT_EQ(list.item(0)->text(), " R&D.ver - 01/15/2008");
        }
    }
}

TEST_F(AboutDetailsTest, CleanupOfAFileGoneMeanwhileOnlyCutsTheEntry) {
    const std::string path = Write("gone.ver", VersionFile("Gone", "20080115"));
    auto details = Make();
    Press(*details, Qt::RightButton, kAll);
    ASSERT_TRUE(platform::DeleteFile(path));
    CleanupList(*details).setCurrentRow(0);
    m_services.AnswerNextBox(platform::mrYes);
    Click(*details, "BtnCleanup");
    EXPECT_FALSE(platform::FileExists(path));
    EXPECT_EQ(CleanupList(*details).item(0)->text(), " gone.ver -");
}

TEST_F(AboutDetailsTest, EmailSavesTheMessageAndSendsIt) {
    Install(RECORDING_PLUGIN, "libqelEmail.so");
    Write("maint/PKMaintd.xml", kMaintenanceDefaults);
    const struct {
        const char* name;
        std::string maintenance;
        const char* recipient;
    } cases[] = {{"no maintenance folder", "", "(null)"},
                 {"maintenance folder missing", Folder() + "nowhere", "(null)"},
                 {"maintenance preferences", Folder() + "maint", "support@host.example"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::remove((Folder() + "plugin.log").c_str());
        m_properties.MaintenanceFolder = c.maintenance;
        auto details = Make();
        Click(*details, "BtnEmail");
        std::string expected;
        for (const std::string& line : details->DetailLines()) expected += line + "\r\n";
        EXPECT_EQ(about_test::ReadFile(MessageFile()), expected);
        ASSERT_EQ(PluginCalls().size(), 3u);
        EXPECT_EQ(PluginCalls()[1], std::string("send ") + c.recipient +
                                        "|(null)|Pollark User: Pollark Version Info|" +
                                        MessageFile() + "|0|0");
        EXPECT_TRUE(m_services.Boxes().empty());
    }
}

TEST_F(AboutDetailsTest, EmailErrorsAreShownAfterTheMessageIsSaved) {
    const struct {
        const char* name;
        bool plugin;
        std::string maintenance;
        std::string error;
    } cases[] = {
        {"plug-in missing", false, "",
         "Attempt to access QEL Send Email library when plugin not available"},
        {"preferences unreadable", true, Folder() + "empty-maint",
         "Storage name invalid (" + Folder() +
             "empty-maint/PKMaintd.xml).  Cannot load storage data."},
    };
    Write("empty-maint/.keep", "");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::remove(MessageFile().c_str());
        platform::DeleteFile(Folder() + "libqelEmail.so");
        if (c.plugin) Install(RECORDING_PLUGIN, "libqelEmail.so");
        m_services.ClearRecords();
        m_properties.MaintenanceFolder = c.maintenance;
        auto details = Make();
        Click(*details, "BtnEmail");
        EXPECT_EQ(BoxTexts(), std::vector<std::string>({c.error}));
        EXPECT_TRUE(platform::FileExists(MessageFile()));
        EXPECT_TRUE(PluginCalls().empty());
        EXPECT_EQ(m_services.Cursor(), platform::crDefault);
    }
}

TEST_F(AboutDetailsTest, UnwritableMessageFolderIsAnErrorAndSendsNothing) {
    Install(RECORDING_PLUGIN, "libqelEmail.so");
    Write("blocked", "a file where the folder should be");
    m_properties.InstallLocation = Folder() + "blocked";
    auto details = Make();
    Click(*details, "BtnEmail");
    ASSERT_EQ(m_services.Boxes().size(), 1u);
    EXPECT_EQ(m_services.Boxes()[0].request.text.rfind(
                  "Unable to write " + Folder() + "blocked/VersionMessage.txt", 0),
              0u);
    EXPECT_TRUE(PluginCalls().empty());
}

}  // namespace
