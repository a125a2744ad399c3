// Shared pieces of the about tests: a program folder of their own with the
// desktop services recorded, the stand-in plug-ins' record, and modal
// windows answered from a queued timer.
#pragma once

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

#include "platform/RecordingServices.h"
#include "platform/TempFolder.h"

namespace about_test {

// A fresh folder (its own $WINDIR too), recorded services, and
// $QELEMAIL_RECORD pointing at "plugin.log" in it for the fixture's life.
class TAboutFixture {
public:
    TAboutFixture();
    ~TAboutFixture();

    const std::string& Folder() const { return m_temp.Path(); }
    std::string Write(const std::string& relative, const std::string& contents) const {
        return m_temp.Write(relative, contents);
    }
    // Copies a built file into the folder under the name given.
    std::string Install(const std::string& builtFile, const std::string& name) const;
    // The stand-in plug-in's calls so far, one a line; none when it was
    // never loaded.
    std::vector<std::string> PluginCalls() const;

    platform::testing::TempFolder m_temp;
    platform::testing::RecordingServices m_services;
};

std::string ReadFile(const std::string& path);
// Splits at line feeds; a final empty piece is dropped.
std::vector<std::string> Lines(const std::string& text);

// Runs `act` on the next modal window once it is up (from a queued timer),
// then closes that window if `act` left it open.
void WhenModalShown(std::function<void(QWidget*)> act);

}  // namespace about_test
