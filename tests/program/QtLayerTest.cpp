#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "ModalRun.h"
#include "QtServices.h"
#include "QtText.h"
#include "WindowHelpers.h"
#include "platform/Services.h"

using namespace platform;

namespace {

// Answers the next box that opens by clicking the button with the text.
void ClickWhenShown(const QString& buttonText, QString* seenText = nullptr) {
    QTimer::singleShot(0, [buttonText, seenText] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        if (seenText) *seenText = box->text();
        for (QAbstractButton* button : box->buttons()) {
            if (button->text().remove('&') == buttonText) {
                button->click();
                return;
            }
        }
        box->reject();
    });
}

class QtServicesTest : public ::testing::Test {
protected:
    QtServicesTest() { InstallQtServices(); }
    ~QtServicesTest() override {
        SetMessageBoxHandler({});
        SetInputBoxHandler({});
        SetCursorHandler({});
        SetClipboardHandler({});
        SetShellOpenHandler({});
        SetShortDateFormatHandler({});
        SetRunningHeadless(false);
    }
};

TEST_F(QtServicesTest, BoxShowsTheTextLiterallyAndAnswersTheButtonClicked) {
    QString seen;
    ClickWhenShown("No", &seen);
    EXPECT_EQ(ShowMessageBox({"Smith & Wesson <b>", "Confirm", MsgIcon::Question, MsgButtons::YesNo, 0}), mrNo);
    EXPECT_EQ(seen, "Smith & Wesson <b>");
    ClickWhenShown("OK", &seen);
    EXPECT_EQ(ShowMessageBox({"Done:\r\rone\r\ntwo", "Information", MsgIcon::Information, MsgButtons::OK, 0}), mrOK);
    EXPECT_EQ(seen, "Done:\n\none\ntwo");
}

TEST_F(QtServicesTest, HeadlessBoxesAnswerAsEscape) {
    SetRunningHeadless(true);
    struct {
        MsgButtons buttons;
        int answer;
    } const rows[] = {{MsgButtons::OK, mrOK},           {MsgButtons::OKCancel, mrCancel},
                      {MsgButtons::YesNo, mrNo},        {MsgButtons::YesNoCancel, mrCancel},
                      {MsgButtons::RetryCancel, mrCancel}, {MsgButtons::AbortRetryIgnore, mrAbort}};
    for (const auto& row : rows) {
        EXPECT_EQ(ShowMessageBox({"text", "caption", MsgIcon::None, row.buttons, 0}), row.answer);
    }
    EXPECT_FALSE(ShowInputBox({"Printout Font Size", "Provide", "10"}).has_value());
    QDialog dialog;
    EXPECT_EQ(ExecModal(dialog, "Vehicle Details\r\nrow"), QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(QtServicesTest, ClipboardAndCursorGoThroughQt) {
    SetClipboardText(" 2005 caf\xe9");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString::fromUtf8(" 2005 café"));
    EXPECT_EQ(GetClipboardText(), " 2005 caf\xe9");
    SetScreenCursor(crHourGlass);
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EXPECT_EQ(GetScreenCursor(), crHourGlass);
    SetScreenCursor(crDefault);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(QtServicesTest, ShellOpenOfAMissingFileIsFileNotFound) {
    EXPECT_EQ(ShellOpen({"/no/such/file.txt", "", "", 1}), 2);
}

TEST(ShortDateFormatTest, QtFormatsInThePlatformNotation) {
    struct {
        const char* qt;
        bool c;
        const char* expected;
    } const rows[] = {{"M/d/yy", false, "M/d/yyyy"},
                      {"dd.MM.yy", false, "dd.MM.yyyy"},
                      {"yyyy-MM-dd", false, "yyyy-MM-dd"},
                      {"d 'y' MMM yy", false, "d 'y' MMM yyyy"},
                      {"d MMM yyyy", true, "M/d/yyyy"}};
    for (const auto& row : rows) EXPECT_EQ(ShortDateFormatOf(row.qt, row.c), row.expected) << row.qt;
}

TEST(QtTextTest, Windows1252RoundTrips) {
    std::string all;
    for (int c = 1; c < 256; ++c) {
        // The five bytes Windows-1252 leaves undefined have no character.
        if (c == 0x81 || c == 0x8D || c == 0x8F || c == 0x90 || c == 0x9D) continue;
        all += static_cast<char>(c);
    }
    EXPECT_EQ(FromQString(ToQString(all)), all);
    EXPECT_EQ(ToQString("\x80"), QString::fromUtf8("€"));
    EXPECT_EQ(FromQString(QString::fromUtf8("日")), "?");
}

TEST(WindowHelpersTest, CentreFitAndAnchors) {
    QWidget window;
    window.resize(400, 300);
    auto* stretch = new QLabel("grid", &window);
    stretch->setGeometry(10, 10, 380, 200);
    auto* corner = new QPushButton("OK", &window);
    corner->setGeometry(300, 250, 90, 25);
    auto* hidden = new QLabel("hidden", &window);
    hidden->setGeometry(10, 500, 50, 50);
    hidden->hide();
    SetAnchors(*stretch, akLeft | akTop | akRight | akBottom);
    SetAnchors(*corner, akRight | akBottom);

    window.show();
    window.resize(500, 400);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(stretch->geometry(), QRect(10, 10, 480, 300));
    EXPECT_EQ(corner->geometry(), QRect(400, 350, 90, 25));

    // The right-anchored button stays put while the window fits; the bottom
    // one moves with the bottom edge, as anchors do.
    FitToControls(window);
    EXPECT_EQ(window.width(), 490 + 3);
    EXPECT_EQ(window.height(), 375 + 3);
    EXPECT_EQ(corner->x(), 400);

    CenterOnScreen(window);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(window.x(), (screen.width() - window.width()) / 2);
    EXPECT_EQ(window.y(), (screen.height() - window.height()) / 2);
}

}  // namespace
