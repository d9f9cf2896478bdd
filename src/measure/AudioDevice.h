#pragma once
// The device interface shared by the recording device and the subwoofer's play device, and the
// recording device itself.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "measure/AudioCapture.h"
#include "measure/AudioRec.h"
#include "measure/Curve.h"
#include "threading/Clock.h"

namespace AudioSampler {

inline constexpr const wchar_t* kNoErrorText = L"No error.";

// Every operation returns a success flag; on failure the text for the user is in LastError().
class IDevice {
public:
    virtual ~IDevice() = default;
    virtual bool Open() = 0;
    virtual bool Start() = 0;
    virtual bool Stop() = 0;
    virtual bool Finish() { return true; }
    // The device's curve: the captured time curve, or the play device's sweep spectrum.
    virtual bool Result(CurvePtr& curve) = 0;
    virtual std::wstring LastError() const { return lastError_; }
    virtual void SetLastError(const std::wstring& text) { lastError_ = text; }

private:
    std::wstring lastError_;
};

// A device that plays the test sweep; its result is the sweep's reference spectrum.
class IPlayDevice : public IDevice {
public:
    bool Result(CurvePtr& curve) override {
        curve = reference_;
        return true;
    }
    const CurvePtr& Reference() const noexcept { return reference_; }

protected:
    void SetReference(CurvePtr reference) { reference_ = std::move(reference); }

private:
    CurvePtr reference_;
};

// Records the measurement microphone into a SyncCap.
class WaveReccordDevice final : public IDevice {
public:
    // The enumerator is created at the first Open (none: no recording device is found); the
    // clock times WaitForCapture.
    WaveReccordDevice(Threading::IClock& clock, EnumeratorFactory factory);
    ~WaveReccordDevice() override;

    bool Open() override;
    bool Start() override;
    bool Stop() override;
    bool Finish() override { return Stop(); }
    // The captured Time curve (196608 samples at 48000 Hz); false with no curve when the capture
    // did not fill in time.
    bool Result(CurvePtr& curve) override;

    // The names a device is chosen by (a device whose name contains one of them); the
    // microphone tokens unless set before the first Open.
    void SetAcceptedNames(std::vector<std::wstring> names) { accepted_ = std::move(names); }

    // 0 .. 65535; remembered until a recorder exists.
    void SetInputLevel(std::int32_t level);
    // The samples of the last successful Result (shared with the curve's source).
    const SampleBuffer& Samples() const noexcept { return samples_; }
    const std::shared_ptr<SyncCap>& Sink() const noexcept { return sink_; }
    const std::shared_ptr<AudioRec>& Recorder() const noexcept { return recorder_; }
    // The name of the matched device, once opened.
    const std::wstring& DeviceName() const noexcept { return deviceName_; }

private:
    Threading::IClock& clock_;
    EnumeratorFactory factory_;
    std::shared_ptr<SyncCap> sink_;
    std::shared_ptr<AudioRec> recorder_;
    std::optional<std::int32_t> level_;
    SampleBuffer samples_;
    std::wstring deviceName_;
    std::vector<std::wstring> accepted_;
};

}  // namespace AudioSampler
