#pragma once
// The target part of the Calculate step: the averaged measurement, the target curve, the fit
// band and the level the fit places the target at.

#include <cstdint>
#include <memory>
#include <optional>

#include "correction/HouseCurve.h"
#include "correction/Target.h"

// Every measurement present, every axis value and level finite, and at least one point above
// the zero level: anything else (a silent or corrupt document) would fit an equaliser to nothing.
bool HasUsableLevels(const TargetCurveList& measurements);

// The target settings the build starts from.
struct TargetRequest {
    int32_t minEqFreq = 20;
    int32_t hpFreq = 20;
    int32_t hpOrder = 0;    // SLOPE_ORDER
    int32_t crossover = 0;  // 0 or less: detected
    bool detectCrossover = false;
    HouseSettings house;  // shapes the target before its level is chosen
};

struct BuiltTarget {
    CurvePtr average;
    std::shared_ptr<CTargetCurve> target;
    double levelDb = 0.0;  // the level the fit places the target at
    int32_t crossover = 0;
    double fitLower = 0.0;
    double fitUpper = 0.0;
};

// The average of the measurements and the target evaluated on its axis; none when there are no
// measurements.
std::optional<BuiltTarget> BuildTargetCurves(const TargetCurveList& measurements,
                                             const TargetRequest& request);
