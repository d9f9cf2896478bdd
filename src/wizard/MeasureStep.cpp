#include "wizard/MeasureStep.h"

#include <algorithm>
#include <deque>
#include <map>

#include "document/DocData.h"
#include "measure/TextCalibration.h"
#include "sublink/UiCheckWindow.h"
#include "threading/Errors.h"
#include "wizard/ProcDialog.h"

namespace {

using Threading::MsgButtons;
using Threading::MsgIcon;
using Threading::MsgResult;

struct Calibration {
    CurvePtr curve;
    int32_t version = 1;
    int32_t micSerial = 0;
    ByteImage image;
    CalibrationUsed used;
};

// Input level for a plain-text calibration: the level of the files without a built-in table.
constexpr int32_t kTextCalibrationLevelVersion = 3;

// The user's calibration file, or the named microphone's; no curve after a failure to find or
// open one, the reason then in the play device's error text.
Calibration LoadMicrophone(SubConnection& connection, IProcDialog& progress,
                           const MeasureEnvironment& environment) {
    const std::filesystem::path dir = environment.calibrationDir.empty()
                                          ? Security::DefaultCalibrationDir()
                                          : environment.calibrationDir;
    Calibration result;
    const std::filesystem::path text =
        environment.microphone ? environment.microphone->textCalibration : std::filesystem::path();
    if (!text.empty()) {
        try {
            result.curve = Security::ReadMeasuringCalibration(text).curve;
        } catch (const tsl::wruntime_error& e) {
            connection.PlayDevice().SetLastError(e.wwhat());
            return result;
        }
        result.version = kTextCalibrationMode;
        result.used = {CalibrationKind::TextFile, text.filename()};
        return result;
    }
    if (environment.micSerial) {
        Security::CalibrationFile file;
        try {
            file = Security::ReadCalibrationFile(
                dir / Security::CalibrationFileName(*environment.micSerial));
        } catch (const tsl::wruntime_error& e) {
            connection.PlayDevice().SetLastError(e.wwhat());
            return result;
        }
        result.curve = file.curve;
        result.version = file.version;
        result.micSerial = file.micSerial;
        result.image = std::make_shared<std::vector<uint8_t>>(std::move(file.image));
        result.used.file = Security::CalibrationFileName(*environment.micSerial);
        return result;
    }
    Security::Secure registry(dir, &progress.Prompt());
    Security::LoadedCalibration loaded = connection.LoadCalibration(registry);
    result.curve = loaded.curve;
    result.version = loaded.version;
    result.micSerial = loaded.micSerial;
    result.image = loaded.image;
    if (loaded.curve)
        result.used.file = Security::CalibrationFileName(loaded.micSerial);
    return result;
}

}  // namespace

PreMeasurementDialog PromptPreMeasurementDialog(std::optional<int32_t> fixedCount) {
    return [fixedCount](IProcDialog& owner, CCustomizeMeasurementProcDlg& dialog) {
        Threading::IPrompt& prompt = owner.Prompt();
        if (fixedCount) {
            if (prompt.MessageBox(dialog.Text(), dialog.Caption(), MsgButtons::OkCancel,
                                  MsgIcon::Information) != MsgResult::Ok)
                return false;
            dialog.SetPositionCount(*fixedCount);
            return true;
        }
        std::vector<std::wstring> counts;
        for (int32_t n = dialog.MinCount(); n <= kMaxPositions; ++n)
            counts.push_back(std::to_wstring(n));
        const auto choice = prompt.Choose(
            std::wstring(dialog.Text()) + L"\r\n\r\n" + kPositionCountCaption, counts);
        if (!choice || *choice >= counts.size())
            return false;
        dialog.SetPositionCount(dialog.MinCount() + static_cast<int32_t>(*choice));
        return true;
    };
}

namespace {

// Tells the environment of the position just measured and how settled the average of the
// positions so far is.
SettleProgress ReportSettle(const std::map<int32_t, CurvePtr>& results, int32_t position,
                            const PositionQuality& quality, bool untilSettled,
                            const MeasureEnvironment& environment) {
    std::vector<CurvePtr> positions;
    for (const auto& [p, curve] : results)
        positions.push_back(curve);
    SettleProgress progress;
    progress.measured = static_cast<int32_t>(positions.size());
    progress.position = position;
    progress.quality = quality;
    progress.estimate =
        EstimateSettle(positions, kSettleBandLowHz, kSettleBandHighHz, environment.settleDb);
    progress.untilSettled = untilSettled;
    progress.stopsHere =
        untilSettled &&
        (progress.measured >= kMaxPositions ||
         (progress.measured >= kMinPositions && progress.estimate && progress.estimate->Settled()));
    if (environment.positionMeasured) {
        progress.response = Clone(*results.at(position));
        environment.positionMeasured(progress);
        progress.response.reset();
    }
    return progress;
}

}  // namespace

std::wstring PositionDetail(int32_t number, int32_t count, bool untilSettled,
                            const std::optional<SettleEstimate>& estimate) {
    std::wstring text = L"Position " + std::to_wstring(number) + L" of ";
    if (untilSettled)
        text += std::to_wstring(kMinPositions) + L" to " + std::to_wstring(kMaxPositions) +
                L", until the average settles";
    else
        text += std::to_wstring(count);
    if (estimate)
        text += L"\n" + SettleText(*estimate);
    return text;
}

std::wstring SettledDetail(const SettleProgress& progress) {
    std::wstring text = progress.estimate ? SettleText(*progress.estimate) + L"\n" : L"";
    const std::wstring count = std::to_wstring(progress.measured);
    if (progress.estimate && progress.estimate->Settled())
        return text + L"Settled after " + count + L" positions.";
    return text + L"Stopped at " + count +
           L" positions, the most allowed: the average has not settled.";
}

bool MeasureStep(IProcDialog* progress, DocData& data, uint32_t /*options*/,
                 const MeasureEnvironment& environment) {
    data.Reset();
    if (progress == nullptr)
        throw tsl::wruntime_error(L"The Measure step has no progress dialog.");

    CCustomizeMeasurementProcDlg setup(environment.minPositions);
    const PreMeasurementDialog& preMeasurement =
        environment.preMeasurement ? environment.preMeasurement : PromptPreMeasurementDialog();
    bool accepted = false;
    progress->OnUiThread([&] { accepted = preMeasurement(*progress, setup); });
    if (!accepted) {
        ShowStepMessage(progress, kSetupAbortText, MsgButtons::Ok);
        return false;
    }
    int32_t positionCount = setup.PositionCount();
    const bool untilSettled = setup.UntilSettled();
    Threading::IClock& clock = environment.clock       ? *environment.clock
                               : environment.usb.clock ? *environment.usb.clock
                                                       : Threading::RealClock::Instance();

    auto play = environment.makePlayDevice
                    ? environment.makePlayDevice()
                    : std::make_shared<CUsbController::UsbSubPlayDevice>(false, environment.usb);
    if (!play)
        throw tsl::wruntime_error(L"The Measure step has no play device.");
    SubConnection connection(play);

    progress->SetDisplayString(kCheckingText);
    CUsbController::DeviceCheckSetup check = environment.deviceCheck;
    CUsbController::RouteCheckWindowToUi(
        check, progress->Prompt(),
        [progress](const std::function<void()>& fn) { return progress->OnUiThread(fn); });
    const CUsbController::BaseConfig* model = nullptr;
    if (!CUsbController::RunDeviceCheck(play->Channel(), model, check)) {
        ShowStepMessage(progress, kNoSubwooferFoundText, MsgButtons::Ok);
        return false;
    }
    connection.model = model;
    data.name = model->displayName;

    std::deque<int32_t> pending;
    for (int32_t p = 0; p < positionCount; ++p)
        pending.push_back(p);
    progress->SetRange(positionCount);
    int32_t shownPosition = -1;
    bool keepGoing = true;

    Calibration calibration = LoadMicrophone(connection, *progress, environment);
    if (!calibration.curve) {
        ShowStepMessage(progress, play->LastError(), MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
    const bool text = calibration.used.kind == CalibrationKind::TextFile;
    data.micSerial = static_cast<uint32_t>(calibration.micSerial);
    data.unitSerial = 0;
    data.calImage = calibration.image;
    data.calImageLength = calibration.image ? static_cast<uint32_t>(calibration.image->size()) : 0;
    // A text calibration has no enciphered image; the document keeps its reset version.
    if (!text)
        data.calVersion = calibration.version;
    data.calibration = CalibrationSource{calibration.used.kind, calibration.used.file.wstring()};
    if (environment.calibrationUsed)
        environment.calibrationUsed(calibration.used);

    AudioSampler::WaveReccordDevice recorder(clock, environment.recorders);
    if (environment.microphone && !environment.microphone->device.empty())
        recorder.SetAcceptedNames({environment.microphone->device});
    CorrectionManagerPtr manager = text ? MakeTextCorrection(*calibration.curve)
                                        : MakeCorrection(*calibration.curve, calibration.version);
    if (text)
        calibration.version = kTextCalibrationLevelVersion;
    if (!manager) {
        ShowStepMessage(progress, kNoCorrectionText, MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
    recorder.SetInputLevel(AudioSampler::LevelForCalibrationVersion(calibration.version));

    MeasurementContext context;
    context.bandLow = model->lowerHz;
    context.bandHigh = model->upperHz;
    context.correction =
        std::make_shared<AudioSampler::CorManCorrection>(play->Reference(), manager);
    context.hasCorrection = true;
    context.calibrationVersion = calibration.version;

    std::map<int32_t, CurvePtr> results;
    std::map<int32_t, PositionQuality> quality;
    std::map<int32_t, std::vector<float>> impulses;
    std::optional<SettleEstimate> lastEstimate;
    while (keepGoing) {
        if (results.size() == static_cast<size_t>(positionCount))
            break;
        const int32_t p = pending.front();
        std::wstring prompt;
        if (p != shownPosition) {
            shownPosition = p;
            prompt = PositionPrompt(p + 1);
        }
        progress->SetDisplayString(MeasuringStatus(shownPosition + 1));
        progress->SetDetail(
            PositionDetail(shownPosition + 1, positionCount, untilSettled, lastEstimate));
        if (!prompt.empty() && ShowStepMessage(progress, prompt, MsgButtons::OkCancel,
                                               MsgIcon::Information) != MsgResult::Ok) {
            keepGoing = false;
            continue;
        }
        std::wstring failure;
        try {
            CurvePtr response = MeasurePosition(connection, recorder, context);
            clock.SleepFor(kSettlePause);
            if (response) {
                results[shownPosition] = Clone(*response);
                quality[shownPosition] = {context.checks.snrDb, context.checks.periodDiffDb};
                impulses[shownPosition] = std::move(context.impulse);
                pending.pop_front();
                progress->OffsetPos(1);
                const SettleProgress report = ReportSettle(
                    results, shownPosition, quality[shownPosition], untilSettled, environment);
                lastEstimate = report.estimate;
                if (report.stopsHere) {
                    positionCount = static_cast<int32_t>(results.size());
                    progress->SetRange(positionCount);
                    progress->SetPos(positionCount);
                    progress->SetDetail(SettledDetail(report));
                }
                continue;
            }
            // Without a curve the same position would be measured again and again unasked.
            failure = kNoAudioText;
        } catch (const tsl::wruntime_error& e) {
            clock.SleepFor(kSettlePause);
            failure = e.wwhat();
        }
        if (ShowStepMessage(progress, failure + kRetrySuffix, MsgButtons::OkCancel,
                            MsgIcon::Warning) != MsgResult::Ok)
            keepGoing = false;
    }

    if (results.size() != static_cast<size_t>(positionCount)) {
        results.clear();
        ShowStepMessage(progress, kMeasurementFailedText, MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
    std::vector<CurvePtr> positions;
    for (const auto& [position, curve] : results) {
        data.measurements.push_back(curve);
        data.positionQuality.push_back(quality[position]);
        data.impulses.push_back(std::move(impulses[position]));
        positions.push_back(curve);
    }
    // Every position keeps an impulse, or none does.
    if (std::any_of(data.impulses.begin(), data.impulses.end(),
                    [](const std::vector<float>& impulse) { return impulse.empty(); }))
        data.impulses.clear();
    data.results.push_back(PowerAverage(positions));
    data.modelId = model->modelId;
    if (data.hpOrder != 0)
        data.fitLower = static_cast<double>(data.minEqFreq);
    return true;
}

StepFunction MakeMeasureStep(MeasureEnvironment environment) {
    return DocumentStep(L"Measure", [environment = std::move(environment)](
                                        IProcDialog* progress, DocData& data, uint32_t options) {
        return MeasureStep(progress, data, options, environment);
    });
}
