#include "sim/SimBus.h"

#include <algorithm>
#include <chrono>

namespace Sim {

using CUsbController::UsbError;
using CUsbController::UsbStatus;

namespace {
const wchar_t* const kPathPrefix = L"\\\\?\\sim#subwoofer#";
const wchar_t* const kNotConnected = L"The device is not connected.";
const wchar_t* const kInUse =
    L"The process cannot access the file because it is being used by another process.";
}  // namespace

SimDevice::SimDevice(SimOptions options) : firmware_(std::move(options)) {}

void SimDevice::Unplug() {
    {
        std::lock_guard<std::mutex> g(lock_);
        firmware_.Unplug();
    }
    output_.notify_all();
}

void SimDevice::HoldOutput(bool hold) {
    {
        std::lock_guard<std::mutex> g(lock_);
        hold_ = hold;
    }
    output_.notify_all();
}

// The platform calls of one opened simulated device.
class SimBackend final : public CUsbController::IUsbDeviceBackend {
public:
    explicit SimBackend(SimBus& bus) : bus_(bus) {}
    ~SimBackend() override { CloseFile(); }

    UsbStatus OpenFile(const std::wstring& path) override {
        auto device = bus_.ByPath(path);
        if (!device)
            return UsbStatus::Fail(UsbError::Other, L"The system cannot find the file specified.");
        std::lock_guard<std::mutex> g(device->lock_);
        if (device->firmware_.Unplugged())
            return UsbStatus::Fail(UsbError::NotConnected, kNotConnected);
        if (device->firmware_.Busy() || device->claimed_)
            return UsbStatus::Fail(UsbError::Busy, kInUse);
        device->claimed_ = true;
        device->cancel_ = false;
        device_ = device;
        return UsbStatus::Ok();
    }

    void CloseFile() override {
        if (!device_)
            return;
        {
            std::lock_guard<std::mutex> g(device_->lock_);
            device_->claimed_ = false;
        }
        device_->output_.notify_all();
        device_.reset();
    }

    UsbStatus InitializeInterface() override { return Alive(); }
    UsbStatus FreeInterface() override { return UsbStatus::Ok(); }

    UsbStatus QueryInterfaceSettings(uint8_t& endpointCount) override {
        endpointCount = 2;
        return Alive();
    }

    UsbStatus QueryPipe(uint8_t index, CUsbController::UsbPipeInfo& info) override {
        bool bulk = device_->With([](SimFirmware& f) { return f.BulkOnly(); });
        info.type = bulk ? 2 : CUsbController::kPipeTypeInterrupt;
        info.id = index == 0 ? 0x81 : 0x01;
        return Alive();
    }

    UsbStatus SetPipeTimeout(uint8_t, uint32_t ms) override {
        timeout_ = std::chrono::milliseconds(ms);
        return Alive();
    }

    UsbStatus ControlTransfer(const CUsbController::UsbSetupPacket& setup) override {
        std::lock_guard<std::mutex> g(device_->lock_);
        if (device_->firmware_.Unplugged())
            return UsbStatus::Fail(UsbError::NotConnected, kNotConnected);
        if (setup.requestType == 0xC0 && setup.request == 0 && setup.length == 0)
            device_->firmware_.Control(setup.value);
        return UsbStatus::Ok();
    }

    UsbStatus GetDeviceDescriptor(uint8_t* buffer, size_t capacity, size_t& got) override {
        std::lock_guard<std::mutex> g(device_->lock_);
        SimFirmware& f = device_->firmware_;
        if (f.Unplugged())
            return UsbStatus::Fail(UsbError::NotConnected, kNotConnected);
        if (!f.DescriptorReadable())
            return UsbStatus::Fail(UsbError::Other,
                                   L"A device attached to the system is not functioning.");
        uint16_t release = f.ReleaseNumber();
        const uint8_t desc[18] = {18,
                                  1,
                                  0x00,
                                  0x02,
                                  0,
                                  0,
                                  0,
                                  8,
                                  0x34,
                                  0x12,
                                  0x78,
                                  0x56,
                                  static_cast<uint8_t>(release),
                                  static_cast<uint8_t>(release >> 8),
                                  1,
                                  2,
                                  0,
                                  1};
        got = std::min(capacity, sizeof desc);
        std::copy_n(desc, got, buffer);
        return UsbStatus::Ok();
    }

    UsbStatus WritePipe(uint8_t pipe, const uint8_t* data, size_t length,
                        size_t& written) override {
        written = 0;
        {
            std::lock_guard<std::mutex> g(device_->lock_);
            if (device_->firmware_.Unplugged())
                return UsbStatus::Fail(UsbError::NotConnected, kNotConnected);
            if (pipe != 0x01)
                return UsbStatus::Fail(UsbError::Other, L"The parameter is incorrect.");
            device_->firmware_.Receive(data, length);
            written = length;
        }
        device_->output_.notify_all();
        return UsbStatus::Ok();
    }

    UsbStatus ReadPipe(uint8_t pipe, uint8_t* buffer, size_t capacity, size_t& got) override {
        got = 0;
        if (pipe != 0x81)
            return UsbStatus::Fail(UsbError::Other, L"The parameter is incorrect.");
        std::unique_lock<std::mutex> l(device_->lock_);
        SimFirmware& f = device_->firmware_;
        bool ready = bus_.pipeClock_.WaitFor(device_->output_, l, timeout_, [&] {
            return f.Unplugged() || (f.HasOutput() && !device_->hold_) || device_->cancel_ ||
                   !device_->claimed_;
        });
        if (f.Unplugged())
            return UsbStatus::Fail(UsbError::NotConnected, kNotConnected);
        if (device_->cancel_) {
            device_->cancel_ = false;
            return UsbStatus::Fail(UsbError::Timeout, L"The semaphore timeout period has expired.");
        }
        if (!ready || !f.HasOutput() || device_->hold_)
            return UsbStatus::Fail(UsbError::Timeout, L"The semaphore timeout period has expired.");
        std::vector<uint8_t> packet;
        f.NextPacket(packet);
        got = std::min(capacity, packet.size());
        std::copy_n(packet.begin(), got, buffer);
        return UsbStatus::Ok();
    }

    void CancelRead() override {
        if (!device_)
            return;
        {
            std::lock_guard<std::mutex> g(device_->lock_);
            device_->cancel_ = true;
        }
        device_->output_.notify_all();
    }

private:
    UsbStatus Alive() {
        if (device_ && device_->With([](SimFirmware& f) { return f.Unplugged(); }))
            return UsbStatus::Fail(UsbError::NotConnected, kNotConnected);
        return UsbStatus::Ok();
    }

    SimBus& bus_;
    std::shared_ptr<SimDevice> device_;
    std::chrono::milliseconds timeout_{CUsbController::kPipeTimeoutMs};
};

SimBus::SimBus(Threading::IClock& pipeClock) : pipeClock_(pipeClock) {}

std::shared_ptr<SimDevice> SimBus::Add(SimOptions options) {
    auto device = std::make_shared<SimDevice>(std::move(options));
    Add(device);
    return device;
}

void SimBus::Add(std::shared_ptr<SimDevice> device) {
    std::lock_guard<std::mutex> g(lock_);
    devices_.push_back(std::move(device));
}

// Present devices in enumeration order: an unplugged device has left the bus.
std::shared_ptr<SimDevice> SimBus::Present(unsigned index) {
    std::lock_guard<std::mutex> g(lock_);
    unsigned n = 0;
    for (const auto& d : devices_) {
        if (d->With([](SimFirmware& f) { return f.Unplugged(); }))
            continue;
        if (n++ == index)
            return d;
    }
    return nullptr;
}

std::shared_ptr<SimDevice> SimBus::ByPath(const std::wstring& path) {
    std::lock_guard<std::mutex> g(lock_);
    for (size_t i = 0; i < devices_.size(); ++i)
        if (path == kPathPrefix + std::to_wstring(i))
            return devices_[i];
    return nullptr;
}

UsbStatus SimBus::EnumInterface(unsigned index) {
    return Present(index) ? UsbStatus::Ok()
                          : UsbStatus::Fail(UsbError::NoMoreItems, L"No more data is available.");
}

UsbStatus SimBus::InterfacePath(unsigned index, std::wstring& path) {
    auto device = Present(index);
    if (!device)
        return UsbStatus::Fail(UsbError::NoMoreItems, L"No more data is available.");
    std::lock_guard<std::mutex> g(lock_);
    for (size_t i = 0; i < devices_.size(); ++i)
        if (devices_[i] == device)
            path = kPathPrefix + std::to_wstring(i);
    return UsbStatus::Ok();
}

std::unique_ptr<CUsbController::IUsbDeviceBackend> SimBus::CreateBackend() {
    return std::make_unique<SimBackend>(*this);
}

}  // namespace Sim
