#include "correction/Target.h"

#include <algorithm>
#include <cmath>

double CurveLevelGain(CCurve& a, CCurve& b, double lo, double hi) {
    // A non-owning handle: the resampler hands a itself back when the axes already agree.
    const CurvePtr source(CurvePtr{}, &a);
    const CurvePtr p = ResampleTo(source, b);
    ToDbPhase(b);
    ToDbPhase(*p);
    const double top = BandMax(*p, lo, hi).first;
    const int n = std::min(b.Count(), p->Count());
    const double* f = b.X();
    const double* bDb = b.First();
    const double* pDb = p->First();
    double s1 = 0.0, s2 = 0.0;
    for (int i = 0; i < n; ++i) {
        if (f[i] >= lo && f[i] < hi) {
            const double w = std::sqrt(std::pow(10.0, (pDb[i] - top) / 20.0));
            s1 += w;
            s2 += w * (pDb[i] - bDb[i]);
        }
    }
    return std::pow(10.0, -(s2 / s1) / 20.0);
}

double CSubwooferTarget::LevelGain(CCurve& a, CCurve& b) {
    return CurveLevelGain(a, b, std::max(highPassCorner / 2.0, 15.0), 2.0 * crossover);
}

void CSubwooferTarget::Evaluate(CCurve& t) {
    const double nyquist = sampleRate / 2.0;
    int n = 0;
    while (n < t.Count() && t.X()[n] <= nyquist)
        ++n;
    Resize(t, n);
    CCurve w(n, AxisKind::Frequency, DataFormat::Cartesian);
    std::copy(t.X(), t.X() + n, w.X());

    double gain = 1.0;
    if (highPassOrder == SLOPE_AUTO) {
        const Biquad h =
            DesignSecondOrder(BiquadKind::HighPass, highPassCorner, highPassQ, sampleRate);
        BiquadResponse(h, sampleRate, t);
        Multiply(t, t);
        const double pass = BiquadMagnitude(h, nyquist, sampleRate);
        gain = pass * pass;
    } else if (highPassOrder >= SLOPE_1ST) {
        ButterworthHighPassDb(highPassFrequency, highPassOrder - 1, t);
    } else {
        // "Flat", and any order value below the table: unity wherever the measurement has level.
        Divide(t, t);
    }

    const Biquad l =
        DesignSecondOrder(BiquadKind::LowPass, crossoverHz, 1.0 / std::numbers::sqrt2, sampleRate);
    BiquadResponse(l, sampleRate, w);
    Multiply(w, w);
    Multiply(t, w);
    const double dc = BiquadMagnitude(l, 0.0, sampleRate);
    gain *= dc * dc;

    ToMagPhase(t);
    Scale(t, 1.0 / gain, 0.0);
    double peak = 0.0;
    for (int i = 0; i < t.Count(); ++i)
        peak = std::max(peak, t.First()[i]);
    // An all-zero response has no peak to normalise to.
    if (peak > 0.0 && std::isfinite(peak))
        Scale(t, 1.0 / peak, 0.0);
}

double CSubwooferTarget::MinFitFrequency() const {
    const double floor = 15.0 * std::numbers::sqrt2;
    if (highPassOrder == SLOPE_AUTO)
        return std::max(highPassCorner / 2.0, floor);
    return std::max(static_cast<double>(minEqFrequency), floor);
}

double CSubwooferTarget::MaxFitFrequency() const {
    return std::min(3.0 * crossover, fitCeiling);
}

void CSubwooferTarget::SetFitCeiling(double v) {
    fitCeiling = std::min(v, 20000.0);
}
