#include "cli/Analyse.h"

#include <cmath>
#include <cstdint>
#include <limits>

#include "cli/CliErrors.h"
#include "cli/Wav.h"
#include "measure/CorrectionManager.h"
#include "measure/Impulse.h"
#include "threading/Errors.h"

namespace cli {

namespace {

std::vector<ResponsePoint> Points(CCurve& response) {
    ToDbPhase(response);
    std::vector<ResponsePoint> points;
    points.reserve(static_cast<std::size_t>(response.Count()));
    for (int i = 0; i < response.Count(); ++i)
        points.push_back({response.X()[i], response.First()[i], response.Second()[i]});
    return points;
}

// A float file can hold values no microphone produces; they would only turn into a response of
// not-a-numbers.
void CheckFinite(const std::string& path, const std::vector<double>& samples) {
    for (std::size_t i = 0; i < samples.size(); ++i)
        if (!std::isfinite(samples[i]))
            throw CliFailure("'" + path + "' holds a sample that is not a finite number (sample " +
                             std::to_string(i) + ")");
}

void SmoothResponse(CCurve& response, const SmoothingSettings& s) {
    Smooth(response, s.fraction, s.pointsPerOctave, s.lowest, s.highest, s.normalise);
}

// The microphone correction of the options, or none, for a response measured with the test sweep.
std::shared_ptr<AudioSampler::CorrectionParam> Correction(const AnalyseOptions& options) {
    CurvePtr reference = Fft(*SweepReference(kSweepLength, kSweepRate));
    if (options.calibrationFile.empty())
        return std::make_shared<AudioSampler::NoMicrophoneCorrection>(std::move(reference));
    return AudioSampler::LoadCorrectionFile(options.calibrationFile, options.unitSerial,
                                            std::move(reference));
}

CurvePtr Measure(const std::string& path, const AnalyseOptions& options) {
    // Longer files are not read: their length alone fails the measurement.
    const std::int64_t needed = 3 * std::int64_t{kSweepLength};
    MonoRecording recording = ReadMonoRecording(path, needed);
    if (recording.frames != needed)
        throw tsl::wruntime_error(L"Incorrect sample size: '" + tsl::FromUtf8(path) + L"' holds " +
                                  std::to_wstring(recording.frames) +
                                  L" samples, the analysis needs exactly " +
                                  std::to_wstring(needed) + L" (three sweep periods of " +
                                  std::to_wstring(kSweepLength) + L"; --quick needs two)");
    CheckFinite(path, recording.samples);
    ImpulseContext context;
    context.bandLow = options.bandLow;
    context.bandHigh = options.bandHigh;
    if (options.smooth)
        context.smoothing = kMeasurementSmoothing;
    context.correction = Correction(options);
    context.capture = std::make_shared<CaptureBlock>();
    context.capture->capturedCount = static_cast<std::int32_t>(
        std::min<std::int64_t>(recording.frames, std::numeric_limits<std::int32_t>::max()));
    context.capture->samples = std::move(recording.samples);
    context.capture->sampleRate = recording.sampleRate;
    context.capture->subwooferMode = true;
    return MeasureResponse(context);
}

CurvePtr MeasureQuick(const std::string& path, const AnalyseOptions& options) {
    const std::int64_t needed = 2 * std::int64_t{kSweepLength};
    MonoRecording recording = ReadMonoRecording(path, needed);
    if (recording.frames < needed)
        throw CliFailure("'" + path + "' holds " + std::to_string(recording.frames) +
                         " samples, the quick analysis needs at least " + std::to_string(needed));
    CheckFinite(path, recording.samples);
    const auto correction = Correction(options);
    QuickBlock block;
    block.samples = std::move(recording.samples);
    block.capturedCount = static_cast<std::int32_t>(needed);
    block.sampleRate = recording.sampleRate;
    CurvePtr response = QuickResponse(block);
    if (!response)
        throw CliFailure("'" + path + "' is recorded at " + std::to_string(recording.sampleRate) +
                         " Hz, the quick analysis needs " + std::to_string(kSweepRate) + " Hz");
    correction->Apply(*response);
    if (options.smooth)
        SmoothResponse(*response, kMeasurementSmoothing);
    return response;
}

}  // namespace

void ParseBand(const std::string& text, AnalyseOptions& options) {
    const auto fail = [&text] {
        throw UsageError("invalid --band '" + text + "': expected LO:HI in Hz with 0 <= LO < HI");
    };
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos)
        fail();
    double values[2];
    const std::string parts[2] = {text.substr(0, colon), text.substr(colon + 1)};
    for (int i = 0; i < 2; ++i) {
        std::size_t used = 0;
        try {
            values[i] = std::stod(parts[i], &used);
        } catch (const std::exception&) {
            fail();
        }
        if (used != parts[i].size() || !std::isfinite(values[i]))
            fail();
    }
    if (!(values[0] >= 0 && values[0] < values[1]))
        fail();
    options.bandLow = values[0];
    options.bandHigh = values[1];
}

std::vector<ResponsePoint> AnalyseCapture(const std::string& path, const AnalyseOptions& options) {
    const CurvePtr response = options.quick ? MeasureQuick(path, options) : Measure(path, options);
    return Points(*response);
}

}  // namespace cli
