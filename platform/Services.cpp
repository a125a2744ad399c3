#include "platform/Services.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

#include "platform/Files.h"

extern char** environ;

namespace platform {
namespace {

template <typename H>
H Swap(H& slot, H handler) {
    H previous = std::move(slot);
    slot = std::move(handler);
    return previous;
}

struct State {
    MessageBoxHandler box;
    InputBoxHandler input;
    CursorHandler cursor;
    ClipboardHandler clipboard;
    ShellOpenHandler shell;
    DateFormatHandler dateFormat;
    CursorId currentCursor = crDefault;
    std::string clipboardText;
};

State& S() {
    static State state;
    return state;
}

int ButtonCount(MsgButtons b) {
    switch (b) {
        case MsgButtons::OK: return 1;
        case MsgButtons::OKCancel:
        case MsgButtons::YesNo:
        case MsgButtons::RetryCancel: return 2;
        case MsgButtons::YesNoCancel:
        case MsgButtons::AbortRetryIgnore: return 3;
    }
    return 1;
}

int ButtonAnswer(MsgButtons b, int index) {
    static const int answers[][3] = {
        {mrOK, mrOK, mrOK},        {mrOK, mrCancel, mrCancel},  {mrYes, mrNo, mrNo},
        {mrYes, mrNo, mrCancel},   {mrRetry, mrCancel, mrCancel}, {mrAbort, mrRetry, mrIgnore},
    };
    if (index < 0 || index >= ButtonCount(b)) index = 0;
    return answers[static_cast<int>(b)][index];
}

bool LooksLikeAddress(const std::string& s) {
    const auto colon = s.find(':');
    return colon != std::string::npos && colon > 1 && s.find('/') != 0;
}

// Starts xdg-open detached (double fork) so that neither a zombie nor a
// blocking viewer is left behind.
int RunXdgOpen(const ShellOpenRequest& r) {
    if (!LooksLikeAddress(r.file) && !FileExists(r.file) && !DirectoryExists(r.file)) return 2;
    // Everything the child needs is made here: between fork and exec only
    // async-signal-safe calls are allowed, and allocating is not one.
    std::vector<char*> argv{const_cast<char*>("xdg-open"), const_cast<char*>(r.file.c_str()),
                            nullptr};
    const char* folder = r.folder.empty() ? nullptr : r.folder.c_str();
    const pid_t child = fork();
    if (child < 0) return 8;  // out of memory or resources
    if (child == 0) {
        if (folder != nullptr && chdir(folder) != 0) _exit(127);
        pid_t grandchild = 0;
        const int rc = posix_spawnp(&grandchild, "xdg-open", nullptr, nullptr, argv.data(), environ);
        _exit(rc == 0 ? 0 : 127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 42 : 31;
}

}  // namespace

int DefaultAnswer(const MessageBoxRequest& request) {
    return ButtonAnswer(request.buttons, request.defaultButton);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    return Swap(S().box, std::move(handler));
}

int ShowMessageBox(const MessageBoxRequest& request) {
    if (S().box) return S().box(request);
    std::fprintf(stderr, "%s: %s\n", request.caption.c_str(), request.text.c_str());
    return DefaultAnswer(request);
}

InputBoxHandler SetInputBoxHandler(InputBoxHandler handler) {
    return Swap(S().input, std::move(handler));
}

std::optional<std::string> ShowInputBox(const InputBoxRequest& request) {
    if (S().input) return S().input(request);
    return std::nullopt;
}

CursorHandler SetCursorHandler(CursorHandler handler) {
    return Swap(S().cursor, std::move(handler));
}

CursorId GetScreenCursor() { return S().cursor.get ? S().cursor.get() : S().currentCursor; }

void SetScreenCursor(CursorId cursor) {
    if (S().cursor.set)
        S().cursor.set(cursor);
    else
        S().currentCursor = cursor;
}

ClipboardHandler SetClipboardHandler(ClipboardHandler handler) {
    return Swap(S().clipboard, std::move(handler));
}

std::string GetClipboardText() {
    return S().clipboard.get ? S().clipboard.get() : S().clipboardText;
}

void SetClipboardText(const std::string& text) {
    if (S().clipboard.set)
        S().clipboard.set(text);
    else
        S().clipboardText = text;
}

ShellOpenHandler SetShellOpenHandler(ShellOpenHandler handler) {
    return Swap(S().shell, std::move(handler));
}

int ShellOpen(const ShellOpenRequest& request) {
    return S().shell ? S().shell(request) : RunXdgOpen(request);
}

DateFormatHandler SetShortDateFormatHandler(DateFormatHandler handler) {
    return Swap(S().dateFormat, std::move(handler));
}

std::string ShortDateFormat() { return S().dateFormat ? S().dateFormat() : "M/d/yyyy"; }

}  // namespace platform
