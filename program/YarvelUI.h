// The vehicle choice dialog: when several vehicle descriptions in effect
// match, the user picks one of the rows the lookup procedures built.
#pragma once

#include <QDialog>

#include "VehicleChoice.h"

class QLabel;
class QPushButton;
class QTableWidget;
class QWidget;

// The modal dialog "Vehicle Details": a label, the grid InfoGrid with one
// fixed title row (its header) and one row per choice, OK (default, Enter)
// and Cancel (Esc); a double click on a row is OK. Geometry is in 96-dpi
// pixels: default column width 25, every column at least its widest text
// + 9, rows 16 high.
//
// Fill once, then show: when first shown the dialog sizes itself to its rows
// and columns (at most the screen less 100 pixels each way, at least 325
// wide) and centres itself on the screen. The controls belong to the dialog.
class TVehicleDetail : public QDialog {
    Q_OBJECT
public:
    static constexpr int kRowHeight = 16;
    static constexpr int kDefaultColumnWidth = 25;
    static constexpr int kMinWidth = 325;

    explicit TVehicleDetail(QWidget* parent = nullptr);

    // Caption, columns, titles and rows of the table (Windows-1252 texts);
    // the first row is current.
    void Fill(const TChoiceTable& table);

    // The size rules: height from the rows, width from the column widths.
    // Run when first shown; callable earlier to see the size to come.
    void SizeToChoices();

    // The current row: 0 for the first choice, -1 with none.
    int ChosenRow() const;

    QTableWidget* InfoGrid() const { return m_grid; }
    QPushButton* OKButton() const { return m_btnOK; }
    QPushButton* CancelButton() const { return m_btnCancel; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void WidenColumn(int column, const QString& text);

    QLabel* m_lblChoose;
    QTableWidget* m_grid;
    QPushButton* m_btnOK;
    QPushButton* m_btnCancel;
    bool m_sized = false;
};

// The program's chooser: shows the choice table in the modal dialog
// TVehicleDetail (through ExecModal, so a headless run answers cancel) and
// answers the chosen row, or -1 when cancelled. The owner is borrowed and
// may be null (the silent host lookup has no window).
class TVehicleDetailChooser : public TVehicleChooser {
public:
    explicit TVehicleDetailChooser(QWidget* owner = nullptr) : m_owner(owner) {}
    int Choose(const TChoiceTable& table) override;

private:
    QWidget* m_owner;
};
