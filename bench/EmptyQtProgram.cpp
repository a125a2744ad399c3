// The baseline of the start benchmark: the least a Qt Widgets program does
// before it can show anything. It initialises the application, builds one
// dialog without showing it and ends, so that what Ondrik adds on top of Qt's
// own start is what the benchmark compares.
#include <QApplication>
#include <QDialog>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle("Empty");
    return 0;
}
