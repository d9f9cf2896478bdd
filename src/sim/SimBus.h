#pragma once
// Simulated subwoofers on a simulated bus, behind the same transport interface as real USB.
// Several devices may be present at once; each opened device gets an interrupt IN and OUT pipe.

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "sim/SimFirmware.h"
#include "sublink/UsbTransport.h"
#include "threading/Clock.h"

namespace Sim {

// One simulated subwoofer: its firmware and the pipes' state, locked together.
class SimDevice {
public:
    explicit SimDevice(SimOptions options = {});

    // Runs f on the firmware under the device's lock.
    template <class F>
    auto With(F f) {
        std::lock_guard<std::mutex> g(lock_);
        return f(firmware_);
    }
    // Pulls the plug now.
    void Unplug();
    // While held, answers stay queued in the device, so that several leave in one packet.
    void HoldOutput(bool hold);

private:
    friend class SimBackend;
    std::mutex lock_;
    std::condition_variable output_;
    SimFirmware firmware_;
    bool claimed_ = false;
    bool cancel_ = false;
    bool hold_ = false;
};

class SimBus final : public CUsbController::IUsbBus {
public:
    // Pipe reads wait on `pipeClock` for at most the pipe time-out. They are woken by data, by a
    // cancel and by an unplug, so with the real clock a reader never lingers.
    explicit SimBus(Threading::IClock& pipeClock = Threading::RealClock::Instance());

    std::shared_ptr<SimDevice> Add(SimOptions options = {});
    void Add(std::shared_ptr<SimDevice> device);
    const std::vector<std::shared_ptr<SimDevice>>& Devices() const { return devices_; }

    CUsbController::UsbStatus EnumInterface(unsigned index) override;
    CUsbController::UsbStatus InterfacePath(unsigned index, std::wstring& path) override;
    std::unique_ptr<CUsbController::IUsbDeviceBackend> CreateBackend() override;

private:
    friend class SimBackend;
    std::shared_ptr<SimDevice> Present(unsigned index);
    std::shared_ptr<SimDevice> ByPath(const std::wstring& path);

    Threading::IClock& pipeClock_;
    std::mutex lock_;
    std::vector<std::shared_ptr<SimDevice>> devices_;
};

}  // namespace Sim
