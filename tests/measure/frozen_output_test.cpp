// The numeric core's outputs on fixed, seeded inputs against digests recorded before its speed
// work (frozen_outputs.inc): smoothing in each of its modes, the extraction of one capture with
// and without calibration, and the quick response. Results must stay within 1e-9 dB (and 1e-9
// rad); the test prints where the bits changed.

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "measure/CorrectionManager.h"
#include "measure/Impulse.h"
#include "measure/impulse_synth.h"
#include "support/FrozenDigest.h"

namespace {

const frozen::Entry kFrozen[] = {
#include "measure/frozen_outputs.inc"
};

constexpr double kTolerance = 1e-9;

// An 8193-point response from 0 to 24 kHz (or fewer points): a high-pass at 30 Hz with seeded
// ripple in level and phase.
CCurve Response(int n, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> ripple(0.0, 1.0);
    CCurve c(n, AxisKind::Frequency, DataFormat::MagPhase);
    for (int k = 0; k < n; ++k) {
        const double f = k * 24000.0 / (n - 1);
        const double r = f / 30.0;
        c.X()[k] = f;
        c.First()[k] = r * r / std::sqrt((1 - r * r) * (1 - r * r) + 2 * r * r) *
                       (1.0 + 0.05 * ripple(random));
        c.Second()[k] = -f * 2e-3 + 0.1 * ripple(random);
    }
    return c;
}

// A microphone calibration: a gentle rise towards the top and a dip at the bottom.
CurvePtr Calibration() {
    const int n = 400;
    auto c = std::make_shared<CCurve>(n, AxisKind::Frequency, DataFormat::Cartesian);
    for (int i = 0; i < n; ++i) {
        const double f = std::pow(24000.0, static_cast<double>(i) / (n - 1));
        const double m = (1.0 + f / 20000.0) * (1.0 - 0.3 / (1.0 + f / 8.0));
        c->X()[i] = f;
        c->First()[i] = m * std::cos(f * 1e-5);
        c->Second()[i] = m * std::sin(f * 1e-5);
    }
    return c;
}

ImpulseContext Context(bool calibrated, bool smoothed) {
    synth::CaptureOptions options;
    options.noiseRms = 1e-4;
    options.seed = 11;
    options.start = 12345;
    ImpulseContext context;
    context.capture = std::make_shared<CaptureBlock>();
    context.capture->samples = synth::Capture(synth::TypicalRoom(), options);
    context.capture->capturedCount = 3 * kSweepLength;
    context.capture->subwooferMode = true;
    CurvePtr reference = Fft(*SweepReference(kSweepLength, kSweepRate));
    if (calibrated)
        context.correction = std::make_shared<AudioSampler::CorManCorrection>(
            reference, MakeCorrection(*Calibration(), 3));
    else
        context.correction =
            std::make_shared<AudioSampler::NoMicrophoneCorrection>(std::move(reference));
    if (smoothed)
        context.smoothing = kMeasurementSmoothing;
    return context;
}

void CheckCurve(const char* name, const CCurve& c, int stride, double tolerance) {
    frozen::Check(kFrozen, name, frozen::OfCurve(c, stride), tolerance, true);
}

}  // namespace

TEST(FrozenOutputs, SmoothingInEveryModeStaysWithinTolerance) {
    struct Case {
        const char* name;
        int points;
        double fraction, perOctave, lowest, highest;
        int normalise;
    };
    const Case cases[] = {
        {"Smooth 1/6 octave, 25 per octave", 8193, 6, 25, 5, 48000, 1},
        {"Smooth 1/3 octave, calibration range", 8193, 3, 25, 5, 24000, 1},
        {"Smooth band filter on the input axis", 513, 1.5, 0, 5, 48000, 1},
        {"Smooth bandwidth-scaled", 2049, -3, 12, 5, 48000, 1},
        {"Smooth third-octave centres", 2049, 6, -1, 5, 48000, 1},
        {"Smooth without normalisation", 2049, 6, 25, 10, 20000, 0},
    };
    unsigned seed = 1;
    for (const Case& k : cases) {
        CCurve c = Response(k.points, seed++);
        Smooth(c, k.fraction, k.perOctave, k.lowest, k.highest, k.normalise);
        CheckCurve(k.name, c, std::max(1, c.Count() / 12), kTolerance);
    }
}

TEST(FrozenOutputs, ExtractionStaysWithinTolerance) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    // The digests come from the optimised build; the sanitizer builds contract the transform's
    // products into fused multiply-adds differently, which moves the quietest bins (-120 dB and
    // below) by about 1e-7 dB.
    GTEST_SKIP() << "digests are of the optimised build";
#endif
    ImpulseContext raw = Context(false, false);
    const auto [first, second] = ExtractResponses(raw);
    CheckCurve("ExtractResponses first period", *first, 256, kTolerance);
    CheckCurve("ExtractResponses second period", *second, 256, kTolerance);

    ImpulseContext calibrated = Context(true, true);
    CheckCurve("MeasureResponse calibrated and smoothed", *MeasureResponse(calibrated), 6,
               kTolerance);

    QuickBlock quick;
    quick.samples = Context(false, false).capture->samples;
    quick.capturedCount = 2 * kSweepLength;
    CheckCurve("QuickResponse", *QuickResponse(quick), 256, kTolerance);
}
