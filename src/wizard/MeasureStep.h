#pragma once
// The Measure wizard's step: asks for the number of microphone positions, finds the subwoofer,
// loads the microphone calibration and measures every position, letting the user retry a
// position that failed. The responses and their power average go into the working document.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "document/DocData.h"
#include "measure/AudioDevice.h"
#include "measure/CorrectionManager.h"
#include "measure/CurveWriter.h"
#include "measure/Impulse.h"
#include "measure/Secure.h"
#include "sublink/Discovery.h"
#include "sublink/PlayDevice.h"
#include "sublink/UsbEnvironment.h"
#include "wizard/History.h"
#include "wizard/Settle.h"
#include "wizard/WizardStep.h"

class IProcDialog;

inline constexpr int32_t kMinPositions = 5;
inline constexpr int32_t kMaxPositions = 10;

inline constexpr wchar_t kPreMeasurementCaption[] = L"Pre-Measurement Setup";
inline constexpr wchar_t kPositionCountCaption[] = L"Number Of Positions";
inline constexpr wchar_t kPreMeasurementText[] =
    L"IMPORTANT!!\r\n\r\nIt is very important that you set your subwoofer level control to the "
    L"midpoint.\r\nIf you leave the level control at the maximum you will most likely find that "
    L"the test tones play at an uncomfortably loud level.\r\nThe measurement procedure may later "
    L"instruct you to increase the level by a bit.\r\n\r\nA minimum of 5 positions is "
    L"required.\r\n\tThe first position should be situated in the center of the listening "
    L"area.\r\n\tWhen choosing your other positions try to keep them within the listening "
    L"area\r\n\tand away from walls.";

// The pre-measurement text for a dialog offering minCount to 10 positions: the text above for 5,
// its line about the fewest positions fitted to any other count (Verify takes 1).
std::wstring PreMeasurementText(int32_t minCount);

inline constexpr wchar_t kSetupAbortText[] = L"Measurement procedure failed.\n\rUser abort.";
inline constexpr wchar_t kNoSubwooferFoundText[] =
    L"Failed to find a valid subwoofer.\n\rUser Abort.";
inline constexpr wchar_t kNoCorrectionText[] = L"Failed to initialize microphone correction";
inline constexpr wchar_t kMeasurementFailedText[] = L"Measurement procedure failed.";
inline constexpr wchar_t kRetrySuffix[] = L"\nPress OK to retry this position, CANCEL to abort.";
inline constexpr wchar_t kNoAudioText[] = L"No audio reccorded!";
inline constexpr wchar_t kCheckingText[] = L"Checking for valid subwoofer";

// "Please move the microphone to position %d, and then click OK." and "Measuring position %d".
std::wstring PositionPrompt(int32_t number);
std::wstring MeasuringStatus(int32_t number);

// The pre-measurement dialog's value: the number of positions, kept within its spin range, or
// "until settled": at least kMinPositions, stopping at the first count up to kMaxPositions at
// which the average has settled.
class CCustomizeMeasurementProcDlg {
public:
    explicit CCustomizeMeasurementProcDlg(int32_t minCount = kMinPositions)
        : minCount_(minCount), positionCount_(minCount) {}
    int32_t MinCount() const { return minCount_; }
    // kMaxPositions until settled.
    int32_t PositionCount() const { return untilSettled_ ? kMaxPositions : positionCount_; }
    void SetPositionCount(int32_t count);
    bool UntilSettled() const { return untilSettled_; }
    void SetUntilSettled(bool on) { untilSettled_ = on; }
    std::wstring Text() const { return PreMeasurementText(minCount_); }
    static const wchar_t* Caption() { return kPreMeasurementCaption; }

private:
    int32_t minCount_;
    int32_t positionCount_;
    bool untilSettled_ = false;
};

// Shows the pre-measurement dialog modally over the progress dialog; true when it ended with
// OK, the dialog then holding the chosen count.
using PreMeasurementDialog = std::function<bool(IProcDialog& owner, CCustomizeMeasurementProcDlg&)>;

// The dialog on message boxes: the text, then the count chosen from 5 to 10; with a fixed count
// the text is confirmed with OK / Cancel and the count is not asked.
PreMeasurementDialog PromptPreMeasurementDialog(std::optional<int32_t> fixedCount = {});

// The connection to the subwoofer for one run: the play device (whose channel discovery opens)
// and the model found.
class SubConnection {
public:
    explicit SubConnection(std::shared_ptr<CUsbController::UsbSubPlayDevice> playDevice)
        : playDevice_(std::move(playDevice)) {}
    virtual ~SubConnection() = default;
    SubConnection(const SubConnection&) = delete;
    SubConnection& operator=(const SubConnection&) = delete;

    // The user's calibration through the registry (the play device receives the status and
    // failure texts); none when no file was found or opened.
    virtual Security::LoadedCalibration LoadCalibration(Security::Secure& registry);
    virtual std::wstring LastError() const { return playDevice_->LastError(); }

    CUsbController::UsbSubPlayDevice& PlayDevice() { return *playDevice_; }
    const CUsbController::BaseConfig* model = nullptr;

private:
    std::shared_ptr<CUsbController::UsbSubPlayDevice> playDevice_;
};

// What one position's measurement needs besides the devices.
struct MeasurementContext {
    SmoothingSettings smoothing = kMeasurementSmoothing;
    int32_t impulseLength = kSweepLength;
    int32_t sampleRate = kSweepRate;
    double bandLow = 20;
    double bandHigh = 350;
    CCurveWriterLocal writer;
    std::shared_ptr<AudioSampler::CorrectionParam> correction;  // with the sweep's reference
    bool hasCorrection = false;
    int32_t calibrationVersion = 1;
    MeasurementChecks checks;    // what the last position's checks found
    std::vector<float> impulse;  // the last position's impulse (Decay::DecimateImpulse)
};

// One position: record the subwoofer's sweep and turn it into the calibrated response. Raises
// tsl::wruntime_error (or a coded exception) with the text for the user.
CurvePtr MeasurePosition(SubConnection& connection, AudioSampler::WaveReccordDevice& recorder,
                         MeasurementContext& context);

// Any recording device and a plain-text calibration file instead of the accepted microphones
// and their enciphered files.
struct MicrophoneChoice {
    std::wstring device;  // part of the device's name; empty: the accepted microphones
    std::filesystem::path textCalibration;  // empty: an enciphered calibration file
};

// The microphone calibration a measurement used.
struct CalibrationUsed {
    CalibrationKind kind = CalibrationKind::BrandFile;
    std::filesystem::path file;  // the file name, without its folder
};

// Told after each measured position: that position's response and checks, the estimate over
// the positions so far (none after the first), and whether the run stops there because it
// measures until settled.
struct SettleProgress {
    int32_t measured = 0;
    int32_t position = 0;  // 0-based, the one just measured
    CurvePtr response;     // its response, a copy of the receiver's own
    PositionQuality quality;
    std::optional<SettleEstimate> estimate;
    bool untilSettled = false;
    bool stopsHere = false;  // until settled: settled from kMinPositions on, or kMaxPositions
};

// The line under the Measure step's status: "Position 3 of 5" (until settled "Position 3 of 5
// to 10, until the average settles"), then the estimate over the positions so far when there
// is one.
std::wstring PositionDetail(int32_t number, int32_t count, bool untilSettled,
                            const std::optional<SettleEstimate>& estimate);
// When a run until settled stops: "Settled after 5 positions." or "Stopped at 10 positions, the
// most allowed: the average has not settled.", after the estimate.
std::wstring SettledDetail(const SettleProgress& progress);

// Where the step gets its devices, files and dialogs.
struct MeasureEnvironment {
    // The subwoofer's bus, clock and trace.
    CUsbController::UsbEnvironment usb;
    // The play device of a run (quick mode off); null makes one on usb.
    std::function<std::shared_ptr<CUsbController::UsbSubPlayDevice>()> makePlayDevice;
    // Null: no recording device is found.
    AudioSampler::EnumeratorFactory recorders;
    // Times the settle pause and the capture; null: usb's clock, or the real clock.
    Threading::IClock* clock = nullptr;
    // Empty: the default calibration folder.
    std::filesystem::path calibrationDir;
    // Read that microphone's file directly instead of letting the user choose.
    std::optional<int32_t> micSerial;
    // The user's microphone; read when the step runs, so a window may change it between runs.
    std::shared_ptr<const MicrophoneChoice> microphone;
    // Told which calibration a measurement used, once it is loaded.
    std::function<void(const CalibrationUsed&)> calibrationUsed;
    // Null: PromptPreMeasurementDialog().
    PreMeasurementDialog preMeasurement;
    // The device check; without a window factory the check dialog runs on the step's prompt.
    CUsbController::DeviceCheckSetup deviceCheck;
    // The fewest positions the pre-measurement dialog offers.
    int32_t minPositions = kMinPositions;
    // The largest standard error of the average (dB) at which it counts as settled.
    double settleDb = kDefaultSettleDb;
    // Called on the step's thread after each measured position; a window posts it to its own.
    std::function<void(const SettleProgress&)> positionMeasured;
    // Where the upload, erase and restore steps record what they wrote.
    History::Setup history;
};

inline constexpr std::chrono::milliseconds kSettlePause{1500};

bool MeasureStep(IProcDialog* progress, DocData& data, uint32_t options,
                 const MeasureEnvironment& environment);

// The step for the wizard's table (arg1 the working DocData, arg2 the options word).
StepFunction MakeMeasureStep(MeasureEnvironment environment = {});
