#include "app/CPositionsPanel.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "wizard/PositionEffects.h"
#include "wizard/Positions.h"

namespace {

QTableWidgetItem* Cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    return item;
}

QString Db(double value) {
    return QString::number(value, 'f', 1);
}

// Where the equaliser makes the position worse; "-" before a calculation.
QString WorseAt(const std::optional<PositionEffect>& e) {
    if (!e)
        return QStringLiteral("-");
    return e->worseAtHz ? QStringLiteral("%1 Hz").arg(*e->worseAtHz, 0, 'f', 0) : QString();
}

}  // namespace

CPositionsPanel::CPositionsPanel(QWidget* parent)
    : QDockWidget(QStringLiteral("Positions"), parent) {
    setObjectName(QStringLiteral("PositionsPanel"));
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    table_ = new QTableWidget(0, 10, body);
    table_->setObjectName(QStringLiteral("PositionsTable"));
    table_->setAccessibleName(QStringLiteral("Positions"));
    table_->setHorizontalHeaderLabels(
        {QStringLiteral("Position"), QStringLiteral("SNR (dB)"),
         QStringLiteral("Period difference (dB)"), QStringLiteral("Deviation RMS (dB)"),
         QStringLiteral("Largest deviation (dB)"), QStringLiteral("Stands out"),
         QStringLiteral("Before EQ (dB)"), QStringLiteral("After EQ (dB)"),
         QStringLiteral("Held out (dB)"), QStringLiteral("Made worse at")});
    table_->verticalHeader()->hide();
    // Tab moves on to the next control; the arrow keys move inside the table.
    table_->setTabKeyNavigation(false);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(table_);
    // How settled the average is, live while a measurement runs.
    settle_ = new QLabel(body);
    settle_->setObjectName(QStringLiteral("Settle"));
    settle_->setAccessibleName(QStringLiteral("Average"));
    settle_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(settle_);

    auto* row = new QHBoxLayout;
    spread_ = new QCheckBox(QStringLiteral("Sho&w spread"), body);
    spread_->setObjectName(QStringLiteral("ShowSpread"));
    positions_ = new QCheckBox(QStringLiteral("Show &positions"), body);
    positions_->setObjectName(QStringLiteral("ShowPositions"));
    drop_ = new QPushButton(QStringLiteral("&Drop position and recalculate"), body);
    drop_->setObjectName(QStringLiteral("DropPosition"));
    row->addWidget(spread_);
    row->addWidget(positions_);
    row->addStretch();
    row->addWidget(drop_);
    layout->addLayout(row);
    setWidget(body);

    for (QCheckBox* box : {spread_, positions_})
        connect(box, &QCheckBox::toggled, this, [this] {
            if (onOptions)
                onOptions(Options());
        });
    connect(table_, &QTableWidget::itemSelectionChanged, this, [this] {
        UpdateDropButton();
        if (onOptions)
            onOptions(Options());
    });
    connect(drop_, &QPushButton::clicked, this, [this] {
        const int selected = table_->currentRow();
        if (selected >= 0 && onDrop)
            onDrop(static_cast<size_t>(selected));
    });
    UpdateDropButton();
}

CurveOptions CPositionsPanel::Options() const {
    const QList<QTableWidgetItem*> chosen = table_->selectedItems();
    return {spread_->isChecked(), positions_->isChecked(),
            chosen.isEmpty() ? -1 : chosen.front()->row()};
}

void CPositionsPanel::Show(const DocData& data) {
    const PositionTable table = TabulatePositions(data);
    // The rows may now hold other positions: nothing stays selected for the drop button.
    table_->clearSelection();
    table_->setCurrentCell(-1, -1);
    table_->setRowCount(static_cast<int>(table.rows.size()));
    for (size_t i = 0; i < table.rows.size(); ++i) {
        const PositionRow& r = table.rows[i];
        const int at = static_cast<int>(i);
        const QString none = QStringLiteral("-");
        table_->setItem(at, 0, Cell(QString::number(r.number)));
        table_->setItem(at, 1, Cell(r.checks ? Db(r.checks->snrDb) : none));
        table_->setItem(at, 2,
                        Cell(r.checks ? QString::number(r.checks->periodDiffDb, 'f', 2) : none));
        table_->setItem(at, 3, Cell(Db(r.deviationDb)));
        table_->setItem(at, 4, Cell(Db(r.largestDb)));
        table_->setItem(at, 5, Cell(r.outlier ? QStringLiteral("Yes") : QString()));
        const std::optional<PositionEffect>& e = r.effect;
        table_->setItem(at, 6, Cell(e ? Db(e->before.rmsDb) : none));
        table_->setItem(at, 7, Cell(e ? Db(e->after.rmsDb) : none));
        table_->setItem(at, 8, Cell(e && e->heldOut ? Db(e->heldOut->rmsDb) : none));
        table_->setItem(at, 9, Cell(WorseAt(e)));
    }
    settle_->setText(QString::fromStdWString(table.settle));
    settle_->setAccessibleDescription(settle_->text());
    settle_->setVisible(!table.settle.empty());
    table_->setToolTip(QStringLiteral("Deviations from %1 to %2 Hz; a position more than %3 dB "
                                      "RMS from the average stands out.\nBefore and after EQ: "
                                      "RMS difference from the target without and with the "
                                      "equaliser; held out: with an equaliser fitted to the "
                                      "other positions only. A position the equaliser makes "
                                      "worse (or held out, more than %4 dB worse) shows where.")
                           .arg(table.low, 0, 'f', 0)
                           .arg(table.high, 0, 'f', 0)
                           .arg(kOutlierRmsDb, 0, 'f', 0)
                           .arg(kHeldOutWorseDb, 0, 'f', 0));
    UpdateDropButton();
}

void CPositionsPanel::UpdateDropButton() {
    drop_->setEnabled(table_->rowCount() > 1 && table_->currentRow() >= 0);
}
