#include "measure/Impulse.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <numbers>
#include <stdexcept>
#include <string>

#include "measure/CurveDetail.h"
#include "measure/Decay.h"
#include "threading/Errors.h"

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

// The sweep runs from bin 17 to bin 31569 of the period's transform (a ratio of 1857).
constexpr double kSweepStartBin = 17.0;
constexpr double kSweepRatio = 1857.0;

constexpr double kMinSnrDb = 15.0;
constexpr double kQuickHighPassHz = 10.0;

const std::wstring kAdvice =
    L"\r\nIf you receive this message several times or are unable to complete the subwoofer\r\n"
    L"measurement you can try increasing the subwoofer level using it's level control.\r\n"
    L"If you chose to do this and you have already completed a position you must restart\r\n"
    L"the measurement procedure.";

[[noreturn]] void Fail(const wchar_t* text) {
    throw tsl::wruntime_error(text);
}

[[noreturn]] void FailNoResponse(bool subwooferMode) {
    if (subwooferMode)
        throw tsl::TCodedException(
            0x04,
            L"Error subwoofer measurement was not able to acquire a proper response. (code 0x04)" +
                kAdvice);
    Fail(L"Error measurement was not able to acquire a proper response. (code 0x03)");
}

[[noreturn]] void FailDisagreement(bool subwooferMode) {
    const std::wstring text =
        L"Error measurement procedure detected excessive background noise. (code 0x01)";
    if (subwooferMode)
        throw tsl::TCodedException(0x01, text + kAdvice);
    throw tsl::wruntime_error(text);
}

void CheckOffset(int offset, int n) {
    if (offset < 0)
        Fail(L"Negative offset. (code 0x05)");
    if (offset >= n)
        Fail(L"Offset was larger than buffer length. (code 0x06)");
}

// Names the curve and hands it to the writer, when there is one.
void Diagnose(CCurveWriter* writer, CCurve& curve, const std::wstring& name) {
    if (writer == nullptr)
        return;
    curve.name = name;
    writer->WriteNamedCurve(curve, name);
}

CurvePtr Transform(const CCurve& curve) {
    CurvePtr result = Fft(curve);
    if (!result)
        throw std::bad_alloc();
    return result;
}

// The spectrum of n samples, as Fft of FromSamples(x, n, sampleRate) gives it.
CurvePtr SampleSpectrum(const double* x, int n, double sampleRate) {
    CurvePtr result = curve_detail::SpectrumOf(x, nullptr, n, 1.0 / sampleRate);
    if (!result)
        throw std::bad_alloc();
    return result;
}

// BandRms of a Cartesian spectrum, converting only the points in the band.
double CartesianBandRms(const CCurve& curve, double lo, double hi) {
    const int n = curve.Count();
    const double* x = curve.X();
    const double* re = curve.First();
    const double* im = curve.Second();
    int first = 0;
    while (first < n && !(x[first] >= lo))
        ++first;
    int last = n - 1;
    while (last >= 0 && !(x[last] <= hi))
        --last;
    if (first >= n || last < first)
        return 0.0;
    double sum = 0.0;
    for (int k = first; k <= last; ++k) {
        const double m = std::hypot(re[k], im[k]);
        sum += m * m;
    }
    return std::sqrt(sum / (last - first + 1));
}

int Samples(double sampleRate, double seconds) {
    return static_cast<int>(std::lround(sampleRate * seconds));
}

enum class Extreme { Smallest, Largest };

// A running sum with Neumaier compensation. Sliding a window over a loud stretch and then into
// a nearly silent one would otherwise leave rounding residue of the loud values that is larger
// than the silent sums being compared.
class CompensatedSum {
public:
    void Add(double v) {
        const double t = sum_ + v;
        // Selects rather than branches: the larger term changes unpredictably.
        const bool sumLarger = std::abs(sum_) >= std::abs(v);
        const double larger = sumLarger ? sum_ : v;
        const double smaller = sumLarger ? v : sum_;
        compensation_ += (larger - t) + smaller;
        sum_ = t;
    }
    double Value() const { return sum_ + compensation_; }

private:
    double sum_ = 0.0;
    double compensation_ = 0.0;
};

// The index i at which the sum of squared deviations from the mean over the w samples ending at
// i is smallest or largest (the first such index); the window wraps around the end.
int WindowExtreme(const double* x, int n, int w, Extreme extreme) {
    double mean = 0.0;
    for (int i = 0; i < n; ++i)
        mean += x[i];
    mean /= n;
    auto square = [&](int i) {
        const double d = x[i] - mean;
        return d * d;
    };

    CompensatedSum sum;
    for (int j = n - w; j < n; ++j)
        sum.Add(square(j));
    // The sample leaving the window is recomputed rather than kept in a ring: same value, no
    // modulo. It is w samples back, wrapping to the end of the buffer for the first w.
    int best = 0;
    double bestSum = 0.0;
    for (int i = 0; i < n; ++i) {
        const int leaving = i < w ? i + n - w : i - w;
        sum.Add(-square(leaving));
        sum.Add(square(i));
        const double value = sum.Value();
        const bool better = extreme == Extreme::Smallest ? value < bestSum : value > bestSum;
        if (i == 0 || better) {
            best = i;
            bestSum = value;
        }
    }
    return best;
}

// Samples a cascade of `stages` first-order low-passes with pole b needs, from rest, before it
// has forgotten its start: the cascade's impulse response, at most C(L + stages - 1, stages - 1)
// b^L after L samples, is then below 1e-30. 0 when no such length up to limit exists.
int SettlingLength(double b, int stages, int limit) {
    if (!(b > 0.0 && b < 1.0))
        return 0;
    for (int length = 64; length <= limit; length += 64) {
        const double logTail = std::lgamma(length + stages) - std::lgamma(length + 1.0) -
                               std::lgamma(static_cast<double>(stages)) + length * std::log(b);
        if (logTail < std::log(1e-30))
            return length;
    }
    return 0;
}

// Stages passes of PeriodicLowPass in one sweep. A pass starts from the state that running it
// over its whole (periodic) input leaves; as the filters forget their start geometrically, the
// cascade run from rest over the last samples of the buffer reaches those states to within
// rounding, and the passes then run together, each stage feeding the next sample by sample.
template <int Stages>
bool PeriodicLowPassCascade(double* x, int n, double sampleRate, double corner) {
    const double b = std::exp(-kTwoPi * corner / sampleRate);
    const double a = 1.0 - b;
    const int settle = SettlingLength(b, Stages, n / 2);
    if (settle == 0)
        return false;
    double y[Stages] = {};
    auto step = [&](double v) {
        for (int s = 0; s < Stages; ++s) {
            y[s] = a * v + b * y[s];
            v = y[s];
        }
        return v;
    };
    for (int i = n - settle; i < n; ++i)
        step(x[i]);
    for (int i = 0; i < n; ++i)
        x[i] = step(x[i]);
    return true;
}

// Rotates left by an offset brought into [0, n).
int RotateBy(double* x, int n, long long offset) {
    const int s = static_cast<int>(((offset % n) + n) % n);
    std::rotate(x, x + s, x + n);
    return s;
}

// The values of a rotated impulse's imaginary parts follow its real parts.
void RotateSecond(CCurve& curve, int offset) {
    double* y = curve.Second();
    std::rotate(y, y + offset, y + curve.Count());
}

double ImpulseSnrDb(const CCurve& impulse, int n, double sampleRate, double lo, double hi) {
    const double signalRms =
        CartesianBandRms(*SampleSpectrum(impulse.First(), n / 4, sampleRate), lo, hi);
    const double noiseRms =
        CartesianBandRms(*SampleSpectrum(impulse.First() + n / 2, n - n / 2, sampleRate), lo, hi);
    double ratio = 0.0;
    if (noiseRms > 0.0)
        ratio = signalRms / noiseRms;
    else if (signalRms > 0.0)
        ratio = std::numeric_limits<double>::infinity();
    if (!(ratio > 0.0))
        ratio = kMinMagnitude;
    return 20.0 * std::log10(ratio);
}

// The measurement format, checked before anything touches the samples. A sample vector shorter
// than the count it claims counts as a wrong sample size.
void CheckCaptureBlock(const CaptureBlock& block) {
    const long long n = block.impulseLength;
    if (block.capturedCount != 3 * n || block.samples.size() < static_cast<std::size_t>(3 * n))
        Fail(L"Incorrect sample size");
    if (n != kSweepLength)
        Fail(L"Incorrect buffer size");
    if (block.sampleRate != kSweepRate)
        Fail(L"Incorrect sampling frequency size");
}

// The quick measurement's reference spectrum, built on first use; kept in magnitude and phase,
// the form every division reads it in.
const CCurve& QuickReference() {
    static const CurvePtr reference = [] {
        const CurvePtr sweep = SweepReference(kSweepLength, kSweepRate);
        CurvePtr spectrum = Transform(*sweep);
        ToMagPhase(*spectrum);
        spectrum->name = L"Chirp";
        return spectrum;
    }();
    return *reference;
}

}  // namespace

CurvePtr SweepReference(int n, double sampleRate) {
    if (n < 2 || !(sampleRate > 0.0))
        throw std::invalid_argument("SweepReference: needs at least 2 samples and a positive rate");
    const double duration = n / sampleRate;
    const double f1 = kSweepStartBin * sampleRate / n;
    const double k = std::log(kSweepRatio) / duration;
    std::vector<double> samples(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double t = i / sampleRate;
        samples[static_cast<std::size_t>(i)] = std::sin(kTwoPi * f1 / k * std::expm1(k * t));
    }
    return FromSamples(samples.data(), n, sampleRate);
}

int RotateToQuietest(double* x, int n, int w) {
    if (n < 1)
        return 0;
    w = std::clamp(w, 1, n);
    const int a = WindowExtreme(x, n, w, Extreme::Smallest);
    return RotateBy(x, n, static_cast<long long>(a) - w / 2);
}

int RotateToLoudest(double* x, int n, int w) {
    if (n < 1)
        return 0;
    w = std::clamp(w, 1, n);
    const int b = WindowExtreme(x, n, w, Extreme::Largest);
    return RotateBy(x, n, static_cast<long long>(b) - w);
}

int RotateToLoudestWithPreroll(double* x, int n, int w, int p) {
    if (n < 1)
        return 0;
    w = std::clamp(w, 1, n);
    const int b = WindowExtreme(x, n, w, Extreme::Largest);
    return RotateBy(x, n, static_cast<long long>(b) - w - p);
}

void PeriodicLowPass(double* x, int n, double sampleRate, double corner) {
    const double b = std::exp(-kTwoPi * corner / sampleRate);
    const double a = 1.0 - b;
    double y = 0.0;
    for (int i = 0; i < n; ++i)
        y = a * x[i] + b * y;
    for (int i = 0; i < n; ++i) {
        y = a * x[i] + b * y;
        x[i] = y;
    }
}

void SecondOrderHighPass(double* x, int n, double sampleRate, double corner) {
    const double w = kTwoPi * corner / sampleRate;
    const double r = std::exp(-w / std::numbers::sqrt2);
    const double k = std::cos(w / std::numbers::sqrt2);
    const double q = r * r;
    const double g = (1.0 + 2.0 * r * k + q) / 4.0;
    double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;
    for (int i = 0; i < n; ++i) {
        const double in = x[i];
        const double out = g * in - 2.0 * g * x1 + g * x2 + 2.0 * r * k * y1 - q * y2;
        x2 = x1;
        x1 = in;
        y2 = y1;
        y1 = out;
        x[i] = out;
    }
}

std::pair<CurvePtr, CurvePtr> ExtractResponses(ImpulseContext& context) {
    if (!context.capture)
        throw std::invalid_argument("ExtractResponses: no capture block");
    CaptureBlock& block = *context.capture;
    CheckCaptureBlock(block);
    const int n = block.impulseLength;
    const double fs = block.sampleRate;
    double* x = block.samples.data();
    CCurveWriter* writer = context.writer;

    RemoveMean(x, 3 * n);
    if (block.subwooferMode &&
        !PeriodicLowPassCascade<kSubwooferLowPassPasses>(x, 3 * n, fs, kSubwooferLowPassHz))
        for (int pass = 0; pass < kSubwooferLowPassPasses; ++pass)
            PeriodicLowPass(x, 3 * n, fs, kSubwooferLowPassHz);

    // A period starts in the middle of the quietest 5 ms, where the sweep has passed what the
    // subwoofer reproduces and is about to begin again.
    const CurvePtr head = FromSamples(x, n, fs);
    const int offset = RotateToQuietest(head->First(), n, Samples(fs, 0.005));
    Diagnose(writer, *head, L"PostRotateCurve");
    CheckOffset(offset, n);

    const std::shared_ptr<const CCurve> reference =
        context.correction ? context.correction->Reference() : nullptr;
    CurvePtr impulses[2];
    for (int j = 0; j < 2; ++j) {
        const CurvePtr spectrum = SampleSpectrum(x + offset + j * n, n, fs);
        if (reference)
            Divide(*spectrum, *reference);
        ToCartesian(*spectrum);
        impulses[j] = InverseFft(*spectrum);
        if (!impulses[j] || impulses[j]->Count() != n)
            Fail(L"Error wrong impulse length. (code 0x02)");
    }
    Diagnose(writer, *impulses[0], L"Impluse 1 prerotate");
    Diagnose(writer, *impulses[1], L"Impluse 2 prerotate");
    for (const CurvePtr& impulse : impulses) {
        ToCartesian(*impulse);
        RotateSecond(*impulse, RotateToLoudest(impulse->First(), n, n / 8));
    }
    Diagnose(writer, *impulses[0], L"Impluse 1 postrotate");
    Diagnose(writer, *impulses[1], L"Impluse 2 postrotate");

    double lowestSnr = std::numeric_limits<double>::infinity();
    for (const CurvePtr& impulse : impulses) {
        const double snr = ImpulseSnrDb(*impulse, n, fs, context.bandLow, context.bandHigh);
        if (snr < kMinSnrDb)
            FailNoResponse(block.subwooferMode);
        lowestSnr = std::min(lowestSnr, snr);
    }
    if (context.checks)
        context.checks->snrDb = lowestSnr;
    if (writer != nullptr) {
        const CurvePtr noise = FromSamples(impulses[0]->First() + n / 4, n - n / 4, fs);
        Diagnose(writer, *noise, L"NOISE");
    }

    if (context.impulse != nullptr)
        *context.impulse = Decay::DecimateImpulse(impulses[0]->First(), n);

    const int retained = n / 4;
    CurvePtr responses[2];
    for (int j = 0; j < 2; ++j) {
        Resize(*impulses[j], retained);
        responses[j] = Transform(*impulses[j]);
    }
    block.impulseLength = retained;
    return {responses[0], responses[1]};
}

namespace {

// The largest level difference where IsSimilar compares the periods: in the band, wherever either
// is within 20 dB of the first period's peak. Both curves are in dB on the same axis.
double PeriodDifferenceDb(const CCurve& a, const CCurve& b, double lo, double hi) {
    const int p = PeakIndex(b, lo, hi);
    if (p < 0 || a.Count() != b.Count())
        return 0.0;
    const double floor = b.First()[p] - 20.0;
    double largest = 0.0;
    for (int k = 0; k < a.Count(); ++k) {
        const double x = a.X()[k];
        const double la = a.First()[k], lb = b.First()[k];
        if (x < lo || x > hi || (la < floor && lb < floor))
            continue;
        largest = std::max(largest, std::abs(la - lb));
    }
    return largest;
}

}  // namespace

CurvePtr MeasureResponse(ImpulseContext& context) {
    if (!context.capture)
        throw std::invalid_argument("MeasureResponse: no capture block");
    CheckCaptureBlock(*context.capture);
    auto [first, second] = ExtractResponses(context);
    for (const CurvePtr& response : {first, second}) {
        if (context.correction)
            context.correction->Apply(*response);
        if (context.smoothing) {
            const SmoothingSettings& s = *context.smoothing;
            Smooth(*response, s.fraction, s.pointsPerOctave, s.lowest, s.highest, s.normalise);
        }
    }
    // The result is the first response corrected and smoothed: a copy made now equals one made
    // before and put through the same steps.
    CurvePtr result = Clone(*first);
    // The periods are compared in dB.
    ToDbPhase(*first);
    ToDbPhase(*second);
    if (!IsSimilar(*second, *first, context.bandLow, context.bandHigh))
        FailDisagreement(context.capture->subwooferMode);
    if (context.checks)
        context.checks->periodDiffDb =
            PeriodDifferenceDb(*second, *first, context.bandLow, context.bandHigh);
    return result;
}

CurvePtr QuickResponse(QuickBlock& block) {
    if (block.sampleRate != kSweepRate)
        return nullptr;
    const long long n = block.impulseLength;
    if (n != kSweepLength)
        Fail(L"Incorrect buffer size");
    if (block.capturedCount < 2 * n ||
        block.samples.size() < static_cast<std::size_t>(block.capturedCount))
        Fail(L"Incorrect sample size");
    const int count = block.capturedCount;
    const double fs = block.sampleRate;
    double* x = block.samples.data();
    CCurveWriter* writer = block.writer;
    const CCurve& reference = QuickReference();

    if (writer != nullptr) {
        const CurvePtr whole = FromSamples(x, count, fs);
        Diagnose(writer, *whole, L"Double Buf");
        writer->WriteNamedCurve(reference, reference.name);
    }
    RemoveMean(x, count);

    const CurvePtr head = FromSamples(x, kSweepLength, fs);
    Diagnose(writer, *head, L"Pre Rotate");
    const int offset = RotateToQuietest(head->First(), kSweepLength, Samples(fs, 0.005));
    Diagnose(writer, *head, L"Post Rotate");
    CheckOffset(offset, kSweepLength);

    const CurvePtr period = FromSamples(x + offset, kSweepLength, fs);
    Diagnose(writer, *period, L"CFFT resp at " + std::to_wstring(offset));
    const CurvePtr spectrum = Transform(*period);
    Divide(*spectrum, reference);
    ToCartesian(*spectrum);
    const CurvePtr impulse = InverseFft(*spectrum);
    if (!impulse || impulse->Count() != kSweepLength)
        Fail(L"Error wrong impulse length. (code 0x02)");

    ToCartesian(*impulse);
    for (int pass = 0; pass < 2; ++pass)
        SecondOrderHighPass(impulse->First(), kSweepLength, fs, kQuickHighPassHz);
    const int preroll = Samples(fs, 0.005);
    const int window = Samples(fs, 0.07);
    const int shift =
        preroll != 0 ? RotateToLoudestWithPreroll(impulse->First(), kSweepLength, window, preroll)
                     : RotateToLoudest(impulse->First(), kSweepLength, window);
    RotateSecond(*impulse, shift);

    const int retained = kSweepLength / 4;
    Resize(*impulse, retained);
    Diagnose(writer, *impulse, L"Retained Impulse");
    CurvePtr response = Transform(*impulse);
    block.impulseLength = retained;
    return response;
}
