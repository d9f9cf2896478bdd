#pragma once
// The dockable positions panel: a table of each microphone position's checks, deviation from
// the average and what the equaliser does there, the graph's spread and position switches, and
// the drop button. It draws the core's table and forwards the user's choices.

#include <QDockWidget>
#include <functional>

#include "export/PlotModel.h"

struct DocData;
class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;

class CPositionsPanel : public QDockWidget {
    Q_OBJECT
public:
    explicit CPositionsPanel(QWidget* parent = nullptr);

    // Refills the table from the document, with no row selected.
    void Show(const DocData& data);
    CurveOptions Options() const;

    // Called with the switches after each change, and with the 0-based selected position when
    // the drop button is pressed.
    std::function<void(const CurveOptions&)> onOptions;
    std::function<void(size_t)> onDrop;

    QTableWidget* Table() const { return table_; }
    QCheckBox* SpreadSwitch() const { return spread_; }
    QCheckBox* PositionsSwitch() const { return positions_; }
    QPushButton* DropButton() const { return drop_; }
    QLabel* SettleLabel() const { return settle_; }

private:
    void UpdateDropButton();

    QTableWidget* table_;
    QLabel* settle_;
    QCheckBox* spread_;
    QCheckBox* positions_;
    QPushButton* drop_;
};
