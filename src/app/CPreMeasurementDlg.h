#pragma once
// The pre-measurement dialog: the level warning and the number of positions (5 to 10, or until
// the average has settled; Verify offers 1 to 10 and its text says so).

#include <QDialog>

#include "wizard/MeasureStep.h"

class QCheckBox;
class QPlainTextEdit;

namespace CustomControls {
template <typename V>
class CSpin;
}

inline constexpr int IDC_POSITIONS = 1020;
inline constexpr int IDC_SETUP_TEXT = 1021;

class CPreMeasurementDlg : public QDialog {
    Q_OBJECT
public:
    explicit CPreMeasurementDlg(QWidget* parent);

    // Runs modally; on OK the chosen count goes into dialog.
    bool DoModal(CCustomizeMeasurementProcDlg& dialog);
    void accept() override;

    int PositionCount() const { return positions_; }
    CustomControls::CSpin<int>* Positions() const { return spin_; }
    // Beside the count: measure from 5 on until the average has settled (not offered for
    // counts from 1).
    QCheckBox* UntilSettled() const { return untilSettled_; }
    QPlainTextEdit* Text() const { return text_; }

private:
    int positions_ = kMinPositions;
    QPlainTextEdit* text_;
    CustomControls::CSpin<int>* spin_;
    QCheckBox* untilSettled_;
};

// The Measure step's pre-measurement dialog, modal over the wizard dialog.
PreMeasurementDialog QtPreMeasurementDialog();
