#pragma once
// Helpers shared by the curve implementation files; not part of the curve API.

#include <memory>

#include "measure/Curve.h"

namespace curve_detail {

// source resampled onto target's axis, or nullptr when both axes are equal (use source itself).
std::shared_ptr<CCurve> Resample(CCurve& source, const CCurve& target);

// The resampled curve if there is one, otherwise the source.
inline CCurve& ResampledOrSelf(const std::shared_ptr<CCurve>& resampled, CCurve& source) {
    return resampled ? *resampled : source;
}

// A curve of n points whose values are left unset, for a caller that fills every point.
std::shared_ptr<CCurve> UnfilledCurve(int n, AxisKind kind, DataFormat format);

// What Fft returns for n time samples spaced dt: re and im (null for zeros) are the samples.
// nullptr under the same conditions as Fft.
std::shared_ptr<CCurve> SpectrumOf(const double* re, const double* im, int n, double dt);

}  // namespace curve_detail
