// The version details behind the about box's "?" button: the file versions
// of the suite's programs and libraries in the program folder and the
// version files below it, copied to the clipboard or e-mailed through the
// e-mail plug-in (qelSendEmailPortal.h), and a concealed clean-up mode
// (right press on the text with Shift, Ctrl and Alt held) that clears the
// build date of one version file.
//
// Errors of the handlers (a message file that cannot be written, unreadable
// maintenance preferences, a missing plug-in, a version file that cannot be
// written) are shown in the program's error box and lose nothing.
#pragma once

#include <QDialog>
#include <QListWidgetItem>
#include <memory>
#include <string>
#include <vector>

#include "Exception.h"
#include "platform/Paths.h"

class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QWidget;
struct TAboutBoxProperties;

class EFmAboutDetails : public Exception {
public:
    using Exception::Exception;
};

// The full path of one version file of the clean-up list.
struct TPathObj {
    explicit TPathObj(std::string path) : Path(std::move(path)) {}
    std::string Path;
};

// A line of the clean-up list; it owns its TPathObj. Lines sort without
// regard to case.
class TCleanupItem : public QListWidgetItem {
public:
    TCleanupItem(const QString& text, std::unique_ptr<TPathObj> path)
        : QListWidgetItem(text), m_path(std::move(path)) {}
    const TPathObj& PathObj() const { return *m_path; }
    bool operator<(const QListWidgetItem& other) const override;

private:
    std::unique_ptr<TPathObj> m_path;
};

class TFmAboutDetails : public QDialog {
    Q_OBJECT
public:
    // The properties are held by reference, not owned; `programFolder` is
    // the folder listed (the running program's by default).
    TFmAboutDetails(QWidget* owner, const TAboutBoxProperties& properties,
                    std::string programFolder = platform::ProgramFolder());
    ~TFmAboutDetails() override;

    // The details text line by line, as shown.
    const std::vector<std::string>& DetailLines() const { return m_lines; }
    // ListBoxVersions: the version files found, relative to the folder.
    const std::vector<std::string>& VersionFiles() const { return m_versionFiles; }
    bool CleanupMode() const { return m_cleanupMode; }

    // Event handlers; errors are shown in the error box (SlotGuard.h).
    void btnPasteClipboardClick();
    void BtnEmailClick();
    void MemoDetailsMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers modifiers);
    void BtnCleanupClick();
    void BtnCloseClick();
    void FormClose();

    void done(int result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void CreateControls();
    void FormCreate();
    void EnterCleanupMode();
    std::string FolderWithSeparator() const;

    const TAboutBoxProperties& m_properties;
    std::string m_programFolder;
    std::vector<std::string> m_lines;
    std::vector<std::string> m_versionFiles;
    bool m_cleanupMode = false;
    bool m_centred = false;

    QPlainTextEdit* MemoDetails = nullptr;
    QWidget* PnlCleanupVersionFile = nullptr;
    QLabel* lblCleanupTitle = nullptr;
    QListWidget* LbxCleanupVersions_Show = nullptr;
    QLabel* lblCleanupHint = nullptr;
    QPushButton* btnPasteClipboard = nullptr;
    QPushButton* BtnEmail = nullptr;
    QPushButton* btnClose = nullptr;
    QPushButton* BtnCleanup = nullptr;
};
