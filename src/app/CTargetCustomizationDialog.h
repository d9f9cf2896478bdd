#pragma once
// The target customization dialog: crossover, high-pass order, high-pass frequency and minimum
// EQ frequency, each a spin over its group box, with "Auto Detect" from the measurements, the
// choice of the classic fit, the "House curve" group (shelf, tilt, file) and the "Limits" group
// (maximum boost, cuts only, upper limit). It draws and forwards; the rules are
// TargetPresenter's.

#include <QDialog>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "correction/TargetSlope.h"
#include "ui/qt/SpinTextBox.h"
#include "wizard/CalculateStep.h"
#include "wizard/TargetPresenter.h"

class QCheckBox;
class QLabel;
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
inline constexpr int IDC_SHELF_GAIN = 1045;
inline constexpr int IDC_SHELF_CORNER = 1046;
inline constexpr int IDC_TILT = 1047;
inline constexpr int IDC_MAX_BOOST = 1048;
inline constexpr int IDC_UPPER_LIMIT = 1049;

class CTargetCustomizationDialog : public QDialog, public ITargetDialog, private ITargetView {
    Q_OBJECT
public:
    // data (not owned) is the document whose measurements Auto Detect uses. With a bridge
    // (drained on this thread) Auto Detect runs on a worker thread, otherwise at once.
    CTargetCustomizationDialog(QWidget* parent, const DocData& data,
                               Threading::MessageBridge* bridge = nullptr);
    ~CTargetCustomizationDialog() override;

    bool DoModal(TargetSettings& settings) override;

    // What "Choose…" asks for the house curve file (nothing: cancelled); a file dialog unless
    // set. File errors go to the message box hook (an error box unless set).
    using FileChooser = std::function<std::optional<std::filesystem::path>(QWidget* owner)>;
    void SetFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }
    void SetMessageBox(CustomControls::CSpinBase::MessageBoxHook hook) {
        messageBox_ = std::move(hook);
    }

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
    CustomControls::CSpin<int>* Spin(TargetField field) const {
        return controls_[static_cast<std::size_t>(field)].spin;
    }
    QCheckBox* CutsOnly() const { return cutsOnly_; }
    QCheckBox* FitUpper() const { return fitUpper_; }
    QLabel* HouseFile() const { return houseFile_; }
    QPushButton* ChooseFile() const { return chooseButton_; }
    QPushButton* NoFile() const { return noFile_; }

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
    void DrawLimits(bool cutsOnly, bool fitUpper, bool enabled) override;
    void DrawHouseFile(const std::wstring& name, bool enabled) override;
    void ShowFileError(const std::wstring& text) override;

    QWidget* HouseGroup();
    QWidget* LimitsGroup();
    void OnChooseFile();

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
    QCheckBox* cutsOnly_ = nullptr;
    QCheckBox* fitUpper_ = nullptr;
    QLabel* houseFile_ = nullptr;
    QPushButton* chooseButton_ = nullptr;
    QPushButton* noFile_ = nullptr;
    FileChooser chooseFile_;
    CustomControls::CSpinBase::MessageBoxHook messageBox_;
};

inline constexpr char kTargetCaption[] = "Target Customization";
// The choice of the section fit without the refinement.
inline constexpr char kClassicFitText[] = "Classic fit";
inline constexpr char kHouseCurveGroup[] = "House curve";
inline constexpr char kLimitsGroup[] = "Limits";
// The house curve file's name when there is none, and the button that clears it.
inline constexpr char kNoHouseFileText[] = "No file";
inline constexpr char kNoneText[] = "None";

// Dialogs with the wizard dialog as parent, shown on the UI thread (the thread that drains
// bridge) while the step waits; their Auto Detect runs on a worker over bridge.
TargetDialogFactory QtTargetDialogFactory(Threading::MessageBridge& bridge);
