#pragma once
// The play device of the measurement: the subwoofer generates the test sweep itself when told
// to over USB, so "playback" is a tone command on the subwoofer's command channel. The device
// also hands out the reference spectrum of that sweep for the deconvolution.

#include <chrono>
#include <memory>

#include "measure/AudioDevice.h"
#include "sublink/UsbProgrammer.h"

namespace CUsbController {

class UsbSubPlayDevice final : public AudioSampler::IPlayDevice {
public:
    static constexpr std::chrono::milliseconds kOpenSettle{4000};
    static constexpr std::chrono::milliseconds kToneSettle{1100};
    static constexpr std::chrono::milliseconds kSlowModelSettle{3000};
    static constexpr std::chrono::milliseconds kStopPause{10};
    static constexpr std::chrono::milliseconds kStopRetryPause{500};

    // quickMode selects the tone command ("t2" on, "t3" off). The channel uses the bus and
    // clock given, or the program's defaults.
    UsbSubPlayDevice(bool quickMode, UsbEnvironment environment);
    UsbSubPlayDevice(bool quickMode, std::shared_ptr<IUsbBus> bus, Threading::IClock* clock);
    ~UsbSubPlayDevice() override = default;

    bool Open() override;
    bool Start() override;
    bool Stop() override;
    bool Finish() override { return Stop(); }

    bool QuickMode() const { return quickMode_ != 0; }
    CUsbProgrammer& Channel() { return channel_; }

private:
    int32_t quickMode_;
    CUsbProgrammer channel_;
};

}  // namespace CUsbController
