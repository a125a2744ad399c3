#include <gtest/gtest.h>
#include <utime.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "About.h"
#include "AboutTestSupport.h"
#include "FmAboutDetailsU.h"
#include "ModalRun.h"
#include "ProductInfo.h"
#include "QtText.h"

namespace {

using about_test::TAboutFixture;

class AboutBoxTest : public ::testing::Test, protected TAboutFixture {
protected:
    AboutBoxTest() { m_properties.InstallLocation = "/opt/ondrik/"; }

    std::unique_ptr<TAboutBox> Make(const std::string& programFile = "") {
        return std::make_unique<TAboutBox>(nullptr, m_properties,
                                           programFile.empty() ? Folder() + "Ondrik" : programFile);
    }
    template <typename T = QLabel>
    static T* Control(QWidget& box, const char* name) {
        T* control = box.findChild<T*>(name);
        EXPECT_NE(control, nullptr) << name;
        return control;
    }
    static std::string Text(QWidget& box, const char* name) {
        return FromQString(Control(box, name)->text());
    }

    TAboutBoxProperties m_properties;
};

TEST(AboutBoxProperties, ValuesAfterCreation) {
    const TAboutBoxProperties p;
    EXPECT_EQ(p.ProductTitle, "Pollark Insurance Rating Software");
    EXPECT_EQ(p.Phone, kMakerPhone);
    EXPECT_EQ(p.Fax, kMakerFax);
    EXPECT_EQ(p.StartYear, "1997");
    EXPECT_EQ(p.EndYear, std::to_string(QDate::currentDate().year()));
    for (const std::string* empty : {&p.UserName, &p.Build, &p.Version, &p.InstallLocation,
                                     &p.MaintenanceFolder, &p.LogoFile, &p.NoticeText})
        EXPECT_TRUE(empty->empty());
}

TEST(AboutBox, YearsLine) {
    const struct {
        const char *design, *expected;
    } cases[] = {{"Copyright #START#-#END# Maker", "Copyright 1997-2026 Maker"},
                 {"#END# and #END#, from #START#", "2026 and 2026, from 1997"},
                 {"No years here", "No years here"},
                 {"#start# #End#", "#start# #End#"}};
    for (const auto& c : cases)
        EXPECT_EQ(YearsLine(c.design, "1997", "2026"), c.expected) << c.design;
}

TEST_F(AboutBoxTest, VersionLineWithAndWithoutBuild) {
    const struct {
        const char *version, *build, *expected;
    } cases[] = {{"1.0.0.0", "", "1.0.0.0"},
                 {"1.0.0.0", "   ", "1.0.0.0"},
                 {"1.0.0.0", "42", "1.0.0.0  Build: 42"},
                 {"", "7", "  Build: 7"}};
    for (const auto& c : cases) {
        m_properties.Version = c.version;
        m_properties.Build = c.build;
        auto box = Make();
        EXPECT_EQ(Text(*box, "lblVersion"), c.expected) << c.build;
    }
}

TEST_F(AboutBoxTest, FillsTheLinesFromTheProperties) {
    m_properties.ProductTitle = "Pollark Ondrik";
    m_properties.StartYear = "2001";
    m_properties.EndYear = "2026";
    m_properties.NoticeText = "Data \xA9 the supplier";
    const std::string program = Write("Ondrik", "");
    utimbuf times{};
    times.modtime = times.actime = 1200398400;  // 15 January 2008, noon UTC
    ASSERT_EQ(utime(program.c_str(), &times), 0);
    auto box = Make(program);
    EXPECT_EQ(box->windowTitle(), "About");
    EXPECT_EQ(Text(*box, "lblTitle"), "Pollark Ondrik");
    EXPECT_EQ(Text(*box, "lblYears"), YearsLine(kYearsLine, "2001", "2026"));
    EXPECT_EQ(Text(*box, "lblPhone"), std::string("Phone: ") + kMakerPhone);
    EXPECT_EQ(Text(*box, "lblFax"), std::string("Fax: ") + kMakerFax);
    EXPECT_EQ(Text(*box, "lblCompileDate"), "1/15/2008");
    EXPECT_EQ(FromQString(Control<QPlainTextEdit>(*box, "memNotice")->toPlainText()),
              "Data \xA9 the supplier");
    EXPECT_EQ(Control<QPushButton>(*box, "BtnShowDetails")->toolTip(), "View Version Details");
    EXPECT_EQ(Control<QPushButton>(*box, "btnPasteInstallLocation")->toolTip(),
              "Paste Installation Location to Windows Clipboard");
    EXPECT_EQ(box->minimumSize(), box->maximumSize());  // cannot be resized
}

TEST_F(AboutBoxTest, Logo) {
    std::string garbage = Write("broken.jpg", "\xFF\xD8\xFF\xE0 not really a JPEG");
    const struct {
        std::string file;
        bool shown;
    } cases[] = {
        {LOGO_FILE, true}, {Folder() + "missing.jpg", false}, {garbage, false}, {"", false}};
    for (const auto& c : cases) {
        m_properties.LogoFile = c.file;
        auto box = Make();
        const QPixmap logo = Control(*box, "imgLogo")->pixmap();
        EXPECT_EQ(!logo.isNull(), c.shown) << c.file;
        if (c.shown) {
            EXPECT_EQ(logo.size(), QSize(281, 105));
        }
    }
    EXPECT_TRUE(m_services.Boxes().empty());  // never a message
}

TEST(AboutBox, LogoDecoding) {
    std::string error;
    const QImage logo = LoadJpegImage(LOGO_FILE, &error);
    ASSERT_FALSE(logo.isNull()) << error;
    EXPECT_EQ(logo.size(), QSize(281, 105));
    EXPECT_GT(qGray(logo.pixel(2, 2)), 240);  // white background
    const QRgb band = logo.pixel(4, 100);     // the blue band at the bottom
    EXPECT_GT(qBlue(band), qRed(band) + 60);

    TAboutFixture fixture;
    const std::string whole = about_test::ReadFile(LOGO_FILE);
    const struct {
        std::string name, contents;
    } damaged[] = {{"empty.jpg", ""},
                   {"text.jpg", "hello"},
                   {"header.jpg", whole.substr(0, 20)},
                   {"noise.jpg", "\xFF\xD8" + std::string(4000, '\x5A')}};
    for (const auto& d : damaged) {
        error.clear();
        EXPECT_TRUE(LoadJpegImage(fixture.Write(d.name, d.contents), &error).isNull()) << d.name;
        EXPECT_FALSE(error.empty()) << d.name;
    }
    // Cut in the middle of the picture data: decoded as far as it goes.
    EXPECT_EQ(LoadJpegImage(fixture.Write("half.jpg", whole.substr(0, whole.size() / 2))).size(),
              QSize(281, 105));
}

TEST(AboutBox, LogoDecodingSurvivesDamage) {
    // Every 7th byte of the real logo set to each of a few telling values,
    // and the file cut at the same places: a picture or an error, never a
    // crash (the sanitizer build watches the decoder).
    const std::string whole = about_test::ReadFile(LOGO_FILE);
    int decoded = 0, refused = 0;
    for (size_t at = 0; at < whole.size(); at += 7) {
        for (char value : {'\x00', '\xFF', '\xD9', '\x7F'}) {
            std::string damaged = whole;
            damaged[at] = value;
            std::string error;
            if (DecodeJpegImage(damaged, &error).isNull()) {
                ++refused;
                EXPECT_FALSE(error.empty()) << at;
            } else {
                ++decoded;
            }
        }
        DecodeJpegImage(whole.substr(0, at));
    }
    EXPECT_GT(decoded, 0);
    EXPECT_GT(refused, 0);
}

TEST_F(AboutBoxTest, LongInstallLocationIsFittedAndGivenWhole) {
    m_properties.InstallLocation = "/home/claims/" + std::string(150, 'x') + "/ondrik/";
    auto box = Make();
    auto* label = Control(*box, "lblInstall");
    const std::string shown = FromQString(label->text());
    ASSERT_GT(shown.size(), 3u);
    EXPECT_EQ(shown.substr(shown.size() - 3), "...");
    EXPECT_EQ(m_properties.InstallLocation.compare(0, shown.size() - 3, shown, 0, shown.size() - 3),
              0);
    EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), 160);
    EXPECT_EQ(FromQString(label->toolTip()), m_properties.InstallLocation);
    QTest::mouseClick(Control<QPushButton>(*box, "btnPasteInstallLocation"), Qt::LeftButton);
    EXPECT_EQ(m_services.Clipboard(), m_properties.InstallLocation);
}

TEST(AboutBox, FitInstallLocation) {
    const QFontMetrics metrics(QApplication::font());
    const QString location = "/opt/ondrik/";
    const int whole = metrics.horizontalAdvance(location);
    EXPECT_EQ(FitInstallLocation(location, metrics, whole), location);
    const QString fitted = FitInstallLocation(location, metrics, whole - 1);
    EXPECT_TRUE(fitted.endsWith("...")) << fitted.toStdString();
    EXPECT_LE(metrics.horizontalAdvance(fitted), whole - 1);
    EXPECT_EQ(FitInstallLocation(location, metrics, 1), QString());
    EXPECT_EQ(FitInstallLocation(QString(), metrics, 0), QString());

    // The longest beginning that fits, as dropping one character at a time
    // until it fits would leave.
    for (int available : {20, 40, 60, whole - 1}) {
        QString slow = location + "...";
        while (metrics.horizontalAdvance(slow) > available && slow.size() > 4)
            slow = slow.left(slow.size() - 4) + "...";
        if (metrics.horizontalAdvance(slow) > available) slow.clear();
        EXPECT_EQ(FitInstallLocation(location, metrics, available), slow) << available;
    }
    // A location of a million characters does not take a million measurements.
    const QString huge(1000000, 'x');
    EXPECT_TRUE(FitInstallLocation(huge, metrics, 170).endsWith("..."));
}

TEST_F(AboutBoxTest, NoticeToggle) {
    const struct {
        int clicks;
        bool notice;
        const char* caption;
    } cases[] = {{0, false, "Click to see Third Party Copyright Information"},
                 {1, true, "Click to show Product Information"},
                 {2, false, "Click to show Third Party Copyright/Royalty Information"},
                 {3, true, "Click to show Product Information"}};
    for (const auto& c : cases) {
        auto box = Make();
        auto* toggle = Control(*box, "lblShowCopyright");
        for (int i = 0; i < c.clicks; ++i) QTest::mouseClick(toggle, Qt::LeftButton);
        EXPECT_EQ(box->ShowNotice(), c.notice) << c.clicks;
        EXPECT_EQ(box->NoticeInFront(), c.notice) << c.clicks;
        EXPECT_EQ(FromQString(toggle->text()), c.caption) << c.clicks;
    }
}

TEST_F(AboutBoxTest, LinksOpenThroughTheShell) {
    auto box = Make();
    for (const char* link : {"lblWebSite", "lblEmail", "lblInstall"})
        QTest::mouseClick(Control(*box, link), Qt::LeftButton);
    QTest::mouseClick(Control(*box, "lblWebSite"), Qt::RightButton);  // not a click on a link
    const auto& opened = m_services.ShellOpens();
    ASSERT_EQ(opened.size(), 3u);
    EXPECT_EQ(opened[0].file, kMakerWebAddress);
    EXPECT_EQ(opened[0].showCommand, 5);
    EXPECT_EQ(opened[1].file, std::string("MailTo:") + kMakerEmail);
    EXPECT_EQ(opened[1].showCommand, 5);
    EXPECT_EQ(opened[2].file, "/opt/ondrik/");
    EXPECT_EQ(opened[2].showCommand, 1);
}

TEST_F(AboutBoxTest, QuestionButtonShowsTheDetailsWithTheSameProperties) {
    auto box = Make();
    QString title;
    about_test::WhenModalShown([&](QWidget* modal) {
        title = modal->windowTitle();
        EXPECT_NE(qobject_cast<TFmAboutDetails*>(modal), nullptr);
    });
    QTest::mouseClick(Control<QPushButton>(*box, "BtnShowDetails"), Qt::LeftButton);
    EXPECT_EQ(title, "Version Details");
    const std::vector<platform::CursorId> cursors = {platform::crHourGlass, platform::crDefault};
    EXPECT_EQ(m_services.CursorChanges(), cursors);
}

TEST_F(AboutBoxTest, OkCloses) {
    auto box = Make();
    about_test::WhenModalShown([](QWidget* modal) {
        QTest::mouseClick(modal->findChild<QPushButton*>("OKButton"), Qt::LeftButton);
    });
    EXPECT_EQ(box->exec(), QDialog::Accepted);
}

TEST_F(AboutBoxTest, OndrikAboutShowsTheProgramsValues) {
    Install(LOGO_FILE, "OndrikLogo.jpg");
    const TAboutBoxProperties p = OndrikAboutProperties(Folder(), "1.0.0.0");
    EXPECT_EQ(p.ProductTitle, "Pollark Ondrik");
    EXPECT_EQ(p.LogoFile, Folder() + "OndrikLogo.jpg");
    EXPECT_EQ(p.Version, "1.0.0.0");
    EXPECT_EQ(p.InstallLocation, Folder());
    EXPECT_EQ(p.UserName, "Pollark User");
    EXPECT_EQ(p.NoticeText, kDataNotice);
    EXPECT_TRUE(p.MaintenanceFolder.empty());

    std::string title, version;
    bool logo = false;
    about_test::WhenModalShown([&](QWidget* modal) {
        title = FromQString(modal->findChild<QLabel*>("lblTitle")->text());
        version = FromQString(modal->findChild<QLabel*>("lblVersion")->text());
        logo = !modal->findChild<QLabel*>("imgLogo")->pixmap().isNull();
    });
    ShowOndrikAbout(nullptr, Folder(), "1.0.0.0");
    EXPECT_EQ(title, "Pollark Ondrik");
    EXPECT_EQ(version, "1.0.0.0");
    EXPECT_TRUE(logo);
}

TEST_F(AboutBoxTest, HeadlessAboutReturnsWithoutShowing) {
    SetRunningHeadless(true);
    ShowOndrikAbout(nullptr, Folder(), "1.0.0.0");
    SetRunningHeadless(false);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

}  // namespace
