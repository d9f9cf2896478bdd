#pragma once
// What an impulse extraction needs from the microphone side: the spectrum of the test sweep the
// capture is deconvolved with, and the microphone correction applied to each response.

#include <memory>
#include <utility>

#include "measure/Curve.h"

namespace AudioSampler {

class CorrectionParam {
public:
    // reference: the spectrum of the test sweep; null analyses the capture without deconvolution.
    explicit CorrectionParam(CurvePtr reference = nullptr) : reference_(std::move(reference)) {}
    CorrectionParam(const CorrectionParam&) = delete;
    CorrectionParam& operator=(const CorrectionParam&) = delete;
    virtual ~CorrectionParam() = default;

    const CurvePtr& Reference() const noexcept { return reference_; }

    // Applies the microphone correction to a measured response, in place.
    virtual void Apply(CCurve& response) = 0;

private:
    CurvePtr reference_;
};

// For a microphone without calibration data: responses stay as measured.
class NoMicrophoneCorrection final : public CorrectionParam {
public:
    using CorrectionParam::CorrectionParam;
    void Apply(CCurve&) override {}
};

}  // namespace AudioSampler
