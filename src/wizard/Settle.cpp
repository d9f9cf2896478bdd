#include "wizard/Settle.h"

#include <cmath>
#include <cstdio>

namespace {

std::wstring Fixed1(double value) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%.1f", value);
    return text;
}

std::wstring Hertz(double value) {
    return std::to_wstring(std::lround(value));
}

}  // namespace

std::optional<SettleEstimate> EstimateSettle(const std::vector<CurvePtr>& positions, double lowHz,
                                             double highHz, double thresholdDb) {
    if (positions.size() < 2)
        return std::nullopt;
    for (const CurvePtr& p : positions)
        if (!p)
            return std::nullopt;
    const CCurve& axis = *positions.front();
    std::vector<CurvePtr> onAxis;
    for (const CurvePtr& p : positions)
        onAxis.push_back(ResampleTo(p, axis));

    SettleEstimate estimate;
    estimate.positions = static_cast<int32_t>(positions.size());
    estimate.lowHz = lowHz;
    estimate.highHz = highHz;
    estimate.thresholdDb = thresholdDb;
    const double n = static_cast<double>(positions.size());
    std::vector<double> power(positions.size());
    for (int i = 0; i < axis.Count(); ++i) {
        const double f = axis.X()[i];
        if (!(f >= lowHz && f <= highHz))
            continue;
        double mean = 0.0;
        for (size_t k = 0; k < onAxis.size(); ++k) {
            const double m = MagnitudeAt(*onAxis[k], i);
            power[k] = m * m;
            mean += power[k] / n;
        }
        if (!(mean > 0.0) || !std::isfinite(mean))
            continue;
        double squares = 0.0;
        for (double p : power)
            squares += (p - mean) * (p - mean);
        const double standardError = std::sqrt(squares / (n - 1.0) / n);
        const double db = 10.0 * std::log10(1.0 + standardError / mean);
        estimate.frequencyHz.push_back(f);
        estimate.errorDb.push_back(db);
        if (estimate.errorDb.size() == 1 || db > estimate.largestDb) {
            estimate.largestDb = db;
            estimate.largestHz = f;
        }
    }
    if (estimate.errorDb.empty())
        return std::nullopt;
    return estimate;
}

std::wstring SettleText(const SettleEstimate& estimate) {
    if (estimate.Settled())
        return L"Average settled: \u00b1" + Fixed1(estimate.largestDb) + L" dB (" +
               Hertz(estimate.lowHz) + L"\u2013" + Hertz(estimate.highHz) + L" Hz)";
    return L"Another position could still move the average by up to " + Fixed1(estimate.largestDb) +
           L" dB near " + Hertz(estimate.largestHz) + L" Hz";
}
