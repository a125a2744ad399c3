#include "AboutTestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace about_test {

TAboutFixture::TAboutFixture() {
    setenv("QELEMAIL_RECORD", (Folder() + "plugin.log").c_str(), 1);
}

TAboutFixture::~TAboutFixture() {
    unsetenv("QELEMAIL_RECORD");
    unsetenv("QELEMAIL_ANSWER");
}

std::string TAboutFixture::Install(const std::string& builtFile, const std::string& name) const {
    return Write(name, ReadFile(builtFile));
}

std::vector<std::string> TAboutFixture::PluginCalls() const {
    return Lines(ReadFile(Folder() + "plugin.log"));
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    std::istringstream in(text);
    while (std::getline(in, line)) lines.push_back(line);
    return lines;
}

void WhenModalShown(std::function<void(QWidget*)> act) {
    // Polls until the window is up: the dialog is shown once its exec() runs.
    auto* timer = new QTimer;
    timer->setInterval(10);
    auto tries = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, act, tries] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal && ++*tries < 500) return;
        timer->stop();
        timer->deleteLater();
        if (!modal) {
            ADD_FAILURE() << "no modal window came up";
            return;
        }
        act(modal);
        if (auto* dialog = qobject_cast<QDialog*>(modal); dialog && dialog->isVisible())
            dialog->reject();
    });
    timer->start();
}

}  // namespace about_test
