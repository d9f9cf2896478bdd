#include "measure/ImpulseImport.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>
#include <string>

#include "measure/Impulse.h"
#include "threading/Errors.h"

namespace {

// A measurement keeps a quarter of the sweep period after the loudest eighth. Its inverse
// transform scales the impulse by kSweepLength / 2 and its transform by 2 / (kSweepLength / 4),
// and its captures hold 16-bit samples / 65536: it reports the room's transfer function (from
// full scale to full scale) twice over.
constexpr int kRetained = kSweepLength / 4;
constexpr double kLoudestSeconds = (kSweepLength / 8.0) / kSweepRate;
constexpr double kMeasurementLevel = 2.0;

// Other rates are brought to the measurement's by windowed-sinc interpolation, band-limited to
// this fraction of the lower rate's half and reaching this many of its periods either side.
constexpr double kPassFraction = 0.9;
constexpr double kKernelPeriods = 32.0;

[[noreturn]] void Fail(const std::wstring& why) {
    throw tsl::wruntime_error(why);
}

// The first index of the w-sample stretch (running past the end counts silence) that holds the
// most energy.
size_t LoudestStretch(const std::vector<double>& x, size_t w) {
    std::vector<double> energy(x.size() + 1, 0.0);
    for (size_t i = 0; i < x.size(); ++i)
        energy[i + 1] = energy[i] + x[i] * x[i];
    size_t best = 0;
    double bestSum = -1.0;
    for (size_t i = 0; i < x.size(); ++i) {
        const double sum = energy[std::min(i + w, x.size())] - energy[i];
        if (sum > bestSum) {
            best = i;
            bestSum = sum;
        }
    }
    return best;
}

// n samples at the measurement's rate from `first` (an input index) on, with the input's
// transfer function: y(t) = sum of x[i] (2 fc / R) sinc(2 fc (t - i / r)) w(t - i / r), with a
// Blackman window w over the kernel's reach.
std::vector<double> AtMeasurementRate(const std::vector<double>& x, double r, size_t first, int n) {
    constexpr double kPi = std::numbers::pi;
    const double rate = kSweepRate;
    const double fc = kPassFraction * std::min(r, rate) / 2.0;
    const double reach = kKernelPeriods / std::min(r, rate);  // seconds
    std::vector<double> y(static_cast<size_t>(n), 0.0);
    for (int m = 0; m < n; ++m) {
        const double t = static_cast<double>(first) / r + m / rate;
        const long lo = std::max(0L, static_cast<long>(std::ceil((t - reach) * r)));
        const long hi = std::min(static_cast<long>(x.size()) - 1,
                                 static_cast<long>(std::floor((t + reach) * r)));
        double sum = 0.0;
        for (long i = lo; i <= hi; ++i) {
            const double d = t - i / r;
            const double a = 2.0 * fc * d;
            const double sinc = a == 0.0 ? 1.0 : std::sin(kPi * a) / (kPi * a);
            const double u = (d / reach + 1.0) / 2.0;  // 0 .. 1 over the reach
            const double w = 0.42 - 0.5 * std::cos(2 * kPi * u) + 0.08 * std::cos(4 * kPi * u);
            sum += x[static_cast<size_t>(i)] * sinc * w;
        }
        y[static_cast<size_t>(m)] = sum * 2.0 * fc / rate;
    }
    return y;
}

}  // namespace

CurvePtr ImportedImpulseResponse(const ImpulseSamples& impulse) {
    const int rate = impulse.sampleRate;
    const std::vector<double>& x = impulse.samples;
    if (rate < kMinImpulseRate || rate > kMaxImpulseRate)
        Fail(L"its sample rate of " + std::to_wstring(rate) + L" Hz is not from " +
             std::to_wstring(kMinImpulseRate) + L" to " + std::to_wstring(kMaxImpulseRate) +
             L" Hz.");
    if (x.size() < 2)
        Fail(L"it holds fewer than two samples.");
    if (x.size() > static_cast<size_t>(kMaxImpulseFrames))
        Fail(L"it holds more than " + std::to_wstring(kMaxImpulseFrames) + L" samples.");
    for (size_t i = 0; i < x.size(); ++i)
        if (!std::isfinite(x[i]))
            Fail(L"sample " + std::to_wstring(i + 1) + L" is not a number.");
    if (std::all_of(x.begin(), x.end(), [](double v) { return v == 0.0; }))
        Fail(L"the impulse is silent.");

    const size_t loudest = static_cast<size_t>(std::max(1L, std::lround(rate * kLoudestSeconds)));
    const size_t start = LoudestStretch(x, loudest);
    // As in a measurement, the window begins one sample before the loudest stretch.
    const size_t first = start > 0 ? start - 1 : 0;
    std::vector<double> window;
    if (rate == kSweepRate) {
        window.assign(kRetained, 0.0);
        std::copy_n(x.begin() + static_cast<std::ptrdiff_t>(first),
                    std::min<size_t>(kRetained, x.size() - first), window.begin());
    } else {
        window = AtMeasurementRate(x, rate, first, kRetained);
    }
    // The capture's low-pass of a subwoofer measurement, on the impulse it would have left.
    for (int pass = 0; pass < kSubwooferLowPassPasses; ++pass)
        PeriodicLowPass(window.data(), kRetained, kSweepRate, kSubwooferLowPassHz);

    CurvePtr spectrum = Fft(*FromSamples(window.data(), kRetained, kSweepRate));
    if (!spectrum)
        throw std::bad_alloc();
    // Fft scales by 2 / kRetained.
    Scale(*spectrum, kMeasurementLevel * kRetained / 2.0, 0.0);
    // A measurement corrected with a calibration file is interpolated onto the correction's
    // axis of 25 points per octave before it is smoothed; so is this one.
    const SmoothingSettings& s = kMeasurementSmoothing;
    // Up to the top of the file's own band.
    double top = spectrum->X()[spectrum->Count() - 1];
    if (rate != kSweepRate)
        top = std::min(top, kPassFraction * rate / 2.0);
    const int count =
        static_cast<int>(std::floor(s.pointsPerOctave * std::log2(top / s.lowest))) + 1;
    CCurve grid(count, AxisKind::Frequency, DataFormat::MagPhase);
    for (int k = 0; k < count; ++k)
        grid.X()[k] = s.lowest * std::exp2(k / s.pointsPerOctave);
    CurvePtr response = ResampleTo(spectrum, grid);
    Smooth(*response, s.fraction, s.pointsPerOctave, s.lowest, s.highest, s.normalise);
    return response;
}
