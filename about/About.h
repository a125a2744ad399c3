// The about box: what the program is, which version is installed where, and
// how to reach the maker; its "?" button opens the version details
// (FmAboutDetailsU.h).
//
// Text is Windows-1252 below the user interface, converted only through
// QtText.h. The about box only shows what its properties hold and never
// changes them. Modal windows run through ExecModal (ModalRun.h).
#pragma once

#include <QDialog>
#include <QImage>
#include <QLabel>
#include <string>

#include "OndrikAbout.h"
#include "platform/Paths.h"

class QPlainTextEdit;
class QPushButton;
class QStackedWidget;
class QWidget;

// The values the about box shows. Owned by the caller; the about box and the
// version details hold a reference for their lifetime.
struct TAboutBoxProperties {
    TAboutBoxProperties();  // the values after creation, below

    std::string UserName;           // empty; the e-mail subject's prefix
    std::string ProductTitle;       // "Pollark Insurance Rating Software"
    std::string Phone;              // the maker's telephone number
    std::string Build;              // empty; appended to the version
    std::string EndYear;            // the current year
    std::string Version;            // empty
    std::string InstallLocation;    // empty; also the folder of "VersionMessage.txt"
    std::string MaintenanceFolder;  // empty; the host's maintenance settings
    std::string Fax;                // the maker's fax number
    std::string StartYear;          // "1997"
    std::string LogoFile;           // empty; the picture at the top
    std::string NoticeText;         // empty; the notice panel's text
};

// Decodes a JPEG file with libjpeg's decompression interface. A null image
// when the file is missing, unreadable, not a JPEG, damaged, or larger than
// 16 MiB or 64 megapixels; `error` then says why. Never throws but
// std::bad_alloc.
QImage LoadJpegImage(const std::string& file, std::string* error = nullptr);
// The same for the bytes of a JPEG file held in memory.
QImage DecodeJpegImage(const std::string& data, std::string* error = nullptr);

// The install location fitted to `available` pixels of `metrics`: the text
// when it fits; else its longest beginning that fits followed by "...";
// empty when not even one character and "..." fit. Measures about log2(n)
// times, so a location of any length is fitted at once.
class QFontMetrics;
QString FitInstallLocation(const QString& location, const QFontMetrics& metrics, int available);

// The years line: every "#START#" of the design text replaced by the start
// year, then every "#END#" by the end year (exact, case-sensitive).
std::string YearsLine(const std::string& design, const std::string& startYear,
                      const std::string& endYear);

// A label that answers a left click, for the about box's links.
class TClickLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void Clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    // `programFile` gives the build date (its last-modified time) and, by
    // its folder, the program folder the version details list.
    TAboutBox(QWidget* owner, const TAboutBoxProperties& properties,
              std::string programFile = platform::ProgramFileName());

    bool ShowNotice() const { return m_showNotice; }
    bool NoticeInFront() const;

    // Event handlers; errors are shown in the error box (SlotGuard.h).
    void lblWebSiteClick();
    void lblEmailClick();
    void lblInstallClick();
    void btnPasteInstallLocationClick();
    void BtnShowDetailsClick();
    void lblShowCopyrightClick();
    void OKButtonClick();

private:
    void CreateControls();
    void FormCreate();

    const TAboutBoxProperties& m_properties;
    std::string m_programFile;
    bool m_showNotice = false;

    QLabel* imgLogo = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblYears = nullptr;
    QLabel* lblPhone = nullptr;
    QLabel* lblFax = nullptr;
    TClickLabel* lblWebSite = nullptr;
    TClickLabel* lblEmail = nullptr;
    QStackedWidget* stkPanels = nullptr;
    QWidget* pnlProduct = nullptr;
    QWidget* pnlNotice = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblCompileDate = nullptr;
    TClickLabel* lblInstall = nullptr;
    QPushButton* BtnShowDetails = nullptr;
    QPlainTextEdit* memNotice = nullptr;
    TClickLabel* lblShowCopyright = nullptr;
    QPushButton* btnPasteInstallLocation = nullptr;
    QPushButton* OKButton = nullptr;
};

// The properties the lookup window passes: title "Pollark Ondrik", the logo
// "OndrikLogo.jpg" of the program folder, the version text, the program
// folder as install location, user "Pollark User", the data notice.
TAboutBoxProperties OndrikAboutProperties(const std::string& programFolder,
                                          const std::string& version);

// ShowOndrikAbout (OndrikAbout.h) shows the about box with these.
