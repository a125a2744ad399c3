// Desktop services with replaceable process-wide handlers: message boxes,
// the input box, the mouse cursor, clipboard text, the shell's default action
// and the short date format.
//
// The program installs handlers backed by its user interface at start-up, so
// a box raised anywhere in the process (the engine included) shows as a real
// dialog. Without a handler: a box is written to stderr as caption and text
// and answers its default button; the input box answers "cancelled"; the
// cursor and the clipboard are process-wide values; shell open runs
// xdg-open. Tests install recording handlers (platform/RecordingServices.h).
//
// Every Set...Handler returns the previous handler; an empty one restores
// the default. Handlers are called on the calling thread.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/Export.h"

namespace platform {

enum class MsgIcon { None, Information, Warning, Error, Question };
enum class MsgButtons { OK, OKCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };

// Answers, numbered as the dialog results of the original platform.
enum MsgAnswer : int {
    mrNone = 0, mrOK = 1, mrCancel = 2, mrAbort = 3, mrRetry = 4, mrIgnore = 5, mrYes = 6, mrNo = 7
};

struct MessageBoxRequest {
    std::string text;     // shown literally: "&" is an ampersand, nothing is underlined
    std::string caption;
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::OK;
    int defaultButton = 0;  // index among the buttons, from 0
};

// The answer the box gives by default: its default button.
PLATFORM_API int DefaultAnswer(const MessageBoxRequest& request);

using MessageBoxHandler = std::function<int(const MessageBoxRequest&)>;
PLATFORM_API MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
PLATFORM_API int ShowMessageBox(const MessageBoxRequest& request);

struct InputBoxRequest {
    std::string caption;
    std::string prompt;
    std::string value;  // initial text
};
// The text entered, or nothing when cancelled.
using InputBoxHandler = std::function<std::optional<std::string>(const InputBoxRequest&)>;
PLATFORM_API InputBoxHandler SetInputBoxHandler(InputBoxHandler handler);
PLATFORM_API std::optional<std::string> ShowInputBox(const InputBoxRequest& request);

// Mouse cursors, numbered as the original platform's cursor identifiers.
using CursorId = int16_t;
inline constexpr CursorId crDefault = 0;
inline constexpr CursorId crArrow = -2;
inline constexpr CursorId crHourGlass = -11;
struct CursorHandler {
    std::function<CursorId()> get;
    std::function<void(CursorId)> set;
};
PLATFORM_API CursorHandler SetCursorHandler(CursorHandler handler);
PLATFORM_API CursorId GetScreenCursor();
PLATFORM_API void SetScreenCursor(CursorId cursor);

struct ClipboardHandler {
    std::function<std::string()> get;
    std::function<void(const std::string&)> set;
};
PLATFORM_API ClipboardHandler SetClipboardHandler(ClipboardHandler handler);
PLATFORM_API std::string GetClipboardText();
PLATFORM_API void SetClipboardText(const std::string& text);

// The default action of a file, a folder, a web address or a "MailTo:"
// address. Answers the shell's result code: above 32 is success; 2 file not
// found; 31 no program to open it with.
struct ShellOpenRequest {
    std::string file;
    std::string parameters;
    std::string folder;
    int showCommand = 1;
};
using ShellOpenHandler = std::function<int(const ShellOpenRequest&)>;
PLATFORM_API ShellOpenHandler SetShellOpenHandler(ShellOpenHandler handler);
PLATFORM_API int ShellOpen(const ShellOpenRequest& request);

// The short date format in the original platform's notation ("M/d/yyyy",
// "dd.MM.yyyy"). Default "M/d/yyyy"; the program installs the locale's.
using DateFormatHandler = std::function<std::string()>;
PLATFORM_API DateFormatHandler SetShortDateFormatHandler(DateFormatHandler handler);
PLATFORM_API std::string ShortDateFormat();

}  // namespace platform
