// Renders the real about box as the program shows it and saves it with
// QWidget::grab, for the README (scripts/screenshot-about).
//
//   about-screenshot <output.png> [details.png]
// With a second name, the version details dialog of the same folder too.
// The program folder is this program's own (the build's bin/, where the logo
// lies); the version is the program's.
#include <QApplication>
#include <cstdio>

#include "About.h"
#include "FmAboutDetailsU.h"
#include "Helpers.h"
#include "platform/Paths.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: about-screenshot <output.png> [details.png]\n");
        return 2;
    }
    const std::string folder = platform::ProgramFolder();
    std::string version = GetVersionString(folder + "Ondrik", 2);
    if (version.empty()) version = GetVersionString(platform::ProgramFileName(), 2);
    const TAboutBoxProperties properties = OndrikAboutProperties(folder, version);
    TAboutBox box(nullptr, properties);
    box.show();
    application.processEvents();
    if (!box.grab().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    if (argc == 3) {
        TFmAboutDetails details(nullptr, properties, folder);
        details.show();
        application.processEvents();
        if (!details.grab().save(QString::fromLocal8Bit(argv[2]), "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", argv[2]);
            return 1;
        }
    }
    return 0;
}
