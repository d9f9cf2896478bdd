#pragma once
// The target customization dialog: crossover, high-pass order, high-pass frequency and minimum
// EQ frequency, each a spin over its group box, with "Auto Detect" from the measurements, and
// the choice of the classic fit.

#include <QDialog>

#include "correction/TargetSlope.h"
#include "ui/qt/SpinTextBox.h"
#include "wizard/CalculateStep.h"

class QCheckBox;
class QPushButton;

template <>
struct CustomControls::EnumTypes<SLOPE_ORDER> {
    static std::span<const std::wstring_view> Texts() { return kSlopeOrderTexts; }
};

inline constexpr int IDC_XOVER = 1004;
inline constexpr int IDC_HP_ORDER = 1005;
inline constexpr int IDC_HP_FREQ = 1006;
inline constexpr int IDC_MIN_EQ = 1007;
inline constexpr int IDC_AUTO_DETECT = 1044;

class CTargetCustomizationDialog : public QDialog, public ITargetDialog {
    Q_OBJECT
public:
    // data (not owned) is the document whose measurements Auto Detect uses.
    CTargetCustomizationDialog(QWidget* parent, const DocData& data);

    bool DoModal(TargetSettings& settings) override;

    // Ranges, values and enabled states from the dialog's values.
    void RefreshControls();
    void AutoDetect();
    // Commits every field (a bad value shows "Bad value" and keeps the dialog open).
    void accept() override;

    const TargetSettings& Settings() const { return settings_; }
    void SetSettings(const TargetSettings& settings);

    CustomControls::CSpin<int>* Crossover() const { return crossover_; }
    CustomControls::SpinTextBox<CustomControls::EnumTypes<SLOPE_ORDER>>* Order() const {
        return order_;
    }
    CustomControls::CSpinText<int>* HpFreq() const { return hpFreq_; }
    CustomControls::CSpinText<int>* MinEq() const { return minEq_; }
    QPushButton* AutoDetectButton() const { return autoDetect_; }
    QCheckBox* ClassicFit() const { return classicFit_; }

private:
    const DocData& data_;
    TargetSettings settings_;
    CustomControls::CSpin<int>* crossover_;
    CustomControls::SpinTextBox<CustomControls::EnumTypes<SLOPE_ORDER>>* order_;
    CustomControls::CSpinText<int>* hpFreq_;
    CustomControls::CSpinText<int>* minEq_;
    QPushButton* autoDetect_;
    QCheckBox* classicFit_;
};

inline constexpr char kTargetCaption[] = "Target Customization";
// The choice of the section fit without the refinement.
inline constexpr char kClassicFitText[] = "Classic fit";

// Dialogs with the wizard dialog as parent.
TargetDialogFactory QtTargetDialogFactory();
