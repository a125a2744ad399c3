#include "fOndrik.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QEvent>
#include <QFontDatabase>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <algorithm>
#include <exception>
#include <vector>

#include "AppInfo.h"
#include "DateUtils.h"
#include "Helpers.h"
#include "ModalRun.h"
#include "Ondrik.h"
#include "OndrikData.h"
#include "OndrikPrint.h"
#include "ProductInfo.h"
#include "QtText.h"
#include "TextHelpers.h"
#include "VehDets.h"
#include "WindowHelpers.h"
#include "YarvelUI.h"
#include "platform/Paths.h"
#include "platform/Services.h"
#include "platform/Text.h"

// The pictures live in a static library: their resource is registered by
// hand, or the linker drops it. (Outside any namespace, as Qt requires.)
static void InitPictures() { Q_INIT_RESOURCE(fOndrik); }

namespace {

constexpr int kClientWidth = 466;
constexpr int kClientHeight = 490;
constexpr int kTopHeight = 89;
constexpr int kBottomHeight = 77;
constexpr int kStatusHeight = 17;
constexpr int kMiddleHeight = kClientHeight - kTopHeight - kBottomHeight - kStatusHeight;
constexpr int kGridWidth = 400;
constexpr int kGridHeight = 252;
constexpr int kRowHeight = 18;
constexpr int kShowNormal = 1;
constexpr int kProductNameKey = 7;

const char kTabVinCaption[] = "          Search by VIN          ";
const char kTabYmmCaption[] = "     Search by Year, Make and Model     ";
const char kYmmRequired[] =
    "Year, Make and Model must be specified in order to look up vehicle details";

QColor Rgb(const int (&c)[3]) { return QColor(c[0], c[1], c[2]); }

// Errors raised in a handler reach the user as the platform's error box;
// the box itself failing must not end the program either.
void ShowHandlerError(const std::string& message) noexcept {
    try {
        platform::MessageBoxRequest box;
        box.text = message;
        box.caption = "Ondrik";
        box.icon = platform::MsgIcon::Error;
        box.buttons = platform::MsgButtons::OK;
        platform::ShowMessageBox(box);
    } catch (...) {
    }
}

std::string Trimmed(const QString& text) { return platform::TrimBlanks(FromQString(text)); }

// The platform's short date format in Qt's notation: the same letters, but a
// lower-case "m" outside quotes means the month there.
QString QtDateFormat(const std::string& format) {
    QString result;
    bool quoted = false;
    for (const QChar c : ToQString(format)) {
        if (c == '\'') quoted = !quoted;
        result += (!quoted && c == 'm') ? QChar('M') : c;
    }
    return result;
}

QDate OrigSymbolDate() { return QDate(1950, 1, 1); }

// The tabs drawn as this window always drew them: the caption 5 pixels right
// and 3 down from the tab's corner, the active tab on a darker blue.
class TOwnerDrawnTabBar : public QTabBar {
public:
    explicit TOwnerDrawnTabBar(QWidget* parent) : QTabBar(parent) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        for (int i = 0; i < count(); ++i) {
            const QRect r = tabRect(i);
            painter.fillRect(r, i == currentIndex() ? Rgb(kActiveTabColour) : Rgb(kWindowColour));
            painter.setPen(palette().color(QPalette::WindowText));
            painter.drawRect(r.adjusted(0, 0, -1, -1));
            painter.drawText(r.adjusted(5, 3, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                             tabText(i));
        }
    }
};

class TOwnerDrawnTabs : public QTabWidget {
public:
    explicit TOwnerDrawnTabs(QWidget* parent) : QTabWidget(parent) {
        setTabBar(new TOwnerDrawnTabBar(this));
    }
};

// Result cells: captions black on white, values bold blue on white; the
// focused value white on navy. Text 6 pixels from the left, at the top.
class TDetailCellPainter : public QStyledItemDelegate {
public:
    explicit TDetailCellPainter(QTableWidget* grid) : QStyledItemDelegate(grid), m_grid(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool value = index.column() == 1;
        const bool focused = value && index == m_grid->currentIndex();
        QColor background = Qt::white;
        QColor ink = value ? QColor(Qt::blue) : QColor(Qt::black);
        if (focused) {
            background = QColor(0, 0, 128);
            ink = Qt::white;
        }
        painter->save();
        painter->fillRect(option.rect, background);
        QFont font = option.font;
        font.setBold(value);
        painter->setFont(font);
        painter->setPen(ink);
        painter->drawText(option.rect.adjusted(6, 0, 0, 0),
                          Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                          index.data(Qt::DisplayRole).toString());
        painter->restore();
    }

private:
    QTableWidget* m_grid;
};

// Fills a combo box in order of its texts, letter case ignored, each entry
// carrying its index in the engine's list.
template <typename List>
void FillSorted(QComboBox& box, const List& list) {
    std::vector<std::pair<QString, int>> entries;
    for (size_t i = 0; i < list.Entries().size(); ++i) {
        entries.emplace_back(ToQString(list.Entries()[i].first), static_cast<int>(i));
    }
    std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) {
        return a.first.compare(b.first, Qt::CaseInsensitive) < 0;
    });
    for (const auto& [text, index] : entries) box.addItem(text, index);
}

// The entry whose text equals the text, letter case ignored; -1 for none.
int FindEntry(const QComboBox& box, const std::string& text) {
    const QString wanted = ToQString(text);
    if (wanted.isEmpty()) return -1;
    for (int i = 0; i < box.count(); ++i) {
        if (box.itemText(i).compare(wanted, Qt::CaseInsensitive) == 0) return i;
    }
    return -1;
}

bool IsEnter(QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

QPushButton* NewButton(const char* caption, QWidget* parent, const char* name) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    // Enter belongs to the search fields, never to a default button.
    button->setAutoDefault(false);
    button->setDefault(false);
    return button;
}

QLabel* NewLabel(const char* caption, QWidget* parent, const QRect& geometry) {
    auto* label = new QLabel(caption, parent);
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(geometry);
    return label;
}

}  // namespace

struct TfrmOndrik::TLists {
    TMakeList makes;
    TModelList models;
};

template <typename Work>
void TfrmOndrik::Guarded(Work&& work) noexcept {
    try {
        work();
    } catch (const Exception& e) {
        ShowHandlerError(e.Message());
    } catch (const std::exception& e) {
        ShowHandlerError(e.what());
    } catch (...) {
        ShowHandlerError("Unknown error");
    }
}

TfrmOndrik::TfrmOndrik(QWidget* owner, TVehicleInfoLookup& lookupObject, bool startedWithParameters,
                       TVinRecord& record)
    : QDialog(owner),
      m_record(record),
      m_lookupObject(lookupObject),
      m_startedWithParameters(startedWithParameters),
      m_lists(std::make_unique<TLists>()) {
    setObjectName("frmOndrik");
    setWindowTitle(ToQString(std::string(kMakerName) + " Ondrik"));
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(8);
    setFont(font);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, Rgb(kWindowColour));
    setPalette(colours);
    setAutoFillBackground(true);

    InitPictures();
    BuildControls();
    BuildMenu();

    if (!m_startedWithParameters) {
        // Standalone: no cancel; print and close move one place right.
        const QPoint closePlace = btnClose->pos();
        btnClose->move(btnCancel->pos());
        btnPrint->move(closePlace);
        btnCancel->hide();
    }
    m_resultShown = false;
    m_startEffectiveDate = m_record.EffectiveDate;
    m_printoutFontSize = ReadPrintoutFontSize(m_lookupObject.AppInfo().AppPath());
    txtEffective->setDate(QDate::currentDate());
    if (m_startedWithParameters) {
        // The date is compared, not its text, so that the rule holds in
        // every short date format (year-first ones included).
        const std::optional<TDateParts> start = DecodeDate(m_startEffectiveDate);
        const bool original = start && start->Year == 1950 && start->Month == 1 && start->Day == 1;
        chkOrigSym->setChecked(original);  // runs chkOrigSymClick when it checks
    }
    FillSearchLists();
    txtVIN->setText(ToQString(RecordText(m_record.VIN)));
}

TfrmOndrik::~TfrmOndrik() = default;

void TfrmOndrik::BuildControls() {
    auto* client = new QWidget(this);
    client->setObjectName("pnlClient");
    client->setGeometry(0, 0, kClientWidth, kClientHeight);

    // ---- Top: the two searches
    PageSearchType = new TOwnerDrawnTabs(client);
    PageSearchType->setObjectName("PageSearchType");
    PageSearchType->setGeometry(0, 0, kClientWidth, kTopHeight);
    tabVin = new QWidget;
    tabVin->setObjectName("tabVin");
    tabYMM = new QWidget;
    tabYMM->setObjectName("tabYMM");
    PageSearchType->addTab(tabVin, kTabVinCaption);
    PageSearchType->addTab(tabYMM, kTabYmmCaption);
    for (QWidget* page : {tabVin, tabYMM}) page->setAutoFillBackground(true);

    NewLabel("Type the VIN and click the Search button", tabVin, QRect(8, 6, 300, 16));
    txtVIN = new QLineEdit(tabVin);
    txtVIN->setObjectName("txtVIN");
    txtVIN->setGeometry(8, 26, 233, 21);
    btnSearchByVIN = NewButton("&Search...", tabVin, "btnSearchByVIN");
    btnSearchByVIN->setGeometry(250, 24, 75, 25);

    NewLabel("Choose the Year, Make and Model and click the Search button", tabYMM,
             QRect(8, 6, 400, 16));
    lstYear = new QComboBox(tabYMM);
    lstYear->setObjectName("lstYear");
    lstYear->setGeometry(8, 26, 73, 21);
    lstMake = new QComboBox(tabYMM);
    lstMake->setObjectName("lstMake");
    lstMake->setGeometry(88, 26, 137, 21);
    lstModel = new QComboBox(tabYMM);
    lstModel->setObjectName("lstModel");
    lstModel->setGeometry(232, 26, 129, 21);
    for (QComboBox* box : {lstYear, lstMake, lstModel}) box->setMaxVisibleItems(16);
    btnSearchByYMM = NewButton("&Search...", tabYMM, "btnSearchByYMM");
    btnSearchByYMM->setGeometry(370, 24, 75, 25);
    btnSearchByYMM->setEnabled(false);

    // ---- Middle: the results
    const int middle = kTopHeight;
    QLabel* results = NewLabel("Search Results", client, QRect(33, middle + 4, 200, 16));
    QFont bold = results->font();
    bold.setBold(true);
    results->setFont(bold);
    grdDetail = new QTableWidget(client);
    grdDetail->setObjectName("grdDetail");
    grdDetail->setGeometry(33, middle + 22, kGridWidth, kGridHeight);
    grdDetail->setColumnCount(2);
    grdDetail->horizontalHeader()->hide();
    grdDetail->verticalHeader()->hide();
    grdDetail->verticalHeader()->setMinimumSectionSize(kRowHeight);
    grdDetail->verticalHeader()->setDefaultSectionSize(kRowHeight);
    grdDetail->horizontalHeader()->setDefaultSectionSize(160);
    grdDetail->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    grdDetail->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grdDetail->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdDetail->setSelectionMode(QAbstractItemView::NoSelection);
    grdDetail->setShowGrid(true);
    grdDetail->setFocusPolicy(Qt::ClickFocus);  // not a tab stop
    grdDetail->setItemDelegate(new TDetailCellPainter(grdDetail));
    QPalette gridColours = grdDetail->palette();
    gridColours.setColor(QPalette::Base, Qt::white);
    gridColours.setColor(QPalette::Text, Qt::blue);
    grdDetail->setPalette(gridColours);
    QLabel* hint = NewLabel("Click a row to put it's value on the Windows Clipboard", client,
                            QRect(0, middle + 22 + kGridHeight + 6, kClientWidth, 16));
    hint->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    // ---- Bottom: date, options, buttons
    const int bottom = kTopHeight + kMiddleHeight;
    // The desktop's sans-serif font runs wider than the one the window was
    // drawn for: this row is laid out from the texts' own widths.
    QLabel* dateLabel = NewLabel("Date of Lookup:", client, QRect(8, bottom + 10, 80, 16));
    dateLabel->resize(std::max(80, dateLabel->sizeHint().width()), 16);
    txtEffective = new QDateEdit(client);
    txtEffective->setObjectName("txtEffective");
    txtEffective->setGeometry(dateLabel->geometry().right() + 4, bottom + 7, 97, 21);
    txtEffective->setCalendarPopup(true);
    txtEffective->setLocale(QLocale::c());  // English names, as the date texts use
    txtEffective->setDisplayFormat(QtDateFormat(platform::ShortDateFormat()));
    txtEffective->setMinimumDate(QDate(1, 1, 1));
    txtEffective->resize(std::max(97, txtEffective->sizeHint().width()), 21);
    chkOrigSym = new QCheckBox("Use original symbol (pre-2006 in MA)", client);
    chkOrigSym->setObjectName("chkOrigSym");
    const int helpWidth = 17;
    const int origX = txtEffective->geometry().right() + 9;
    const int origWidth =
        std::min(chkOrigSym->sizeHint().width(), kClientWidth - 8 - helpWidth - 4 - origX);
    chkOrigSym->setGeometry(origX, bottom + 9, origWidth, 17);
    Button1 = NewButton("?", client, "Button1");
    Button1->setGeometry(origX + origWidth + 4, bottom + 9, helpWidth, 17);
    Button1->setFocusPolicy(Qt::NoFocus);
    chkShowAllDetail = new QCheckBox("Show all Detail Items", client);
    chkShowAllDetail->setObjectName("chkShowAllDetail");
    chkShowAllDetail->setGeometry(8, bottom + 44, 150, 17);
    btnPrint = NewButton("&Print", client, "btnPrint");
    btnPrint->setGeometry(218, bottom + 40, 75, 25);
    btnClose = NewButton("&Close", client, "btnClose");
    btnClose->setGeometry(298, bottom + 40, 75, 25);
    btnCancel = NewButton("&Cancel", client, "btnCancel");
    btnCancel->setGeometry(378, bottom + 40, 75, 25);

    // ---- Status bar: the picture and the criteria
    const int status = kClientHeight - kStatusHeight;
    auto* statusBar = new QWidget(client);
    statusBar->setObjectName("StatusBar");
    statusBar->setGeometry(0, status, kClientWidth, kStatusHeight);
    imgSuccess = new QLabel(statusBar);
    imgSuccess->setObjectName("imgSuccess");
    imgSuccess->setGeometry(3, 2, 16, 13);
    imgSuccess->setAlignment(Qt::AlignCenter);
    pnlCriteria = new QLabel(statusBar);
    pnlCriteria->setObjectName("pnlCriteria");
    pnlCriteria->setTextFormat(Qt::PlainText);
    pnlCriteria->setGeometry(24, 0, kClientWidth - 26, kStatusHeight);
    QPalette criteriaColours = pnlCriteria->palette();
    criteriaColours.setColor(QPalette::WindowText, Qt::blue);
    pnlCriteria->setPalette(criteriaColours);

    // ---- Handlers, each inside the guard
    auto on = [this](void (TfrmOndrik::*handler)()) {
        return [this, handler] { Guarded([this, handler] { (this->*handler)(); }); };
    };
    connect(btnSearchByVIN, &QPushButton::clicked, this, on(&TfrmOndrik::btnSearchByVINClick));
    connect(btnSearchByYMM, &QPushButton::clicked, this, on(&TfrmOndrik::btnSearchByYMMClick));
    connect(btnClose, &QPushButton::clicked, this, on(&TfrmOndrik::btnCloseClick));
    connect(btnPrint, &QPushButton::clicked, this, on(&TfrmOndrik::btnPrintClick));
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(Button1, &QPushButton::clicked, this, on(&TfrmOndrik::Button1Click));
    connect(chkShowAllDetail, &QCheckBox::toggled, this, on(&TfrmOndrik::chkShowAllDetailClick));
    connect(chkOrigSym, &QCheckBox::toggled, this, on(&TfrmOndrik::chkOrigSymClick));
    connect(grdDetail, &QTableWidget::cellClicked, this,
            [this](int row, int) { Guarded([this, row] { grdDetailClick(row); }); });
    connect(PageSearchType, &QTabWidget::currentChanged, this, [this](int index) {
        (index == 0 ? static_cast<QWidget*>(txtVIN) : lstYear)->setFocus();
    });
    // Whatever the VIN edit holds is upper case, a VIN set by the program too.
    connect(txtVIN, &QLineEdit::textChanged, this, [this](const QString& text) {
        const QString upper = ToQString(UpperText1252(FromQString(text)));
        if (upper == text) return;
        const int cursor = txtVIN->cursorPosition();
        txtVIN->setText(upper);
        txtVIN->setCursorPosition(cursor);
    });
    auto reloadModels = [this](int) {
        if (m_quietLists == 0) Guarded([this] { FillModelList(); });
    };
    connect(lstYear, &QComboBox::currentIndexChanged, this, reloadModels);
    connect(lstMake, &QComboBox::currentIndexChanged, this, reloadModels);
    connect(lstModel, &QComboBox::currentIndexChanged, this,
            [this](int index) { btnSearchByYMM->setEnabled(index >= 0); });
    txtVIN->installEventFilter(this);
    lstModel->installEventFilter(this);
}

void TfrmOndrik::BuildMenu() {
    auto* menuBar = new QMenuBar(this);
    menuBar->setObjectName("MainMenu");
    QMenu* file = menuBar->addMenu("&File");
    QMenu* help = menuBar->addMenu("&Help");
    auto on = [this](void (TfrmOndrik::*handler)()) {
        return [this, handler] { Guarded([this, handler] { (this->*handler)(); }); };
    };
    mnuPrint = file->addAction("&Print", this, on(&TfrmOndrik::btnPrintClick));
    mnuPrint->setObjectName("mnuPrint");
    file->addAction("Printout &Font Size", this, on(&TfrmOndrik::PrintoutFontSize1Click))
        ->setObjectName("PrintoutFontSize1");
    file->addSeparator();
    // Does what the Close button does.
    file->addAction("&Close", this, on(&TfrmOndrik::btnCloseClick))->setObjectName("mnuClose");
    help->addAction("&Update from the Web", this, on(&TfrmOndrik::mnuWebUpdateClick))
        ->setObjectName("mnuWebUpdate");
    help->addAction("&About", this, on(&TfrmOndrik::mnuAboutClick))->setObjectName("mnuAbout");

    // The client area lies below the menu.
    const int menuHeight = menuBar->sizeHint().height();
    menuBar->setGeometry(0, 0, kClientWidth, menuHeight);
    QWidget* client = findChild<QWidget*>("pnlClient", Qt::FindDirectChildrenOnly);
    client->move(0, menuHeight);
    resize(kClientWidth, menuHeight + kClientHeight);
}

int TfrmOndrik::ShowModal() {
    return ExecModal(*this, FromQString(windowTitle()));
}

void TfrmOndrik::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (m_shownOnce) return;
    m_shownOnce = true;
    Guarded([this] { FormShow(); });
}

bool TfrmOndrik::eventFilter(QObject* watched, QEvent* event) {
    if (IsEnter(event) && (watched == txtVIN || watched == lstModel)) {
        QPushButton* button = watched == txtVIN ? btnSearchByVIN : btnSearchByYMM;
        button->setFocus();
        button->click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmOndrik::FormShow() {
    m_updating = true;
    {
        // The defaults FillSearchLists chose only decided which models were
        // loaded; the lists show the record's own year and make, or nothing.
        ++m_quietLists;
        lstYear->setCurrentIndex(FindEntry(*lstYear, std::to_string(m_record.ModelYear)));
        lstMake->setCurrentIndex(FindEntry(*lstMake, platform::TrimBlanks(RecordText(m_record.Make))));
        --m_quietLists;
    }
    m_vinMode = !RecordText(m_record.VIN).empty();
    PageSearchType->setCurrentWidget(m_vinMode ? tabVin : tabYMM);
    (m_vinMode ? static_cast<QWidget*>(txtVIN) : lstYear)->setFocus();
    m_updating = false;
    ClearDetail();
    FitToControls(*this);
    setFixedSize(size());
    CenterOnScreen(*this);
}

void TfrmOndrik::FillSearchLists() {
    if (lstYear->count() > 0) return;
    ClearDetail();
    const TYarvelEntryPoints& y = Yarvel();
    ++m_quietLists;
    if (lstMake->count() == 0) {
        lstMake->clear();
        m_lists->makes.Clear();
        y.YarvelGetListOfMakes(m_lists->makes.Protocol());
        FillSorted(*lstMake, m_lists->makes);
    }
    const int earliest = y.YarvelGetEarliestSymbolYearAvailable();
    const int last = QDate::currentDate().year() + 1;
    // The engine answers -1 after an error it has shown: no years then.
    if (earliest > 0) {
        for (int year = earliest; year <= last; ++year) lstYear->addItem(QString::number(year));
    }
    lstYear->setCurrentIndex(FindEntry(*lstYear, std::to_string(m_record.ModelYear)));
    lstMake->setCurrentIndex(FindEntry(*lstMake, platform::TrimBlanks(RecordText(m_record.Make))));
    --m_quietLists;
    FillModelList();
    ++m_quietLists;
    if (lstYear->currentIndex() < 0) lstYear->setCurrentIndex(lstYear->count() - 1);
    const bool noMake = lstMake->currentIndex() < 0;
    if (noMake) lstMake->setCurrentIndex(lstMake->count() > 0 ? 0 : -1);
    --m_quietLists;
    // The year may have changed just now too: the models follow both lists.
    FillModelList();
    lstModel->setCurrentIndex(FindEntry(*lstModel, platform::TrimBlanks(RecordText(m_record.Model))));
}

void TfrmOndrik::FillModelList() {
    ++m_quietLists;
    lstModel->clear();
    m_lists->models.Clear();
    --m_quietLists;
    const std::string year = FromQString(lstYear->currentText());
    const std::string make = FromQString(lstMake->currentText());
    if (!year.empty() && !make.empty()) {
        if (TAutoMake* autoMake = SelectedMake()) {
            const TYarvelText yearArg(year);
            Yarvel().YarvelGetListOfModels(m_lists->models.Protocol(), autoMake, yearArg.In());
            ++m_quietLists;
            FillSorted(*lstModel, m_lists->models);
            lstModel->setCurrentIndex(-1);
            --m_quietLists;
        }
    }
    btnSearchByYMM->setEnabled(lstModel->currentIndex() >= 0);
    ClearDetail();
}

TAutoMake* TfrmOndrik::SelectedMake() const {
    const int index = lstMake->currentIndex();
    if (index < 0) return nullptr;
    const size_t entry = static_cast<size_t>(lstMake->itemData(index).toInt());
    return entry < m_lists->makes.Entries().size() ? m_lists->makes.Entries()[entry].second : nullptr;
}

TModelID* TfrmOndrik::SelectedModel() const {
    const int index = lstModel->currentIndex();
    if (index < 0) return nullptr;
    const size_t entry = static_cast<size_t>(lstModel->itemData(index).toInt());
    return entry < m_lists->models.Entries().size() ? m_lists->models.Entries()[entry].second : nullptr;
}

void TfrmOndrik::ClearDetail() {
    grdDetail->clearContents();
    grdDetail->setRowCount(1);
    grdDetail->setColumnCount(2);
    const int first = kGridWidth / 3;
    grdDetail->setColumnWidth(0, first);
    grdDetail->setColumnWidth(1, kGridWidth - first - 30);
    btnPrint->setEnabled(false);
    if (mnuPrint) mnuPrint->setEnabled(false);
    m_resultShown = false;
}

void TfrmOndrik::ShowVehicleDetail() {
    ClearDetail();
    const std::vector<std::string> lines =
        GetVehicleProperties(m_record, chkShowAllDetail->isChecked(), "=", false);
    grdDetail->setRowCount(std::max<int>(1, static_cast<int>(lines.size())));
    for (size_t i = 0; i < lines.size(); ++i) {
        const int row = static_cast<int>(i);
        grdDetail->setItem(row, 0, new QTableWidgetItem(ToQString(TextBefore(lines[i], "="))));
        grdDetail->setItem(row, 1,
                           new QTableWidgetItem(ToQString(" " + TextAfterOrEmpty(lines[i], "="))));
    }
    btnPrint->setEnabled(true);
    mnuPrint->setEnabled(true);
    m_resultShown = true;
}

void TfrmOndrik::SetCriteriaText(const std::string& text) {
    // A label shows "&" as it is: nothing to double here.
    pnlCriteria->setText(ToQString(" " + text));
}

void TfrmOndrik::SetSuccessImage(bool success) {
    imgSuccess->setPixmap(QPixmap(success ? ":/ondrik/success.png" : ":/ondrik/failure.png"));
    imgSuccess->setProperty("success", success);
}

double TfrmOndrik::GetEffectiveDate() const {
    const QDate date = txtEffective->date();
    return EncodeDate(date.year(), date.month(), date.day()).value_or(NowDayCount());
}

void TfrmOndrik::SetEffectiveDate(double dayCount) {
    if (const std::optional<TDateParts> parts = DecodeDate(dayCount)) {
        txtEffective->setDate(QDate(parts->Year, parts->Month, parts->Day));
    }
}

void TfrmOndrik::SetOrigSymbolDate() { txtEffective->setDate(OrigSymbolDate()); }

void TfrmOndrik::LookupVIN(bool silent) {
    m_silent = silent;
    ClearDetail();
    const std::string vin = Trimmed(txtVIN->text());
    const TYarvelEntryPoints& y = Yarvel();
    const int minimum = y.YarvelGetMinVinSizePermitted();
    if (static_cast<long long>(vin.size()) < minimum) {
        ShowInfoMessage("VIN must be at least " + std::to_string(minimum) +
                        " characters in order for a lookup to occur");
        SetCriteriaText("Invalid VIN Specified");
        SetSuccessImage(false);
        return;
    }
    const double remembered = m_record.EffectiveDate;
    ClearVinRecord(m_record);
    m_record.VIN = ReplaceRecordText(m_record.VIN, vin);
    if (silent) SetEffectiveDate(remembered);
    m_record.EffectiveDate = GetEffectiveDate();
    const double lookupDate = m_record.EffectiveDate;

    // A load that failed part-way (the engine reported an error, yet some
    // fields are set) is no vehicle.
    bool loadedClean = false;
    {
        TEngineErrorWatch errors;
        loadedClean = y.YarvelGetRecordByVIN(&m_record) != 0 && errors.Count() == 0;
    }
    bool searched = false;
    int searchErrors = 0;
    {
        TEngineErrorWatch errors;
        searched = Search(true);
        searchErrors = errors.Count();
    }
    // A record loaded above still counts when the choice was cancelled.
    const bool found =
        m_record.ModelYear != 0 && (searched || (loadedClean && searchErrors == 0));
    if (found) {
        // The text searched, not the engine's pattern.
        m_record.VIN = ReplaceRecordText(m_record.VIN, vin);
        ShowVehicleDetail();
        SetSuccessImage(true);
    } else {
        if (m_record.ModelYear != 0) {
            ClearVinRecord(m_record);
            m_record.VIN = ReplaceRecordText(m_record.VIN, vin);
            m_record.EffectiveDate = lookupDate;
            m_record.ModelYear = 0;
        }
        SetSuccessImage(false);
    }
    SetCriteriaText("Lookup By: " + RecordText(m_record.VIN));
}

bool TfrmOndrik::Search(bool byVIN) {
    std::string criteria;
    TModelID* model = nullptr;
    TAutoMake* make = nullptr;
    if (byVIN) {
        criteria = Trimmed(txtVIN->text());
        if (criteria.empty()) return false;
    } else {
        model = SelectedModel();
        make = SelectedMake();
        if (!model || !make) return false;
        criteria = Trimmed(lstYear->currentText()) + " " + Trimmed(lstMake->currentText()) + " " +
                   Trimmed(lstModel->currentText());
    }
    m_record.EffectiveDate = GetEffectiveDate();
    SetCriteriaText("Lookup by " + criteria);
    // The silent lookup has no window to own the choice dialog.
    TVehicleDetailChooser chooser(m_silent ? nullptr : this);
    const bool result =
        byVIN ? LookupByVIN(m_record, criteria, chooser)
              : LookupByYMM(m_record, model, FromQString(lstYear->currentText()),
                            RecordText(make->Abbr), RecordText(model->Name), chooser);
    SetSuccessImage(result);
    return result;
}

void TfrmOndrik::btnSearchByVINClick() {
    LookupVIN(false);
    btnSearchByVIN->setFocus();
}

void TfrmOndrik::btnSearchByYMMClick() {
    if (m_updating) return;
    // A model without a make (possible right after a standalone start) gives
    // no abbreviation to look up with: refused like a missing model.
    QComboBox* missing = nullptr;
    if (lstYear->currentIndex() < 0) missing = lstYear;
    else if (!SelectedMake()) missing = lstMake;
    else if (!SelectedModel()) missing = lstModel;
    if (missing) {
        ShowInfoMessage(kYmmRequired);
        missing->setFocus();
        return;
    }
    // The search changes the record: a vehicle shown before must not stay
    // on display (and be accepted by Close) when this one is not found.
    ClearDetail();
    if (Search(false)) ShowVehicleDetail();
    btnSearchByYMM->setFocus();
}

void TfrmOndrik::grdDetailClick(int row) {
    QTableWidgetItem* value = grdDetail->item(row, 1);
    if (!value) return;
    grdDetail->setCurrentCell(row, 1);
    platform::SetClipboardText(FromQString(value->text()));
}

void TfrmOndrik::chkShowAllDetailClick() {
    // Only a vehicle on display is redrawn: the toggle never makes whatever
    // the record holds count as a result.
    if (m_resultShown) ShowVehicleDetail();
}

void TfrmOndrik::chkOrigSymClick() {
    if (chkOrigSym->isChecked()) SetOrigSymbolDate();
    else txtEffective->setDate(QDate::currentDate());
    txtEffective->setEnabled(!chkOrigSym->isChecked());
}

void TfrmOndrik::Button1Click() {
    ShowInfoMessage(
        "MA Auto rules require the use of the original symbol under "
        "certain circumstances.  You will want to check the box on the screen "
        "if one of the following are true:\r\r"
        "- The policy year is BEFORE 2006\r"
        "- The vehicle model year is 2006 or newer AND the policy year is 2006 or newer\r\r"
        "Under no circumstances should you check the box if the vehicle is older than 2006");
}

void TfrmOndrik::btnPrintClick() {
    if (!m_resultShown) return;
    PrintWithDialog(this, m_record, chkShowAllDetail->isChecked(), m_printoutFontSize);
}

void TfrmOndrik::PrintoutFontSize1Click() {
    AskPrintoutFontSize(m_lookupObject.AppInfo().AppPath(), m_printoutFontSize);
}

void TfrmOndrik::btnCloseClick() {
    if (m_startedWithParameters) {
        if (m_resultShown) {
            accept();
            return;
        }
        if (AskYesNo("No data will be passed back to Pollark without a valid vehicle.  Do you "
                     "want to cancel the lookup?")) {
            reject();
        } else {
            (m_vinMode ? static_cast<QWidget*>(txtVIN) : lstYear)->setFocus();
        }
        return;
    }
    // Closed first: a setting that cannot be written is reported, and the
    // vehicle shown is still handed on.
    done(m_resultShown ? QDialog::Accepted : QDialog::Rejected);
    WriteUseOrigSymbol(chkOrigSym->isChecked());
}

void TfrmOndrik::mnuWebUpdateClick() {
    if (!AskYesNo("The Ondrik will now shutdown in order to perform the Web Update.  Continue?"))
        return;
    ShellOpen(kWebUpdateAddress, "", "", kShowNormal);
    reject();
}

void TfrmOndrik::mnuAboutClick() {
    std::string title = GetVersionString(platform::ProgramFileName(), kProductNameKey);
    if (title.empty()) title = "Ondrik";
    std::string text = title;
    if (!m_lookupObject.VersionNumber().empty()) text += "\r\nVersion " + m_lookupObject.VersionNumber();
    ShowInfoMessage(text);
}
