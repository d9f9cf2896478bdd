// MeasureResponse and QuickResponse on synthetic recordings of a known room: the response must
// come back (scaled by the period length over the retained length, 4) and every broken
// recording must be refused with the user's text.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

#include "measure/Impulse.h"
#include "measure/impulse_synth.h"
#include "threading/Errors.h"

namespace {

using synth::kFs;
using synth::kN;

const std::wstring kAdvice =
    L"\r\nIf you receive this message several times or are unable to complete the subwoofer\r\n"
    L"measurement you can try increasing the subwoofer level using it's level control.\r\n"
    L"If you chose to do this and you have already completed a position you must restart\r\n"
    L"the measurement procedure.";

// The extraction's level: the impulse is scaled by N/2 on the way back to time and the retained
// N/4 samples by 2/(N/4) on the way to frequency.
constexpr double kExtractionGain = 4.0;

class RecordingWriter : public CCurveWriter {
public:
    struct Entry {
        std::wstring name;
        CurvePtr curve;
    };
    std::vector<Entry> entries;

    void WriteCurve(const CCurve& curve) override { entries.push_back({curve.name, Clone(curve)}); }
    void WriteNamedCurve(const CCurve& curve, const std::wstring& name) override {
        EXPECT_EQ(curve.name, name);
        entries.push_back({name, Clone(curve)});
    }
    std::vector<std::wstring> Names() const {
        std::vector<std::wstring> names;
        for (const Entry& e : entries)
            names.push_back(e.name);
        return names;
    }
    const CCurve* Find(const std::wstring& name) const {
        for (const Entry& e : entries)
            if (e.name == name)
                return e.curve.get();
        return nullptr;
    }
};

std::shared_ptr<AudioSampler::CorrectionParam> SweepCorrection() {
    static const CurvePtr reference = Fft(*SweepReference(kN, kFs));
    return std::make_shared<AudioSampler::NoMicrophoneCorrection>(reference);
}

ImpulseContext Context(std::vector<double> samples, bool subwooferMode) {
    ImpulseContext context;
    context.correction = SweepCorrection();
    context.bandLow = 20;
    context.bandHigh = 350;
    context.capture = std::make_shared<CaptureBlock>();
    context.capture->capturedCount = static_cast<std::int32_t>(samples.size());
    context.capture->samples = std::move(samples);
    context.capture->subwooferMode = subwooferMode;
    return context;
}

// The eight passes of the subwoofer-mode low-pass at 2500 Hz.
std::complex<double> SubwooferLowPass(double f) {
    const double b = std::exp(-synth::kTwoPi * 2500.0 / kFs);
    const std::complex<double> one =
        (1.0 - b) / (1.0 - b * std::polar(1.0, -synth::kTwoPi * f / kFs));
    return std::pow(one, 8);
}

// The largest level difference in dB over lo..hi between a response and the expected one.
double MaxLevelErrorDb(CCurve& response, const std::function<std::complex<double>(double)>& h,
                       double lo, double hi) {
    ToMagPhase(response);
    double worst = 0.0;
    for (int i = 0; i < response.Count(); ++i) {
        const double f = response.X()[i];
        if (f < lo || f > hi)
            continue;
        const double expected = synth::Db(kExtractionGain * std::abs(h(f)));
        worst = std::max(worst, std::abs(synth::Db(response.First()[i]) - expected));
    }
    return worst;
}

// The largest phase difference over lo..hi once a pure delay (a phase proportional to frequency)
// is taken out; the alignment of the impulse chooses the delay.
double MaxPhaseErrorAfterDelay(CCurve& response,
                               const std::function<std::complex<double>(double)>& h, double lo,
                               double hi) {
    ToMagPhase(response);
    std::vector<double> f, d;
    for (int i = 0; i < response.Count(); ++i) {
        const double x = response.X()[i];
        if (x < lo || x > hi)
            continue;
        double diff = std::arg(std::polar(1.0, response.Second()[i]) / h(x));
        if (!d.empty())
            diff += synth::kTwoPi * std::round((d.back() - diff) / synth::kTwoPi);
        f.push_back(x);
        d.push_back(diff);
    }
    // A delay of whole samples: a phase of -2 pi f t through the origin.
    double sfd = 0.0, sff = 0.0;
    for (std::size_t i = 0; i < f.size(); ++i) {
        sfd += f[i] * d[i];
        sff += f[i] * f[i];
    }
    const double slope = sfd / sff;
    double worst = 0.0;
    for (std::size_t i = 0; i < f.size(); ++i)
        worst = std::max(worst, std::abs(d[i] - slope * f[i]));
    return worst;
}

// The rotation the extraction chose, recovered from its "PostRotateCurve" diagnostic and the
// processed capture (the first period of the block's samples after the call).
int OffsetFromDiagnostic(const CCurve& rotated, const std::vector<double>& processed) {
    for (int s = 0; s < kN; ++s) {
        bool match = true;
        for (int i = 0; i < kN && match; i += 997)
            match = rotated.First()[i] == processed[static_cast<std::size_t>((i + s) % kN)];
        if (match)
            return s;
    }
    return -1;
}

template <class Exception>
void ExpectFailure(ImpulseContext& context, const std::wstring& text, bool coded, int code = 0) {
    try {
        MeasureResponse(context);
        ADD_FAILURE() << "no failure raised";
    } catch (const Exception& e) {
        EXPECT_EQ(e.wwhat(), text);
        const auto* codedException = dynamic_cast<const tsl::TCodedException*>(&e);
        EXPECT_EQ(codedException != nullptr, coded);
        if (codedException != nullptr) {
            EXPECT_EQ(codedException->code(), code);
        }
    }
}

const synth::Room& Room() {
    static const synth::Room room = synth::TypicalRoom();
    return room;
}

TEST(MeasureResponseTest, RecoversTheRoomFromACleanCapture) {
    ImpulseContext context = Context(synth::Capture(Room(), {.start = 12345}), false);
    const CurvePtr response = MeasureResponse(context);
    ASSERT_TRUE(response);
    ASSERT_EQ(response->Count(), 8193);
    EXPECT_EQ(response->Kind(), AxisKind::Frequency);
    EXPECT_EQ(response->X()[0], 0.0);
    EXPECT_DOUBLE_EQ(response->X()[1], 2.9296875);
    EXPECT_DOUBLE_EQ(response->X()[8192], 24000.0);
    EXPECT_EQ(context.capture->impulseLength, 16384);

    const auto room = [](double f) { return Room().Response(f); };
    EXPECT_LT(MaxLevelErrorDb(*response, room, 20, 350), 0.01);
    EXPECT_LT(MaxPhaseErrorAfterDelay(*response, room, 20, 350), 0.01);
}

TEST(MeasureResponseTest, RecoversTheRoomInSubwooferModeFromANoisyCapture) {
    // Noise about 47 dB below the capture's level.
    ImpulseContext context =
        Context(synth::Capture(Room(), {.noiseRms = 1e-3, .seed = 7, .start = 40000}), true);
    context.smoothing = kMeasurementSmoothing;
    const CurvePtr response = MeasureResponse(context);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->Format(), DataFormat::MagPhase);
    // 25 points per octave from 5 Hz.
    EXPECT_NEAR(response->X()[0], 5.0, 1e-9);
    EXPECT_NEAR(response->X()[25], 10.0, 1e-9);

    const auto heard = [](double f) { return Room().Response(f) * SubwooferLowPass(f); };
    EXPECT_LT(MaxLevelErrorDb(*response, heard, 20, 350), 1.0);
}

TEST(MeasureResponseTest, UnsmoothedNoisyResponseStaysClose) {
    ImpulseContext context =
        Context(synth::Capture(Room(), {.noiseRms = 1e-3, .seed = 3, .start = 777}), true);
    const CurvePtr response = MeasureResponse(context);
    const auto heard = [](double f) { return Room().Response(f) * SubwooferLowPass(f); };
    EXPECT_LT(MaxLevelErrorDb(*response, heard, 20, 350), 0.3);
}

// The room without its steep low-pass: the quietest moment of a period is then clearly the top of
// the sweep, just before it starts again, rather than a stretch at the level of rounding noise.
synth::Room FullRangeRoom() {
    synth::Room room = synth::TypicalRoom();
    room.sections.resize(4);
    return room;
}

TEST(MeasureResponseTest, QuietStretchAtTheVeryStart) {
    // Find where the extraction starts its periods, then record so that this point is the first
    // sample: the second run must start at (or within a sample or two of) zero.
    const synth::Room room = FullRangeRoom();
    RecordingWriter probe;
    ImpulseContext first = Context(synth::Capture(room, {.start = 30000}), true);
    first.writer = &probe;
    MeasureResponse(first);
    const int s0 = OffsetFromDiagnostic(*probe.Find(L"PostRotateCurve"), first.capture->samples);
    ASSERT_GE(s0, 0);

    RecordingWriter writer;
    ImpulseContext second = Context(synth::Capture(room, {.start = (30000 + s0) % kN}), true);
    second.writer = &writer;
    const CurvePtr response = MeasureResponse(second);
    const int s = OffsetFromDiagnostic(*writer.Find(L"PostRotateCurve"), second.capture->samples);
    EXPECT_TRUE(s <= 2 || s >= kN - 2) << s;
    const auto heard = [&room](double f) { return room.Response(f) * SubwooferLowPass(f); };
    EXPECT_LT(MaxLevelErrorDb(*response, heard, 20, 350), 0.05);
}

TEST(MeasureResponseTest, HandsItsIntermediateCurvesToTheWriter) {
    RecordingWriter writer;
    ImpulseContext context = Context(synth::Capture(Room()), true);
    context.writer = &writer;
    MeasureResponse(context);
    EXPECT_EQ(writer.Names(),
              (std::vector<std::wstring>{L"PostRotateCurve", L"Impluse 1 prerotate",
                                         L"Impluse 2 prerotate", L"Impluse 1 postrotate",
                                         L"Impluse 2 postrotate", L"NOISE"}));
    EXPECT_EQ(writer.Find(L"PostRotateCurve")->Count(), kN);
    EXPECT_EQ(writer.Find(L"Impluse 1 postrotate")->Count(), kN);
    EXPECT_EQ(writer.Find(L"NOISE")->Count(), kN - kN / 4);
}

TEST(MeasureResponseTest, WithoutAReferenceNothingIsDeconvolved) {
    // The recording of an impulse train is its own impulse response; without the division by the
    // reference's 2/N scaling the level is 8/N instead of 4.
    std::vector<double> x(3 * kN, 0.0);
    for (int p = 0; p < 3; ++p)
        x[static_cast<std::size_t>(p * kN + 1000)] = 1.0;
    ImpulseContext context = Context(x, false);
    context.correction.reset();
    context.bandLow = 100;
    context.bandHigh = 1000;
    const CurvePtr response = MeasureResponse(context);
    const auto flat = [](double) { return std::complex<double>(8.0 / kN / kExtractionGain); };
    EXPECT_LT(MaxLevelErrorDb(*response, flat, 100, 1000), 0.01);
}

TEST(MeasureResponseTest, RefusesCapturesOfAnotherFormat) {
    const std::vector<double> good = synth::Capture(Room());
    {
        ImpulseContext context =
            Context(std::vector<double>(good.begin(), good.begin() + 2 * kN), true);
        ExpectFailure<tsl::wruntime_error>(context, L"Incorrect sample size", false);
        EXPECT_EQ(context.capture->impulseLength, kN);
    }
    {
        // A block claiming more samples than it holds.
        ImpulseContext context = Context(good, true);
        context.capture->samples.resize(3 * kN - 1);
        ExpectFailure<tsl::wruntime_error>(context, L"Incorrect sample size", false);
    }
    {
        ImpulseContext context =
            Context(std::vector<double>(good.begin(), good.begin() + 3 * kN / 2), true);
        context.capture->impulseLength = kN / 2;
        ExpectFailure<tsl::wruntime_error>(context, L"Incorrect buffer size", false);
    }
    {
        ImpulseContext context = Context(good, true);
        context.capture->sampleRate = 44100;
        ExpectFailure<tsl::wruntime_error>(context, L"Incorrect sampling frequency size", false);
    }
}

TEST(MeasureResponseTest, NoiseAloneIsNotAResponse) {
    {
        ImpulseContext context = Context(synth::Noise(3 * kN, 0.1, 11), true);
        ExpectFailure<tsl::TCodedException>(
            context,
            L"Error subwoofer measurement was not able to acquire a proper response. (code 0x04)" +
                kAdvice,
            true, 0x04);
    }
    {
        ImpulseContext context = Context(synth::Noise(3 * kN, 0.1, 12), false);
        ExpectFailure<tsl::wruntime_error>(
            context, L"Error measurement was not able to acquire a proper response. (code 0x03)",
            false);
    }
}

// A recording during which the level rises by 6 dB between the two analysed periods. The capture
// starts so that the sweep's silent top end lies around N/2, where both periods begin and end.
std::vector<double> ChangingCapture() {
    std::vector<double> x = synth::Capture(Room(), {.noiseRms = 1e-6, .start = 55000 - kN / 2});
    for (std::size_t i = 3 * kN / 2; i < x.size(); ++i)
        x[i] *= 2.0;
    return x;
}

TEST(MeasureResponseTest, PeriodsThatDisagreeAreRefused) {
    const std::wstring text =
        L"Error measurement procedure detected excessive background noise. (code 0x01)";
    {
        ImpulseContext context = Context(ChangingCapture(), false);
        context.smoothing = kMeasurementSmoothing;
        ExpectFailure<tsl::wruntime_error>(context, text, false);
    }
    {
        ImpulseContext context = Context(ChangingCapture(), true);
        context.smoothing = kMeasurementSmoothing;
        ExpectFailure<tsl::TCodedException>(context, text + kAdvice, true, 0x01);
    }
}

TEST(MeasureResponseTest, ALevelChangeOfLessThan3DbIsAccepted) {
    std::vector<double> x = ChangingCapture();
    for (std::size_t i = 3 * kN / 2; i < x.size(); ++i)
        x[i] *= std::pow(10.0, 2.5 / 20.0) / 2.0;
    ImpulseContext context = Context(x, true);
    context.smoothing = kMeasurementSmoothing;
    EXPECT_NO_THROW(MeasureResponse(context));
}

// The first one and a half periods recorded in one room, the rest in another; the switch falls
// into the sweep's silent top end, as in ChangingCapture.
std::vector<double> SwitchedCapture(const synth::Room& before, const synth::Room& after) {
    std::vector<double> x = synth::Capture(before, {.noiseRms = 1e-6, .start = 55000 - kN / 2});
    const std::vector<double> y =
        synth::Capture(after, {.noiseRms = 1e-6, .seed = 2, .start = 55000 - kN / 2});
    std::copy(y.begin() + 3 * kN / 2, y.end(), x.begin() + 3 * kN / 2);
    return x;
}

TEST(MeasureResponseTest, DisagreementFarBelowThePeakIsAccepted) {
    // A 5 dB bump at 340 Hz, where the room is more than 20 dB below its in-band peak.
    const synth::Room room = Room();
    synth::Room bumped = room;
    bumped.sections.push_back(synth::Peaking(340.0, 5.0, 4.0));
    double peak = 0.0;
    for (double f = 20; f <= 350; f += 1)
        peak = std::max(peak, std::abs(room.Response(f)));
    ASSERT_LT(synth::Db(std::abs(bumped.Response(340.0)) / peak), -20.0);

    ImpulseContext context = Context(SwitchedCapture(room, bumped), true);
    context.smoothing = kMeasurementSmoothing;
    EXPECT_NO_THROW(MeasureResponse(context));

    // The same bump where the room is loud is refused.
    synth::Room loud = room;
    loud.sections.push_back(synth::Peaking(60.0, 5.0, 4.0));
    ImpulseContext refused = Context(SwitchedCapture(room, loud), true);
    refused.smoothing = kMeasurementSmoothing;
    EXPECT_THROW(MeasureResponse(refused), tsl::TCodedException);
}

QuickBlock Quick(std::vector<double> samples) {
    QuickBlock block;
    block.capturedCount = static_cast<std::int32_t>(samples.size());
    block.samples = std::move(samples);
    return block;
}

// The quick measurement's two 10 Hz high-passes.
std::complex<double> QuickHighPass(double f) {
    const double w = synth::kTwoPi * 10.0 / kFs;
    const double r = std::exp(-w / std::numbers::sqrt2);
    const double k = std::cos(w / std::numbers::sqrt2);
    const double g = (1.0 + 2.0 * r * k + r * r) / 4.0;
    const std::complex<double> z1 = std::polar(1.0, -synth::kTwoPi * f / kFs);
    const std::complex<double> one =
        g * (1.0 - z1) * (1.0 - z1) / (1.0 - 2.0 * r * k * z1 + r * r * z1 * z1);
    return one * one;
}

TEST(QuickResponseTest, RecoversTheRoomFromTwoPeriods) {
    QuickBlock block = Quick(synth::Capture(Room(), {.periods = 2, .start = 20000}));
    const CurvePtr response = QuickResponse(block);
    ASSERT_TRUE(response);
    ASSERT_EQ(response->Count(), 8193);
    EXPECT_DOUBLE_EQ(response->X()[1], 2.9296875);
    EXPECT_EQ(block.impulseLength, 16384);
    const auto heard = [](double f) { return Room().Response(f) * QuickHighPass(f); };
    EXPECT_LT(MaxLevelErrorDb(*response, heard, 20, 350), 0.01);
    EXPECT_LT(MaxPhaseErrorAfterDelay(*response, heard, 20, 350), 0.02);
}

TEST(QuickResponseTest, AnotherRateGivesNoResult) {
    QuickBlock block = Quick(synth::Capture(Room(), {.periods = 2}));
    block.sampleRate = 44100;
    EXPECT_EQ(QuickResponse(block), nullptr);
}

TEST(QuickResponseTest, RefusesABlockShorterThanTwoPeriods) {
    QuickBlock block = Quick(synth::Capture(Room(), {.periods = 2}));
    block.samples.resize(2 * kN - 1);
    block.capturedCount = 2 * kN - 1;
    EXPECT_THROW(QuickResponse(block), tsl::wruntime_error);
    block.capturedCount = 2 * kN;  // more than it holds
    EXPECT_THROW(QuickResponse(block), tsl::wruntime_error);
}

TEST(QuickResponseTest, HandsItsIntermediateCurvesToTheWriter) {
    RecordingWriter writer;
    QuickBlock block = Quick(synth::Capture(Room(), {.periods = 2}));
    block.writer = &writer;
    ASSERT_TRUE(QuickResponse(block));
    const std::vector<std::wstring> names = writer.Names();
    ASSERT_EQ(names.size(), 6u);
    EXPECT_EQ(names[0], L"Double Buf");
    EXPECT_EQ(names[1], L"Chirp");
    EXPECT_EQ(names[2], L"Pre Rotate");
    EXPECT_EQ(names[3], L"Post Rotate");
    EXPECT_EQ(names[4].rfind(L"CFFT resp at ", 0), 0u);
    EXPECT_EQ(names[5], L"Retained Impulse");
    EXPECT_EQ(writer.entries[0].curve->Count(), 2 * kN);
    EXPECT_EQ(writer.entries[1].curve->Count(), kN / 2 + 1);
    EXPECT_EQ(writer.entries[5].curve->Count(), kN / 4);
}

}  // namespace
