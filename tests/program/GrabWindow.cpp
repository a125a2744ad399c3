// Saves a picture of one X window, as the screen shows it: for the README's
// screenshots, made from the real program under a virtual X server.
//   grab-window <window id> <file.png>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: grab-window <window id> <file.png>\n");
        return 2;
    }
    QGuiApplication application(argc, argv);
    char* end = nullptr;
    const WId window = std::strtoull(argv[1], &end, 0);
    if (!end || *end) {
        std::fprintf(stderr, "not a window id: %s\n", argv[1]);
        return 2;
    }
    const QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(window);
    if (picture.isNull() || !picture.save(argv[2], "PNG")) {
        std::fprintf(stderr, "cannot grab window %s into %s\n", argv[1], argv[2]);
        return 1;
    }
    return 0;
}
