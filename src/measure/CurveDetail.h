#pragma once
// Helpers shared by the curve implementation files; not part of the curve API.

#include <memory>

#include "measure/Curve.h"

namespace curve_detail {

// source resampled onto target's axis (magnitude/phase), or nullptr when both axes are equal
// (use source itself).
std::shared_ptr<CCurve> Resample(const CCurve& source, const CCurve& target);

// curve in format: the curve itself when it already is, otherwise a converted copy kept in hold.
const CCurve& InFormat(const CCurve& curve, DataFormat format, std::shared_ptr<CCurve>& hold);

// b in magnitude/phase on target's axis: b itself when it already is, otherwise a converted or
// resampled copy kept in hold.
const CCurve& MagPhaseOn(const CCurve& b, const CCurve& target, std::shared_ptr<CCurve>& hold);

// A curve of n points whose values are left unset, for a caller that fills every point.
std::shared_ptr<CCurve> UnfilledCurve(int n, AxisKind kind, DataFormat format);

// What Fft returns for n time samples spaced dt: re and im (null for zeros) are the samples.
// nullptr under the same conditions as Fft.
std::shared_ptr<CCurve> SpectrumOf(const double* re, const double* im, int n, double dt);

}  // namespace curve_detail
