#include "OndrikPrint.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>
#include <QPrintDialog>
#include <QPrinter>
#include <algorithm>

#include "Helpers.h"
#include "ModalRun.h"
#include "QtText.h"
#include "VehDets.h"
#include "platform/Paths.h"
#include "platform/Profile.h"
#include "platform/Services.h"
#include "platform/Text.h"

namespace {

const char kSettingsSection[] = "Settings";
const char kFontSizeKey[] = "PrintoutFontSize";

// Geometry of the report, in printer pixels.
constexpr int kLeft = 150;
constexpr int kTopMargin = 100;
constexpr int kTitlePointSize = 18;

std::string SettingsFile(const std::string& programFolder) {
    std::string file = programFolder;
    if (!file.empty() && file.back() != platform::PathDelim) file += platform::PathDelim;
    return file + "settings.ini";
}

// The report was laid out in "MS Sans Serif": here the desktop's default
// sans-serif font at the same point size.
QFont ReportFont(int pointSize, bool bold) {
    QFont font(QStringLiteral("Sans Serif"), pointSize, bold ? QFont::Bold : QFont::Normal);
    font.setStyleHint(QFont::SansSerif);
    return font;
}

// One print job: the painter on the printer and the position of the next line.
class TReportPage {
public:
    explicit TReportPage(QPrinter& printer) : m_printer(printer) {
        if (!m_painter.begin(&printer))
            throw EPrintError("The printer could not start the print job");
    }
    ~TReportPage() {
        if (m_painter.isActive()) m_painter.end();
    }

    void Finish() {
        if (!m_painter.end()) throw EPrintError("The printer could not finish the print job");
    }

    void SetFont(const QFont& font) { m_painter.setFont(font); }

    // Text whose top is at the current position; never wrapped, so what does
    // not fit is cut at the page edge.
    void Print(int x, const std::string& text) {
        const QFontMetrics metrics = m_painter.fontMetrics();
        m_painter.drawText(x, Position + metrics.ascent(), ToQString(text));
    }

    void Rule(int fromX, int toX) {
        m_painter.setPen(QPen(Qt::black, 1));
        m_painter.drawLine(fromX, Position, toX, Position);
    }

    int LineHeight(int lines) const { return lines * (m_painter.fontMetrics().height() + 8); }

    // Moves down the lines; a line that would start below the bottom limit
    // (half an inch and one line above the page's end) starts a new page at
    // the top margin instead. Answers whether a new page began.
    bool AdvanceLine(int lines, int topMargin) {
        Position += LineHeight(lines);
        const int bottomLimit = m_printer.height() - m_printer.logicalDpiY() / 2 - LineHeight(1);
        if (Position > bottomLimit) {
            if (!m_printer.newPage()) throw EPrintError("The printer could not start a new page");
            Position = topMargin;
            return true;
        }
        return false;
    }

    int PageWidth() const { return m_printer.width(); }

    int Position = kTopMargin;

private:
    QPrinter& m_printer;
    QPainter m_painter;
};

}  // namespace

int ClampPrintoutFontSize(int size) {
    return std::clamp(size, kMinPrintoutFontSize, kMaxPrintoutFontSize);
}

int ReadPrintoutFontSize(const std::string& programFolder) {
    return platform::ReadProfileInteger(SettingsFile(programFolder), kSettingsSection, kFontSizeKey,
                                        kDefaultPrintoutFontSize);
}

bool AskPrintoutFontSize(const std::string& programFolder, int& size) {
    const std::string preset = std::to_string(size);
    const std::optional<std::string> answer = platform::ShowInputBox(
        {"Printout Font Size", "Provide a new printout font size below (8-14)", preset});
    // A cancelled box answers what it was preset with, as the box always did.
    const std::string text = platform::TrimBlanks(answer ? *answer : preset);
    int value = 0;
    try {
        if (!IsIntegerText(text)) throw EConvertError(text);
        value = StrToIntTrimmed(text);
    } catch (const EConvertError&) {
        ShowInfoMessage("The value must be numeric");
        return false;
    }
    if (value < kMinPrintoutFontSize || value > kMaxPrintoutFontSize) {
        ShowInfoMessage("The value must be between 8 and 14");
        return false;
    }
    size = value;
    const std::string file = SettingsFile(programFolder);
    std::string error;
    if (!platform::WriteProfileInteger(file, kSettingsSection, kFontSizeKey, value, &error)) {
        ShowErrorMessage("The printout font size could not be saved in " + file +
                         (error.empty() ? "" : ": " + error));
    }
    return true;
}

void PrintVehicleDetail(QPrinter& printer, const TVinRecord& record, bool showAll, int fontSize) {
    const std::vector<std::string> properties = GetVehicleProperties(record, showAll, "=", false);
    TReportPage page(printer);

    page.SetFont(ReportFont(kTitlePointSize, true));
    page.Print(kLeft, "Vehicle Detail Report for " + std::to_string(record.ModelYear) + " " +
                          RecordText(record.Make) + " " + RecordText(record.Model));
    page.AdvanceLine(1, kTopMargin);
    page.Rule(kLeft, page.PageWidth() - kLeft);
    page.AdvanceLine(1, kTopMargin);

    const int size = ClampPrintoutFontSize(fontSize);
    const QFont caption = ReportFont(size, true);
    const QFont value = ReportFont(size, false);
    const int valueX = static_cast<int>(RoundHalfUp(page.PageWidth() * 0.3));
    for (const std::string& line : properties) {
        const size_t equals = line.find('=');
        page.SetFont(caption);
        page.Print(kLeft, line.substr(0, equals) + ":");
        page.SetFont(value);
        page.Print(valueX, equals == std::string::npos ? "" : line.substr(equals + 1));
        // One empty line between properties, but none at the top of a new
        // page: its first line belongs at the top margin, as on page one.
        if (!page.AdvanceLine(1, kTopMargin)) page.AdvanceLine(1, kTopMargin);
    }
    page.Finish();
}

bool PrintWithDialog(QWidget* owner, const TVinRecord& record, bool showAll, int fontSize) {
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, owner);
    const std::string title = "Print: Vehicle Detail Report for " +
                              std::to_string(record.ModelYear) + " " + RecordText(record.Make) +
                              " " + RecordText(record.Model);
    if (ExecModal(dialog, title) != QDialog::Accepted) return false;
    PrintVehicleDetail(printer, record, showAll, fontSize);
    return true;
}
