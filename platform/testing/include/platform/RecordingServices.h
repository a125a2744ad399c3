// Test support: installs recording handlers for every desktop service for the
// lifetime of the object, and restores the previous handlers afterwards.
// Boxes are recorded and answered from a script (first in, first out); with
// the script empty a box answers its default button.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/Services.h"

namespace platform::testing {

class RecordingServices {
public:
    RecordingServices();
    ~RecordingServices();
    RecordingServices(const RecordingServices&) = delete;
    RecordingServices& operator=(const RecordingServices&) = delete;

    struct Box {
        MessageBoxRequest request;
        CursorId cursorWhileShown;
        int answer;
    };

    void AnswerNextBox(int answer) { m_boxAnswers.push_back(answer); }
    // Makes the next box fail (its handler throws std::runtime_error).
    void FailNextBox() { m_failNextBox = true; }
    void AnswerNextInput(std::optional<std::string> answer) { m_inputAnswers.push_back(answer); }
    void AnswerNextShellOpen(int code) { m_shellAnswers.push_back(code); }

    const std::vector<Box>& Boxes() const { return m_boxes; }
    const std::vector<InputBoxRequest>& Inputs() const { return m_inputs; }
    const std::vector<ShellOpenRequest>& ShellOpens() const { return m_shellOpens; }
    std::vector<CursorId> CursorChanges() const { return m_cursorChanges; }
    CursorId Cursor() const { return m_cursor; }
    const std::string& Clipboard() const { return m_clipboard; }
    void ClearRecords();

private:
    std::deque<int> m_boxAnswers;
    std::deque<std::optional<std::string>> m_inputAnswers;
    std::deque<int> m_shellAnswers;
    bool m_failNextBox = false;
    std::vector<Box> m_boxes;
    std::vector<InputBoxRequest> m_inputs;
    std::vector<ShellOpenRequest> m_shellOpens;
    std::vector<CursorId> m_cursorChanges;
    CursorId m_cursor = crDefault;
    std::string m_clipboard;

    MessageBoxHandler m_prevBox;
    InputBoxHandler m_prevInput;
    CursorHandler m_prevCursor;
    ClipboardHandler m_prevClipboard;
    ShellOpenHandler m_prevShell;
};

}  // namespace platform::testing
