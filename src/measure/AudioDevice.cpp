#include "measure/AudioDevice.h"

#include <exception>

#include "threading/Errors.h"

namespace AudioSampler {

WaveReccordDevice::WaveReccordDevice(Threading::IClock& clock, EnumeratorFactory factory)
    : clock_(clock), factory_(std::move(factory)), sink_(std::make_shared<SyncCap>()) {}

WaveReccordDevice::~WaveReccordDevice() {
    if (recorder_) {
        try {
            recorder_->Stop();
        } catch (...) {  // nothing to report to at destruction
        }
    }
}

bool WaveReccordDevice::Open() {
    try {
        if (!recorder_) {
            if (!factory_)
                throw tsl::wruntime_error(EnumerationFailedText(ErrorText(kAudioGenericFailure)));
            EnumeratorPtr enumerator = factory_();
            if (!enumerator)
                throw tsl::wruntime_error(EnumerationFailedText(ErrorText(kAudioGenericFailure)));
            deviceName_ =
                enumerator->FindDevice(accepted_.empty() ? RecordingDeviceTokens() : accepted_);
            std::shared_ptr<AudioRec> recorder = enumerator->OpenRecorder();
            if (!recorder)
                throw tsl::wruntime_error(DeviceNotAvailableText(deviceName_));
            if (level_)
                recorder->SetInputLevel(*level_);
            recorder_ = std::move(recorder);
        }
        SetLastError(kNoErrorText);
        return true;
    } catch (const std::exception& e) {
        SetLastError(tsl::ExceptionText(e));
        return false;
    }
}

bool WaveReccordDevice::Start() {
    if (!recorder_) {
        SetLastError(StartStreamingFailedText(deviceName_));
        return false;
    }
    try {
        sink_->Arm();
        recorder_->Start(sink_);
        return true;
    } catch (const std::exception& e) {
        SetLastError(tsl::ExceptionText(e));
        return false;
    }
}

bool WaveReccordDevice::Stop() {
    try {
        if (recorder_)
            recorder_->Stop();
        SetLastError(kNoErrorText);
        return true;
    } catch (const std::exception& e) {
        SetLastError(tsl::ExceptionText(e));
        return false;
    }
}

bool WaveReccordDevice::Result(CurvePtr& curve) {
    curve = nullptr;
    samples_ = WaitForCapture(*sink_, clock_);
    if (!samples_) {
        // A capture thread that failed says why; otherwise the capture simply never filled.
        std::wstring why = recorder_ ? recorder_->CaptureError() : std::wstring{};
        SetLastError(why.empty() ? std::wstring(kCaptureConnectionText) : why);
        return false;
    }
    curve = FromSamples(samples_->data(), sink_->Target(), 48000.0);
    if (!curve) {
        SetLastError(kCaptureConnectionText);
        return false;
    }
    return true;
}

void WaveReccordDevice::SetInputLevel(std::int32_t level) {
    level_ = level;
    if (recorder_)
        recorder_->SetInputLevel(level);
}

}  // namespace AudioSampler
