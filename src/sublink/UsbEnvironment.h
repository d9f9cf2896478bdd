#pragma once
// What a command channel is built on: where its devices are, the clock of its waits and where
// its traffic is traced. Each program builds one in its composition root and passes it down.

#include <functional>
#include <memory>
#include <string>

#include "sublink/UsbTransport.h"
#include "threading/Clock.h"

namespace CUsbController {

// Receives one line per command sent ("usb> TEXT"), reply line received ("usb< TEXT") and
// control request ("usb ctl 0xNNNN"), from the channel's threads.
using UsbTraceSink = std::function<void(const std::string& line)>;

struct UsbEnvironment {
    std::shared_ptr<IUsbBus> bus;        // null: a bus without devices
    Threading::IClock* clock = nullptr;  // null: the real clock; must outlive the channels
    UsbTraceSink trace;                  // empty: not traced
};

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
