#include "QtServices.h"

#include <QApplication>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QUrl>
#include <cstdio>
#include <vector>

#include "ModalRun.h"
#include "QtText.h"
#include "platform/TextCodec.h"

using namespace platform;

namespace {

struct TButtonSpec {
    QMessageBox::StandardButton button;
    int answer;
};

std::vector<TButtonSpec> ButtonsOf(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::OK: return {{QMessageBox::Ok, mrOK}};
        case MsgButtons::OKCancel: return {{QMessageBox::Ok, mrOK}, {QMessageBox::Cancel, mrCancel}};
        case MsgButtons::YesNo: return {{QMessageBox::Yes, mrYes}, {QMessageBox::No, mrNo}};
        case MsgButtons::YesNoCancel:
            return {{QMessageBox::Yes, mrYes}, {QMessageBox::No, mrNo}, {QMessageBox::Cancel, mrCancel}};
        case MsgButtons::RetryCancel:
            return {{QMessageBox::Retry, mrRetry}, {QMessageBox::Cancel, mrCancel}};
        case MsgButtons::AbortRetryIgnore:
            return {{QMessageBox::Abort, mrAbort}, {QMessageBox::Retry, mrRetry},
                    {QMessageBox::Ignore, mrIgnore}};
    }
    return {{QMessageBox::Ok, mrOK}};
}

QMessageBox::Icon IconOf(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Information: return QMessageBox::Information;
        case MsgIcon::Warning: return QMessageBox::Warning;
        case MsgIcon::Error: return QMessageBox::Critical;
        case MsgIcon::Question: return QMessageBox::Question;
        case MsgIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

int ShowQtMessageBox(const MessageBoxRequest& request) {
    if (RunningHeadless()) {
        std::fprintf(stderr, "%s\n", AnsiToUtf8(OneLine(request.caption + ": " + request.text)).c_str());
        std::fflush(stderr);
        return EscapeAnswer(request.buttons);
    }
    // Line breaks as the system's texts write them ("\r\n" or "\r" alone).
    QString text = ToQString(request.text);
    text.replace("\r\n", "\n").replace('\r', '\n');
    QMessageBox box(IconOf(request.icon), ToQString(request.caption), text,
                    QMessageBox::NoButton, QApplication::activeWindow());
    // Shown literally: an "&" is an ampersand, and markup is text.
    box.setTextFormat(Qt::PlainText);
    const std::vector<TButtonSpec> specs = ButtonsOf(request.buttons);
    for (const TButtonSpec& spec : specs) box.addButton(spec.button);
    const size_t defaultIndex =
        request.defaultButton >= 0 && static_cast<size_t>(request.defaultButton) < specs.size()
            ? static_cast<size_t>(request.defaultButton)
            : 0;
    box.setDefaultButton(specs[defaultIndex].button);
    const int escape = EscapeAnswer(request.buttons);
    for (const TButtonSpec& spec : specs) {
        if (spec.answer == escape) box.setEscapeButton(spec.button);
    }
    box.exec();
    const auto clicked = box.standardButton(box.clickedButton());
    for (const TButtonSpec& spec : specs) {
        if (spec.button == clicked) return spec.answer;
    }
    return escape;
}

std::optional<std::string> ShowQtInputBox(const InputBoxRequest& request) {
    if (RunningHeadless()) {
        std::fprintf(stderr, "%s\n", AnsiToUtf8(OneLine(request.caption + ": " + request.prompt)).c_str());
        std::fflush(stderr);
        return std::nullopt;
    }
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setWindowTitle(ToQString(request.caption));
    dialog.setLabelText(ToQString(request.prompt));
    dialog.setTextValue(ToQString(request.value));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return FromQString(dialog.textValue());
}

CursorId g_cursor = crDefault;

void SetQtCursor(CursorId cursor) {
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
    g_cursor = cursor;
    switch (cursor) {
        case crDefault: return;
        case crHourGlass: QApplication::setOverrideCursor(Qt::WaitCursor); return;
        default: QApplication::setOverrideCursor(Qt::ArrowCursor); return;
    }
}

// Above 32 is success, as the shell answers; 2 file not found, 31 nothing to
// open it with.
int QtShellOpen(const ShellOpenRequest& request) {
    const QString target = ToQString(request.file).trimmed();
    QUrl url;
    if (target.startsWith("mailto:", Qt::CaseInsensitive)) {
        url = QUrl("mailto:" + target.mid(7));
    } else if (target.contains(QRegularExpression("^[A-Za-z][A-Za-z0-9+.-]*://"))) {
        url = QUrl(target);
    } else if (target.startsWith("www.", Qt::CaseInsensitive)) {
        url = QUrl("http://" + target);
    } else {
        QString path = target;
        if (!request.folder.empty() && QFileInfo(path).isRelative()) {
            path = QDir(ToQString(request.folder)).filePath(path);
        }
        if (!QFileInfo::exists(path)) return 2;
        url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    }
    if (!url.isValid()) return 2;
    return QDesktopServices::openUrl(url) ? 42 : 31;
}

}  // namespace

int EscapeAnswer(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::OK: return mrOK;
        case MsgButtons::YesNo: return mrNo;
        case MsgButtons::AbortRetryIgnore: return mrAbort;
        case MsgButtons::OKCancel:
        case MsgButtons::YesNoCancel:
        case MsgButtons::RetryCancel: return mrCancel;
    }
    return mrCancel;
}

std::string ShortDateFormatOf(const QString& qtFormat, bool cLocale) {
    if (cLocale) return "M/d/yyyy";
    QString format = qtFormat;
    // Every run of "y" outside quotes becomes "yyyy".
    QString widened;
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == '\'') quoted = !quoted;
        if (!quoted && c == 'y') {
            while (i + 1 < format.size() && format[i + 1] == 'y') ++i;
            widened += "yyyy";
            continue;
        }
        widened += c;
    }
    return FromQString(widened);
}

void InstallQtServices() {
    SetMessageBoxHandler(ShowQtMessageBox);
    SetInputBoxHandler(ShowQtInputBox);
    SetCursorHandler({[] { return g_cursor; }, SetQtCursor});
    SetClipboardHandler({[] { return FromQString(QGuiApplication::clipboard()->text()); },
                         [](const std::string& text) {
                             QGuiApplication::clipboard()->setText(ToQString(text));
                         }});
    SetShellOpenHandler(QtShellOpen);
    SetShortDateFormatHandler([] {
        const QLocale locale;
        return ShortDateFormatOf(locale.dateFormat(QLocale::ShortFormat),
                                 locale.language() == QLocale::C);
    });
}
