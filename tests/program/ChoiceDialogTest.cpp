// The vehicle choice dialog, offscreen: its grid as filled from choice
// tables, its size rules, and the answers given to it from a queued timer;
// then the real engine's VIN choice answered in the real dialog.
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <functional>

#include "ModalRun.h"
#include "QtText.h"
#include "YarvelPortal.h"
#include "YarvelTestSupport.h"
#include "YarvelUI.h"

namespace {

TChoiceTable Table(std::vector<std::string> titles, std::vector<std::vector<std::string>> rows,
                   std::string caption = "ISO: 1HGCM82633A004352 Choices") {
    TChoiceTable table;
    table.Caption = std::move(caption);
    table.Titles = std::move(titles);
    table.Rows = std::move(rows);
    return table;
}

QStringList HeaderTitles(const QTableWidget& grid) {
    QStringList titles;
    for (int c = 0; c < grid.columnCount(); ++c) titles << grid.horizontalHeaderItem(c)->text();
    return titles;
}

QStringList Cells(const QTableWidget& grid, int row) {
    QStringList cells;
    for (int c = 0; c < grid.columnCount(); ++c) cells << grid.item(row, c)->text();
    return cells;
}

int TextWidth(const QTableWidget& grid, const char* text) {
    return grid.fontMetrics().horizontalAdvance(ToQString(text)) + 9;
}

QRect Screen() {
    return QGuiApplication::primaryScreen()->geometry();
}

TEST(ChoiceDialogTest, GridHoldsTitlesRowsAndWidths) {
    TVehicleDetail dialog;
    EXPECT_EQ(dialog.windowTitle(), "Vehicle Details");
    const auto* label = dialog.findChild<QLabel*>("lblChoose");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "Choose the line that best describes the vehicle to be insured:");

    dialog.Fill(
        Table({"Model Name", "Body Style", "Comp", "Coll"}, {{"Accord LX", "SEDAN 4D", "21", "23"},
                                                             {"Accord EX", "COUPE 2D", "22", "24"},
                                                             {"Caf\xe9 Racer", "", "9", "9"}}));
    const QTableWidget& grid = *dialog.InfoGrid();
    EXPECT_EQ(grid.objectName(), "InfoGrid");
    EXPECT_EQ(dialog.windowTitle(), "ISO: 1HGCM82633A004352 Choices");
    EXPECT_EQ(HeaderTitles(grid), (QStringList{"Model Name", "Body Style", "Comp", "Coll"}));
    ASSERT_EQ(grid.rowCount(), 3);
    EXPECT_EQ(Cells(grid, 1), (QStringList{"Accord EX", "COUPE 2D", "22", "24"}));
    EXPECT_EQ(grid.item(2, 0)->text(), QString::fromUtf8("Café Racer"));
    EXPECT_EQ(grid.rowHeight(0), 16);
    EXPECT_EQ(grid.horizontalHeader()->height(), 16);
    EXPECT_EQ(grid.selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_TRUE(grid.showGrid());
    EXPECT_EQ(dialog.ChosenRow(), 0);
    EXPECT_TRUE(dialog.OKButton()->isDefault());

    // Each column as wide as its widest text + 9, never below 25: the title
    // decides the first, the values the second, the default the symbol columns
    // when both fit in it.
    struct {
        int column;
        int expected;
    } const widths[] = {{0, std::max({TextWidth(grid, "Model Name"), TextWidth(grid, "Accord LX"),
                                      TextWidth(grid, "Caf\xe9 Racer"), 25})},
                        {1, std::max({TextWidth(grid, "Body Style"), TextWidth(grid, "SEDAN 4D"),
                                      TextWidth(grid, "COUPE 2D"), 25})},
                        {2, std::max(TextWidth(grid, "Comp"), 25)},
                        {3, std::max(TextWidth(grid, "Coll"), 25)}};
    for (const auto& w : widths) EXPECT_EQ(grid.columnWidth(w.column), w.expected) << w.column;
}

TEST(ChoiceDialogTest, SizeFollowsRowsAndColumnsWithinTheScreen) {
    const QRect screen = Screen();
    const std::string wide(400, 'W');
    // Expected sizes given what surrounds the grid (dialog less grid).
    struct {
        const char* name;
        int rows;
        std::vector<std::string> cells;
        std::function<int(int around)> width, height;
    } const cases[] = {
        // The title row, the rows and one spare row of 16, and 25 pixels.
        {"narrow",
         2,
         {"A", "1"},
         [](int) { return TVehicleDetail::kMinWidth; },
         [](int around) { return around + (2 + 2) * 16 + 25; }},
        {"many rows",
         200,
         {"A", "1"},
         [](int) { return TVehicleDetail::kMinWidth; },
         [screen](int) { return screen.height() - 100; }},
        {"wide",
         2,
         {wide, wide},
         [screen](int) { return screen.width() - 100; },
         [](int around) { return around + (2 + 2) * 16 + 25; }},
    };
    for (const auto& c : cases) {
        TVehicleDetail dialog;
        const int aroundHeight = dialog.height() - dialog.InfoGrid()->height();
        const int aroundWidth = dialog.width() - dialog.InfoGrid()->width();
        std::vector<std::vector<std::string>> rows(static_cast<size_t>(c.rows), c.cells);
        dialog.Fill(Table({"Model Name", "Symbol"}, rows));
        dialog.show();
        EXPECT_EQ(dialog.width(), c.width(aroundWidth)) << c.name;
        EXPECT_EQ(dialog.height(), c.height(aroundHeight)) << c.name;
        // Centred, and the buttons follow the bottom right corner.
        EXPECT_EQ(dialog.x(), (screen.width() - dialog.width()) / 2) << c.name;
        EXPECT_EQ(dialog.y(), (screen.height() - dialog.height()) / 2) << c.name;
        EXPECT_LT(dialog.CancelButton()->geometry().right(), dialog.width()) << c.name;
        EXPECT_LT(dialog.CancelButton()->geometry().bottom(), dialog.height()) << c.name;
        EXPECT_LE(dialog.InfoGrid()->geometry().bottom(), dialog.OKButton()->y()) << c.name;
    }

    // Between the bounds the width is the columns' sum with the dialog's
    // own margins and 35 pixels to spare.
    TVehicleDetail dialog;
    const int around = dialog.width() - dialog.InfoGrid()->width();
    dialog.Fill(Table({"Model Name", "Model/Series", "Body Style", "Engine", "VIN"},
                      {{"Accord LX", "SEDAN 4D", "2.4L", "I4", "1HGCM8263&A"},
                       {"Accord EX", "COUPE 2D", "3.0L", "V6", "1HGCM8264&A"}}));
    dialog.SizeToChoices();
    int sum = 0;
    for (int col = 0; col < 5; ++col) sum += dialog.InfoGrid()->columnWidth(col);
    const int expected =
        std::max(std::min(around + sum + 35, Screen().width() - 100), TVehicleDetail::kMinWidth);
    EXPECT_EQ(dialog.width(), expected);
}

// Runs the dialog through the chooser; `act` answers it once it is up.
int ChooseWith(const TChoiceTable& table, std::function<void(TVehicleDetail&)> act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<TVehicleDetail*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        act(*dialog);
        // A step that did not close the dialog must not leave the test hanging.
        if (dialog->isVisible()) QTimer::singleShot(0, dialog, [dialog] { dialog->done(-99); });
    });
    TVehicleDetailChooser chooser;
    return chooser.Choose(table);
}

// As a mouse does it: the press that selects the row, then the double click.
void DoubleClickRow(QTableWidget& grid, int row) {
    const QPoint centre = grid.visualRect(grid.model()->index(row, 0)).center();
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, centre);
}

TEST(ChoiceDialogTest, AnswersGivenToTheDialog) {
    const TChoiceTable table =
        Table({"Model Name", "Symbol"}, {{"Alpha", "12"}, {"Bravo", "13"}, {"Charlie", "14"}});
    struct {
        const char* name;
        std::function<void(TVehicleDetail&)> act;
        int expected;
    } const cases[] = {
        {"OK on the first row", [](TVehicleDetail& d) { d.OKButton()->click(); }, 0},
        {"OK on a row chosen",
         [](TVehicleDetail& d) {
             d.InfoGrid()->selectRow(2);
             d.OKButton()->click();
         },
         2},
        // Keys as the user presses them, in the grid: the arrow moves the
        // current row, Enter is the default button.
        {"Down and Enter",
         [](TVehicleDetail& d) {
             QTest::keyClick(d.InfoGrid(), Qt::Key_Down);
             QTest::keyClick(d.InfoGrid(), Qt::Key_Return);
         },
         1},
        {"double click", [](TVehicleDetail& d) { DoubleClickRow(*d.InfoGrid(), 1); }, 1},
        {"Cancel",
         [](TVehicleDetail& d) {
             d.InfoGrid()->selectRow(2);
             d.CancelButton()->click();
         },
         -1},
        {"Esc", [](TVehicleDetail& d) { QTest::keyClick(d.InfoGrid(), Qt::Key_Escape); }, -1},
    };
    for (const auto& c : cases) EXPECT_EQ(ChooseWith(table, c.act), c.expected) << c.name;
}

TEST(ChoiceDialogTest, HeadlessWritesTheChoiceAndCancels) {
    SetRunningHeadless(true);
    const TChoiceTable table = Table({"Model Name", "Symbol"}, {{"Alpha", "12"}, {"Bravo", "13"}});
    testing::internal::CaptureStderr();
    TVehicleDetailChooser chooser;
    const int answer = chooser.Choose(table);
    const std::string written = testing::internal::GetCapturedStderr();
    SetRunningHeadless(false);
    EXPECT_EQ(answer, -1);
    EXPECT_EQ(written, "ISO: 1HGCM82633A004352 Choices Model Name\tSymbol Alpha\t12 Bravo\t13\n");
}

// The real engine's candidates of a 2012 VIN in the real dialog: the
// comprehensive and collision symbol columns, and the row double-clicked is
// the vehicle taken.
TEST(ChoiceDialogTest, EngineChoiceOfA2012Vin) {
    using yarvel_test::Row;
    platform::testing::TempFolder folder;
    platform::testing::RecordingServices boxes;
    yarvel_test::TFixtureData fixture = yarvel_test::DefaultFixture();
    fixture.master = {
        Row({{"IIN", "1201"}, {"REC_TYPE", "3"}, {"MODELNAME", "ALPHA"}, {"MODELINFO", "LX"}}),
        Row({{"IIN", "1201"}, {"REC_TYPE", "3"}, {"MODELNAME", "BRAVO"}, {"MODELINFO", "EX"}})};
    const std::string data = folder.Path() + "data/";
    ASSERT_TRUE(yarvel_test::BuildTables(data, fixture));
    yarvel_test::WriteHostIni(folder.WindowsDir(), data);
    LoadYarvel();

    const char vin[] = "TEST000105ABCDEFG";
    TVinRecordPtr record = NewVinRecord();
    ClearVinRecord(*record);
    record->EffectiveDate = yarvel_test::DayCount(2024, 1, 15, 0.5);
    QStringList titles;
    QTimer::singleShot(0, [&titles] {
        auto* dialog = qobject_cast<TVehicleDetail*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        QTableWidget& grid = *dialog->InfoGrid();
        titles = HeaderTitles(grid);
        DoubleClickRow(grid, 1);
        if (dialog->isVisible()) dialog->reject();
    });
    TVehicleDetailChooser chooser;
    const bool found = LookupByVIN(*record, vin, chooser);
    UnloadYarvel();

    EXPECT_TRUE(found);
    EXPECT_EQ(titles, (QStringList{"Model Name", "Model/Series", "Comp", "Coll"}));
    EXPECT_EQ(RecordText(record->ModelInfo), "EX");
    EXPECT_EQ(yarvel_test::Val(record->ModelYear), 2012);
}

}  // namespace
