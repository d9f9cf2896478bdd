#pragma once
// Target curves: the ideal band-pass response the equaliser pulls the measurement towards, and
// the detections that choose its crossover and high-pass from the measurement.

#include <cstdint>
#include <memory>
#include <numbers>
#include <vector>

#include "correction/TargetBiquad.h"
#include "correction/TargetCrossoverFreqs.h"
#include "correction/TargetSlope.h"
#include "measure/Curve.h"

using TargetCurveList = std::vector<CurvePtr>;

// A target response on the measurement's axis with the fit band taken from its target.
class CTargetCurve : public CCurve {
public:
    CTargetCurve() = default;
    explicit CTargetCurve(const CCurve& measured) : CCurve(measured) {}

    double minFit = 0.0;
    double maxFit = 0.0;
};

class CBaseTarget {
public:
    CBaseTarget(int32_t minEqFreq, int32_t hpFreq, int32_t hpOrder)
        : minEqFrequency(minEqFreq), highPassFrequency(hpFreq), highPassOrder(hpOrder) {}
    virtual ~CBaseTarget() = default;

    // How much a must be raised to sit at b's level around the pass band.
    virtual double LevelGain(CCurve& a, CCurve& b) = 0;
    // Replaces the curve's values by the target response on its axis (truncated at Nyquist).
    virtual void Evaluate(CCurve& curve) = 0;
    virtual void SetCrossover(int32_t f) {
        crossover = f;
        crossoverHz = f;
    }
    // Chooses, sets and returns the crossover.
    virtual int32_t DetectCrossover(TargetCurveList& curves, SubCrossoverFreqs& cursor) = 0;
    // Chooses and sets the "Auto" high-pass corner and Q.
    virtual void DetectHighPass(TargetCurveList& curves) = 0;
    virtual double MinFitFrequency() const = 0;
    virtual double MaxFitFrequency() const = 0;
    virtual void SetFitCeiling(double v) = 0;

    int32_t sampleRate = 48000;
    int32_t crossover = 80;
    double crossoverHz = 80.0;
    int32_t minEqFrequency;
    int32_t highPassFrequency;
    int32_t highPassOrder;
    double highPassCorner = 20.0;
    double highPassQ = 1.0 / std::numbers::sqrt2;
    double fitCeiling = 500.0;
    int32_t crossoverSearchLow = 160;
    int32_t crossoverSearchHigh = 250;
};

class CSubwooferTarget : public CBaseTarget {
public:
    using CBaseTarget::CBaseTarget;

    double LevelGain(CCurve& a, CCurve& b) override;
    void Evaluate(CCurve& curve) override;
    int32_t DetectCrossover(TargetCurveList& curves, SubCrossoverFreqs& cursor) override;
    void DetectHighPass(TargetCurveList& curves) override;
    double MinFitFrequency() const override;
    double MaxFitFrequency() const override;
    void SetFitCeiling(double v) override;
};

// The factor that raises a to b's level, weighting a's loud points over lo <= f < hi.
// Not a number when no point of b lies in the band.
double CurveLevelGain(CCurve& a, CCurve& b, double lo, double hi);
