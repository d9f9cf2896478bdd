#include "export/CurveExport.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "document/DocData.h"
#include "threading/Errors.h"

namespace Exporting {

namespace {

constexpr size_t kAverage = 0, kTarget = 1, kCalculated = 2;

CurvePtr ResultAt(const DocData& data, size_t index) {
    return index < data.results.size() ? data.results[index] : nullptr;
}

}  // namespace

std::optional<CurveSelection> ParseCurveSelection(std::string_view text) {
    if (text == "average")
        return CurveSelection{CurveChoice::Average};
    if (text == "target")
        return CurveSelection{CurveChoice::Target};
    if (text == "calculated")
        return CurveSelection{CurveChoice::Calculated};
    constexpr std::string_view kPosition = "position=";
    if (!text.starts_with(kPosition))
        return std::nullopt;
    text.remove_prefix(kPosition.size());
    int n = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
    if (ec != std::errc() || end != text.data() + text.size() || n < 1)
        return std::nullopt;
    return CurveSelection{CurveChoice::Position, n};
}

std::wstring CurveLabel(const CurveSelection& selection) {
    switch (selection.which) {
        case CurveChoice::Average:
            return L"Measured average";
        case CurveChoice::Target:
            return L"Target";
        case CurveChoice::Calculated:
            return L"Calculated";
        case CurveChoice::Position:
            break;
    }
    return L"Position " + std::to_wstring(selection.position);
}

std::vector<CurveSelection> AvailableCurves(const DocData& data) {
    std::vector<CurveSelection> out;
    const CurveChoice results[] = {CurveChoice::Average, CurveChoice::Target,
                                   CurveChoice::Calculated};
    for (size_t i = 0; i < 3; ++i)
        if (ResultAt(data, i))
            out.push_back({results[i]});
    for (size_t p = 0; p < data.measurements.size(); ++p)
        if (data.measurements[p])
            out.push_back({CurveChoice::Position, static_cast<int>(p + 1)});
    return out;
}

CurvePtr SelectCurve(const DocData& data, const CurveSelection& selection) {
    CurvePtr curve;
    switch (selection.which) {
        case CurveChoice::Average:
            curve = ResultAt(data, kAverage);
            break;
        case CurveChoice::Target:
            curve = ResultAt(data, kTarget);
            break;
        case CurveChoice::Calculated:
            curve = ResultAt(data, kCalculated);
            break;
        case CurveChoice::Position:
            if (selection.position >= 1 &&
                static_cast<size_t>(selection.position) <= data.measurements.size())
                curve = data.measurements[static_cast<size_t>(selection.position - 1)];
            if (!curve)
                throw tsl::wruntime_error(L"The document has no position " +
                                          std::to_wstring(selection.position) + L"; it holds " +
                                          std::to_wstring(data.measurements.size()) + L".");
            return curve;
    }
    if (!curve)
        throw tsl::wruntime_error(L"The document has no " + CurveLabel(selection) +
                                  L" curve; run Measure and Calculate first.");
    return curve;
}

std::string CurveText(const CCurve& curve, const std::vector<std::wstring>& header) {
    std::string out;
    for (const std::wstring& line : header)
        out += "* " + tsl::ToUtf8(line) + "\n";
    char row[96];
    for (int i = 0; i < curve.Count(); ++i) {
        double phase = PhaseAt(curve, i) * 180.0 / std::numbers::pi;
        phase = std::remainder(phase, 360.0);
        std::snprintf(row, sizeof row, "%.6g %.3f %.2f\n", curve.X()[i], LevelDbAt(curve, i),
                      phase);
        out += row;
    }
    return out;
}

std::string MeasurementText(const DocData& data, const CurveSelection& selection) {
    const CurvePtr curve = SelectCurve(data, selection);
    if (curve->Kind() != AxisKind::Frequency)
        throw tsl::wruntime_error(L"The " + CurveLabel(selection) +
                                  L" curve is not a frequency response.");
    return CurveText(*curve,
                     {L"Tessaline measurement export", L"Subwoofer: " + data.name,
                      L"Curve: " + CurveLabel(selection), L"Frequency(Hz) Level(dB) Phase(deg)"});
}

}  // namespace Exporting
