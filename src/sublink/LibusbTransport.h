#pragma once
// The USB transport on libusb-1.0. The subwoofer's interface class is a host-driver notion, so
// devices are chosen by a configured list of vendor:product ids instead.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sublink/UsbIds.h"
#include "sublink/UsbTransport.h"

namespace CUsbController {

class LibusbBus final : public IUsbBus {
public:
    explicit LibusbBus(std::vector<UsbId> ids);
    ~LibusbBus() override;
    LibusbBus(const LibusbBus&) = delete;
    LibusbBus& operator=(const LibusbBus&) = delete;

    // Starts libusb (done by the first enumeration anyway); false, with the reason in
    // InitError(), when it cannot start. The bus then has no devices.
    bool Start();
    const std::wstring& InitError() const { return initError_; }

    UsbStatus EnumInterface(unsigned index) override;
    UsbStatus InterfacePath(unsigned index, std::wstring& path) override;
    std::unique_ptr<IUsbDeviceBackend> CreateBackend() override;

private:
    friend class LibusbBackend;
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::vector<UsbId> ids_;
    std::wstring initError_;
};

}  // namespace CUsbController
