// The lookup program Ondrik: initialises the application and runs.
#include <QApplication>
#include <cstdlib>

#include "ModalRun.h"
#include "Ondrik.h"
#include "QtServices.h"

namespace {

bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        const char* value = std::getenv(name);
        if (value && *value) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    // A host run where nobody can see a window (a service, a terminal over
    // the network) still completes: Qt draws offscreen and nothing waits.
    if (!HasDisplay() && !std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    const QString platformName = QGuiApplication::platformName();
    SetRunningHeadless(platformName == "offscreen" || platformName == "minimal");
    InstallQtServices();
    return RunOndrik(argc, argv);
}
