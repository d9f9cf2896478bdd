#pragma once
// Where a freshly built command channel finds its devices and its clock. The program sets the
// bus once at start-up (real USB or a simulation); tests pass their own to the channel.

#include <memory>

#include "sublink/UsbTransport.h"
#include "threading/Clock.h"

namespace CUsbController {

// The bus new channels use; a bus without devices until one is set.
std::shared_ptr<IUsbBus> DefaultUsbBus();
void SetDefaultUsbBus(std::shared_ptr<IUsbBus> bus);

// The clock new channels use; the real clock until one is set. The clock must outlive them.
Threading::IClock& DefaultUsbClock();
void SetDefaultUsbClock(Threading::IClock* clock);

// A bus with no devices.
class EmptyUsbBus final : public IUsbBus {
public:
    UsbStatus EnumInterface(unsigned) override { return UsbStatus::Fail(UsbError::NoMoreItems); }
    UsbStatus InterfacePath(unsigned, std::wstring&) override {
        return UsbStatus::Fail(UsbError::NoMoreItems);
    }
    std::unique_ptr<IUsbDeviceBackend> CreateBackend() override { return nullptr; }
};

}  // namespace CUsbController
