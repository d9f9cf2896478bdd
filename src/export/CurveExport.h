#pragma once
// A document's curves as text that room-acoustics tools import: a header of '*' comment lines,
// then "frequency level_dB phase_deg" per line.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "measure/Curve.h"

struct DocData;

namespace Exporting {

enum class CurveChoice { Average, Target, Calculated, Position };

struct CurveSelection {
    CurveChoice which = CurveChoice::Average;
    int position = 0;  // 1-based, with Position
};

// "average", "target", "calculated" or "position=N" (N from 1); nothing for anything else.
std::optional<CurveSelection> ParseCurveSelection(std::string_view text);
// "Measured average", "Target", "Calculated", "Position N".
std::wstring CurveLabel(const CurveSelection& selection);
// The selections the document holds curves for, in that order.
std::vector<CurveSelection> AvailableCurves(const DocData& data);

// The chosen curve; raises tsl::wruntime_error saying what the document lacks.
CurvePtr SelectCurve(const DocData& data, const CurveSelection& selection);

// One line per point: frequency (6 significant digits), level in dB (3 decimals) and phase in
// degrees (2 decimals, -180 .. 180), each header line prefixed with "* ".
std::string CurveText(const CCurve& curve, const std::vector<std::wstring>& header);
// The selected curve of the document with a header naming the subwoofer and the curve.
std::string MeasurementText(const DocData& data, const CurveSelection& selection);

}  // namespace Exporting
