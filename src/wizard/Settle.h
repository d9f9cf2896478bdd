#pragma once
// How far the positions measured so far pin down their power average: per point of the fit
// band, the standard error of the mean power (from the positions' spread) as a level in dB, its
// largest value and the texts that report it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "measure/Curve.h"

// The band the estimate covers before a fit band is known (the comparison band's defaults).
inline constexpr double kSettleBandLowHz = 25.0;
inline constexpr double kSettleBandHighHz = 250.0;
// The largest standard error at which the average counts as settled.
inline constexpr double kDefaultSettleDb = 1.0;

struct SettleEstimate {
    int32_t positions = 0;
    double lowHz = kSettleBandLowHz, highHz = kSettleBandHighHz;
    std::vector<double> frequencyHz;  // the band's points of the first position's axis
    std::vector<double> errorDb;      // 10 log10(1 + standard error / mean power) at each
    double largestDb = 0.0;
    double largestHz = 0.0;
    double thresholdDb = kDefaultSettleDb;
    bool Settled() const { return largestDb <= thresholdDb; }
};

// The estimate over lowHz..highHz, on the first position's axis (the others resampled onto it);
// none with fewer than two positions, a null one, or no point with power in the band.
std::optional<SettleEstimate> EstimateSettle(const std::vector<CurvePtr>& positions,
                                             double lowHz = kSettleBandLowHz,
                                             double highHz = kSettleBandHighHz,
                                             double thresholdDb = kDefaultSettleDb);

// "Average settled: ±0.4 dB (25–250 Hz)" when settled, else "Another position could still move
// the average by up to 1.8 dB near 45 Hz".
std::wstring SettleText(const SettleEstimate& estimate);
