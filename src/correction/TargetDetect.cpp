// The crossover and high-pass detections: grid searches that compare a model band-pass with the
// measured level and keep the candidate of least weighted squared difference.

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "correction/Target.h"

namespace {

constexpr double kNone = 1e300;
// LimitBoost leaves the peak at its limit up to rounding; the acceptance tests allow for that.
constexpr double kLimitSlackDb = 1e-9;

double ToDb(double magnitude) {
    return magnitude > 0.0 ? 20.0 * std::log10(magnitude) : kZeroLevelDb;
}

struct Band {
    double lo;
    double hi;
    bool Holds(double f) const { return f >= lo && f <= hi; }
};

// One measured curve in dB with the per-point trigonometry of the biquad response, computed
// once for all candidates.
struct LevelCurve {
    const CCurve* curve;
    std::vector<double> c1, s1, c2, s2;

    LevelCurve(const CCurve& c, double sampleRate) : curve(&c) {
        const int n = c.Count();
        c1.resize(n), s1.resize(n), c2.resize(n), s2.resize(n);
        for (int i = 0; i < n; ++i) {
            const double x = -2.0 * std::numbers::pi * c.X()[i] / sampleRate;
            c1[i] = std::cos(x), s1[i] = std::sin(x);
            c2[i] = std::cos(2.0 * x), s2[i] = std::sin(2.0 * x);
        }
    }

    int Count() const { return curve->Count(); }
    double Freq(int i) const { return curve->X()[i]; }
    double Db(int i) const { return curve->First()[i]; }

    // |H|^2 at point i.
    double Power(const Biquad& h, int i) const {
        const double nr = h.b0 + h.b1 * c1[i] + h.b2 * c2[i], ni = h.b1 * s1[i] + h.b2 * s2[i];
        const double dr = 1.0 + h.a1 * c1[i] + h.a2 * c2[i], di = h.a1 * s1[i] + h.a2 * s2[i];
        return (nr * nr + ni * ni) / (dr * dr + di * di);
    }

    // The index range [first, last) that covers every point of the band.
    std::pair<int, int> Span(Band band) const {
        int first = Count(), last = 0;
        for (int i = 0; i < Count(); ++i) {
            if (band.Holds(Freq(i))) {
                first = std::min(first, i);
                last = i + 1;
            }
        }
        return {first, std::max(first, last)};
    }
};

// Usable curves, converted to dB (the detections read levels).
std::vector<LevelCurve> LevelCurves(const TargetCurveList& curves, double sampleRate) {
    std::vector<LevelCurve> out;
    for (const CurvePtr& c : curves) {
        if (c && c->Count() > 0) {
            ToDbPhase(*c);
            out.emplace_back(*c, sampleRate);
        }
    }
    return out;
}

struct Score {
    double err = std::numeric_limits<double>::quiet_NaN();
    double maxDev = 0.0;
    double maxWDev = 0.0;
    int fewestPoints = 0;  // points of the difference band on the sparsest curve
};

// Compares a model level (dB at point i of curve c) with the curves: the model is shifted to
// the curves' level over the offset band (which lies inside the difference band), the
// difference over the difference band is capped at boostLimit above 0 dB and its weighted mean
// square is the error. Points outside the difference band are 0 dB and take no part in the
// capping, so only the band's index span is built.
template <class ModelDb>
Score ScoreModel(const std::vector<LevelCurve>& curves, Band offsetBand, Band diffBand,
                 double boostLimit, ModelDb modelDb) {
    std::vector<std::vector<double>> model(curves.size());
    std::vector<std::pair<int, int>> spans(curves.size());
    double s1 = 0.0, s2 = 0.0;
    for (size_t c = 0; c < curves.size(); ++c) {
        const LevelCurve& m = curves[c];
        spans[c] = m.Span(diffBand);
        const auto [first, last] = spans[c];
        model[c].resize(last - first);
        for (int i = first; i < last; ++i) {
            const double k = modelDb(c, i);
            model[c][i - first] = k;
            if (offsetBand.Holds(m.Freq(i))) {
                const double w = std::pow(10.0, k / 40.0);
                s1 += w;
                s2 += w * (k - m.Db(i));
            }
        }
    }
    Score score;
    if (!(s1 > 0.0))
        return score;  // nothing to align the model with
    const double offset = -s2 / s1;

    double s = 0.0, e = 0.0;
    score.fewestPoints = std::numeric_limits<int>::max();
    for (size_t c = 0; c < curves.size(); ++c) {
        const LevelCurve& m = curves[c];
        const auto [first, last] = spans[c];
        // Built as magnitudes and read back as levels here: the curve's own conversions are
        // parallel loops, far too costly on a few points thousands of times over.
        CCurve d(last - first, AxisKind::Frequency, DataFormat::MagPhase);
        for (int i = first; i < last; ++i) {
            const double db =
                diffBand.Holds(m.Freq(i)) ? model[c][i - first] + offset - m.Db(i) : 0.0;
            d.X()[i - first] = m.Freq(i);
            d.First()[i - first] = std::pow(10.0, db / 20.0);
            d.Second()[i - first] = 0.0;
        }
        LimitBoost(d, boostLimit);
        int points = 0;
        for (int i = first; i < last; ++i) {
            if (!diffBand.Holds(m.Freq(i)))
                continue;
            const double dv = ToDb(d.First()[i - first]);
            const double w = std::pow(10.0, model[c][i - first] / 40.0);
            s += w;
            e += w * dv * dv;
            score.maxDev = std::max(score.maxDev, dv);
            score.maxWDev = std::max(score.maxWDev, w * dv);
            ++points;
        }
        score.fewestPoints = std::min(score.fewestPoints, points);
    }
    score.err = e / s;
    return score;
}

// A difference band narrower than an octave, or of only a few points, lies above the model's
// roll-off and cannot tell one corner from another: an offset alone matches it almost exactly,
// so the lowest such corner would beat every real fit with an error near zero.
constexpr int kMinSlopePoints = 4;

bool DescribesSlope(Band diffBand, const Score& score) {
    return diffBand.hi >= 2.0 * diffBand.lo && score.fewestPoints >= kMinSlopePoints;
}

}  // namespace

int32_t CSubwooferTarget::DetectCrossover(TargetCurveList& curves, SubCrossoverFreqs& cursor) {
    SetCrossover(80);
    int32_t fallbackCrossover = 80;
    double best = kNone, fallbackBest = kNone;
    const double nyquist = sampleRate / 2.0;
    const std::vector<LevelCurve> levels = LevelCurves(curves, sampleRate);

    double peakDb = -std::numeric_limits<double>::infinity();
    double fPeak = 0.0;
    bool found = false;
    for (const LevelCurve& m : levels) {
        for (int i = 0; i < m.Count(); ++i) {
            if (m.Freq(i) > 20.0 && m.Db(i) > peakDb) {
                peakDb = m.Db(i);
                fPeak = m.Freq(i);
                found = true;
            }
        }
    }
    if (!found)
        fPeak = std::sqrt(20.0 * nyquist);

    double lo = 20.0, hi = nyquist;
    for (const CurvePtr& c : curves) {
        if (c && c->Count() > 0) {
            lo = std::max(lo, LowerEdge(*c, fPeak, peakDb - 18.0));
            hi = std::min(hi, UpperEdge(*c, fPeak, peakDb - 18.0));
        }
    }
    const double centre = std::min(std::sqrt(lo * hi), fPeak / std::pow(2.0, 0.25));

    CfiEntry entry;
    entry.frequency = crossoverSearchLow;
    cursor.Seek(entry);
    while (cursor.IsValid()) {
        cursor.Get(entry);
        const int32_t fc = entry.frequency;
        if (fc > crossoverSearchHigh)
            break;
        const Biquad l =
            DesignSecondOrder(BiquadKind::LowPass, fc, 1.0 / std::numbers::sqrt2, sampleRate);
        const double dc = BiquadMagnitude(l, 0.0, sampleRate);
        const double bandLo = std::min(fc / 2.0, centre);
        const Score score =
            ScoreModel(levels, Band{bandLo, double(fc)}, Band{bandLo, std::max(2.0 * fc, centre)},
                       std::sqrt(10.0),
                       [&](size_t c, int i) { return ToDb(levels[c].Power(l, i) / (dc * dc)); });
        if (score.err < best && (score.maxDev <= 10.0 + kLimitSlackDb || score.maxWDev <= 5.0)) {
            best = score.err;
            SetCrossover(fc);
        } else if (score.err < fallbackBest) {
            fallbackBest = score.err;
            fallbackCrossover = fc;
        }
        cursor.Next();
    }
    if (best == kNone)
        SetCrossover(fallbackCrossover);
    return crossover;
}

void CSubwooferTarget::DetectHighPass(TargetCurveList& curves) {
    double best = kNone, fallbackBest = kNone;
    double fallbackCorner = 15.0, fallbackQ = 1.0;
    if (crossover > 5) {
        const std::vector<LevelCurve> levels = LevelCurves(curves, sampleRate);
        const double nyquist = sampleRate / 2.0;
        const Biquad l = DesignSecondOrder(BiquadKind::LowPass, crossoverHz,
                                           1.0 / std::numbers::sqrt2, sampleRate);
        const double dc = BiquadMagnitude(l, 0.0, sampleRate);
        // The low-pass part is the same for every model.
        std::vector<std::vector<double>> lowPass(levels.size());
        for (size_t c = 0; c < levels.size(); ++c) {
            for (int i = 0; i < levels[c].Count(); ++i)
                lowPass[c].push_back(levels[c].Power(l, i));
        }

        for (int k = 0;; ++k) {
            const double f0 = 5.0 * std::pow(1.05, k);
            if (!(f0 < crossover))
                break;
            const double hi = std::min(double(crossover), 2.0 * f0);
            const Band offsetBand{std::max(f0, 15.0), hi};
            const Band diffBand{std::max(std::min(f0 / 2.0, 20.0), 15.0), hi};
            for (int j = 0;; ++j) {
                const double q = 0.8 / std::pow(1.0125, j);
                if (!(q > 0.5))
                    break;
                const Biquad h = DesignSecondOrder(BiquadKind::HighPass, f0, q, sampleRate);
                const double pass = BiquadMagnitude(h, nyquist, sampleRate);
                const double gain = pass * pass * dc * dc;
                const Score score = ScoreModel(
                    levels, offsetBand, diffBand, std::pow(10.0, 0.6), [&](size_t c, int i) {
                        return ToDb(levels[c].Power(h, i) * lowPass[c][i] / gain);
                    });
                if (!DescribesSlope(diffBand, score))
                    continue;
                if (score.err < best &&
                    (score.maxDev <= 12.0 + kLimitSlackDb || score.maxWDev <= 6.0)) {
                    best = score.err;
                    highPassCorner = f0;
                    highPassQ = q;
                } else if (score.err < fallbackBest) {
                    fallbackBest = score.err;
                    fallbackCorner = f0;
                    fallbackQ = q;
                }
            }
        }
    }
    if (best == kNone) {
        highPassCorner = fallbackCorner;
        highPassQ = fallbackQ;
    }
}
