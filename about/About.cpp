#include "About.h"

#include <QDate>
#include <QDateTime>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFrame>
#include <QMouseEvent>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <csetjmp>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

// libjpeg's header needs FILE and size_t declared first.
#include <jpeglib.h>

#include "DateUtils.h"
#include "FmAboutDetailsU.h"
#include "Helpers.h"
#include "ModalRun.h"
#include "ProductInfo.h"
#include "QtText.h"
#include "SlotGuard.h"
#include "TextHelpers.h"
#include "WindowHelpers.h"
#include "platform/Files.h"
#include "platform/Services.h"
#include "platform/Text.h"

namespace {

constexpr long long kMaxLogoBytes = 16LL << 20;
constexpr long long kMaxLogoPixels = 64LL << 20;

// Geometry of the box, in 96-dpi pixels.
constexpr int kBorder = 4;
constexpr int kInnerWidth = 322;
constexpr int kInnerHeight = 378;

// ---- JPEG decoding ----------------------------------------------------------

struct TJpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr info) {
    auto* error = reinterpret_cast<TJpegError*>(info->err);
    (*info->err->format_message)(info, error->message);
    std::longjmp(error->jump, 1);
}

// Warnings of a slightly damaged file are not worth a line on stderr.
void JpegNoMessage(j_common_ptr) {}

struct TDecoded {
    int width = 0;
    int height = 0;
    int components = 0;  // 3 RGB or 4 CMYK (Adobe, inverted)
    bool inverted = false;
    std::vector<unsigned char> pixels;
};

// Only libjpeg's own structures are locals of the function that calls
// setjmp; everything the decoding changes lives in `out`, in the caller's
// frame, so nothing is indeterminate after a longjmp.
bool DecodeJpeg(const std::string& data, TDecoded& out, std::string& error) {
    jpeg_decompress_struct info;
    TJpegError jerr;
    info.err = jpeg_std_error(&jerr.manager);
    jerr.manager.error_exit = JpegErrorExit;
    jerr.manager.output_message = JpegNoMessage;
    jerr.message[0] = '\0';
    if (setjmp(jerr.jump)) {
        error = jerr.message;
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(data.data()),
                 static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    if (info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK) {
        info.out_color_space = JCS_CMYK;
        out.components = 4;
        out.inverted = info.saw_Adobe_marker;
    } else {
        info.out_color_space = JCS_RGB;
        out.components = 3;
    }
    if (static_cast<long long>(info.image_width) * info.image_height > kMaxLogoPixels) {
        error = "picture too large";
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_start_decompress(&info);
    out.width = static_cast<int>(info.output_width);
    out.height = static_cast<int>(info.output_height);
    const size_t stride = static_cast<size_t>(out.width) * out.components;
    out.pixels.resize(stride * out.height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.pixels.data() + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

// ---- Geometry helpers -------------------------------------------------------

QLabel* MakeLabel(QWidget* parent, const char* name, int x, int y, int width, int height) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setGeometry(x, y, width, height);
    label->setTextFormat(Qt::PlainText);
    return label;
}

TClickLabel* MakeLink(QWidget* parent, const char* name, int x, int y, int width, int height) {
    auto* label = new TClickLabel(parent);
    label->setObjectName(name);
    label->setGeometry(x, y, width, height);
    label->setTextFormat(Qt::PlainText);
    QFont font = label->font();
    font.setUnderline(true);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    label->setPalette(palette);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

// Sizes the label to its text and centres it across its parent's width.
void CentreToText(QLabel& label) {
    label.adjustSize();
    const QWidget* parent = label.parentWidget();
    label.move((parent->width() - label.width()) / 2, label.y());
}

std::string CurrentYear() {
    return std::to_string(QDate::currentDate().year());
}

// The last-modified date of the file in the short date format; empty when
// the file cannot be found.
std::string FileDateText(const std::string& file) {
    const QFileInfo info(ToQString(file));
    if (!info.exists()) return {};
    const QDate date = info.lastModified().date();
    const std::optional<double> day = EncodeDate(date.year(), date.month(), date.day());
    return day ? FormatDateText(*day, platform::ShortDateFormat()) : std::string();
}

}  // namespace

QImage LoadJpegImage(const std::string& file, std::string* error) {
    auto fail = [error](const std::string& why) {
        if (error) *error = why;
        return QImage();
    };
    if (!platform::FileExists(file)) return fail("no such file");
    std::string data, readError;
    if (!platform::ReadWholeFile(file, data, &readError)) return fail(readError);
    return DecodeJpegImage(data, error);
}

QImage DecodeJpegImage(const std::string& data, std::string* error) {
    auto fail = [error](const std::string& why) {
        if (error) *error = why;
        return QImage();
    };
    if (static_cast<long long>(data.size()) > kMaxLogoBytes) return fail("file too large");
    TDecoded decoded;
    std::string decodeError;
    if (!DecodeJpeg(data, decoded, decodeError)) return fail(decodeError);
    QImage image(decoded.width, decoded.height, QImage::Format_RGB32);
    if (image.isNull()) return fail("picture too large");
    const size_t stride = static_cast<size_t>(decoded.width) * decoded.components;
    for (int y = 0; y < decoded.height; ++y) {
        const unsigned char* source = decoded.pixels.data() + stride * y;
        auto* target = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < decoded.width; ++x, source += decoded.components) {
            if (decoded.components == 3) {
                target[x] = qRgb(source[0], source[1], source[2]);
            } else {
                int c = source[0], m = source[1], ye = source[2], k = source[3];
                if (!decoded.inverted) c = 255 - c, m = 255 - m, ye = 255 - ye, k = 255 - k;
                target[x] = qRgb(c * k / 255, m * k / 255, ye * k / 255);
            }
        }
    }
    if (error) error->clear();
    return image;
}

std::string YearsLine(const std::string& design, const std::string& startYear,
                      const std::string& endYear) {
    return ReplaceAllText(endYear, "#END#", ReplaceAllText(startYear, "#START#", design));
}

QString FitInstallLocation(const QString& location, const QFontMetrics& metrics, int available) {
    if (metrics.horizontalAdvance(location) <= available) return location;
    // Dropping one character at a time until "<beginning>..." fits keeps the
    // longest beginning that fits; a binary search finds the same one without
    // measuring a long location once per character.
    auto fits = [&](qsizetype kept) {
        return metrics.horizontalAdvance(location.left(kept) + "...") <= available;
    };
    // Even "<one character>..." too wide: four characters or fewer are left.
    if (!fits(1)) return QString();
    qsizetype good = 1, bad = location.size() + 1;
    while (bad - good > 1) {
        const qsizetype middle = good + (bad - good) / 2;
        (fits(middle) ? good : bad) = middle;
    }
    return location.left(good) + "...";
}

void TClickLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit Clicked();
}

TAboutBoxProperties::TAboutBoxProperties()
    : ProductTitle("Pollark Insurance Rating Software"),
      Phone(kMakerPhone),
      EndYear(CurrentYear()),
      Fax(kMakerFax),
      StartYear("1997") {}

TAboutBox::TAboutBox(QWidget* owner, const TAboutBoxProperties& properties, std::string programFile)
    : QDialog(owner), m_properties(properties), m_programFile(std::move(programFile)) {
    CreateControls();
    FormCreate();
}

void TAboutBox::CreateControls() {
    setObjectName("AboutBox");
    setWindowTitle("About");
    setFixedSize(kInnerWidth + 2 * kBorder, kInnerHeight + 2 * kBorder);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    // The coloured border is the dialog's own background around a white card.
    setAutoFillBackground(true);
    QPalette border = palette();
    border.setColor(QPalette::Window, QColor(0, 51, 153));
    setPalette(border);

    auto* card = new QFrame(this);
    card->setObjectName("pnlCard");
    card->setGeometry(kBorder, kBorder, kInnerWidth, kInnerHeight);
    card->setAutoFillBackground(true);
    QPalette white = card->palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    card->setPalette(white);

    imgLogo = MakeLabel(card, "imgLogo", (kInnerWidth - 281) / 2, 6, 281, 105);
    imgLogo->setAlignment(Qt::AlignCenter);

    lblTitle = MakeLabel(card, "lblTitle", 0, 116, kInnerWidth, 18);
    QFont bold = lblTitle->font();
    bold.setBold(true);
    lblTitle->setFont(bold);
    lblTitle->setAlignment(Qt::AlignHCenter);
    lblYears = MakeLabel(card, "lblYears", 0, 136, kInnerWidth, 16);
    lblYears->setAlignment(Qt::AlignHCenter);
    lblPhone = MakeLabel(card, "lblPhone", 0, 154, kInnerWidth, 16);
    lblPhone->setAlignment(Qt::AlignHCenter);
    lblFax = MakeLabel(card, "lblFax", 0, 170, kInnerWidth, 16);
    lblFax->setAlignment(Qt::AlignHCenter);
    lblWebSite = MakeLink(card, "lblWebSite", 0, 188, kInnerWidth, 16);
    lblWebSite->setText(ToQString(kMakerWebAddress));
    CentreToText(*lblWebSite);
    lblEmail = MakeLink(card, "lblEmail", 0, 204, kInnerWidth, 16);
    lblEmail->setText(ToQString(kMakerEmail));
    CentreToText(*lblEmail);

    auto* frame = new QFrame(card);
    frame->setObjectName("frmInfo");
    frame->setFrameShape(QFrame::StyledPanel);
    frame->setFrameShadow(QFrame::Sunken);
    frame->setGeometry(8, 224, kInnerWidth - 16, 96);
    stkPanels = new QStackedWidget(frame);
    stkPanels->setObjectName("stkPanels");
    stkPanels->setGeometry(2, 2, frame->width() - 4, frame->height() - 4);

    pnlProduct = new QWidget(stkPanels);
    pnlProduct->setObjectName("pnlProduct");
    MakeLabel(pnlProduct, "lblVersionCaption", 6, 8, 124, 16)->setText("Version:");
    lblVersion = MakeLabel(pnlProduct, "lblVersion", 132, 8, 164, 16);
    MakeLabel(pnlProduct, "lblCompileDateCaption", 6, 30, 124, 16)->setText("Version Build Date:");
    lblCompileDate = MakeLabel(pnlProduct, "lblCompileDate", 132, 30, 120, 16);
    MakeLabel(pnlProduct, "lblInstallCaption", 6, 52, 124, 16)->setText("Install Location:");
    // Fitting gives the label 20 pixels beyond its design width.
    lblInstall = MakeLink(pnlProduct, "lblInstall", 132, 52, 140, 16);
    BtnShowDetails = new QPushButton("?", pnlProduct);
    BtnShowDetails->setObjectName("BtnShowDetails");
    BtnShowDetails->setGeometry(266, 28, 20, 20);
    BtnShowDetails->setToolTip("View Version Details");
    BtnShowDetails->setFocusPolicy(Qt::TabFocus);
    stkPanels->addWidget(pnlProduct);

    pnlNotice = new QWidget(stkPanels);
    pnlNotice->setObjectName("pnlNotice");
    memNotice = new QPlainTextEdit(pnlNotice);
    memNotice->setObjectName("memNotice");
    memNotice->setReadOnly(true);
    memNotice->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memNotice->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memNotice->setGeometry(0, 0, stkPanels->width(), stkPanels->height());
    stkPanels->addWidget(pnlNotice);
    stkPanels->setCurrentWidget(pnlProduct);

    lblShowCopyright = MakeLink(card, "lblShowCopyright", 0, 326, kInnerWidth, 16);
    lblShowCopyright->setText("Click to see Third Party Copyright Information");
    CentreToText(*lblShowCopyright);

    btnPasteInstallLocation = new QPushButton("Install Loc to Clipboard", card);
    btnPasteInstallLocation->setObjectName("btnPasteInstallLocation");
    btnPasteInstallLocation->setToolTip("Paste Installation Location to Windows Clipboard");
    btnPasteInstallLocation->setGeometry(8, 346, 150, 25);
    OKButton = new QPushButton("OK", card);
    OKButton->setObjectName("OKButton");
    OKButton->setGeometry(kInnerWidth - 88, 346, 80, 25);
    OKButton->setDefault(true);

    connect(lblWebSite, &TClickLabel::Clicked, this,
            [this] { GuardedSlot([this] { lblWebSiteClick(); }); });
    connect(lblEmail, &TClickLabel::Clicked, this,
            [this] { GuardedSlot([this] { lblEmailClick(); }); });
    connect(lblInstall, &TClickLabel::Clicked, this,
            [this] { GuardedSlot([this] { lblInstallClick(); }); });
    connect(lblShowCopyright, &TClickLabel::Clicked, this,
            [this] { GuardedSlot([this] { lblShowCopyrightClick(); }); });
    connect(btnPasteInstallLocation, &QPushButton::clicked, this,
            [this] { GuardedSlot([this] { btnPasteInstallLocationClick(); }); });
    connect(BtnShowDetails, &QPushButton::clicked, this,
            [this] { GuardedSlot([this] { BtnShowDetailsClick(); }); });
    connect(OKButton, &QPushButton::clicked, this,
            [this] { GuardedSlot([this] { OKButtonClick(); }); });
}

void TAboutBox::FormCreate() {
    const TAboutBoxProperties& p = m_properties;
    lblTitle->setText(ToQString(p.ProductTitle));

    std::string version = p.Version;
    if (!platform::TrimBlanks(p.Build).empty()) version += "  Build: " + p.Build;
    lblVersion->setText(ToQString(version));
    lblCompileDate->setText(ToQString(FileDateText(m_programFile)));

    const QString location = ToQString(p.InstallLocation);
    const QFontMetrics metrics(lblInstall->font());
    lblInstall->setText(FitInstallLocation(location, metrics, lblInstall->width() + 20));
    lblInstall->resize(metrics.horizontalAdvance(lblInstall->text()), lblInstall->height());
    lblInstall->setToolTip(location);

    lblPhone->setText(ToQString("Phone: " + p.Phone));
    lblFax->setText(ToQString("Fax: " + p.Fax));
    lblYears->setText(ToQString(YearsLine(kYearsLine, p.StartYear, p.EndYear)));
    // Lines of the notice end in CR LF; the text box breaks at LF alone.
    memNotice->setPlainText(ToQString(ReplaceAllText("\n", "\r\n", p.NoticeText)));

    if (platform::FileExists(p.LogoFile)) {
        const QImage logo = LoadJpegImage(p.LogoFile);
        if (!logo.isNull()) imgLogo->setPixmap(QPixmap::fromImage(logo));
    }
    CenterOnScreen(*this);
}

bool TAboutBox::NoticeInFront() const {
    return stkPanels->currentWidget() == pnlNotice;
}

void TAboutBox::lblWebSiteClick() {
    ShellOpen(FromQString(lblWebSite->text()), "", "", 5);
}

void TAboutBox::lblEmailClick() {
    ShellOpen("MailTo:" + FromQString(lblEmail->text()), "", "", 5);
}

void TAboutBox::lblInstallClick() {
    ShellOpen(m_properties.InstallLocation, "", "", 1);
}

void TAboutBox::btnPasteInstallLocationClick() {
    platform::SetClipboardText(m_properties.InstallLocation);
}

void TAboutBox::BtnShowDetailsClick() {
    std::unique_ptr<TFmAboutDetails> details;
    {
        TScreenCursor hourglass(platform::crHourGlass);
        details = std::make_unique<TFmAboutDetails>(nullptr, m_properties,
                                                    platform::ExtractFilePath(m_programFile));
    }
    ExecModal(*details, "Version Details");
}

void TAboutBox::lblShowCopyrightClick() {
    m_showNotice = !m_showNotice;
    stkPanels->setCurrentWidget(m_showNotice ? pnlNotice : pnlProduct);
    lblShowCopyright->setText(m_showNotice
                                  ? "Click to show Product Information"
                                  : "Click to show Third Party Copyright/Royalty Information");
    CentreToText(*lblShowCopyright);
}

void TAboutBox::OKButtonClick() {
    done(QDialog::Accepted);
}

TAboutBoxProperties OndrikAboutProperties(const std::string& programFolder,
                                          const std::string& version) {
    TAboutBoxProperties properties;
    properties.ProductTitle = "Pollark Ondrik";
    properties.LogoFile = programFolder + "OndrikLogo.jpg";
    properties.Version = version;
    properties.InstallLocation = programFolder;
    properties.UserName = "Pollark User";
    properties.NoticeText = kDataNotice;
    return properties;
}

void ShowOndrikAbout(QWidget* owner, const std::string& programFolder, const std::string& version) {
    GuardedSlot([&] {
        const TAboutBoxProperties properties = OndrikAboutProperties(programFolder, version);
        TAboutBox box(owner, properties);
        ExecModal(box, "About " + properties.ProductTitle);
    });
}
