#include "sublink/LibusbTransport.h"

// The header uses zero-sized arrays.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"
#include <libusb.h>
#pragma GCC diagnostic pop

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <map>
#include <mutex>

namespace CUsbController {

namespace {

std::wstring Widen(const char* s) {
    std::wstring w;
    for (; s && *s; ++s)
        w.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*s)));
    return w;
}

UsbStatus FromLibusb(int rc) {
    if (rc >= 0)
        return UsbStatus::Ok();
    UsbError e = UsbError::Other;
    switch (rc) {
        case LIBUSB_ERROR_TIMEOUT:
            e = UsbError::Timeout;
            break;
        case LIBUSB_ERROR_NO_DEVICE:
            e = UsbError::NotConnected;
            break;
        case LIBUSB_ERROR_BUSY:
            e = UsbError::Busy;
            break;
        default:
            break;
    }
    return UsbStatus::Fail(e, Widen(libusb_strerror(static_cast<libusb_error>(rc))));
}

}  // namespace

struct LibusbBus::Impl {
    libusb_context* context = nullptr;
    std::mutex lock;
    // The matching devices of the latest enumeration, each referenced, by path.
    std::vector<std::pair<std::wstring, libusb_device*>> devices;

    void Release() {
        for (auto& d : devices)
            libusb_unref_device(d.second);
        devices.clear();
    }
};

LibusbBus::LibusbBus(std::vector<UsbId> ids)
    : impl_(std::make_unique<Impl>()), ids_(std::move(ids)) {}

// libusb starts with the first enumeration, so runs that never touch USB do not start it.
bool LibusbBus::Start() {
    if (impl_->context || !initError_.empty())
        return impl_->context != nullptr;
    int rc = libusb_init(&impl_->context);
    if (rc < 0) {
        impl_->context = nullptr;
        initError_ = Widen(libusb_strerror(static_cast<libusb_error>(rc)));
    }
    return impl_->context != nullptr;
}

LibusbBus::~LibusbBus() {
    impl_->Release();
    if (impl_->context)
        libusb_exit(impl_->context);
}

UsbStatus LibusbBus::EnumInterface(unsigned index) {
    std::lock_guard<std::mutex> g(impl_->lock);
    if (index == 0) {  // a new enumeration: indices are not stable across plug events
        impl_->Release();
        Start();
        libusb_device** list = nullptr;
        ssize_t n =
            impl_->context && !ids_.empty() ? libusb_get_device_list(impl_->context, &list) : 0;
        for (ssize_t i = 0; i < n; ++i) {
            libusb_device_descriptor desc{};
            if (libusb_get_device_descriptor(list[i], &desc) != 0)
                continue;
            UsbId id{desc.idVendor, desc.idProduct};
            if (std::find(ids_.begin(), ids_.end(), id) == ids_.end())
                continue;
            wchar_t path[96];
            std::swprintf(path, 96, L"usb#vid_%04x&pid_%04x#%03u.%03u", id.vendor, id.product,
                          libusb_get_bus_number(list[i]), libusb_get_device_address(list[i]));
            impl_->devices.emplace_back(path, libusb_ref_device(list[i]));
        }
        if (list)
            libusb_free_device_list(list, 1);
    }
    if (index < impl_->devices.size())
        return UsbStatus::Ok();
    return UsbStatus::Fail(UsbError::NoMoreItems, L"No more data is available.");
}

UsbStatus LibusbBus::InterfacePath(unsigned index, std::wstring& path) {
    std::lock_guard<std::mutex> g(impl_->lock);
    if (index >= impl_->devices.size())
        return UsbStatus::Fail(UsbError::NoMoreItems, L"No more data is available.");
    path = impl_->devices[index].first;
    return UsbStatus::Ok();
}

class LibusbBackend final : public IUsbDeviceBackend {
public:
    explicit LibusbBackend(LibusbBus& bus) : bus_(bus) {}
    ~LibusbBackend() override {
        if (claimed_)
            FreeInterface();
        CloseFile();
    }

    UsbStatus OpenFile(const std::wstring& path) override {
        libusb_device* device = nullptr;
        {
            std::lock_guard<std::mutex> g(bus_.impl_->lock);
            for (auto& d : bus_.impl_->devices)
                if (d.first == path)
                    device = d.second;
        }
        if (!device)
            return UsbStatus::Fail(UsbError::Other, L"The system cannot find the file specified.");
        return FromLibusb(libusb_open(device, &handle_));
    }

    void CloseFile() override {
        if (handle_)
            libusb_close(handle_);
        handle_ = nullptr;
    }

    UsbStatus InitializeInterface() override {
        if (!handle_)
            return FromLibusb(LIBUSB_ERROR_INVALID_PARAM);
        libusb_set_auto_detach_kernel_driver(handle_, 1);
        // A device claimed by another program fails here: it counts as busy.
        UsbStatus s = FromLibusb(libusb_claim_interface(handle_, 0));
        claimed_ = s.ok();
        return s;
    }

    UsbStatus FreeInterface() override {
        if (!claimed_)
            return UsbStatus::Ok();
        claimed_ = false;
        return FromLibusb(libusb_release_interface(handle_, 0));
    }

    UsbStatus QueryInterfaceSettings(uint8_t& endpointCount) override {
        endpoints_.clear();
        libusb_config_descriptor* config = nullptr;
        int rc = libusb_get_active_config_descriptor(libusb_get_device(handle_), &config);
        if (rc < 0)
            return FromLibusb(rc);
        if (config->bNumInterfaces > 0 && config->interface[0].num_altsetting > 0) {
            const libusb_interface_descriptor& alt = config->interface[0].altsetting[0];
            for (uint8_t i = 0; i < alt.bNumEndpoints; ++i)
                endpoints_.push_back({static_cast<uint8_t>(alt.endpoint[i].bmAttributes & 3),
                                      alt.endpoint[i].bEndpointAddress});
        }
        libusb_free_config_descriptor(config);
        endpointCount = static_cast<uint8_t>(endpoints_.size());
        return UsbStatus::Ok();
    }

    UsbStatus QueryPipe(uint8_t index, UsbPipeInfo& info) override {
        if (index >= endpoints_.size())
            return FromLibusb(LIBUSB_ERROR_NOT_FOUND);
        info = endpoints_[index];
        return UsbStatus::Ok();
    }

    UsbStatus SetPipeTimeout(uint8_t pipe, uint32_t ms) override {
        std::lock_guard<std::mutex> g(lock_);
        timeouts_[pipe] = ms;
        return UsbStatus::Ok();
    }

    UsbStatus ControlTransfer(const UsbSetupPacket& s) override {
        return FromLibusb(libusb_control_transfer(handle_, s.requestType, s.request, s.value,
                                                  s.index, nullptr, s.length, kPipeTimeoutMs));
    }

    UsbStatus GetDeviceDescriptor(uint8_t* buffer, size_t capacity, size_t& got) override {
        int rc = libusb_get_descriptor(handle_, LIBUSB_DT_DEVICE, 0, buffer,
                                       static_cast<int>(std::min<size_t>(capacity, 18)));
        got = rc > 0 ? static_cast<size_t>(rc) : 0;
        return FromLibusb(rc);
    }

    UsbStatus WritePipe(uint8_t pipe, const uint8_t* data, size_t length,
                        size_t& written) override {
        int done = 0;
        int rc = libusb_interrupt_transfer(handle_, pipe, const_cast<uint8_t*>(data),
                                           static_cast<int>(length), &done, Timeout(pipe));
        written = done > 0 ? static_cast<size_t>(done) : 0;
        return FromLibusb(rc);
    }

    UsbStatus ReadPipe(uint8_t pipe, uint8_t* buffer, size_t capacity, size_t& got) override {
        int done = 0;
        int rc = libusb_interrupt_transfer(handle_, pipe, buffer, static_cast<int>(capacity), &done,
                                           Timeout(pipe));
        got = done > 0 ? static_cast<size_t>(done) : 0;
        if (rc == LIBUSB_ERROR_TIMEOUT && got > 0)
            return UsbStatus::Ok();
        return FromLibusb(rc);
    }

private:
    unsigned Timeout(uint8_t pipe) {
        std::lock_guard<std::mutex> g(lock_);
        auto it = timeouts_.find(pipe);
        return it == timeouts_.end() ? kPipeTimeoutMs : it->second;
    }

    LibusbBus& bus_;
    libusb_device_handle* handle_ = nullptr;
    bool claimed_ = false;
    std::vector<UsbPipeInfo> endpoints_;
    std::mutex lock_;
    std::map<uint8_t, uint32_t> timeouts_;
};

std::unique_ptr<IUsbDeviceBackend> LibusbBus::CreateBackend() {
    return std::make_unique<LibusbBackend>(*this);
}

}  // namespace CUsbController
