#include "ModalRun.h"

#include <QDialog>
#include <cstdio>

#include "platform/TextCodec.h"

namespace {
bool g_headless = false;
}

bool RunningHeadless() { return g_headless; }
void SetRunningHeadless(bool headless) { g_headless = headless; }

std::string OneLine(const std::string& text) {
    std::string line;
    line.reserve(text.size());
    bool inBreak = false;
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            if (!inBreak) line += ' ';
            inBreak = true;
        } else {
            line += c;
            inBreak = false;
        }
    }
    return line;
}

int ExecModal(QDialog& dialog, const std::string& description) {
    if (g_headless) {
        std::fprintf(stderr, "%s\n", platform::AnsiToUtf8(OneLine(description)).c_str());
        std::fflush(stderr);
        return QDialog::Rejected;
    }
    return dialog.exec();
}
