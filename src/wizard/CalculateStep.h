#pragma once
// The Calculate wizard's step: optionally lets the user adjust the target settings, builds the
// averaged measurement and the target, and fits the equaliser.

#include <cstdint>
#include <functional>
#include <memory>

#include "correction/FitMethod.h"
#include "correction/HouseCurve.h"
#include "wizard/WizardStep.h"

struct FitOutcome;

struct DocData;
class IProcDialog;

// The four target settings the target dialog edits, its choice of fit, and the house curve and
// correction limits.
struct TargetSettings {
    int32_t crossover = 0;   // Hz
    int32_t hpOrder = 0;     // SLOPE_ORDER, 0 = "Auto"
    int32_t hpFreq = 20;     // Hz
    int32_t minEqFreq = 20;  // Hz
    FitMethod fit = kDefaultFitMethod;
    HouseSettings house{};

    friend bool operator==(const TargetSettings&, const TargetSettings&) = default;
};

// The dialog's control ranges.
inline constexpr int32_t kCrossoverMin = 160;
inline constexpr int32_t kCrossoverMax = 250;
inline constexpr int32_t kCrossoverStep = 5;
inline constexpr int32_t kFrequencyMin = 20;
inline constexpr int32_t kHpOrderMin = 0;
inline constexpr int32_t kHpOrderMax = 9;

// Each value pulled to the nearest bound of its control, the two frequencies limited by the
// (already limited) crossover, the upper limit (when set) above the minimum EQ frequency, as the
// dialog's controls commit them. A value that is not a number takes its default.
TargetSettings LimitTargetSettings(TargetSettings settings);

// The target customization dialog, modal over its owner. It is shown from the wizard's worker
// thread; a windowed implementation hands itself to the UI thread and waits.
class ITargetDialog {
public:
    virtual ~ITargetDialog() = default;
    // Shows the dialog with settings; true when it ended with OK, settings then holding the
    // values to take back.
    virtual bool DoModal(TargetSettings& settings) = 0;
};

// Makes the dialog for a step, on the step's worker: owner is the wizard's progress dialog (the
// parent window and the owner of message boxes), data the working document whose measurements
// "Auto Detect" uses.
using TargetDialogFactory =
    std::function<std::unique_ptr<ITargetDialog>(IProcDialog& owner, const DocData& data)>;

// The dialog's "Auto Detect": the crossover detected from the document's measurements with the
// high-pass reset to "Auto" and both frequencies to 20 Hz. Nothing when there are no
// measurements.
bool AutoDetectTargetSettings(const DocData& data, TargetSettings& settings);

// The lowest upper limit the dialog takes with that minimum EQ frequency.
int32_t UpperLimitMinimum(int32_t minEqFreq);

// Mode 2 runs the dialog and takes its values back, the fit choice into the document's fit
// method and the house curve and limits into its house settings; any other mode leaves the data
// alone.
// Raises "User Abort." when the dialog is cancelled.
bool CustomizeTarget(IProcDialog* progress, DocData& data, uint32_t mode,
                     const TargetDialogFactory& makeDialog);

// Raises "Error: No measurements have been made." for a document without measurements.
// levelDb, when given, receives the level the target was placed at for the fit; fit, the fit's
// own error.
bool CalculateStep(IProcDialog* progress, DocData& data, uint32_t options,
                   const TargetDialogFactory& makeDialog, double* levelDb = nullptr,
                   FitOutcome* fit = nullptr);

// The step for the wizard's table (arg1 the working DocData, arg2 the options word).
StepFunction MakeCalculateStep(TargetDialogFactory makeDialog);

// The progress dialog's status while the step works.
inline constexpr wchar_t kBuildingTargetText[] = L"Building the target curve";
inline constexpr wchar_t kFittingText[] = L"Fitting the equaliser";
inline constexpr wchar_t kCheckingPositionsText[] = L"Checking the equaliser at each position";
inline constexpr wchar_t kNoMeasurementsText[] = L"Error: No measurements have been made.";
inline constexpr wchar_t kUnusableMeasurementsText[] =
    L"Error: The measurements hold no usable levels (silent or damaged); please measure again.";
inline constexpr wchar_t kUserAbortText[] = L"User Abort.";
