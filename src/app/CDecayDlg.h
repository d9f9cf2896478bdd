#pragma once
// The Decay window (Tools > Decay...): the impulse, step response, group delay and waterfall of
// the document's positions over the graph, a position chooser, the measured, predicted and
// verified switches and the decay-time table. It draws DecayPresenter's curves and texts and
// forwards its controls.

#include <QDialog>
#include <array>

#include "app/DecayPresenter.h"
#include "ui/graph/GraphCurves.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QStackedWidget;
class QTableWidget;

namespace Graphing {
class CGraphCtrl;
}

class CDecayDlg : public QDialog {
    Q_OBJECT
public:
    CDecayDlg(const DocData& data, QWidget* parent = nullptr);

    DecayPresenter& Presenter() { return presenter_; }
    QComboBox* ViewChooser() const { return view_; }
    QComboBox* PositionChooser() const { return position_; }
    QCheckBox* SetSwitch(Exporting::DecaySet set) const {
        return switches_[static_cast<size_t>(set)];
    }
    // The graph of the view shown.
    Graphing::CGraphCtrl* Graph() const;
    QTableWidget* Table() const { return table_; }
    QLabel* Message() const { return message_; }

private:
    void ShowPlot();
    void ShowTable();

    DecayPresenter presenter_;
    QComboBox* view_;
    QComboBox* position_;
    std::array<QCheckBox*, Exporting::kDecaySetCount> switches_{};
    QStackedWidget* graphs_;
    // One graph per view kind (their axes differ), each with its curves.
    std::array<Graphing::CGraphCtrl*, 4> graph_{};
    std::array<Graphing::CurveList, 4> curves_;
    QTableWidget* table_;
    QLabel* message_;
    QLabel* ramp_;
};
