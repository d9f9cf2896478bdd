#include "measure/Decay.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <numbers>
#include <stdexcept>
#include <utility>

#include "measure/Transform.h"

namespace Decay {

namespace {

constexpr double kPi = std::numbers::pi;

// The decimation low-pass: 24 taps per output phase either side of the centre.
constexpr int kHalfTaps = 12 * kImpulseDecimation;
constexpr double kLowPassHz = 1200.0;
constexpr double kCaptureRate = kImpulseRate * kImpulseDecimation;

bool PowerOfTwo(size_t n) {
    return n >= 2 && (n & (n - 1)) == 0;
}

void Require(const Signal& impulse) {
    if (!PowerOfTwo(impulse.size()))
        throw std::invalid_argument("Decay: an impulse must hold a power of two of samples");
}

void Transform(int direction, std::vector<double>& re, std::vector<double>& im) {
    const int rc = TransformInPlace(direction, static_cast<int>(re.size()), re.data(), im.data());
    if (rc == 1)
        throw std::bad_alloc();
    if (rc != 0)
        throw std::invalid_argument("Decay: transform of an unusable length");
}

// The spectra A and B of two real signals transformed together as a + jb, at bin k of n.
void Separate(const std::vector<double>& re, const std::vector<double>& im, size_t k, size_t n,
              double& aRe, double& aIm, double& bRe, double& bIm) {
    const size_t m = (n - k) % n;
    aRe = 0.5 * (re[k] + re[m]);
    aIm = 0.5 * (im[k] - im[m]);
    bRe = 0.5 * (im[k] + im[m]);
    bIm = -0.5 * (re[k] - re[m]);
}

const std::vector<double>& LowPassTaps() {
    static const std::vector<double> taps = [] {
        std::vector<double> h(2 * kHalfTaps + 1);
        const double wc = 2.0 * kPi * kLowPassHz / kCaptureRate;
        double sum = 0.0;
        for (int i = -kHalfTaps; i <= kHalfTaps; ++i) {
            const double sinc = i == 0 ? wc / kPi : std::sin(wc * i) / (kPi * i);
            const double x = kPi * (i + kHalfTaps) / kHalfTaps;  // 0 .. 2 pi
            const double blackman = 0.42 - 0.5 * std::cos(x) + 0.08 * std::cos(2.0 * x);
            h[static_cast<size_t>(i + kHalfTaps)] = sinc * blackman;
            sum += sinc * blackman;
        }
        for (double& v : h)
            v *= kImpulseDecimation / sum;
        return h;
    }();
    return taps;
}

// Nominal centres of the third-octave bands from 20 to 200 Hz (band numbers 13 to 23).
constexpr double kNominalHz[] = {20, 25, 31.5, 40, 50, 63, 80, 100, 125, 160, 200};
constexpr int kFirstBandNumber = 13;

// The band's magnitude at f: a Gaussian about the centre, 3 dB down at the band's edges, a
// twentieth of a decade either side. Its (zero-phase) response is a Gaussian pulse whose energy
// has fallen by 40 dB within 0.7 / bandwidth either side, far quicker than any band-pass with
// poles rings, so that it does not lengthen the decay it measures.
double BandWeight(double f, double centre) {
    static const double halfWidth = 0.5 * (std::pow(10.0, 0.05) - std::pow(10.0, -0.05));
    // exp(-x^2 / 2) is 1/sqrt 2 at x = sqrt(ln 2).
    static const double edge = std::sqrt(std::log(2.0));
    const double x = (f - centre) / (halfWidth * centre) * edge;
    return std::exp(-0.5 * x * x);
}

// Where BandWeight exceeds 1e-12 (Hz): 7.4 standard deviations either side.
std::pair<double, double> BandSupport(double centre) {
    static const double halfWidth = 0.5 * (std::pow(10.0, 0.05) - std::pow(10.0, -0.05));
    const double reach = 7.4 * halfWidth * centre / std::sqrt(std::log(2.0));
    return {centre - reach, centre + reach};
}

}  // namespace

std::vector<float> DecimateImpulse(const double* impulse, int n) {
    if (impulse == nullptr || n < 2 * kHalfTaps + 1 || n % kImpulseDecimation != 0)
        throw std::invalid_argument("DecimateImpulse: unusable impulse length");
    const std::vector<double>& taps = LowPassTaps();
    const int count = n / kImpulseDecimation;
    std::vector<float> out(static_cast<size_t>(count));
    for (int m = 0; m < count; ++m) {
        const int centre = m * kImpulseDecimation;
        double sum = 0.0;
        if (centre - kHalfTaps >= 0 && centre + kHalfTaps < n) {
            // Four partial sums: the additions do not wait on each other.
            const double* x = impulse + centre - kHalfTaps;
            const double* h = taps.data();
            double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
            int k = 0;
            for (; k + 3 <= 2 * kHalfTaps; k += 4) {
                s0 += h[k] * x[k];
                s1 += h[k + 1] * x[k + 1];
                s2 += h[k + 2] * x[k + 2];
                s3 += h[k + 3] * x[k + 3];
            }
            for (; k <= 2 * kHalfTaps; ++k)
                s0 += h[k] * x[k];
            sum = (s0 + s1) + (s2 + s3);
        } else {
            for (int k = 0; k <= 2 * kHalfTaps; ++k) {
                const int at = ((centre + k - kHalfTaps) % n + n) % n;
                sum += taps[static_cast<size_t>(k)] * impulse[at];
            }
        }
        out[static_cast<size_t>(m)] = static_cast<float>(sum);
    }
    return out;
}

Signal EnergyTime(const Signal& impulse) {
    Require(impulse);
    const size_t n = impulse.size();
    std::vector<double> re = impulse, im(n, 0.0);
    Transform(fft::kForward, re, im);
    // The analytic signal: positive frequencies doubled, negative ones removed.
    for (size_t k = 1; k < n / 2; ++k) {
        re[k] *= 2.0;
        im[k] *= 2.0;
    }
    for (size_t k = n / 2 + 1; k < n; ++k)
        re[k] = im[k] = 0.0;
    Transform(fft::kInverse, re, im);
    Signal energy(n);
    for (size_t i = 0; i < n; ++i)
        energy[i] = re[i] * re[i] + im[i] * im[i];
    return energy;
}

Signal EnergyTimeDb(const Signal& energy, double reference) {
    if (!(reference > 0.0))
        reference = energy.empty() ? 0.0 : *std::max_element(energy.begin(), energy.end());
    Signal db(energy.size(), kFloorDb);
    if (!(reference > 0.0))
        return db;
    for (size_t i = 0; i < energy.size(); ++i)
        if (energy[i] > 0.0)
            db[i] = std::max(kFloorDb, 10.0 * std::log10(energy[i] / reference));
    return db;
}

Signal StepResponse(const Signal& impulse) {
    Signal step(impulse.size());
    double sum = 0.0;
    for (size_t i = 0; i < impulse.size(); ++i)
        step[i] = sum += impulse[i];
    return step;
}

Signal Mean(const std::vector<Signal>& each) {
    if (each.empty())
        return {};
    Signal mean(each.front().size(), 0.0);
    for (const Signal& s : each)
        for (size_t i = 0; i < mean.size() && i < s.size(); ++i)
            mean[i] += s[i];
    for (double& v : mean)
        v /= static_cast<double>(each.size());
    return mean;
}

Spectrum GroupDelay(const Signal& impulse, double rate, const DelaySmoothing& smoothing) {
    Require(impulse);
    const size_t n = impulse.size();
    // h + j t h in one transform.
    std::vector<double> re = impulse, im(n);
    const size_t wrap = n - n / 8;
    for (size_t i = 0; i < n; ++i) {
        const double t = i < wrap ? static_cast<double>(i) : static_cast<double>(i) - n;
        im[i] = t * impulse[i];
    }
    Transform(fft::kForward, re, im);
    // Prefix sums of Re(G conj H) and |H|^2 over the bins up to half the rate.
    const size_t half = n / 2;
    std::vector<double> num(half + 2, 0.0), den(half + 2, 0.0);
    for (size_t k = 0; k <= half; ++k) {
        double hRe, hIm, gRe, gIm;
        Separate(re, im, k, n, hRe, hIm, gRe, gIm);
        num[k + 1] = num[k] + gRe * hRe + gIm * hIm;
        den[k + 1] = den[k] + hRe * hRe + hIm * hIm;
    }
    const double binHz = rate / static_cast<double>(n);
    const double halfWidth = std::pow(2.0, 0.5 / smoothing.fraction);
    const double step = std::pow(2.0, 1.0 / smoothing.pointsPerOctave);
    Spectrum out;
    const double top = std::min(smoothing.highest, rate / 2.0 / halfWidth);
    for (double f = smoothing.lowest; f <= top * (1.0 + 1e-12); f *= step) {
        auto k0 = static_cast<size_t>(std::ceil(f / halfWidth / binHz));
        auto k1 = static_cast<size_t>(std::floor(f * halfWidth / binHz));
        k1 = std::min(k1, half);
        if (k1 < k0)
            k0 = k1 = std::min(static_cast<size_t>(std::lround(f / binHz)), half);
        const double d = den[k1 + 1] - den[k0];
        out.frequencies.push_back(f);
        out.values.push_back(d > 0.0 ? (num[k1 + 1] - num[k0]) / d / rate : 0.0);
        out.power.push_back(d / static_cast<double>(k1 - k0 + 1));
    }
    return out;
}

Spectrum MeanGroupDelay(const std::vector<Spectrum>& delays) {
    if (delays.empty())
        return {};
    Spectrum out;
    out.frequencies = delays.front().frequencies;
    const size_t n = out.frequencies.size();
    out.values.assign(n, 0.0);
    out.power.assign(n, 0.0);
    for (size_t i = 0; i < n; ++i) {
        double weighted = 0.0, power = 0.0;
        for (const Spectrum& d : delays) {
            if (i >= d.values.size() || i >= d.power.size())
                continue;
            weighted += d.values[i] * d.power[i];
            power += d.power[i];
        }
        out.values[i] = power > 0.0 ? weighted / power : 0.0;
        out.power[i] = power / static_cast<double>(delays.size());
    }
    return out;
}

Waterfall CumulativeSpectralDecay(const Signal& impulse, double rate,
                                  const WaterfallSettings& settings) {
    Require(impulse);
    if (!PowerOfTwo(static_cast<size_t>(std::max(settings.transformLength, 0))))
        throw std::invalid_argument("CumulativeSpectralDecay: transform length");
    const size_t n = impulse.size();
    const auto m = static_cast<size_t>(settings.transformLength);
    const size_t length = std::min<size_t>(
        m, static_cast<size_t>(std::max(1L, std::lround(settings.windowSeconds * rate))));
    std::vector<double> window(length, 1.0);
    const size_t flat = length / 2;
    for (size_t i = flat; i < length; ++i)
        window[i] = 0.5 * (1.0 + std::cos(kPi * static_cast<double>(i - flat) /
                                          static_cast<double>(length - flat)));

    Waterfall w;
    w.windowSeconds = static_cast<double>(length) / rate;
    const double binHz = rate / static_cast<double>(m);
    std::vector<size_t> bins;
    for (size_t k = 0; k <= m / 2; ++k) {
        const double f = k * binHz;
        if (f >= settings.lowest && f <= settings.highest) {
            bins.push_back(k);
            w.frequencies.push_back(f);
        }
    }
    for (double t = settings.firstStart; t <= settings.lastStart + 1e-9; t += settings.startStep)
        w.starts.push_back(t);
    w.power.assign(w.starts.size(), std::vector<double>(bins.size()));

    std::vector<double> re(m), im(m);
    auto fill = [&](std::vector<double>& into, size_t slice) {
        const auto start = static_cast<size_t>(std::lround(w.starts[slice] * rate));
        std::fill(into.begin(), into.end(), 0.0);
        for (size_t i = 0; i < length; ++i)
            into[i] = impulse[(start + i) % n] * window[i];
    };
    // Two slices per transform, as its real and imaginary parts.
    for (size_t s = 0; s < w.starts.size(); s += 2) {
        fill(re, s);
        if (s + 1 < w.starts.size())
            fill(im, s + 1);
        else
            std::fill(im.begin(), im.end(), 0.0);
        Transform(fft::kForward, re, im);
        for (size_t j = 0; j < bins.size(); ++j) {
            double aRe, aIm, bRe, bIm;
            Separate(re, im, bins[j], m, aRe, aIm, bRe, bIm);
            w.power[s][j] = aRe * aRe + aIm * aIm;
            if (s + 1 < w.starts.size())
                w.power[s + 1][j] = bRe * bRe + bIm * bIm;
        }
    }
    return w;
}

Waterfall MeanWaterfall(const std::vector<Waterfall>& waterfalls) {
    if (waterfalls.empty())
        return {};
    Waterfall mean = waterfalls.front();
    for (size_t w = 1; w < waterfalls.size(); ++w)
        for (size_t s = 0; s < mean.power.size() && s < waterfalls[w].power.size(); ++s)
            for (size_t k = 0; k < mean.power[s].size() && k < waterfalls[w].power[s].size(); ++k)
                mean.power[s][k] += waterfalls[w].power[s][k];
    for (auto& slice : mean.power)
        for (double& p : slice)
            p /= static_cast<double>(waterfalls.size());
    return mean;
}

std::vector<double> SliceDb(const Waterfall& waterfall, size_t slice) {
    if (slice >= waterfall.power.size() || waterfall.power.empty())
        return {};
    const std::vector<double>& first = waterfall.power.front();
    const double peak = first.empty() ? 0.0 : *std::max_element(first.begin(), first.end());
    return EnergyTimeDb(waterfall.power[slice], peak > 0.0 ? peak : 1.0);
}

std::vector<BandEnergy> BandEnergies(const Signal& impulse, double rate) {
    Require(impulse);
    const size_t n = impulse.size();
    std::vector<double> hRe = impulse, hIm(n, 0.0);
    Transform(fft::kForward, hRe, hIm);
    std::vector<BandEnergy> bands;
    for (size_t b = 0; b < std::size(kNominalHz); ++b)
        bands.push_back({kNominalHz[b], std::pow(10.0, (kFirstBandNumber + b) / 10.0), {}});

    // Two bands per inverse transform: H W1 + j H W2, both Hermitian.
    std::vector<double> re(n), im(n);
    const double binHz = rate / static_cast<double>(n);
    for (size_t b = 0; b < bands.size(); b += 2) {
        const bool pair = b + 1 < bands.size();
        std::fill(re.begin(), re.end(), 0.0);
        std::fill(im.begin(), im.end(), 0.0);
        // Only the bins where either weight is not negligible.
        const double lowHz = BandSupport(bands[b].centreHz).first;
        const double highHz = BandSupport(bands[pair ? b + 1 : b].centreHz).second;
        const auto first = static_cast<size_t>(std::max(0.0, std::floor(lowHz / binHz)));
        const size_t last = std::min(n / 2, static_cast<size_t>(std::ceil(highHz / binHz)));
        for (size_t k = first; k <= last; ++k) {
            const double f = static_cast<double>(k) * binHz;
            const double w1 = BandWeight(f, bands[b].centreHz);
            const double w2 = pair ? BandWeight(f, bands[b + 1].centreHz) : 0.0;
            // (hRe + j hIm)(w1 + j w2), at k and at its mirror.
            for (const size_t at : {k, (n - k) % n}) {
                re[at] = hRe[at] * w1 - hIm[at] * w2;
                im[at] = hIm[at] * w1 + hRe[at] * w2;
            }
        }
        Transform(fft::kInverse, re, im);
        bands[b].energy.resize(n);
        for (size_t i = 0; i < n; ++i)
            bands[b].energy[i] = re[i] * re[i];
        if (pair) {
            bands[b + 1].energy.resize(n);
            for (size_t i = 0; i < n; ++i)
                bands[b + 1].energy[i] = im[i] * im[i];
        }
    }
    return bands;
}

std::vector<BandEnergy> MeanBandEnergies(const std::vector<std::vector<BandEnergy>>& positions) {
    if (positions.empty())
        return {};
    std::vector<BandEnergy> mean = positions.front();
    for (size_t b = 0; b < mean.size(); ++b) {
        std::vector<Signal> each;
        for (const auto& p : positions)
            if (b < p.size())
                each.push_back(p[b].energy);
        mean[b].energy = Mean(each);
    }
    return mean;
}

std::vector<BandDecay> DecayTimes(const std::vector<BandEnergy>& bands, double rate) {
    std::vector<BandDecay> out;
    for (const BandEnergy& band : bands) {
        BandDecay d;
        d.nominalHz = band.nominalHz;
        const Signal& e = band.energy;
        const size_t n = e.size();
        const size_t noiseFrom = n * 7 / 10, noiseTo = n * 9 / 10;
        if (noiseTo <= noiseFrom) {
            out.push_back(d);
            continue;
        }
        double noise = 0.0;
        for (size_t i = noiseFrom; i < noiseTo; ++i)
            noise += e[i];
        noise /= static_cast<double>(noiseTo - noiseFrom);

        // The 10 ms envelope, its peak and where it has fallen to 5 dB above the noise.
        const size_t span = std::max<size_t>(1, static_cast<size_t>(std::lround(0.010 * rate)));
        Signal envelope(noiseFrom, 0.0);
        double running = 0.0;
        for (size_t i = 0; i < noiseFrom; ++i) {
            running += e[i];
            if (i >= span)
                running -= e[i - span];
            envelope[i] = running / static_cast<double>(std::min(i + 1, span));
        }
        const auto peakAt = static_cast<size_t>(std::max_element(envelope.begin(), envelope.end()) -
                                                envelope.begin());
        const double peak = envelope.empty() ? 0.0 : envelope[peakAt];
        d.dynamicRangeDb =
            noise > 0.0 ? 10.0 * std::log10(peak / noise) : std::numeric_limits<double>::infinity();
        if (!(peak > 0.0) || !(d.dynamicRangeDb >= kMinDynamicRangeDb)) {
            d.status = DecayStatus::NoisyBand;
            out.push_back(d);
            continue;
        }
        size_t end = noiseFrom;
        const double limit = noise * std::pow(10.0, 0.5);
        for (size_t i = peakAt; i < noiseFrom; ++i)
            if (envelope[i] <= limit) {
                end = i;
                break;
            }

        // Backward integral of the energy less the floor, in dB of its total.
        Signal edc(end + 1, 0.0);
        for (size_t i = end; i-- > 0;)
            edc[i] = edc[i + 1] + (e[i] - noise);
        const double total = edc[0];
        if (!(total > 0.0)) {
            out.push_back(d);
            continue;
        }
        size_t from = end, to = end;
        for (size_t i = 0; i < end; ++i) {
            const double db = edc[i] > 0.0 ? 10.0 * std::log10(edc[i] / total) : -1e9;
            if (from == end && db <= -5.0)
                from = i;
            if (db <= -25.0) {
                to = i;
                break;
            }
        }
        if (from >= to || to >= end) {
            out.push_back(d);
            continue;
        }
        // Least-squares line through the integral's dB from -5 to -25 dB.
        double st = 0, sy = 0, stt = 0, sty = 0;
        const double count = static_cast<double>(to - from + 1);
        for (size_t i = from; i <= to; ++i) {
            const double t = static_cast<double>(i) / rate;
            const double y = 10.0 * std::log10(std::max(edc[i], 1e-300) / total);
            st += t;
            sy += y;
            stt += t * t;
            sty += t * y;
        }
        const double denom = count * stt - st * st;
        const double slope = denom > 0.0 ? (count * sty - st * sy) / denom : 0.0;
        if (slope < 0.0) {
            d.status = DecayStatus::Measured;
            d.seconds = -60.0 / slope;
        }
        out.push_back(d);
    }
    return out;
}

}  // namespace Decay
