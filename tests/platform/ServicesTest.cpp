#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "platform/Files.h"

#include "platform/RecordingServices.h"
#include "platform/Services.h"
#include "platform/TempFolder.h"

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

// Without a handler the file goes to xdg-open, detached, in the folder given.
TEST(ServicesTest, ShellOpenStartsXdgOpenInTheFolder) {
    platform::testing::TempFolder temp;
    const std::string log = temp.Path() + "opened";
    // The fake records its folder and arguments, then shows them at once.
    temp.Write("bin/xdg-open", "#!/bin/sh\nprintf '%s\\n' \"$PWD\" \"$@\" > '" + log +
                                   ".part'\nmv '" + log + ".part' '" + log + "'\n");
    chmod((temp.Path() + "bin/xdg-open").c_str(), 0755);
    const std::string document = temp.Write("my \"odd\" file.txt", "text");
    const char* oldPath = std::getenv("PATH");
    const std::string savedPath = oldPath ? oldPath : "";
    setenv("PATH", (temp.Path() + "bin:" + savedPath).c_str(), 1);
    const int answer = ShellOpen({document, "", temp.Path() + "bin", 1});
    setenv("PATH", savedPath.c_str(), 1);
    EXPECT_EQ(answer, 42);
    for (int i = 0; i < 500 && !FileExists(log); ++i) usleep(10000);
    std::string text;
    ASSERT_TRUE(ReadWholeFile(log, text));
    EXPECT_EQ(text, temp.Path() + "bin\n" + document + "\n");
}
