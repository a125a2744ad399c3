// The lookup window's Help > "&About": the about box with the program's own
// values. Declared here, below the program's windows, so that the window can
// call it; the about box (about/About.cpp, target `about`) defines it.
#pragma once

#include <string>

class QWidget;

// Shows the about box modally over the owner and returns when it has closed:
// title "Pollark Ondrik", the logo "OndrikLogo.jpg" of the program folder,
// the version text, the program folder as install location, user "Pollark
// User", the data supplier's notice; no maintenance folder. `programFolder`
// ends with the separator; `version` is the program file's "FileVersion".
// Headless (ModalRun.h) nothing is shown. Errors of its handlers are shown
// in the error box; nothing is thrown.
void ShowOndrikAbout(QWidget* owner, const std::string& programFolder, const std::string& version);
