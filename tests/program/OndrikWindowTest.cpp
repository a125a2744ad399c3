// The lookup window and the lookup object on fixture tables, with the real
// engine loaded from the program folder, offscreen, boxes scripted.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <functional>
#include <memory>

#include "AppInfo.h"
#include "DateUtils.h"
#include "Ondrik.h"
#include "ProductInfo.h"
#include "QtText.h"
#include "VehDets.h"
#include "YarvelPortal.h"
#include "YarvelTestSupport.h"
#include "YarvelUI.h"
#include "fOndrik.h"
#include "platform/Services.h"

namespace {

using platform::mrNo;
using platform::mrYes;
using yarvel_test::Row;
using yarvel_test::TRow;

const char kVin[] = "TEST000105ABCDEFG";       // one candidate, pattern TEST0001&5
const char kBrokenVin[] = "BROK000105ABCDEFG";  // its symbol is no number
const char kTwoVin[] = "MULT000105ABCDEFG";     // two model names in effect
const char kUnknownVin[] = "ZZZZ000105ABCDEFG";

std::vector<TRow> Master() {
    const int next = QDate::currentDate().year() + 1;
    return {Row({}),
            Row({{"VIN", "BROK0001&5"}, {"MODELNAME", "BROKEN"}, {"TWODIGVSR", "1A"}}),
            Row({{"VIN", "MULT0001&5"}, {"MODELNAME", "PRELUDE"}, {"MODELINFO", "LX"}}),
            Row({{"VIN", "MULT0001&5"}, {"MODELNAME", "CIVIC"}, {"MODELINFO", "EX"}}),
            Row({{"VIN", "SCBCR63W&5"}, {"MANUFACT", "RR"}, {"MODELNAME", "CONTINENTAL GT"}}),
            Row({{"VIN", "NEXT0001&V"},
                 {"IIN", QString::number(next % 100).rightJustified(2, '0').toStdString() + "01"},
                 {"REC_TYPE", "3"},
                 {"MODELNAME", "PILOT"}})};
}

QDate DateOf(double dayCount) {
    const std::optional<TDateParts> parts = DecodeDate(dayCount);
    return parts ? QDate(parts->Year, parts->Month, parts->Day) : QDate();
}

// Runs `act` on the next modal window of type T as soon as it is up.
template <typename T>
void WhenModal(std::function<void(T&)> act) {
    auto tries = std::make_shared<int>(0);
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [act, tries, poll] {
        if (auto* modal = qobject_cast<T*>(QApplication::activeModalWidget())) {
            act(*modal);
        } else if (++*tries < 500) {
            QTimer::singleShot(10, *poll);
        } else {
            ADD_FAILURE() << "no modal window came up";
        }
    };
    QTimer::singleShot(0, *poll);
}

// Answers the choice dialog with a row (from 0), or cancels it with -1.
void AnswerChoice(int row, QString* caption = nullptr) {
    WhenModal<TVehicleDetail>([row, caption](TVehicleDetail& dialog) {
        if (caption) *caption = dialog.windowTitle();
        if (row < 0) {
            dialog.CancelButton()->click();
            return;
        }
        dialog.InfoGrid()->setCurrentCell(row, 0);
        dialog.OKButton()->click();
    });
}

class OndrikWindowTest : public ::testing::Test {
protected:
    OndrikWindowTest() {
        yarvel_test::TFixtureData fixture = yarvel_test::DefaultFixture();
        fixture.master = Master();
        const std::string data = m_folder.Path() + "data/";
        m_built = yarvel_test::BuildTables(data, fixture);
        yarvel_test::WriteHostIni(m_folder.WindowsDir(), data);
        m_appInfo = std::make_unique<TAppInfo>();
        m_lookup = std::make_unique<TVehicleInfoLookup>(*m_appInfo);
        m_record = NewVinRecord();
        ClearVinRecord(*m_record);
        // A window nobody answers fails the test instead of hanging it.
        QObject::connect(&m_watchdog, &QTimer::timeout, [] {
            if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
                ADD_FAILURE() << "unanswered: " << modal->windowTitle().toStdString();
                modal->reject();
            }
        });
        m_watchdog.start(5000);
    }
    ~OndrikWindowTest() override {
        m_window.reset();
        m_lookup.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(m_built);
        ASSERT_TRUE(BoxTexts().empty()) << BoxTexts()[0];
    }

    TfrmOndrik& Open(bool host) {
        m_lookup->SetStartedWithParameters(host);
        m_window = std::make_unique<TfrmOndrik>(nullptr, *m_lookup, host, *m_record);
        m_window->show();
        return *m_window;
    }

    template <typename T>
    T& Control(const char* name) {
        T* control = m_window->findChild<T*>(name);
        if (!control) throw std::runtime_error(std::string("no control ") + name);
        return *control;
    }

    void SearchVin(const std::string& vin) {
        Control<QLineEdit>("txtVIN").setText(ToQString(vin));
        Control<QPushButton>("btnSearchByVIN").click();
    }

    std::vector<std::string> BoxTexts() const {
        std::vector<std::string> texts;
        for (const auto& box : m_services.Boxes()) texts.push_back(box.request.text);
        return texts;
    }

    bool SuccessShown() { return Control<QLabel>("imgSuccess").property("success").toBool(); }
    QString Criteria() { return Control<QLabel>("pnlCriteria").text(); }
    QString Cell(int row, int column) {
        QTableWidgetItem* item = Control<QTableWidget>("grdDetail").item(row, column);
        return item ? item->text() : QString();
    }

    platform::testing::TempFolder m_folder;
    platform::testing::RecordingServices m_services;
    bool m_built = false;
    std::unique_ptr<TAppInfo> m_appInfo;
    std::unique_ptr<TVehicleInfoLookup> m_lookup;
    TVinRecordPtr m_record;
    std::unique_ptr<TfrmOndrik> m_window;
    QTimer m_watchdog;
};

// ---- Layout ------------------------------------------------------------------

struct TLayoutCase {
    const char* name;
    bool host;
    int printX, closeX;
    bool cancelShown;
};

class WindowLayoutTest : public OndrikWindowTest, public ::testing::WithParamInterface<TLayoutCase> {};

TEST_P(WindowLayoutTest, ControlsSitWhereTheModeWantsThem) {
    const TLayoutCase& c = GetParam();
    TfrmOndrik& window = Open(c.host);
    EXPECT_EQ(window.windowTitle(), QString(kMakerName) + " Ondrik");
    EXPECT_EQ(window.font().pointSize(), 8);
    EXPECT_EQ(window.palette().color(QPalette::Window), QColor(214, 223, 247));
    EXPECT_EQ(Control<QWidget>("pnlClient").size(), QSize(466, 490));
    EXPECT_EQ(Control<QPushButton>("btnPrint").x(), c.printX);
    EXPECT_EQ(Control<QPushButton>("btnClose").x(), c.closeX);
    EXPECT_EQ(Control<QPushButton>("btnCancel").isVisible(), c.cancelShown);
    EXPECT_FALSE(Control<QPushButton>("btnPrint").isEnabled());
    const QTableWidget& grid = Control<QTableWidget>("grdDetail");
    EXPECT_EQ(grid.size(), QSize(400, 252));
    EXPECT_EQ(grid.columnWidth(0), 133);
    EXPECT_EQ(grid.columnWidth(1), 400 - 133 - 30);
    EXPECT_EQ(grid.rowCount(), 1);
    EXPECT_EQ(grid.focusPolicy(), Qt::ClickFocus);
    const QTabWidget& tabs = Control<QTabWidget>("PageSearchType");
    EXPECT_EQ(tabs.tabText(0), "          Search by VIN          ");
    EXPECT_EQ(tabs.tabText(1), "     Search by Year, Make and Model     ");
    // Fitted: 3 pixels beyond the lowest and the rightmost control.
    const QWidget& client = Control<QWidget>("pnlClient");
    EXPECT_EQ(window.width(), client.x() + client.width() + 3);
    EXPECT_EQ(window.height(), client.y() + client.height() + 3);
}

INSTANTIATE_TEST_SUITE_P(Modes, WindowLayoutTest,
                         ::testing::Values(TLayoutCase{"Host", true, 218, 298, true},
                                           TLayoutCase{"Standalone", false, 298, 378, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(OndrikWindowTest, StandaloneStartShowsNoSelectionButNextYearsModels) {
    Open(false);
    QComboBox& year = Control<QComboBox>("lstYear");
    QComboBox& make = Control<QComboBox>("lstMake");
    QComboBox& model = Control<QComboBox>("lstModel");
    EXPECT_EQ(year.itemText(0), "1985");
    EXPECT_EQ(year.itemText(year.count() - 1), QString::number(QDate::currentDate().year() + 1));
    EXPECT_EQ(year.currentIndex(), -1);
    EXPECT_EQ(make.currentIndex(), -1);
    ASSERT_EQ(model.count(), 1);
    EXPECT_EQ(model.itemText(0).toUpper(), "PILOT");
    EXPECT_EQ(Control<QTabWidget>("PageSearchType").currentIndex(), 1);

    year.setCurrentIndex(year.findText("2005"));
    make.setCurrentIndex(make.findText("Honda"));
    ASSERT_GE(model.count(), 3);
    EXPECT_NE(model.findText("Accord", Qt::MatchFixedString), -1);
    EXPECT_FALSE(Control<QPushButton>("btnSearchByYMM").isEnabled());
}

TEST_F(OndrikWindowTest, HostYearMakeModelSearchShowsTheVehicle) {
    m_record->ModelYear = 2005;
    m_record->Make = ReplaceRecordText(m_record->Make, "Honda ");
    m_record->Model = ReplaceRecordText(m_record->Model, "accord");
    TfrmOndrik& window = Open(true);
    EXPECT_EQ(Control<QComboBox>("lstYear").currentText(), "2005");
    EXPECT_EQ(Control<QComboBox>("lstMake").currentText(), "Honda");
    EXPECT_EQ(Control<QComboBox>("lstModel").currentText().toUpper(), "ACCORD");
    QPushButton& search = Control<QPushButton>("btnSearchByYMM");
    ASSERT_TRUE(search.isEnabled());
    search.click();
    EXPECT_TRUE(window.ResultShown());
    EXPECT_EQ(Criteria().toUpper(), " LOOKUP BY 2005 HONDA ACCORD");
    EXPECT_EQ(Cell(0, 0), "Model Year");
    EXPECT_EQ(Cell(0, 1), " 2005");
    EXPECT_EQ(RecordText(m_record->VIN), "TEST0001&5");
    EXPECT_TRUE(SuccessShown());
    EXPECT_TRUE(Control<QPushButton>("btnPrint").isEnabled());
}

TEST_F(OndrikWindowTest, YearMakeModelNeedsAllThree) {
    TfrmOndrik& window = Open(false);
    // Right after a standalone start a model is listed (next year's first
    // make) while no year and no make are selected.
    Control<QComboBox>("lstModel").setCurrentIndex(0);
    QPushButton& search = Control<QPushButton>("btnSearchByYMM");
    ASSERT_TRUE(search.isEnabled());
    search.click();
    QComboBox& year = Control<QComboBox>("lstYear");
    year.setCurrentIndex(year.count() - 1);  // the models go: no make
    window.btnSearchByYMMClick();
    const std::string refused =
        "Year, Make and Model must be specified in order to look up vehicle details";
    EXPECT_EQ(BoxTexts(), (std::vector<std::string>{refused, refused}));
    EXPECT_EQ(window.focusWidget(), &Control<QComboBox>("lstMake"));
    EXPECT_FALSE(window.ResultShown());
    EXPECT_TRUE(Criteria().isEmpty());
}

// ---- The VIN search ------------------------------------------------------------

struct TVinCase {
    const char* name;
    const char* typed;
    const char* shownInEdit;
    bool found;
    const char* criteria;
    std::vector<std::string> boxes;
};

class VinSearchTest : public OndrikWindowTest, public ::testing::WithParamInterface<TVinCase> {};

TEST_P(VinSearchTest, OutcomeCriteriaAndPicture) {
    const TVinCase& c = GetParam();
    TfrmOndrik& window = Open(false);
    SearchVin(c.typed);
    EXPECT_EQ(FromQString(Control<QLineEdit>("txtVIN").text()), c.shownInEdit);
    EXPECT_EQ(window.ResultShown(), c.found);
    EXPECT_EQ(SuccessShown(), c.found);
    EXPECT_FALSE(Control<QLabel>("imgSuccess").pixmap().isNull());
    EXPECT_EQ(FromQString(Criteria()), c.criteria);
    EXPECT_EQ(BoxTexts(), c.boxes);
    if (c.found) {
        EXPECT_EQ(RecordText(m_record->VIN), c.shownInEdit);
        EXPECT_EQ(Cell(1, 0), "Make");
    } else {
        EXPECT_EQ(m_record->ModelYear, 0);
        EXPECT_EQ(Control<QTableWidget>("grdDetail").rowCount(), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, VinSearchTest,
    ::testing::Values(
        TVinCase{"Found", kVin, kVin, true, " Lookup By: TEST000105ABCDEFG", {}},
        TVinCase{"TypedInLowerCase", "test000105abcdefg", kVin, true,
                 " Lookup By: TEST000105ABCDEFG", {}},
        TVinCase{"OneShortOfTheMinimum", "TEST0001", "TEST0001", false, " Invalid VIN Specified",
                 {"VIN must be at least 9 characters in order for a lookup to occur"}},
        TVinCase{"NotFound", kUnknownVin, kUnknownVin, false, " Lookup By: ZZZZ000105ABCDEFG",
                 {"No vehicles were found matching VIN: ZZZZ000105ABCDEFG",
                  "No vehicles were found matching VIN: ZZZZ000105ABCDEFG"}},
        // The engine's load fails part-way: the year is set, the vehicle is not found.
        TVinCase{"LoadFailedPartWay", kBrokenVin, kBrokenVin, false,
                 " Lookup By: BROK000105ABCDEFG",
                 {"YARVEL.DLL Error: '1A' is not a valid integer value",
                  "YARVEL.DLL Error: '1A' is not a valid integer value"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OndrikWindowTest, VinChoiceTakesTheRowChosen) {
    TfrmOndrik& window = Open(false);
    QString caption;
    AnswerChoice(1, &caption);
    SearchVin(kTwoVin);
    EXPECT_EQ(caption, QString("ISO: ") + kTwoVin + " Choices");
    EXPECT_TRUE(window.ResultShown());
    EXPECT_EQ(RecordText(m_record->ModelInfo), "EX");
    EXPECT_EQ(RecordText(m_record->VIN), kTwoVin);
    // The vehicle chosen keeps the date of lookup.
    EXPECT_EQ(DateOf(m_record->EffectiveDate), QDate::currentDate());
}

TEST_F(OndrikWindowTest, TheVinEditUpperCasesAVinSetByTheProgram) {
    m_record->VIN = ReplaceRecordText(m_record->VIN, "scbcr63w55c123456");
    Open(true);
    EXPECT_EQ(Control<QLineEdit>("txtVIN").text(), "SCBCR63W55C123456");
    EXPECT_EQ(Control<QTabWidget>("PageSearchType").currentIndex(), 0);
}

TEST_F(OndrikWindowTest, AnAmpersandShowsOnceInTheCriteria) {
    Open(false);
    QComboBox& year = Control<QComboBox>("lstYear");
    year.setCurrentIndex(year.findText("2005"));
    QComboBox& make = Control<QComboBox>("lstMake");
    make.setCurrentIndex(make.findText("Rolls-Royce & Bentley"));
    Control<QComboBox>("lstModel").setCurrentIndex(0);
    Control<QPushButton>("btnSearchByYMM").click();
    EXPECT_TRUE(Criteria().startsWith(" Lookup by 2005 Rolls-Royce & Bentley ")) << Criteria().toStdString();
    EXPECT_EQ(Criteria().count('&'), 1);
    EXPECT_TRUE(SuccessShown());
}

TEST_F(OndrikWindowTest, GridClickCopiesTheValueWithItsLeadingBlank) {
    Open(false);
    SearchVin(kVin);
    QTableWidget& grid = Control<QTableWidget>("grdDetail");
    emit grid.cellClicked(1, 0);
    EXPECT_EQ(m_services.Clipboard(), " Honda");
    EXPECT_EQ(grid.currentColumn(), 1);
}

TEST_F(OndrikWindowTest, ShowAllRedrawsOnlyAVehicleShown) {
    TfrmOndrik& window = Open(false);
    QCheckBox& showAll = Control<QCheckBox>("chkShowAllDetail");
    showAll.click();
    EXPECT_FALSE(window.ResultShown());
    EXPECT_EQ(Control<QTableWidget>("grdDetail").rowCount(), 1);
    showAll.click();

    SearchVin(kVin);
    const int rows = Control<QTableWidget>("grdDetail").rowCount();
    showAll.click();
    EXPECT_TRUE(window.ResultShown());
    EXPECT_GT(Control<QTableWidget>("grdDetail").rowCount(), rows);
}

// ---- Original symbol -----------------------------------------------------------

struct TOrigCase {
    const char* name;
    bool host;
    QDate start;
    bool checked;
};

class OrigSymbolTest : public OndrikWindowTest, public ::testing::WithParamInterface<TOrigCase> {};

TEST_P(OrigSymbolTest, TheHostsDateDecidesTheBox) {
    const TOrigCase& c = GetParam();
    m_record->EffectiveDate =
        *EncodeDate(c.start.year(), c.start.month(), c.start.day()) + 0.25;  // time of day ignored
    Open(c.host);
    QCheckBox& box = Control<QCheckBox>("chkOrigSym");
    QDateEdit& date = Control<QDateEdit>("txtEffective");
    EXPECT_EQ(box.isChecked(), c.checked);
    EXPECT_EQ(date.isEnabled(), !c.checked);
    EXPECT_EQ(date.date(), c.checked ? QDate(1950, 1, 1) : QDate::currentDate());
    if (c.checked) {
        EXPECT_EQ(date.text(), "1/1/1950");
    }

    box.click();
    EXPECT_EQ(date.isEnabled(), c.checked);
    EXPECT_EQ(date.date(), c.checked ? QDate::currentDate() : QDate(1950, 1, 1));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OrigSymbolTest,
    ::testing::Values(TOrigCase{"HostOriginal", true, QDate(1950, 1, 1), true},
                      TOrigCase{"HostOtherDate", true, QDate(2006, 7, 1), false},
                      TOrigCase{"HostDayAfter", true, QDate(1950, 1, 2), false},
                      TOrigCase{"StandaloneIgnoresTheRecord", false, QDate(1950, 1, 1), false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OndrikWindowTest, OriginalSymbolDateReachesTheEngine) {
    Open(false);
    Control<QCheckBox>("chkOrigSym").click();
    SearchVin(kVin);
    EXPECT_EQ(DateOf(m_record->EffectiveDate), QDate(1950, 1, 1));
}

// ---- Closing -------------------------------------------------------------------

TEST_F(OndrikWindowTest, HostCloseWithoutAVehicleAsks) {
    TfrmOndrik& window = Open(true);
    m_services.AnswerNextBox(mrNo);
    Control<QPushButton>("btnClose").click();
    EXPECT_EQ(BoxTexts(), std::vector<std::string>{"No data will be passed back to Pollark without a "
                                                   "valid vehicle.  Do you want to cancel the lookup?"});
    EXPECT_TRUE(window.isVisible());
    // No VIN at the start: the year, make and model search was in use.
    EXPECT_EQ(window.focusWidget(), &Control<QComboBox>("lstYear"));

    m_services.AnswerNextBox(mrYes);
    m_window->findChild<QAction*>("mnuClose")->trigger();  // the menu item does the same
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), QDialog::Rejected);
    EXPECT_FALSE(m_folder.Read("windows/Ondrik.ini").find("UseOrigSymbol") != std::string::npos);
}

TEST_F(OndrikWindowTest, HostCloseWithAVehicleAccepts) {
    TfrmOndrik& window = Open(true);
    SearchVin(kVin);
    Control<QPushButton>("btnClose").click();
    EXPECT_TRUE(BoxTexts().empty());
    EXPECT_EQ(window.result(), QDialog::Accepted);
}

struct TStandaloneCloseCase {
    const char* name;
    bool original;
    bool vehicle;
    const char* written;
    int result;
};

class StandaloneCloseTest : public OndrikWindowTest,
                            public ::testing::WithParamInterface<TStandaloneCloseCase> {};

TEST_P(StandaloneCloseTest, WritesUseOrigSymbolAndAnswersTheResult) {
    const TStandaloneCloseCase& c = GetParam();
    TfrmOndrik& window = Open(false);
    if (c.original) Control<QCheckBox>("chkOrigSym").click();
    if (c.vehicle) SearchVin(kVin);
    Control<QPushButton>("btnClose").click();
    EXPECT_EQ(window.result(), c.result);
    EXPECT_NE(m_folder.Read("windows/Ondrik.ini").find(c.written), std::string::npos);
    EXPECT_TRUE(BoxTexts().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StandaloneCloseTest,
    ::testing::Values(
        TStandaloneCloseCase{"NothingShown", false, false, "UseOrigSymbol=0", QDialog::Rejected},
        TStandaloneCloseCase{"OriginalAndVehicle", true, true, "UseOrigSymbol=1", QDialog::Accepted}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Menu and help -------------------------------------------------------------

TEST_F(OndrikWindowTest, HelpBoxWebUpdateAndAbout) {
    TfrmOndrik& window = Open(false);
    Control<QPushButton>("Button1").click();
    ASSERT_EQ(m_services.Boxes().size(), 1u);
    const std::string help = m_services.Boxes()[0].request.text;
    EXPECT_EQ(help.rfind("MA Auto rules require the use of the original symbol under certain", 0), 0u);
    EXPECT_NE(help.find("are true:\r\r- The policy year is BEFORE 2006\r- The vehicle"), std::string::npos);

    m_services.AnswerNextBox(mrNo);
    m_window->findChild<QAction*>("mnuWebUpdate")->trigger();
    EXPECT_TRUE(m_services.ShellOpens().empty());
    EXPECT_TRUE(window.isVisible());

    m_window->findChild<QAction*>("mnuAbout")->trigger();
    EXPECT_EQ(m_services.Boxes().back().request.caption, "Information");

    m_services.AnswerNextBox(mrYes);
    m_window->findChild<QAction*>("mnuWebUpdate")->trigger();
    ASSERT_EQ(m_services.ShellOpens().size(), 1u);
    EXPECT_EQ(m_services.ShellOpens()[0].file, kWebUpdateAddress);
    EXPECT_EQ(window.result(), QDialog::Rejected);
    EXPECT_FALSE(window.isVisible());
}

TEST_F(OndrikWindowTest, AnErrorInAHandlerIsShownAndTheWindowStays) {
    TfrmOndrik& window = Open(false);
    UnloadYarvel();
    SearchVin(kVin);
    ASSERT_EQ(m_services.Boxes().size(), 1u);
    EXPECT_EQ(m_services.Boxes()[0].request.text, "YarvelPortal: Yarvel is not loaded");
    EXPECT_EQ(m_services.Boxes()[0].request.icon, platform::MsgIcon::Error);
    EXPECT_TRUE(window.isVisible());
}

// ---- The lookup object -----------------------------------------------------------

struct TQuickCase {
    const char* name;
    const char* vin;
    int choice;  // the choice dialog's answer; -2 when it must not come up
    bool found;
    const char* modelInfo;
    std::vector<std::string> boxes;
};

class QuickLookupTest : public OndrikWindowTest, public ::testing::WithParamInterface<TQuickCase> {};

TEST_P(QuickLookupTest, SilentLookupByTheRecordsVin) {
    const TQuickCase& c = GetParam();
    m_record->VIN = ReplaceRecordText(m_record->VIN, c.vin);
    m_record->ModelYear = 1999;
    m_record->Make = ReplaceRecordText(m_record->Make, "Honda");
    m_record->EffectiveDate = *EncodeDate(2024, 1, 15) + 0.5;
    if (c.choice != -2) AnswerChoice(c.choice);

    EXPECT_EQ(m_lookup->QuickLookup(*m_record), c.found);

    EXPECT_EQ(BoxTexts(), c.boxes);
    if (c.found) {
        EXPECT_EQ(RecordText(m_record->ModelInfo), c.modelInfo);
        EXPECT_EQ(RecordText(m_record->VIN), c.vin);
        EXPECT_EQ(DateOf(m_record->EffectiveDate), QDate(2024, 1, 15));
    } else {
        // The window that follows opens on the host's year and make.
        EXPECT_EQ(m_record->ModelYear, 1999);
        EXPECT_EQ(RecordText(m_record->Make), "Honda");
    }
    // The engine's own boxes are back on afterwards.
    m_services.ClearRecords();
    TVinRecordPtr probe = NewVinRecord();
    ClearVinRecord(*probe);
    probe->VIN = ReplaceRecordText(probe->VIN, kUnknownVin);
    Yarvel().YarvelGetRecordByVIN(probe.get());
    EXPECT_EQ(BoxTexts().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QuickLookupTest,
    ::testing::Values(
        TQuickCase{"NoVin", "", -2, false, "", {}},
        TQuickCase{"ShortVin", "TEST0", -2, false, "",
                   {"VIN must be at least 9 characters in order for a lookup to occur"}},
        TQuickCase{"UnknownVinQuietly", kUnknownVin, -2, false, "", {}},
        TQuickCase{"OneVehicle", kVin, -2, true, "LX", {}},
        TQuickCase{"SeveralChosen", kTwoVin, 1, true, "EX", {}},
        // Cancelled: what the engine's own load found stands.
        TQuickCase{"SeveralCancelled", kTwoVin, -1, true, "LX", {}},
        TQuickCase{"LoadFailedPartWay", kBrokenVin, -2, false, "",
                   {"YARVEL.DLL Error: '1A' is not a valid integer value",
                    "YARVEL.DLL Error: '1A' is not a valid integer value"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OndrikWindowTest, ShowLookupAnswersWhetherAVehicleWasAccepted) {
    struct {
        const char* vin;
        bool accepted;
    } const rows[] = {{kVin, true}, {kUnknownVin, false}};
    for (const auto& row : rows) {
        m_lookup->SetStartedWithParameters(true);
        m_services.AnswerNextBox(platform::mrOK);
        m_services.AnswerNextBox(platform::mrOK);
        m_services.AnswerNextBox(mrYes);  // the host's "cancel the lookup?"
        const std::string vin = row.vin;
        WhenModal<TfrmOndrik>([vin](TfrmOndrik& window) {
            window.findChild<QLineEdit*>("txtVIN")->setText(ToQString(vin));
            window.findChild<QPushButton*>("btnSearchByVIN")->click();
            window.findChild<QPushButton*>("btnClose")->click();
        });
        EXPECT_EQ(m_lookup->ShowLookup(*m_record), row.accepted) << row.vin;
        if (row.accepted) {
            EXPECT_EQ(m_record->ModelYear, 2005);
        }
    }
}

}  // namespace
