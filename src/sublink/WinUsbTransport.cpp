#include "sublink/WinUsbTransport.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <vector>

#include "sublink/WinUsbApi.h"

namespace CUsbController {

std::wstring Win32ErrorText(decltype(&::FormatMessageW) format, unsigned long code) {
    wchar_t buffer[512] = {};
    const DWORD n = format(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer,
                           static_cast<DWORD>(std::size(buffer)), nullptr);
    if (n == 0)
        return kTextUnknownError;
    std::wstring text(buffer, n < std::size(buffer) ? n : std::size(buffer) - 1);
    return text.substr(0, text.find(L'\r'));
}

std::wstring WinUsbErrorText(const WinUsbApi& api, unsigned long code) {
    return Win32ErrorText(api.formatMessage, code);
}

UsbError WinUsbErrorKind(unsigned long code) {
    switch (code) {
        case ERROR_SUCCESS:
            return UsbError::None;
        case ERROR_NO_MORE_ITEMS:
            return UsbError::NoMoreItems;
        case ERROR_INSUFFICIENT_BUFFER:
            return UsbError::InsufficientBuffer;
        case ERROR_SEM_TIMEOUT:
        case WAIT_TIMEOUT:
        case ERROR_OPERATION_ABORTED:  // a read ended early by CancelRead
            return UsbError::Timeout;
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_BAD_COMMAND:  // what WinUSB reports for a device pulled out
        case 433:                // ERROR_NO_SUCH_DEVICE
        case ERROR_FILE_NOT_FOUND:
            return UsbError::NotConnected;
        case ERROR_ACCESS_DENIED:  // the file is open in another program
        case ERROR_SHARING_VIOLATION:
        case ERROR_BUSY:
            return UsbError::Busy;
        default:
            return UsbError::Other;
    }
}

namespace {

const WinUsbApi& Api(const WinUsbApi* api) {
    return api ? *api : SystemWinUsbApi();
}

UsbStatus LastFailure(const WinUsbApi& api) {
    const DWORD code = api.getLastError();
    UsbError kind = WinUsbErrorKind(code);
    if (kind == UsbError::None)
        kind = UsbError::Other;  // a failure that left no code
    return UsbStatus::Fail(kind, WinUsbErrorText(api, code));
}

// One device: the file handle of its interface path and the WinUSB handle on it.
class WinUsbBackend final : public IUsbDeviceBackend {
public:
    explicit WinUsbBackend(const WinUsbApi& api) : api_(api) {}
    ~WinUsbBackend() override {
        FreeInterface();
        CloseFile();
    }

    UsbStatus OpenFile(const std::wstring& path) override {
        HANDLE h = api_.createFile(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return LastFailure(api_);
        file_ = h;
        return UsbStatus::Ok();
    }

    void CloseFile() override {
        if (file_ != INVALID_HANDLE_VALUE)
            api_.closeHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
    }

    UsbStatus InitializeInterface() override {
        WINUSB_INTERFACE_HANDLE handle = nullptr;
        if (!api_.initialize(file_, &handle))
            return LastFailure(api_);
        interface_ = handle;
        return UsbStatus::Ok();
    }

    UsbStatus FreeInterface() override {
        if (!interface_)
            return UsbStatus::Ok();
        WINUSB_INTERFACE_HANDLE handle = interface_;
        interface_ = nullptr;  // invalid after a failed free too
        return api_.free(handle) ? UsbStatus::Ok() : LastFailure(api_);
    }

    UsbStatus QueryInterfaceSettings(uint8_t& endpointCount) override {
        USB_INTERFACE_DESCRIPTOR descriptor{};
        if (!api_.queryInterfaceSettings(interface_, 0, &descriptor))
            return LastFailure(api_);
        endpointCount = descriptor.bNumEndpoints;
        return UsbStatus::Ok();
    }

    UsbStatus QueryPipe(uint8_t endpointIndex, UsbPipeInfo& info) override {
        WINUSB_PIPE_INFORMATION pipe{};
        if (!api_.queryPipe(interface_, 0, endpointIndex, &pipe))
            return LastFailure(api_);
        info.type = static_cast<uint8_t>(pipe.PipeType);
        info.id = pipe.PipeId;
        return UsbStatus::Ok();
    }

    UsbStatus SetPipeTimeout(uint8_t pipe, uint32_t ms) override {
        ULONG value = ms;
        if (!api_.setPipePolicy(interface_, pipe, PIPE_TRANSFER_TIMEOUT, sizeof value, &value))
            return LastFailure(api_);
        return UsbStatus::Ok();
    }

    UsbStatus ControlTransfer(const UsbSetupPacket& setup) override {
        WINUSB_SETUP_PACKET packet{};
        packet.RequestType = setup.requestType;
        packet.Request = setup.request;
        packet.Value = setup.value;
        packet.Index = setup.index;
        packet.Length = setup.length;
        ULONG transferred = 0;
        if (!api_.controlTransfer(interface_, packet, nullptr, 0, &transferred, nullptr))
            return LastFailure(api_);
        return UsbStatus::Ok();
    }

    UsbStatus GetDeviceDescriptor(uint8_t* buffer, size_t capacity, size_t& got) override {
        UCHAR descriptor[18] = {};
        ULONG n = 0;
        got = 0;
        if (!api_.getDescriptor(interface_, USB_DEVICE_DESCRIPTOR_TYPE, 0, 0, descriptor,
                                sizeof descriptor, &n))
            return LastFailure(api_);
        got = std::min<size_t>({capacity, n, sizeof descriptor});
        std::memcpy(buffer, descriptor, got);
        return UsbStatus::Ok();
    }

    UsbStatus WritePipe(uint8_t pipe, const uint8_t* data, size_t length,
                        size_t& written) override {
        ULONG n = 0;
        written = 0;
        const BOOL ok = api_.writePipe(interface_, pipe, const_cast<PUCHAR>(data),
                                       static_cast<ULONG>(length), &n, nullptr);
        written = n;
        return ok ? UsbStatus::Ok() : LastFailure(api_);
    }

    UsbStatus ReadPipe(uint8_t pipe, uint8_t* buffer, size_t capacity, size_t& got) override {
        readPipe_.store(pipe);
        ULONG n = 0;
        got = 0;
        const BOOL ok =
            api_.readPipe(interface_, pipe, buffer, static_cast<ULONG>(capacity), &n, nullptr);
        got = n;
        return ok ? UsbStatus::Ok() : LastFailure(api_);
    }

    // A read in progress on the IN pipe returns at once (ERROR_OPERATION_ABORTED).
    void CancelRead() override {
        const uint8_t pipe = readPipe_.load();
        if (interface_ && pipe != kNoPipe)
            api_.abortPipe(interface_, pipe);
    }

private:
    const WinUsbApi& api_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    WINUSB_INTERFACE_HANDLE interface_ = nullptr;
    std::atomic<uint8_t> readPipe_{kNoPipe};
};

}  // namespace

WinUsbBus::WinUsbBus(const WinUsbApi* api) : api_(Api(api)) {}

WinUsbBus::~WinUsbBus() {
    Release();
}

void WinUsbBus::Release() {
    if (list_)
        api_.destroyDeviceInfoList(static_cast<HDEVINFO>(list_));
    list_ = nullptr;
}

UsbStatus WinUsbBus::Fail() {
    return LastFailure(api_);
}

UsbStatus WinUsbBus::EnumInterface(unsigned index) {
    std::lock_guard<std::mutex> g(lock_);
    if (index == 0 || !list_) {  // a new enumeration: indices are not stable across plug events
        Release();
        HDEVINFO list =
            api_.getClassDevs(&kSubwooferInterfaceClass, nullptr, nullptr, kClassDevsFlags);
        if (list == INVALID_HANDLE_VALUE) {
            // No class list: no devices at all.
            UsbStatus s = Fail();
            s.error = UsbError::NoMoreItems;
            return s;
        }
        list_ = list;
    }
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    if (!api_.enumDeviceInterfaces(static_cast<HDEVINFO>(list_), nullptr, &kSubwooferInterfaceClass,
                                   index, &data))
        return Fail();
    return UsbStatus::Ok();
}

UsbStatus WinUsbBus::InterfacePath(unsigned index, std::wstring& path) {
    std::lock_guard<std::mutex> g(lock_);
    if (!list_)
        return UsbStatus::Fail(UsbError::NoMoreItems, L"No more data is available.");
    const HDEVINFO list = static_cast<HDEVINFO>(list_);
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    if (!api_.enumDeviceInterfaces(list, nullptr, &kSubwooferInterfaceClass, index, &data))
        return Fail();
    // First the size, which must fail with ERROR_INSUFFICIENT_BUFFER, then the detail.
    DWORD size = 0;
    if (api_.getDeviceInterfaceDetail(list, &data, nullptr, 0, &size, nullptr) ||
        api_.getLastError() != ERROR_INSUFFICIENT_BUFFER ||
        size < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W))
        return Fail();
    std::vector<unsigned char> buffer(size + 1 + sizeof(WCHAR));
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    if (!api_.getDeviceInterfaceDetail(list, &data, detail, size + 1, nullptr, nullptr))
        return Fail();
    const size_t offset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
    const size_t chars = (size - offset) / sizeof(WCHAR);
    path.assign(detail->DevicePath, wcsnlen(detail->DevicePath, chars));
    return UsbStatus::Ok();
}

std::unique_ptr<IUsbDeviceBackend> WinUsbBus::CreateBackend() {
    return std::make_unique<WinUsbBackend>(api_);
}

}  // namespace CUsbController
