#pragma once
// The microphone correction built from a calibration curve, and its application to responses.
// A correction is never changed once built, so one may be applied from several threads at once.

#include <cstdint>
#include <filesystem>
#include <memory>

#include "measure/CorrectionParam.h"
#include "measure/Curve.h"

class CCurveCorrectionManager {
public:
    using ConstCurve = std::shared_ptr<const CCurve>;

    CCurveCorrectionManager(int32_t mode, ConstCurve raw, ConstCurve correction)
        : mode_(mode), raw_(std::move(raw)), correction_(std::move(correction)) {}

    int32_t Mode() const noexcept { return mode_; }          // calibration file version
    const ConstCurve& Raw() const noexcept { return raw_; }  // the calibration as read
    const ConstCurve& Correction() const noexcept { return correction_; }

private:
    int32_t mode_;
    ConstCurve raw_;
    ConstCurve correction_;
};

using CorrectionManagerPtr = std::shared_ptr<CCurveCorrectionManager>;

// The correction measurements are divided by; null for a version other than 1, 2 or 3.
CorrectionManagerPtr MakeCorrection(const CCurve& calibration, int32_t version);

// The correction of a plain-text calibration (mode 0): the curve, filled in where its lines are
// sparse (level and phase on straight lines over log frequency), smoothed as the others.
inline constexpr int32_t kTextCalibrationMode = 0;
CorrectionManagerPtr MakeTextCorrection(const CCurve& calibration);

// Divides the response by the correction. The response ends on the correction's axis, except
// for a text calibration: its correction is resampled onto the response's axis (over log
// frequency, the end values held beyond its ends), which the response keeps.
void ApplyCorrection(const CCurveCorrectionManager& manager, CCurve& response);

namespace AudioSampler {

class CorManCorrection final : public CorrectionParam {
public:
    CorManCorrection(std::shared_ptr<const CCurve> reference, CorrectionManagerPtr manager)
        : CorrectionParam(std::move(reference)), manager_(std::move(manager)) {}

    const CorrectionManagerPtr& Manager() const noexcept { return manager_; }
    void Apply(CCurve& response) const override {
        if (manager_)
            ApplyCorrection(*manager_, response);
    }

private:
    CorrectionManagerPtr manager_;
};

// The correction of the calibration file at `path` for a response measured with the sweep
// whose spectrum is `reference`. Raises tsl::wruntime_error with the calibration texts, and
// "Invalid calibration file version" for a file the correction cannot be built from.
std::shared_ptr<CorrectionParam> LoadCorrectionFile(const std::filesystem::path& path,
                                                    int32_t unitSerial,
                                                    std::shared_ptr<const CCurve> reference);

}  // namespace AudioSampler
