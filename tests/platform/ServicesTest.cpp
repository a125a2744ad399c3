#include <gtest/gtest.h>

#include "platform/RecordingServices.h"
#include "platform/Services.h"

using namespace platform;

TEST(ServicesTest, DefaultBoxAnswersItsDefaultButton) {
    struct Case {
        MsgButtons buttons;
        int defaultButton;
        int answer;
    } cases[] = {{MsgButtons::OK, 0, mrOK},          {MsgButtons::YesNo, 0, mrYes},
                 {MsgButtons::YesNo, 1, mrNo},       {MsgButtons::YesNoCancel, 2, mrCancel},
                 {MsgButtons::OKCancel, 5, mrOK},    {MsgButtons::AbortRetryIgnore, 2, mrIgnore}};
    ::testing::internal::CaptureStderr();
    for (const auto& c : cases)
        EXPECT_EQ(ShowMessageBox({"text", "Caption", MsgIcon::Question, c.buttons, c.defaultButton}),
                  c.answer);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("Caption: text"), std::string::npos);
}

TEST(ServicesTest, RecorderScriptsAnswersAndRestoresDefaults) {
    {
        platform::testing::RecordingServices rec;
        rec.AnswerNextBox(mrNo);
        EXPECT_EQ(ShowMessageBox({"Q?", "Confirm", MsgIcon::Question, MsgButtons::YesNo}), mrNo);
        EXPECT_EQ(ShowMessageBox({"Q?", "Confirm", MsgIcon::Question, MsgButtons::YesNo}), mrYes);
        ASSERT_EQ(rec.Boxes().size(), 2u);
        EXPECT_EQ(rec.Boxes()[0].request.caption, "Confirm");
        rec.AnswerNextInput("typed");
        EXPECT_EQ(ShowInputBox({"c", "p", ""}), "typed");
        EXPECT_EQ(ShowInputBox({"c", "p", ""}), std::nullopt);
        SetClipboardText("clip");
        EXPECT_EQ(rec.Clipboard(), "clip");
        rec.AnswerNextShellOpen(2);
        EXPECT_EQ(ShellOpen({"MailTo:someone@example.com", "", "", 1}), 2);
        EXPECT_EQ(rec.ShellOpens()[0].file, "MailTo:someone@example.com");
    }
    // Defaults are back: the process-wide cursor and clipboard.
    SetScreenCursor(crHourGlass);
    EXPECT_EQ(GetScreenCursor(), crHourGlass);
    SetScreenCursor(crDefault);
    EXPECT_EQ(ShellOpen({"/no/such/file/anywhere", "", "", 1}), 2);
}
