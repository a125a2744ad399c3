// The printed vehicle report, printed to PDF and read back with pdftotext
// (its -bbox form for where each word landed), and the printout font size
// kept in settings.ini, asked through a scripted input box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <regex>
#include <sstream>

#include "ModalRun.h"
#include "OndrikPrint.h"
#include "VehDets.h"
#include "platform/RecordingServices.h"
#include "platform/TempFolder.h"

namespace {

// 720 printer pixels an inch: ten pixels are one PDF point.
constexpr int kDpi = 720;
constexpr double kPointsPerPixel = 72.0 / kDpi;

struct TWord {
    int page;  // from 0
    double xMin, yMin, yMax;
    std::string text;
};

struct TPrinted {
    std::vector<TWord> words;
    double pageWidth = 0, pageHeight = 0;  // points
    int pages = 0;
};

std::string Run(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
        pclose(pipe);
    }
    return out;
}

// The font may join "ff", "fi", "fl" into one glyph; the text is what counts.
std::string WithoutLigatures(std::string text) {
    static const std::pair<const char*, const char*> ligatures[] = {{"\xEF\xAC\x80", "ff"},
                                                                    {"\xEF\xAC\x81", "fi"},
                                                                    {"\xEF\xAC\x82", "fl"},
                                                                    {"\xEF\xAC\x83", "ffi"},
                                                                    {"\xEF\xAC\x84", "ffl"}};
    for (const auto& [joined, letters] : ligatures) {
        for (size_t at; (at = text.find(joined)) != std::string::npos;)
            text.replace(at, std::strlen(joined), letters);
    }
    return text;
}

// The words of the PDF, page by page, as pdftotext -bbox reports them.
TPrinted ReadBack(const std::string& pdf) {
    const std::string html = Run("pdftotext -bbox '" + pdf + "' -");
    TPrinted printed;
    static const std::regex page(R"re(<page width="([\d.]+)" height="([\d.]+)">)re");
    static const std::regex word(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="[\d.]+" yMax="([\d.]+)">([^<]*)</word>)re");
    std::istringstream lines(html);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (std::regex_search(line, m, page)) {
            printed.pageWidth = std::stod(m[1]);
            printed.pageHeight = std::stod(m[2]);
            ++printed.pages;
        } else if (std::regex_search(line, m, word)) {
            printed.words.push_back({printed.pages - 1, std::stod(m[1]), std::stod(m[2]),
                                     std::stod(m[3]), WithoutLigatures(m[4])});
        }
    }
    return printed;
}

std::vector<std::string> Texts(const TPrinted& printed) {
    std::vector<std::string> texts;
    for (const TWord& w : printed.words) texts.push_back(w.text);
    return texts;
}

const TWord* Find(const TPrinted& printed, const std::string& text, int page = -1) {
    for (const TWord& w : printed.words) {
        if (w.text == text && (page < 0 || w.page == page)) return &w;
    }
    return nullptr;
}

class PrintTest : public ::testing::Test {
protected:
    PrintTest() : m_record(NewVinRecord()) {
        ClearVinRecord(*m_record);
        m_record->ModelYear = 2005;
        m_record->Make = ReplaceRecordText(m_record->Make, "HONDA");
        m_record->Model = ReplaceRecordText(m_record->Model, "ACCORD LX");
        m_record->VIN = ReplaceRecordText(m_record->VIN, "1HGCM82633A004352");
        m_record->Symbol = 12;
    }

    TPrinted Print(bool showAll, int fontSize, const std::string& name = "report.pdf") {
        const std::string pdf = m_folder.Path() + name;
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(pdf));
        printer.setResolution(kDpi);
        printer.setPageSize(QPageSize(QPageSize::Letter));
        // Pixel 0 is the paper's edge, so PDF points map straight to pixels.
        printer.setFullPage(true);
        PrintVehicleDetail(printer, *m_record, showAll, fontSize);
        return ReadBack(pdf);
    }

    platform::testing::TempFolder m_folder;
    TVinRecordPtr m_record;
};

TEST_F(PrintTest, TitleRuleCaptionsAndValues) {
    const TPrinted printed = Print(false, 10);
    ASSERT_EQ(printed.pages, 1);
    const std::vector<std::string> texts = Texts(printed);
    const std::vector<std::string> title = {"Vehicle", "Detail", "Report", "for",
                                            "2005",    "HONDA",  "ACCORD", "LX"};
    ASSERT_GE(texts.size(), title.size());
    EXPECT_EQ(std::vector<std::string>(texts.begin(), texts.begin() + 8), title);

    // Caption at 150 pixels, its value at 30% of the page width, one line.
    struct {
        const char* caption;
        const char* value;
    } const rows[] = {
        {"Make:", "HONDA"}, {"VIN:", "1HGCM82633A004352"}, {"Symbol:", "12"}, {"Cylinders:", "0"}};
    const double valueX = printed.pageWidth * 0.3;
    for (const auto& row : rows) {
        const TWord* caption = Find(printed, row.caption);
        ASSERT_NE(caption, nullptr) << row.caption;
        EXPECT_NEAR(caption->xMin, 150 * kPointsPerPixel, 1.0) << row.caption;
        const TWord* value = nullptr;
        for (const TWord& w : printed.words) {
            if (w.text == row.value && std::abs(w.yMin - caption->yMin) < 1.0) value = &w;
        }
        ASSERT_NE(value, nullptr) << row.caption;
        EXPECT_NEAR(value->xMin, valueX, 1.0) << row.caption;
    }
    // The title's first line is at the top margin; empty values are left out.
    EXPECT_NEAR(Find(printed, "Vehicle")->yMin, 100 * kPointsPerPixel, 2.0);
    EXPECT_EQ(Find(printed, "Other"), nullptr);
}

TEST_F(PrintTest, LongReportGoesOnOnASecondPageAtTheTopMargin) {
    m_record->OtherInfo = ReplaceRecordText(m_record->OtherInfo, "RARE");
    const TPrinted printed = Print(true, 14);
    ASSERT_EQ(printed.pages, 2);

    // Every caption printed once, in order, across both pages: a line is
    // the words at one height, its caption those left of the value column.
    std::vector<std::string> expected;
    for (const std::string& line : GetVehicleProperties(*m_record, true, "=", false))
        expected.push_back(line.substr(0, line.find('=')) + ":");
    std::vector<std::string> captions;
    const TWord* previous = nullptr;
    double firstOnPage2 = 1e9;
    for (const TWord& w : printed.words) {
        if (w.page == 1) firstOnPage2 = std::min(firstOnPage2, w.yMin);
        const bool sameLine =
            previous && previous->page == w.page && std::abs(previous->yMin - w.yMin) < 1.0;
        if (!sameLine && std::abs(w.xMin - 150 * kPointsPerPixel) < 1.0) {
            captions.push_back(w.text);
        } else if (sameLine && w.xMin < printed.pageWidth * 0.3 - 1.0 && !captions.empty()) {
            captions.back() += " " + w.text;
        }
        previous = &w;
    }
    // The title is the first line at the left edge.
    ASSERT_FALSE(captions.empty());
    captions.erase(captions.begin());
    EXPECT_EQ(captions, expected);
    EXPECT_NEAR(firstOnPage2, 100 * kPointsPerPixel, 2.0);
    // Nothing starts below half an inch plus a line above the page's end.
    for (const TWord& w : printed.words) {
        EXPECT_LT(w.yMin, printed.pageHeight - 36) << w.text;
    }
    EXPECT_NE(Find(printed, "RARE"), nullptr);
}

TEST_F(PrintTest, FontSizeIsClampedTo8Through14) {
    auto height = [&](int size) {
        const TPrinted printed = Print(false, size, "size" + std::to_string(size) + ".pdf");
        const TWord* make = Find(printed, "Make:");
        return make ? make->yMax - make->yMin : -1.0;
    };
    const double at8 = height(8), at14 = height(14);
    ASSERT_GT(at8, 0);
    EXPECT_LT(at8, at14);
    struct {
        int asked;
        double printedAs;
    } const cases[] = {{20, at14}, {15, at14}, {5, at8}, {-3, at8}};
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(height(c.asked), c.printedAs) << c.asked;
    EXPECT_EQ(ClampPrintoutFontSize(11), 11);
}

TEST_F(PrintTest, HeadlessPrintDialogPrintsNothing) {
    SetRunningHeadless(true);
    testing::internal::CaptureStderr();
    const bool printed = PrintWithDialog(nullptr, *m_record, false, 10);
    const std::string written = testing::internal::GetCapturedStderr();
    SetRunningHeadless(false);
    EXPECT_FALSE(printed);
    EXPECT_EQ(written, "Print: Vehicle Detail Report for 2005 HONDA ACCORD LX\n");
}

// The print dialog confirmed (to a PDF file) prints the report; cancelled,
// nothing.
TEST_F(PrintTest, PrintDialogConfirmedOrCancelled) {
    const std::string pdf = m_folder.Path() + "dialog.pdf";
    for (const bool confirm : {false, true}) {
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            // Printing to a file, as the user would choose it: never to a
            // printer the machine may have.
            auto* printers = dialog->findChild<QComboBox*>("printers");
            const int toFile = printers ? printers->findText("Print to File (PDF)") : -1;
            if (toFile < 0) {
                ADD_FAILURE() << "the print dialog offers no printing to a file";
                dialog->reject();
                return;
            }
            printers->setCurrentIndex(toFile);
            if (auto* name = dialog->findChild<QLineEdit*>("filename"))
                name->setText(QString::fromStdString(pdf));
            if (confirm)
                dialog->accept();
            else
                dialog->reject();
        });
        EXPECT_EQ(PrintWithDialog(nullptr, *m_record, false, 10), confirm);
        EXPECT_EQ(QFileInfo::exists(QString::fromStdString(pdf)), confirm);
    }
    EXPECT_EQ(Texts(ReadBack(pdf)).at(5), "HONDA");
}

TEST(PrintoutFontSizeTest, ReadFromSettingsIni) {
    platform::testing::TempFolder folder;
    struct {
        const char* contents;  // nullptr: no file
        int expected;
    } const cases[] = {{nullptr, 10},
                       {"[Settings]\r\nPrintoutFontSize=12\r\n", 12},
                       {"[settings]\r\nprintoutfontsize=20\r\n", 20},
                       {"[Settings]\r\nPrintoutFontSize=big\r\n", 10},
                       {"[Other]\r\nPrintoutFontSize=12\r\n", 10}};
    for (const auto& c : cases) {
        std::remove((folder.Path() + "settings.ini").c_str());
        if (c.contents) folder.Write("settings.ini", c.contents);
        EXPECT_EQ(ReadPrintoutFontSize(folder.Path()), c.expected)
            << (c.contents ? c.contents : "");
    }
}

TEST(PrintoutFontSizeTest, DialogAcceptsEightToFourteen) {
    struct {
        const char* name;
        std::optional<std::string> answer;
        int preset;
        bool accepted;
        int size;             // afterwards
        const char* message;  // the box shown, "" for none
    } const cases[] = {
        {"8", "8", 10, true, 8, ""},
        {"14", "14", 10, true, 14, ""},
        {"blanks", " 12 ", 10, true, 12, ""},
        {"7", "7", 10, false, 10, "The value must be between 8 and 14"},
        {"15", "15", 10, false, 10, "The value must be between 8 and 14"},
        {"word", "big", 10, false, 10, "The value must be numeric"},
        {"empty", "", 10, false, 10, "The value must be numeric"},
        {"two numbers", "1 2", 10, false, 10, "The value must be numeric"},
        {"beyond the integers", "99999999999", 10, false, 10, "The value must be numeric"},
        {"cancel keeps the preset", std::nullopt, 11, true, 11, ""},
        {"cancel of a size edited by hand", std::nullopt, 20, false, 20,
         "The value must be between 8 and 14"},
    };
    for (const auto& c : cases) {
        platform::testing::TempFolder folder;
        platform::testing::RecordingServices boxes;
        boxes.AnswerNextInput(c.answer);
        int size = c.preset;
        EXPECT_EQ(AskPrintoutFontSize(folder.Path(), size), c.accepted) << c.name;
        EXPECT_EQ(size, c.size) << c.name;
        ASSERT_EQ(boxes.Inputs().size(), 1u) << c.name;
        EXPECT_EQ(boxes.Inputs()[0].caption, "Printout Font Size");
        EXPECT_EQ(boxes.Inputs()[0].prompt, "Provide a new printout font size below (8-14)");
        EXPECT_EQ(boxes.Inputs()[0].value, std::to_string(c.preset));
        if (*c.message) {
            ASSERT_EQ(boxes.Boxes().size(), 1u) << c.name;
            EXPECT_EQ(boxes.Boxes()[0].request.text, c.message) << c.name;
            EXPECT_EQ(boxes.Boxes()[0].request.caption, "Information") << c.name;
        } else {
            EXPECT_TRUE(boxes.Boxes().empty()) << c.name;
        }
        // Written at once when accepted, not at all when refused.
        EXPECT_EQ(ReadPrintoutFontSize(folder.Path()), c.accepted ? c.size : 10) << c.name;
    }
}

TEST(PrintoutFontSizeTest, UnwritableSettingsSaySoAndKeepTheSize) {
    platform::testing::TempFolder folder;
    platform::testing::RecordingServices boxes;
    // A file where the program folder should be: settings.ini cannot be made.
    const std::string notAFolder = folder.Write("program", "");
    boxes.AnswerNextInput("9");
    int size = 10;
    EXPECT_TRUE(AskPrintoutFontSize(notAFolder, size));
    EXPECT_EQ(size, 9);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].request.caption, "Error");
    EXPECT_NE(boxes.Boxes()[0].request.text.find("could not be saved"), std::string::npos);
}

}  // namespace
