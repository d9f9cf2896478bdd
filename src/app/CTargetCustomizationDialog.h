#pragma once
// The target customization dialog: crossover, high-pass order, high-pass frequency and minimum
// EQ frequency, each a spin over its group box, with "Auto Detect" from the measurements, and
// the choice of the classic fit. It draws and forwards; the rules are TargetPresenter's.

#include <QDialog>
#include <array>
#include <memory>
#include <optional>

#include "correction/TargetSlope.h"
#include "ui/qt/SpinTextBox.h"
#include "wizard/CalculateStep.h"
#include "wizard/TargetPresenter.h"

class QCheckBox;
class QPushButton;
class TargetDetectWorker;

namespace Threading {
class MessageBridge;
}

template <>
struct CustomControls::EnumTypes<SLOPE_ORDER> {
    static std::span<const std::wstring_view> Texts() { return kSlopeOrderTexts; }
};

inline constexpr int IDC_XOVER = 1004;
inline constexpr int IDC_HP_ORDER = 1005;
inline constexpr int IDC_HP_FREQ = 1006;
inline constexpr int IDC_MIN_EQ = 1007;
inline constexpr int IDC_AUTO_DETECT = 1044;

class CTargetCustomizationDialog : public QDialog, public ITargetDialog, private ITargetView {
    Q_OBJECT
public:
    // data (not owned) is the document whose measurements Auto Detect uses. With a bridge
    // (drained on this thread) Auto Detect runs on a worker thread, otherwise at once.
    CTargetCustomizationDialog(QWidget* parent, const DocData& data,
                               Threading::MessageBridge* bridge = nullptr);
    ~CTargetCustomizationDialog() override;

    bool DoModal(TargetSettings& settings) override;

    void AutoDetect() { presenter_.AutoDetect(); }
    // Commits every field (a bad value shows "Bad value" and keeps the dialog open).
    void accept() override;

    const TargetSettings& Settings() const { return presenter_.Settings(); }
    void SetSettings(const TargetSettings& settings) { presenter_.Show(settings); }
    const TargetPresenter& Presenter() const { return presenter_; }

    CustomControls::CSpin<int>* Crossover() const { return crossover_; }
    CustomControls::SpinTextBox<CustomControls::EnumTypes<SLOPE_ORDER>>* Order() const {
        return order_;
    }
    CustomControls::CSpinText<int>* HpFreq() const { return hpFreq_; }
    CustomControls::CSpinText<int>* MinEq() const { return minEq_; }
    QPushButton* AutoDetectButton() const { return autoDetect_; }
    QPushButton* OkButton() const { return ok_; }
    QCheckBox* ClassicFit() const { return classicFit_; }

private:
    struct Control {
        CustomControls::CSpin<int>* spin = nullptr;
        int value = 0;                        // what the spin shows and edits
        std::optional<TargetFieldRule> rule;  // as last drawn
    };

    // ITargetView
    void DrawField(TargetField field, const TargetFieldRule& rule, int32_t value) override;
    void DrawClassicFit(bool classic, bool enabled) override;
    void DrawCommands(bool enabled) override;
    bool CommitField(TargetField field, int32_t& value) override;

    Control& Of(TargetField field) { return controls_[static_cast<std::size_t>(field)]; }

    std::unique_ptr<TargetDetectWorker> worker_;
    TargetPresenter presenter_;
    std::array<Control, kTargetFieldCount> controls_;
    CustomControls::CSpin<int>* crossover_;
    CustomControls::SpinTextBox<CustomControls::EnumTypes<SLOPE_ORDER>>* order_;
    CustomControls::CSpinText<int>* hpFreq_;
    CustomControls::CSpinText<int>* minEq_;
    QPushButton* autoDetect_;
    QPushButton* ok_;
    QCheckBox* classicFit_;
};

inline constexpr char kTargetCaption[] = "Target Customization";
// The choice of the section fit without the refinement.
inline constexpr char kClassicFitText[] = "Classic fit";

// Dialogs with the wizard dialog as parent, shown on the UI thread (the thread that drains
// bridge) while the step waits; their Auto Detect runs on a worker over bridge.
TargetDialogFactory QtTargetDialogFactory(Threading::MessageBridge& bridge);
