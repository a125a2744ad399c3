#include "YarvelUI.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QTableWidget>
#include <algorithm>

#include "ModalRun.h"
#include "QtText.h"
#include "WindowHelpers.h"
#include "YarvelPortal.h"

TVehicleDetail::TVehicleDetail(QWidget* parent) : QDialog(parent) {
    setObjectName("VehicleDetail");
    setWindowTitle("Vehicle Details");
    setModal(true);
    // The layout as designed; FitToControls below trims the margins.
    resize(400, 200);

    m_lblChoose =
        new QLabel("Choose the line that best describes the vehicle to be insured:", this);
    m_lblChoose->setObjectName("lblChoose");
    m_lblChoose->setGeometry(8, 8, 384, 16);

    m_grid = new QTableWidget(this);
    m_grid->setObjectName("InfoGrid");
    m_grid->setGeometry(8, 28, 384, 132);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setShowGrid(true);
    m_grid->setWordWrap(false);
    m_grid->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    // The title row is the header: fixed, never a choice.
    QHeaderView* titles = m_grid->horizontalHeader();
    titles->setFixedHeight(kRowHeight);
    titles->setSectionsClickable(false);
    titles->setHighlightSections(false);
    titles->setMinimumSectionSize(0);
    titles->setDefaultSectionSize(kDefaultColumnWidth);
    titles->setSectionResizeMode(QHeaderView::Fixed);
    titles->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QHeaderView* rows = m_grid->verticalHeader();
    rows->hide();
    rows->setMinimumSectionSize(0);
    rows->setDefaultSectionSize(kRowHeight);
    rows->setSectionResizeMode(QHeaderView::Fixed);

    m_btnOK = new QPushButton("OK", this);
    m_btnOK->setObjectName("btnOK");
    m_btnOK->setGeometry(236, 168, 75, 25);
    m_btnOK->setDefault(true);
    m_btnCancel = new QPushButton("Cancel", this);
    m_btnCancel->setObjectName("btnCancel");
    m_btnCancel->setGeometry(317, 168, 75, 25);
    m_btnCancel->setAutoDefault(false);

    SetAnchors(*m_grid, akLeft | akTop | akRight | akBottom);
    SetAnchors(*m_btnOK, akRight | akBottom);
    SetAnchors(*m_btnCancel, akRight | akBottom);

    connect(m_btnOK, &QPushButton::clicked, this, &QDialog::accept);
    // Esc rejects by QDialog's own key handling.
    connect(m_btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_grid, &QTableWidget::cellDoubleClicked, this, [this](int, int) { accept(); });

    FitToControls(*this);
}

void TVehicleDetail::WidenColumn(int column, const QString& text) {
    const int wanted = m_grid->fontMetrics().horizontalAdvance(text) + 9;
    if (m_grid->columnWidth(column) < wanted) m_grid->setColumnWidth(column, wanted);
}

void TVehicleDetail::Fill(const TChoiceTable& table) {
    setWindowTitle(ToQString(table.Caption));
    const int columns = static_cast<int>(table.Titles.size());
    m_grid->clear();
    m_grid->setColumnCount(columns);
    m_grid->setRowCount(static_cast<int>(table.Rows.size()));
    for (int c = 0; c < columns; ++c) {
        const QString title = ToQString(table.Titles[static_cast<size_t>(c)]);
        m_grid->setHorizontalHeaderItem(c, new QTableWidgetItem(title));
        m_grid->setColumnWidth(c, kDefaultColumnWidth);
        WidenColumn(c, title);
    }
    for (size_t r = 0; r < table.Rows.size(); ++r) {
        const std::vector<std::string>& cells = table.Rows[r];
        // A short row leaves its last cells empty; surplus cells are ignored.
        for (int c = 0; c < columns && static_cast<size_t>(c) < cells.size(); ++c) {
            const QString text = ToQString(cells[static_cast<size_t>(c)]);
            m_grid->setItem(static_cast<int>(r), c, new QTableWidgetItem(text));
            WidenColumn(c, text);
        }
    }
    if (!table.Rows.empty() && columns > 0) m_grid->setCurrentCell(0, 0);
    m_sized = false;
}

void TVehicleDetail::SizeToChoices() {
    m_sized = true;
    // The grid is anchored on all four sides, so what surrounds it is the
    // same at every dialog size: the height it is first set to does not
    // change the result.
    const QSize old = size();
    const int aroundHeight = height() - m_grid->height();
    const int aroundWidth = width() - m_grid->width();
    int columnsWidth = 0;
    for (int c = 0; c < m_grid->columnCount(); ++c) columnsWidth += m_grid->columnWidth(c);

    QRect screen(0, 0, 1024, 768);
    if (QScreen* primary = QGuiApplication::primaryScreen()) screen = primary->geometry();
    // The title row counts as a row, and one more keeps the last row clear
    // of the grid's edge.
    const int titleAndRows = m_grid->rowCount() + 1;
    const int h =
        std::min(aroundHeight + (titleAndRows + 1) * kRowHeight + 25, screen.height() - 100);
    const int w =
        std::max(std::min(aroundWidth + columnsWidth + 35, screen.width() - 100), kMinWidth);
    resize(w, h);
    // A dialog not shown yet gets its resize event only when shown; the
    // anchored controls follow now.
    if (!isVisible()) {
        QResizeEvent event(size(), old);
        QCoreApplication::sendEvent(this, &event);
    }
    CenterOnScreen(*this);
}

int TVehicleDetail::ChosenRow() const {
    return m_grid->rowCount() > 0 ? m_grid->currentRow() : -1;
}

void TVehicleDetail::showEvent(QShowEvent* event) {
    if (!m_sized) SizeToChoices();
    QDialog::showEvent(event);
}

int TVehicleDetailChooser::Choose(const TChoiceTable& table) {
    TVehicleDetail dialog(m_owner);
    dialog.Fill(table);
    dialog.SizeToChoices();
    if (ExecModal(dialog, ChoiceText(table)) != QDialog::Accepted) return -1;
    return dialog.ChosenRow();
}
