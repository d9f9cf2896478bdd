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
    // It is only read, so one reference may serve several measurements at once.
    explicit CorrectionParam(std::shared_ptr<const CCurve> reference = nullptr)
        : reference_(std::move(reference)) {}
    CorrectionParam(const CorrectionParam&) = delete;
    CorrectionParam& operator=(const CorrectionParam&) = delete;
    virtual ~CorrectionParam() = default;

    const std::shared_ptr<const CCurve>& Reference() const noexcept { return reference_; }

    // Applies the microphone correction to a measured response, in place. The correction itself
    // is only read: several threads may apply one correction to their own responses.
    virtual void Apply(CCurve& response) const = 0;

private:
    std::shared_ptr<const CCurve> reference_;
};

// For a microphone without calibration data: responses stay as measured.
class NoMicrophoneCorrection final : public CorrectionParam {
public:
    using CorrectionParam::CorrectionParam;
    void Apply(CCurve&) const override {}
};

}  // namespace AudioSampler
