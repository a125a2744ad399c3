#include "Helpers.h"

#include <cmath>

#include "platform/IniText.h"
#include "platform/IntegerText.h"
#include "platform/Paths.h"
#include "platform/Services.h"
#include "platform/VersionInfo.h"

namespace {

// Shows the box with the arrow cursor and puts the caller's cursor back.
int ShowBox(const std::string& text, const char* caption, platform::MsgIcon icon,
            platform::MsgButtons buttons) {
    struct CursorGuard {
        platform::CursorId saved = platform::GetScreenCursor();
        CursorGuard() { platform::SetScreenCursor(platform::crDefault); }
        ~CursorGuard() { platform::SetScreenCursor(saved); }
    } guard;
    return ShowMessage(text, caption, icon, buttons);
}

}  // namespace

int ShowMessage(const std::string& text, const std::string& caption, platform::MsgIcon icon,
                platform::MsgButtons buttons) {
    return platform::ShowMessageBox({text, caption, icon, buttons, 0});
}

void ShowInfoMessage(const std::string& text) {
    ShowBox(text, "Information", platform::MsgIcon::Information, platform::MsgButtons::OK);
}

void ShowErrorMessage(const std::string& text) {
    ShowBox(text, "Error", platform::MsgIcon::Error, platform::MsgButtons::OK);
}

bool AskYesNo(const std::string& text) {
    return ShowBox(text, "Confirm", platform::MsgIcon::Question, platform::MsgButtons::YesNo) ==
           platform::mrYes;
}

std::string GetWindowsFolder() {
    std::string folder = platform::WindowsDirectory();
    if (folder.size() > 255) folder.resize(255);
    return platform::TrimBlanks(folder) + platform::PathDelim;
}

std::string GetVersionString(const std::string& fileName, int keyIndex) {
    static const char* const keys[] = {"CompanyName",    "FileDescription", "FileVersion",
                                       "InternalName",   "LegalCopyright",  "LegalTradeMarks",
                                       "OriginalFilename", "ProductName",   "ProductVersion",
                                       "Comments"};
    if (keyIndex < 0 || keyIndex >= static_cast<int>(std::size(keys))) return {};
    return platform::ReadVersionValue(fileName, keys[keyIndex]);
}

int ShellOpen(const std::string& file, const std::string& parameters, const std::string& folder,
              int showCommand) {
    return platform::ShellOpen({file, parameters, folder, showCommand});
}

void AddTrailingBackslash(std::string& text) {
    if (!text.empty() && text.back() != platform::PathDelim) text += platform::PathDelim;
}

int32_t StrToIntTrimmed(const std::string& text) {
    const std::string trimmed = platform::TrimBlanks(text);
    if (trimmed.empty()) return 0;
    const auto value = platform::ParseIntegerText(trimmed);
    if (!value) throw EConvertError(FormatText("'%s' is not a valid integer value", trimmed.c_str()));
    return *value;
}

bool IsIntegerText(const std::string& text) {
    return !text.empty() && platform::ParseIntegerText(text).has_value();
}

int64_t RoundHalfUp(double x) {
    const bool negative = std::signbit(x);
    // nearbyint rounds ties to even in the default rounding mode.
    const double r = std::nearbyint(std::fabs(x) + 0.0001);
    // Converting a value outside the integer range (or NaN) is undefined.
    // 2^63 itself is the first magnitude that does not fit; -2^63 would, but
    // no caller needs it.
    if (!(r < 9223372036854775808.0))
        throw EConvertError(FormatText("%g cannot be rounded to an integer", x));
    return static_cast<int64_t>(negative ? -r : r);
}
