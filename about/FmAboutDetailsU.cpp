#include "FmAboutDetailsU.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>

#include "About.h"
#include "FilesOperationsU.h"
#include "PKMaint_PrefsU.h"
#include "QtText.h"
#include "SlotGuard.h"
#include "TextHelpers.h"
#include "WindowHelpers.h"
#include "platform/Files.h"
#include "platform/Services.h"
#include "qelSendEmailPortal.h"

namespace {

constexpr int kClientWidth = 404;
constexpr int kClientHeight = 283;
constexpr int kButtonWidth = 116;

QPushButton* MakeButton(QWidget* parent, const char* name, const char* caption, int y) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(kClientWidth - kButtonWidth - 6, y, kButtonWidth, 25);
    return button;
}

}  // namespace

bool TCleanupItem::operator<(const QListWidgetItem& other) const {
    const int folded = text().compare(other.text(), Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : text() < other.text();
}

TFmAboutDetails::TFmAboutDetails(QWidget* owner, const TAboutBoxProperties& properties,
                                 std::string programFolder)
    : QDialog(owner), m_properties(properties), m_programFolder(std::move(programFolder)) {
    CreateControls();
    FormCreate();
}

TFmAboutDetails::~TFmAboutDetails() {
    FormClose();
}

void TFmAboutDetails::CreateControls() {
    setObjectName("FmAboutDetails");
    setWindowTitle("Version Details");
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    resize(kClientWidth, kClientHeight);
    setAutoFillBackground(true);
    QPalette tip = palette();
    tip.setColor(QPalette::Window, tip.color(QPalette::ToolTipBase));
    tip.setColor(QPalette::WindowText, tip.color(QPalette::ToolTipText));
    setPalette(tip);

    const QRect textArea(6, 6, kClientWidth - kButtonWidth - 18, kClientHeight - 12);
    MemoDetails = new QPlainTextEdit(this);
    MemoDetails->setObjectName("MemoDetails");
    MemoDetails->setGeometry(textArea);
    MemoDetails->setReadOnly(true);
    MemoDetails->setLineWrapMode(QPlainTextEdit::NoWrap);
    MemoDetails->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // A right press is the clean-up gesture, not a menu.
    MemoDetails->setContextMenuPolicy(Qt::NoContextMenu);
    QFont fixed("Courier");
    fixed.setStyleHint(QFont::TypeWriter);
    fixed.setFixedPitch(true);
    fixed.setPixelSize(11);
    MemoDetails->setFont(fixed);
    MemoDetails->viewport()->installEventFilter(this);

    PnlCleanupVersionFile = new QWidget(this);
    PnlCleanupVersionFile->setObjectName("PnlCleanupVersionFile");
    PnlCleanupVersionFile->setGeometry(textArea);
    lblCleanupTitle = new QLabel("Cleanup Version files", PnlCleanupVersionFile);
    lblCleanupTitle->setObjectName("lblCleanupTitle");
    QFont title("Arial");
    title.setStyleHint(QFont::SansSerif);
    title.setBold(true);
    lblCleanupTitle->setFont(title);
    lblCleanupTitle->setGeometry(4, 2, textArea.width() - 8, 18);
    LbxCleanupVersions_Show = new QListWidget(PnlCleanupVersionFile);
    LbxCleanupVersions_Show->setObjectName("LbxCleanupVersions_Show");
    LbxCleanupVersions_Show->setSortingEnabled(true);
    LbxCleanupVersions_Show->setFont(fixed);
    LbxCleanupVersions_Show->setGeometry(4, 22, textArea.width() - 8, textArea.height() - 62);
    lblCleanupHint = new QLabel("Select Version file and click \"Cleanup Version File\" button ",
                                PnlCleanupVersionFile);
    lblCleanupHint->setObjectName("lblCleanupHint");
    lblCleanupHint->setTextFormat(Qt::PlainText);
    lblCleanupHint->setWordWrap(true);
    lblCleanupHint->setGeometry(4, textArea.height() - 38, textArea.width() - 8, 36);
    SetAnchors(*lblCleanupTitle, akLeft | akTop | akRight);
    SetAnchors(*LbxCleanupVersions_Show, akLeft | akTop | akRight | akBottom);
    SetAnchors(*lblCleanupHint, akLeft | akRight | akBottom);
    PnlCleanupVersionFile->hide();

    btnPasteClipboard = MakeButton(this, "btnPasteClipboard", "Copy to Clipboard", 6);
    btnPasteClipboard->setToolTip("Paste to Windows Clipboard");
    BtnEmail = MakeButton(this, "BtnEmail", "Email to QEL", 38);
    btnClose = MakeButton(this, "btnClose", "&Close", 70);
    btnClose->setDefault(true);
    BtnCleanup = MakeButton(this, "BtnCleanup", "Cleanup Version File", 6);
    BtnCleanup->hide();

    SetAnchors(*MemoDetails, akLeft | akTop | akRight | akBottom);
    SetAnchors(*PnlCleanupVersionFile, akLeft | akTop | akRight | akBottom);
    for (QPushButton* button : {btnPasteClipboard, BtnEmail, btnClose, BtnCleanup})
        SetAnchors(*button, akTop | akRight);

    connect(btnPasteClipboard, &QPushButton::clicked, this,
            [this] { GuardedSlot([this] { btnPasteClipboardClick(); }); });
    connect(BtnEmail, &QPushButton::clicked, this,
            [this] { GuardedSlot([this] { BtnEmailClick(); }); });
    connect(btnClose, &QPushButton::clicked, this,
            [this] { GuardedSlot([this] { BtnCloseClick(); }); });
    connect(BtnCleanup, &QPushButton::clicked, this,
            [this] { GuardedSlot([this] { BtnCleanupClick(); }); });
}

void TFmAboutDetails::FormCreate() {
    TDetailsText details = BuildDetailsText(m_programFolder);
    m_lines = std::move(details.Lines);
    m_versionFiles = std::move(details.VersionFiles);
    QStringList text;
    for (const std::string& line : m_lines) text << ToQString(line);
    MemoDetails->setPlainText(text.join('\n'));

    // Wide enough for the longest version-file line, measured as the window
    // shows text.
    const QFontMetrics metrics(font());
    int wanted = 0;
    for (const std::string& line : details.VersionLines)
        wanted = std::max(wanted, metrics.horizontalAdvance(ToQString(line)) + 40);
    if (width() < wanted) resize(wanted, height());
}

std::string TFmAboutDetails::FolderWithSeparator() const {
    std::string folder = m_properties.InstallLocation;
    AddTrailingBackslash(folder);
    return folder;
}

void TFmAboutDetails::btnPasteClipboardClick() {
    platform::SetClipboardText("");
    std::string text;
    for (const std::string& line : m_lines) text += line + '\r';
    platform::SetClipboardText(text);
}

void TFmAboutDetails::BtnEmailClick() {
    std::string recipient, subject, messageFile;
    {
        TScreenCursor hourglass(platform::crHourGlass);
        subject = m_properties.UserName + ": Pollark Version Info";
        messageFile = FolderWithSeparator() + "VersionMessage.txt";
        std::string contents;
        for (const std::string& line : m_lines) contents += line + "\r\n";
        std::string error;
        if (!platform::WriteFileAtomic(messageFile, contents, &error))
            throw EFmAboutDetails(
                FormatText("Unable to write %s: %s", messageFile.c_str(), error.c_str()));
        const std::string& maintenance = m_properties.MaintenanceFolder;
        if (!maintenance.empty() && platform::DirectoryExists(maintenance))
            recipient = TPKMaint_Prefs(maintenance).EmailAddress();
    }
    QWidget* window = QApplication::activeWindow();
    SendVersionEmail(recipient, "", subject, messageFile, 0, 0, m_programFolder,
                     window ? static_cast<uintptr_t>(window->winId()) : 0);
}

void TFmAboutDetails::MemoDetailsMouseDown(Qt::MouseButton button,
                                           Qt::KeyboardModifiers modifiers) {
    const Qt::KeyboardModifiers all = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier;
    if (button == Qt::RightButton && (modifiers & all) == all) EnterCleanupMode();
}

void TFmAboutDetails::EnterCleanupMode() {
    size_t width = 0;
    for (const std::string& relative : m_versionFiles)
        width = std::max(width, (" " + platform::ExtractFileName(relative)).size());
    LbxCleanupVersions_Show->clear();  // the items own their path objects
    const std::string folder = EnsureEndsWith(m_programFolder, platform::PathDelim);
    for (const std::string& relative : m_versionFiles) {
        const std::string path = folder + relative;
        if (!platform::FileExists(path)) continue;
        std::string stored;
        try {
            stored = ReadVersionFile(path).BuildDate;
        } catch (const Exception&) {
            // Listed all the same: clearing it then says why it cannot be read.
        }
        const std::string line = CleanupLine(platform::ExtractFileName(path), width, stored);
        LbxCleanupVersions_Show->addItem(
            new TCleanupItem(ToQString(line), std::make_unique<TPathObj>(path)));
    }
    PnlCleanupVersionFile->show();
    BtnCleanup->show();
    MemoDetails->hide();
    btnPasteClipboard->hide();
    BtnEmail->hide();
    m_cleanupMode = true;
}

void TFmAboutDetails::BtnCleanupClick() {
    auto* item = dynamic_cast<TCleanupItem*>(LbxCleanupVersions_Show->currentItem());
    if (!item || !item->isSelected()) {
        ShowInfoMessage("Please select file you want to cleanup");
        return;
    }
    const std::string path = item->PathObj().Path;
    if (!AskYesNo("Are you sure you want to cleanup " + platform::ExtractFileName(path) + " file?"))
        return;
    if (platform::FileExists(path)) CleanupVersionFile(path);
    item->setText(ToQString(CutAfterDateSeparator(FromQString(item->text()))));
}

void TFmAboutDetails::BtnCloseClick() {
    done(QDialog::Accepted);
}

void TFmAboutDetails::FormClose() {
    if (LbxCleanupVersions_Show) LbxCleanupVersions_Show->clear();
}

void TFmAboutDetails::done(int result) {
    FormClose();
    QDialog::done(result);
}

bool TFmAboutDetails::eventFilter(QObject* watched, QEvent* event) {
    if (watched == MemoDetails->viewport() && event->type() == QEvent::MouseButtonPress) {
        const auto* press = static_cast<QMouseEvent*>(event);
        GuardedSlot([&] { MemoDetailsMouseDown(press->button(), press->modifiers()); });
    }
    return QDialog::eventFilter(watched, event);
}

void TFmAboutDetails::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_centred) return;
    m_centred = true;
    const QWidget* over = parentWidget() ? parentWidget()->window() : QApplication::activeWindow();
    if (over && over != this) {
        const QRect frame = over->frameGeometry();
        move(frame.center() - rect().center());
    } else {
        CenterOnScreen(*this);
    }
}
