// The program's handlers for the platform services, backed by Qt: message
// boxes and the input box as real dialogs, the mouse cursor, the clipboard,
// the shell's default action through QDesktopServices, and the locale's short
// date format. Installed once at start-up, after the application object
// exists; processes without Qt keep the platform's stderr handlers.
//
// Headless (ModalRun.h) nothing waits for an answer: a box writes
// "<caption>: <text>" to stderr as one line and answers as Esc would (Cancel
// where the box has it, No for Yes/No, OK for OK alone); the input box
// answers "cancelled".
#pragma once

#include <QString>
#include <string>

#include "platform/Services.h"

void InstallQtServices();

// The answer Esc gives a box with these buttons.
int EscapeAnswer(platform::MsgButtons buttons);

// The short date format of a Qt date format in the platform's notation: a
// two-digit year widened to four; the C locale's is "M/d/yyyy".
std::string ShortDateFormatOf(const QString& qtFormat, bool cLocale);
