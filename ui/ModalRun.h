// The one way the program opens a modal window or dialog of its own.
//
// A host run may happen where nobody can answer: without a display the
// program runs on Qt's offscreen platform and is "headless". Then nothing
// waits for an answer: the dialog is not shown, its description goes to
// stderr as one line, and the answer Esc would give (QDialog::Rejected) is
// taken, so the run goes on as after a cancel and never hangs. Message boxes
// follow the same rule in the program's box handler (QtServices.h).
#pragma once

#include <string>

class QDialog;

// Whether the program runs without a display. Set once at start-up.
bool RunningHeadless();
void SetRunningHeadless(bool headless);

// The description is Windows-1252 text, like every text below the user
// interface; stderr gets it as UTF-8.
// Shows the dialog modally and answers its result (QDialog::Accepted or
// QDialog::Rejected, or what done() was given). Headless: writes
// "<description>" to stderr as one line (line breaks become blanks) and
// answers QDialog::Rejected without showing anything.
int ExecModal(QDialog& dialog, const std::string& description);

// The description as one line: every run of carriage returns and line feeds
// becomes one blank.
std::string OneLine(const std::string& text);
