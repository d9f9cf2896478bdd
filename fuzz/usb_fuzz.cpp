// The command channel against a device whose every byte comes from the input: framing,
// ReadReply/Flush/Resync, identification, number parsing and the reader thread.
//
// Input: a release-number choice (2 bytes), then commands for the channel and the device's
// answers, taken from the front as they are needed. Each write to the device releases the next
// burst: a header byte (low 5 bits: packets; bit 5: one failed read after them; bits 6-7 = 3:
// unplugged after them) and per packet a length byte (mod 9) and its bytes. Time is virtual and
// jumps to a wait's deadline as soon as the device has nothing left in flight, so no time-out
// waits for real.
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

#include "FuzzTarget.h"
#include "sublink/BaseConfig.h"
#include "sublink/UsbComm.h"

namespace {

using namespace CUsbController;
using Threading::IClock;

struct Packet {
    std::vector<uint8_t> bytes;
    UsbError error = UsbError::None;
};

class Device {
public:
    explicit Device(fuzzing::Input& input, uint16_t release) : input_(input), release_(release) {}

    // Owner thread: a write releases the next burst.
    void Release() {
        std::lock_guard<std::mutex> g(lock_);
        const uint8_t header = input_.Byte();
        for (int i = 0; i < (header & 0x1F) && !input_.Empty(); ++i)
            pending_.push_back({input_.Bytes(input_.Byte() % 9), UsbError::None});
        if (header & 0x20)
            pending_.push_back({{}, UsbError::Other});
        if ((header >> 6) == 3)
            pending_.push_back({{}, UsbError::NotConnected});
        count_ = pending_.size();
        changed_.notify_all();
    }

    // Reader thread.
    UsbStatus Read(uint8_t* buffer, size_t capacity, size_t& got) {
        std::unique_lock<std::mutex> l(lock_);
        inTransit_ = false;
        stopped_ = false;
        changed_.wait(l, [this] { return cancelled_ || unplugged_ || !pending_.empty(); });
        if (cancelled_) {
            cancelled_ = false;
            return UsbStatus::Fail(UsbError::Timeout);
        }
        if (unplugged_)
            return UsbStatus::Fail(UsbError::NotConnected);
        Packet p = std::move(pending_.front());
        pending_.pop_front();
        count_ = pending_.size();
        if (p.error == UsbError::NotConnected)
            unplugged_ = true;  // the reader ends: what is released later never arrives
        if (p.error != UsbError::None)
            return UsbStatus::Fail(p.error, L"fuzzed failure\r\n");
        got = std::min(capacity, p.bytes.size());
        std::copy_n(p.bytes.begin(), got, buffer);
        inTransit_ = true;
        return UsbStatus::Ok();
    }

    void Cancel() {
        std::lock_guard<std::mutex> g(lock_);
        cancelled_ = true;
        stopped_ = true;  // the reader is stopping; the owner joins it before waiting again
        changed_.notify_all();
    }

    // Nothing released is still on its way to the receive queue.
    bool Idle() const {
        return unplugged_.load() || stopped_.load() || (count_.load() == 0 && !inTransit_.load());
    }
    uint16_t ReleaseNumber() const { return release_; }

private:
    fuzzing::Input& input_;
    const uint16_t release_;
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<Packet> pending_;
    std::atomic<size_t> count_{0};
    std::atomic<bool> inTransit_{false};
    bool cancelled_ = false;
    std::atomic<bool> stopped_{false};
    std::atomic<bool> unplugged_{false};
};

class Backend final : public IUsbDeviceBackend {
public:
    explicit Backend(Device& device) : device_(device) {}
    UsbStatus OpenFile(const std::wstring&) override { return UsbStatus::Ok(); }
    void CloseFile() override {}
    UsbStatus InitializeInterface() override { return UsbStatus::Ok(); }
    UsbStatus FreeInterface() override { return UsbStatus::Ok(); }
    UsbStatus QueryInterfaceSettings(uint8_t& count) override {
        count = 2;
        return UsbStatus::Ok();
    }
    UsbStatus QueryPipe(uint8_t index, UsbPipeInfo& info) override {
        info = {kPipeTypeInterrupt, static_cast<uint8_t>(index == 0 ? 0x81 : 0x01)};
        return UsbStatus::Ok();
    }
    UsbStatus SetPipeTimeout(uint8_t, uint32_t) override { return UsbStatus::Ok(); }
    UsbStatus ControlTransfer(const UsbSetupPacket&) override { return UsbStatus::Ok(); }
    UsbStatus GetDeviceDescriptor(uint8_t* buffer, size_t capacity, size_t& got) override {
        uint8_t d[18] = {18, 1};
        d[12] = static_cast<uint8_t>(device_.ReleaseNumber());
        d[13] = static_cast<uint8_t>(device_.ReleaseNumber() >> 8);
        got = std::min(capacity, sizeof d);
        std::copy_n(d, got, buffer);
        return UsbStatus::Ok();
    }
    UsbStatus WritePipe(uint8_t, const uint8_t*, size_t length, size_t& written) override {
        device_.Release();
        written = length;
        return UsbStatus::Ok();
    }
    UsbStatus ReadPipe(uint8_t, uint8_t* buffer, size_t capacity, size_t& got) override {
        return device_.Read(buffer, capacity, got);
    }
    void CancelRead() override { device_.Cancel(); }

private:
    Device& device_;
};

class Bus final : public IUsbBus {
public:
    explicit Bus(Device& device) : device_(device) {}
    UsbStatus EnumInterface(unsigned index) override {
        return index == 0 ? UsbStatus::Ok() : UsbStatus::Fail(UsbError::NoMoreItems);
    }
    UsbStatus InterfacePath(unsigned, std::wstring& path) override {
        path = L"fuzz";
        return UsbStatus::Ok();
    }
    std::unique_ptr<IUsbDeviceBackend> CreateBackend() override {
        return std::make_unique<Backend>(device_);
    }

private:
    Device& device_;
};

// Virtual time that jumps to a wait's deadline once the device is idle and the wait's
// condition still does not hold.
class FuzzClock final : public IClock {
public:
    explicit FuzzClock(const Device& device) : device_(device) {}
    TimePoint Now() const override { return TimePoint{} + Duration(now_.load()); }
    void SleepFor(Duration d) override { now_ += d.count(); }
    bool WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                   TimePoint deadline, const std::function<bool()>& pred) override {
        // Short slices: the reader thread hands bytes on without notifying this wait, and a
        // millisecond per hand-off made the target wait far more than it ran. A device that
        // stays busy for about a real second counts as idle: a fault, not a hang.
        for (int slices = 0; !pred(); ++slices) {
            if (device_.Idle() || slices > 50000) {
                now_.store(std::max(now_.load(), deadline.time_since_epoch().count()));
                return pred();
            }
            cv.wait_for(lock, std::chrono::microseconds(20));
        }
        return true;
    }

private:
    const Device& device_;
    std::atomic<Duration::rep> now_{0};
};

void Operate(CUsbComm& channel, fuzzing::Input& input) {
    static const MemoryBlock kBlock{224, 1, 0, 0};
    std::string reply;
    uint32_t value = 0;
    const uint8_t op = input.Byte();
    switch (op % 16) {
        case 0:
            channel.Flush();
            break;
        case 1:
            channel.Resync();
            break;
        case 2:
            channel.QueryNumber("G0", value);
            break;
        case 3:
            if (channel.Transact("V0", &reply))
                FUZZ_CHECK(reply.size() <= CUsbComm::kMaxReplyBytes);
            break;
        case 4: {
            ModelVersion version;
            channel.ReadFirmwareVersion(version);
            break;
        }
        case 5:
            channel.Handshake(input.Byte() % 3);
            break;
        case 6:
            channel.SwitchToBootLoader();
            break;
        case 7:
            channel.SwitchToApplication();
            break;
        case 8:
            channel.QueryMemoryCount() && channel.QueryLayout();
            break;
        case 9:
            channel.SelectBlock(kBlock);
            break;
        case 10:
            channel.LoadRegion();
            break;
        case 11:
            channel.QueryChecksum(kBlock, value);
            break;
        case 12:
            channel.UploadBlock(kBlock, std::vector<uint8_t>(kBlock.length, op));
            break;
        case 13:
            channel.RetriedQuery("G3", value);
            break;
        case 14:
            channel.SetAndVerify("G3", "G3", input.Value<uint32_t>());
            break;
        default:
            if (channel.ReadReply(std::chrono::milliseconds(input.Byte()), &reply)) {
                FUZZ_CHECK(reply.size() <= CUsbComm::kMaxReplyBytes);
                if (channel.ParseHex(reply, value))
                    FUZZ_CHECK(channel.ParseHex(CUsbComm::Hex(value), value));
                channel.Identify(reply, input.Byte() % 3);
            }
            break;
    }
}

}  // namespace

TESSALINE_FUZZ_TARGET(usb) {
    fuzzing::Input input(data, size);
    const auto models = RegisteredModels();
    const uint8_t choice = input.Byte();
    const uint8_t low = input.Byte();
    const uint16_t release =
        choice < models.size() ? models[choice]->modelId : static_cast<uint16_t>(choice << 8 | low);
    Device device(input, release);
    FuzzClock clock(device);
    {
        CUsbComm channel(std::make_shared<Bus>(device), &clock);
        if (channel.OpenAnyDevice()) {
            for (int i = 0; i < 16 && !input.Empty() && channel.IsUsable(); ++i)
                Operate(channel, input);
        }
    }
    return 0;
}
