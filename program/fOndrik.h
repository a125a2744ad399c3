// The lookup window: the program's only main window, with its two searches
// (by VIN, by year, make and model), the results grid, printing and the
// original-symbol date rule.
//
// The lookup object creates one per lookup and destroys it afterwards:
// either shown modally (ShowModal; Accepted means a vehicle was accepted)
// or, for the silent command-line lookup, never shown: LookupVIN(true).
//
// The record and the lookup object are borrowed and must outlive the
// window. Every event handler runs inside one guard that shows whatever it
// raises in the platform's error box; nothing leaves a Qt slot. Geometry is
// in 96-dpi pixels (client area 466 x 490); Qt scales it with the screen.
#pragma once

#include <QDialog>
#include <memory>
#include <string>

#include "YarvelPortal.h"
#include "yarvel.h"

class QAction;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;
class QWidget;
class TVehicleInfoLookup;

// The window colour and the active tab's background.
inline constexpr int kWindowColour[3] = {214, 223, 247};
inline constexpr int kActiveTabColour[3] = {170, 189, 240};

class TfrmOndrik : public QDialog {
    Q_OBJECT

public:
    // Builds the window for the record: host mode keeps "&Cancel", standalone
    // mode moves "&Print" and "&Close" into the places of "&Close" and
    // "&Cancel". Fills the year and make lists from the engine, so the engine
    // must be loaded; its errors (EYarvelPortal) propagate.
    TfrmOndrik(QWidget* owner, TVehicleInfoLookup& lookupObject, bool startedWithParameters,
               TVinRecord& record);
    ~TfrmOndrik() override;

    // Shows the window modally through ExecModal (headless: its caption on
    // stderr and the cancel result) and answers the result.
    int ShowModal();

    // The VIN search. Silent: the window is never shown, the date of lookup
    // is the record's own EffectiveDate, and the choice dialog stands alone.
    // A vehicle is found when the engine loaded it without an error report;
    // otherwise the record holds no model year afterwards. Throws what the
    // engine binding throws (EYarvelPortal).
    void LookupVIN(bool silent);

    bool ResultShown() const { return m_resultShown; }
    int PrintoutFontSize() const { return m_printoutFontSize; }
    // The date in the "Date of Lookup:" edit, as a day count at midnight.
    double GetEffectiveDate() const;

    // The handlers, as the controls and menu items call them.
    void btnSearchByVINClick();
    void btnSearchByYMMClick();
    void btnCloseClick();
    void btnPrintClick();
    void grdDetailClick(int row);
    void chkShowAllDetailClick();
    void chkOrigSymClick();
    void Button1Click();
    void PrintoutFontSize1Click();
    void mnuWebUpdateClick();
    void mnuAboutClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void BuildMenu();
    // Runs one handler; whatever it raises goes to ShowHandlerError.
    template <typename Work>
    void Guarded(Work&& work) noexcept;
    void FormShow();
    void FillSearchLists();
    void FillModelList();
    void ClearDetail();
    void ShowVehicleDetail();
    bool Search(bool byVIN);
    void SetCriteriaText(const std::string& text);
    void SetSuccessImage(bool success);
    void SetEffectiveDate(double dayCount);
    void SetOrigSymbolDate();
    TAutoMake* SelectedMake() const;
    TModelID* SelectedModel() const;

    TVinRecord& m_record;
    TVehicleInfoLookup& m_lookupObject;
    bool m_startedWithParameters;
    bool m_updating = false;
    bool m_vinMode = false;
    bool m_resultShown = false;
    bool m_silent = false;
    bool m_shownOnce = false;
    // Programmatic list changes must not reload the models.
    int m_quietLists = 0;
    int m_printoutFontSize = 10;
    double m_startEffectiveDate = 0;

    // The engine's make and model objects behind the two lists (held apart:
    // their free functions are the C header's own, one copy per file).
    struct TLists;
    std::unique_ptr<TLists> m_lists;

    QTabWidget* PageSearchType = nullptr;
    QWidget* tabVin = nullptr;
    QWidget* tabYMM = nullptr;
    QLineEdit* txtVIN = nullptr;
    QPushButton* btnSearchByVIN = nullptr;
    QComboBox* lstYear = nullptr;
    QComboBox* lstMake = nullptr;
    QComboBox* lstModel = nullptr;
    QPushButton* btnSearchByYMM = nullptr;
    QTableWidget* grdDetail = nullptr;
    QDateEdit* txtEffective = nullptr;
    QCheckBox* chkOrigSym = nullptr;
    QPushButton* Button1 = nullptr;
    QCheckBox* chkShowAllDetail = nullptr;
    QPushButton* btnPrint = nullptr;
    QPushButton* btnClose = nullptr;
    QPushButton* btnCancel = nullptr;
    QLabel* imgSuccess = nullptr;
    QLabel* pnlCriteria = nullptr;
    QAction* mnuPrint = nullptr;
};
