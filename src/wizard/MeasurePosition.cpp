// One measurement position, and the connection and dialog values the step uses.

#include <algorithm>

#include "threading/Errors.h"
#include "wizard/MeasureStep.h"

std::wstring PositionPrompt(int32_t number) {
    return L"Please move the microphone to position " + std::to_wstring(number) +
           L", and then click OK.";
}

std::wstring MeasuringStatus(int32_t number) {
    return L"Measuring position " + std::to_wstring(number);
}

std::wstring PreMeasurementText(int32_t minCount) {
    std::wstring text = kPreMeasurementText;
    if (minCount == kMinPositions)
        return text;
    const std::wstring line = L"A minimum of 5 positions is required.";
    const std::wstring fitted =
        minCount == 1 ? L"From 1 to " + std::to_wstring(kMaxPositions) +
                            L" positions may be measured; one is enough for a quick check."
                      : L"A minimum of " + std::to_wstring(minCount) + L" positions is required.";
    if (const size_t at = text.find(line); at != std::wstring::npos)
        text.replace(at, line.size(), fitted);
    return text;
}

void CCustomizeMeasurementProcDlg::SetPositionCount(int32_t count) {
    positionCount_ = count < minCount_ ? minCount_ : count > kMaxPositions ? kMaxPositions : count;
}

Security::LoadedCalibration SubConnection::LoadCalibration(Security::Secure& registry) {
    auto& play = *playDevice_;
    return Security::LoadCalibration(
        registry, [&play](const std::wstring& text) { play.SetLastError(text); }, true);
}

namespace {

// Stops, in reverse order, what a failed position left running. Closing needs nothing on the
// bus: the play device stays open for the next position and the recorder for the run.
class PositionGuard {
public:
    PositionGuard(CUsbController::UsbSubPlayDevice& play, AudioSampler::WaveReccordDevice& recorder)
        : play_(play), recorder_(recorder) {}
    ~PositionGuard() {
        // A failure after the tone started must not leave the subwoofer playing.
        if (recording_)
            recorder_.Stop();
        if (playing_)
            play_.Stop();
    }
    bool playing_ = false, recording_ = false;

private:
    CUsbController::UsbSubPlayDevice& play_;
    AudioSampler::WaveReccordDevice& recorder_;
};

[[noreturn]] void Raise(const AudioSampler::IDevice& device) {
    throw tsl::wruntime_error(device.LastError());
}

}  // namespace

CurvePtr MeasurePosition(SubConnection& connection, AudioSampler::WaveReccordDevice& recorder,
                         MeasurementContext& context) {
    CUsbController::UsbSubPlayDevice& play = connection.PlayDevice();
    CurvePtr response;
    {
        PositionGuard guard(play, recorder);
        if (!recorder.Open())
            Raise(recorder);
        if (!play.Open())
            Raise(play);
        recorder.SetInputLevel(
            AudioSampler::LevelForCalibrationVersion(context.calibrationVersion));
        if (!play.Start())
            Raise(play);
        guard.playing_ = true;
        if (!recorder.Start())
            Raise(recorder);
        guard.recording_ = true;
        CurvePtr captured;
        const bool recorded = recorder.Result(captured);
        if (!recorded)
            Raise(recorder);
        guard.recording_ = false;
        recorder.Stop();
        guard.playing_ = false;
        play.Stop();

        const AudioSampler::SampleBuffer& samples = recorder.Samples();
        const int32_t wanted = 3 * context.impulseLength;
        if (!captured || captured->Count() == 0 || !samples || samples->empty())
            throw tsl::wruntime_error(kNoAudioText);

        CurvePtr reference;
        if (!play.Result(reference) || !reference)
            Raise(play);

        auto block = std::make_shared<CaptureBlock>();
        block->samples = *samples;
        block->impulseLength = context.impulseLength;
        block->capturedCount =
            static_cast<int32_t>(std::min<size_t>(samples->size(), static_cast<size_t>(wanted)));
        block->sampleRate = context.sampleRate;
        block->subwooferMode = true;

        ImpulseContext impulse;
        impulse.smoothing = context.smoothing;
        impulse.correction =
            context.hasCorrection
                ? context.correction
                : std::make_shared<AudioSampler::NoMicrophoneCorrection>(reference);
        impulse.bandLow = context.bandLow;
        impulse.bandHigh = context.bandHigh;
        impulse.capture = std::move(block);
        impulse.writer = &context.writer;
        impulse.checks = &context.checks;
        impulse.impulse = &context.impulse;
        response = MeasureResponse(impulse);
    }
    return response;
}
