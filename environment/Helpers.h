// Shared helpers of both deliverables: message boxes, system folders,
// version strings, numbers and lists. Stateless; user-interface thread.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "Exception.h"
#include "platform/Services.h"

// Raised by StrToIntTrimmed: "'%s' is not a valid integer value".
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// The three message boxes. While a box is up the screen cursor is the default
// arrow; the previous cursor comes back afterwards, also when showing fails
// (the failure then propagates). The text is shown literally ("&" included).
void ShowInfoMessage(const std::string& text);   // "Information", OK
void ShowErrorMessage(const std::string& text);  // "Error", OK
bool AskYesNo(const std::string& text);          // "Confirm", Yes/No; true for Yes
// Any other box, through the platform's box service (the cursor is left as it
// is); returns the answer (mrOK, mrYes, ...). What the handler throws propagates.
int ShowMessage(const std::string& text, const std::string& caption, platform::MsgIcon icon,
                platform::MsgButtons buttons = platform::MsgButtons::OK);

// The Windows directory trimmed of blanks and control characters, followed by
// one separator, always appended.
std::string GetWindowsFolder();

// Version keys by index: 0 CompanyName, 1 FileDescription, 2 FileVersion,
// 3 InternalName, 4 LegalCopyright, 5 LegalTradeMarks, 6 OriginalFilename,
// 7 ProductName, 8 ProductVersion, 9 Comments. Empty when the file has no
// version information, no such key, or the index is outside 0..9.
std::string GetVersionString(const std::string& fileName, int keyIndex);

// The shell's default action; its result code unchanged (above 32 is success).
int ShellOpen(const std::string& file, const std::string& parameters, const std::string& folder,
              int showCommand);

// Appends the folder separator to a non-empty text that lacks it.
void AddTrailingBackslash(std::string& text);

// Trims blanks and control characters; empty gives 0; otherwise the integer
// text syntax, raising EConvertError when the text does not follow it.
int32_t StrToIntTrimmed(const std::string& text);
// The whole text follows the integer text syntax (leading spaces only).
bool IsIntegerText(const std::string& text);
// Halves (and anything within 0.0001 below a half) round away from zero.
// NaN, infinities and values beyond the 64-bit range raise EConvertError.
int64_t RoundHalfUp(double x);

inline std::string IfThenStr(bool condition, const std::string& whenTrue,
                             const std::string& whenFalse) {
    return condition ? whenTrue : whenFalse;
}
inline int IfThenInt(bool condition, int whenTrue, int whenFalse) {
    return condition ? whenTrue : whenFalse;
}

// Lists that own their objects.
template <typename T>
void FreeListItems(std::vector<T*>& list) {
    for (T*& item : list) {
        delete item;
        item = nullptr;
    }
    list.clear();
    list.shrink_to_fit();
}

template <typename T>
void FreeListAndItems(std::vector<T*>*& list) {
    if (!list) return;
    FreeListItems(*list);
    delete list;
    list = nullptr;
}

// Text lines with attached owned objects: the objects go last to first, then
// every line.
template <typename T>
void FreeStringsObjects(std::vector<std::pair<std::string, T*>>& lines) {
    for (auto it = lines.rbegin(); it != lines.rend(); ++it) {
        delete it->second;
        it->second = nullptr;
    }
    lines.clear();
}
