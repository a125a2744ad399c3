#include "platform/RecordingServices.h"

#include <stdexcept>

namespace platform::testing {

RecordingServices::RecordingServices() {
    m_prevBox = SetMessageBoxHandler([this](const MessageBoxRequest& r) {
        if (m_failNextBox) {
            m_failNextBox = false;
            throw std::runtime_error("message box failed");
        }
        int answer = DefaultAnswer(r);
        if (!m_boxAnswers.empty()) {
            answer = m_boxAnswers.front();
            m_boxAnswers.pop_front();
        }
        m_boxes.push_back({r, m_cursor, answer});
        return answer;
    });
    m_prevInput = SetInputBoxHandler([this](const InputBoxRequest& r) {
        m_inputs.push_back(r);
        std::optional<std::string> answer;
        if (!m_inputAnswers.empty()) {
            answer = m_inputAnswers.front();
            m_inputAnswers.pop_front();
        }
        return answer;
    });
    m_prevCursor = SetCursorHandler({[this] { return m_cursor; },
                                     [this](CursorId c) {
                                         m_cursor = c;
                                         m_cursorChanges.push_back(c);
                                     }});
    m_prevClipboard = SetClipboardHandler(
        {[this] { return m_clipboard; }, [this](const std::string& t) { m_clipboard = t; }});
    m_prevShell = SetShellOpenHandler([this](const ShellOpenRequest& r) {
        m_shellOpens.push_back(r);
        int code = 42;
        if (!m_shellAnswers.empty()) {
            code = m_shellAnswers.front();
            m_shellAnswers.pop_front();
        }
        return code;
    });
}

RecordingServices::~RecordingServices() {
    SetMessageBoxHandler(std::move(m_prevBox));
    SetInputBoxHandler(std::move(m_prevInput));
    SetCursorHandler(std::move(m_prevCursor));
    SetClipboardHandler(std::move(m_prevClipboard));
    SetShellOpenHandler(std::move(m_prevShell));
}

void RecordingServices::ClearRecords() {
    m_boxes.clear();
    m_inputs.clear();
    m_shellOpens.clear();
    m_cursorChanges.clear();
}

}  // namespace platform::testing
