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

}  // namespace curve_detail
