#pragma once
// The USB transport on Windows: the present interfaces of the subwoofer's device interface class
// through the device-setup functions, each opened as a file and driven through WinUSB. Devices
// are matched by the interface class alone, so no vendor or product ids are configured.

#include <memory>
#include <mutex>
#include <string>

#include "sublink/UsbTransport.h"

namespace CUsbController {

struct WinUsbApi;

// The system's text for a Win32 error code, cut at its first carriage return; "Unknown Error"
// when the system has none.
std::wstring WinUsbErrorText(const WinUsbApi& api, unsigned long code);
// What the channel needs to know of a Win32 error code.
UsbError WinUsbErrorKind(unsigned long code);

class WinUsbBus final : public IUsbBus {
public:
    // api (not owned) outlives the bus and its devices; the system's calls by default.
    explicit WinUsbBus(const WinUsbApi* api = nullptr);
    ~WinUsbBus() override;
    WinUsbBus(const WinUsbBus&) = delete;
    WinUsbBus& operator=(const WinUsbBus&) = delete;

    UsbStatus EnumInterface(unsigned index) override;
    UsbStatus InterfacePath(unsigned index, std::wstring& path) override;
    std::unique_ptr<IUsbDeviceBackend> CreateBackend() override;

private:
    UsbStatus Fail();
    void Release();

    const WinUsbApi& api_;
    std::mutex lock_;
    void* list_ = nullptr;  // the class list of the latest enumeration (HDEVINFO)
};

}  // namespace CUsbController
