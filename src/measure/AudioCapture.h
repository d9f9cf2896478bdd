#pragma once
// Capture sinks: what a recorder streams samples into. SyncCap fills one buffer of three sweep
// periods and wakes the measurement thread waiting in WaitForCapture.

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "measure/AudioFormat.h"
#include "threading/Clock.h"

namespace AudioSampler {

// Result codes of the sink and the recorders (the platform's 32-bit result values).
using AudioResult = std::uint32_t;
inline constexpr AudioResult kAudioOk = 0;
inline constexpr AudioResult kAudioUnsupportedFormat = 0x88890008u;
inline constexpr AudioResult kAudioGenericFailure = 0x80004005u;

// Three periods of the 65536-sample test sweep.
inline constexpr std::int32_t kCaptureSamples = 3 * 65536;

using SampleBuffer = std::shared_ptr<std::vector<double>>;

class BaseAudioCap {
public:
    virtual ~BaseAudioCap() = default;
    virtual CaptureFormatPtr Format() const = 0;
    // Stores up to the samples still wanted; done becomes true when the sink is full.
    virtual AudioResult DeliverDoubles(const double* values, std::int32_t count, bool& done) = 0;
    // Frames of the sink's format; only the first channel is kept, as sample / 65536.
    virtual AudioResult DeliverSamples(const std::int16_t* values, std::int32_t frames,
                                       bool& done) = 0;
    virtual void Reset() = 0;
    // Called by the recorder before streaming starts.
    virtual void Arm() {}
    // Called by the recorder when its stream ends by itself (the device failed or was lost),
    // with the text of the failure; any thread.
    virtual void Ended(const std::wstring& /*text*/) {}
};

class SyncCap final : public BaseAudioCap {
public:
    explicit SyncCap(std::int32_t target = kCaptureSamples,
                     CaptureFormatPtr format = MakeCaptureFormat());

    CaptureFormatPtr Format() const override { return format_; }
    AudioResult DeliverDoubles(const double* values, std::int32_t count, bool& done) override;
    AudioResult DeliverSamples(const std::int16_t* values, std::int32_t frames,
                               bool& done) override;
    // Position and target become 0 and the buffer is cleared (a held capture is left alone).
    void Reset() override;
    // Position 0, both events cleared. A buffer still held by an earlier capture is left to its
    // holder and a fresh one is filled.
    void Arm() override;

    // Gives up a wait in progress (and the next one, until armed again).
    void Abort();
    void Ended(const std::wstring&) override { Abort(); }

    std::int32_t Position() const;
    std::int32_t Target() const;
    // Waits through the clock for the full or the abort event for `timeout` (up to twice that
    // while deliveries continue); the buffer when full, null on abort or time-out.
    SampleBuffer Wait(Threading::IClock& clock, Threading::IClock::Duration timeout);

private:
    AudioResult Store(std::int32_t count, bool& done, const double* values,
                      const std::int16_t* samples, int stride);

    CaptureFormatPtr format_;
    mutable std::mutex lock_;
    std::condition_variable signal_;
    SampleBuffer buffer_;
    std::int32_t position_ = 0;
    std::int32_t target_;
    bool full_ = false;
    bool aborted_ = false;
};

// Waits for target * 1500 / 48000 ms (1.5 times the capture's duration), or up to twice that
// while samples are still arriving; the filled buffer, or null on abort or time-out.
SampleBuffer WaitForCapture(SyncCap& sink,
                            Threading::IClock& clock = Threading::RealClock::Instance());

}  // namespace AudioSampler
