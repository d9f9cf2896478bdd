#include "sublink/UsbComm.h"

#include <cstdio>

#include "sublink/UsbEnvironment.h"

namespace CUsbController {

namespace {
constexpr uint16_t kControlDetach = 0x0000;
constexpr uint16_t kControlApplication = 0x0080;
constexpr uint16_t kControlBootLoader = 0x0280;
constexpr std::chrono::milliseconds kWakePause{50};

std::wstring Widen(const std::string& s) {
    std::wstring w;
    w.reserve(s.size());
    for (unsigned char c : s)
        w.push_back(static_cast<wchar_t>(c));
    return w;
}
}  // namespace

CUsbComm::CUsbComm(UsbEnvironment environment)
    : bus_(environment.bus ? std::move(environment.bus) : std::make_shared<EmptyUsbBus>()),
      clock_(environment.clock ? *environment.clock : Threading::RealClock::Instance()),
      trace_(std::move(environment.trace)),
      queue_(clock_) {}

CUsbComm::CUsbComm(std::shared_ptr<IUsbBus> bus, Threading::IClock* clock)
    : CUsbComm(UsbEnvironment{std::move(bus), clock, {}}) {}

CUsbComm::~CUsbComm() {
    CloseChannel();
    StopReader();
}

std::string CUsbComm::Hex(uint32_t value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(value));
    return buf;
}

bool CUsbComm::ParseHex(const std::string& reply, uint32_t& value) {
    size_t i = 0;
    while (i < reply.size() && (reply[i] == ' ' || (reply[i] >= '\t' && reply[i] <= '\r')))
        ++i;
    uint32_t v = 0;
    size_t digits = 0;
    for (; i < reply.size() && digits < 8; ++i, ++digits) {
        char c = reply[i];
        uint32_t d;
        if (c >= '0' && c <= '9')
            d = static_cast<uint32_t>(c - '0');
        else if (c >= 'a' && c <= 'f')
            d = static_cast<uint32_t>(c - 'a' + 10);
        else if (c >= 'A' && c <= 'F')
            d = static_cast<uint32_t>(c - 'A' + 10);
        else
            break;
        v = (v << 4) | d;
    }
    if (digits == 0)
        return false;
    value = v;
    return true;
}

std::string CUsbComm::ReplyText(const std::string& reply) {
    size_t end = reply.size();
    while (end > 0 && reply[end - 1] == '\r')
        --end;
    return reply.substr(0, end);
}

// ---- reader thread ----

void CUsbComm::StartReader() {
    if (readerRunning_.load() != 0 || !device_)
        return;
    if (reader_.joinable())
        reader_.join();
    readerRunning_ = 1;
    reader_ = std::thread(&CUsbComm::ReaderLoop, this, device_.get(), pipes_.in);
}

void CUsbComm::StopReader() {
    readerRunning_ = 0;
    if (reader_.joinable()) {
        if (device_)
            device_->CancelRead();
        reader_.join();
    }
}

void CUsbComm::ReaderLoop(CWinUsbDevice* device, uint8_t inPipe) {
    uint8_t buffer[kReadChunk];
    while (readerRunning_.load() != 0) {
        size_t got = 0;
        UsbError error = UsbError::None;
        if (device->ReadIn(inPipe, buffer, got, error)) {
            queue_.Push(buffer, got);
            continue;
        }
        if (error == UsbError::NotConnected) {
            deviceLost_ = 1;
            queue_.Signal();  // a waiting reply read notices at once
            break;
        }
        if (error != UsbError::Timeout)
            std::this_thread::yield();  // a failing pipe must not starve the owner
    }
}

// ---- opening and closing ----

bool CUsbComm::SendControl(uint16_t value) {
    if (trace_) {
        char buf[24];
        std::snprintf(buf, sizeof buf, "usb ctl 0x%04X", static_cast<unsigned>(value));
        Trace(buf);
    }
    return device_ && device_->SendControl(value);
}

void CUsbComm::DropDevice() {
    if (!device_)
        return;
    lastDevicePath_ = device_->Path();
    device_->CloseDevice();
    device_.reset();
    pipes_ = PipePair{};
}

void CUsbComm::CloseChannel() {
    StopReader();
    if (device_) {
        SendControl(kControlDetach);
        DropDevice();
    }
}

bool CUsbComm::OpenIndex(unsigned index) {
    StopReader();
    DropDevice();
    std::wstring status;
    PipePair pipes;
    auto device = OpenDevice(*bus_, index, status, pipes);
    if (!device)
        return false;
    device_ = std::move(device);
    pipes_ = pipes;
    deviceLost_ = 0;
    queue_.Clear();
    return true;
}

uint16_t CUsbComm::ReleaseNumber() {
    uint16_t value = kNoReleaseNumber;
    if (!device_ || !device_->ReadReleaseNumber(value))
        return kNoReleaseNumber;
    return value;
}

const BaseConfig* CUsbComm::FindModelOfDevice() {
    uint16_t release = ReleaseNumber();
    for (const BaseConfig* model : RegisteredModels())
        if (model->modelId == release)
            return model;
    if (currentModel_ && currentModel_->modelId == release)
        return currentModel_;
    return nullptr;
}

bool CUsbComm::OpenAnyDevice(std::vector<std::wstring>* names) {
    CloseChannel();
    currentModel_ = nullptr;
    unsigned n = CountDevices(*bus_);
    for (unsigned i = 0; i < n; ++i) {
        if (!OpenIndex(i))
            continue;
        const BaseConfig* m = FindModelOfDevice();
        if (m && names)
            names->push_back(m->displayName);
        if (currentModel_ && ReleaseNumber() != currentModel_->modelId)
            continue;

        SendControl(kControlApplication);
        Wait(kWakePause);
        StartReader();
        if (IsUsable() && SendCommand("") && Handshake(kExpectEither))
            return true;

        SendControl(kControlBootLoader);
        Wait(kWakePause);
        if (IsUsable() && SendCommand("") && Handshake(kExpectEither))
            return true;

        SendControl(kControlDetach);
        StopReader();
    }
    StopReader();
    if (device_) {
        SendControl(kControlDetach);
        DropDevice();
    }
    return false;
}

bool CUsbComm::CensusDevices(unsigned& total, unsigned& busy, unsigned& unrecognised,
                             unsigned& recognised) {
    CloseChannel();
    total = busy = unrecognised = recognised = 0;
    total = CountDevices(*bus_);
    for (unsigned i = 0; i < total; ++i) {
        if (!OpenIndex(i)) {
            ++busy;
            continue;
        }
        if (FindModelOfDevice())
            ++recognised;
        else
            ++unrecognised;
    }
    StopReader();
    if (device_) {
        SendControl(kControlDetach);
        DropDevice();
    }
    return total != busy + unrecognised;
}

// ---- framing ----

bool CUsbComm::WriteRaw(const uint8_t* data, size_t length) {
    if (!IsUsable())
        return false;
    size_t written = 0;
    return device_->WriteOut(pipes_.out, data, length, written) && written == length;
}

bool CUsbComm::SendCommand(const std::string& text) {
    if (!IsUsable())
        return false;
    if (trace_)
        Trace("usb> " + text);
    std::string framed = text + ";";
    return WriteRaw(reinterpret_cast<const uint8_t*>(framed.data()), framed.size());
}

bool CUsbComm::ReadReply(std::chrono::milliseconds timeout, std::string* reply) {
    std::string gathered;
    auto started = clock_.Now();
    while (true) {
        if (IsLost())
            return false;
        uint8_t byte;
        if (queue_.PopOne(byte)) {
            if (byte == '\n') {
                if (trace_)
                    Trace("usb< " + gathered);
                if (reply)
                    *reply = std::move(gathered);
                return true;
            }
            // A line that never ends is not a reply.
            if (gathered.size() >= kMaxReplyBytes)
                return false;
            gathered.push_back(static_cast<char>(byte));
            continue;
        }
        if (clock_.Now() - started > kMaxReplyTime)
            return false;
        if (!queue_.Wait(timeout)) {
            // The event may have been missed between the empty pop and the wait.
            if (queue_.Size() == 0)
                return false;
        }
    }
}

bool CUsbComm::Transact(const std::string& command, std::string* reply) {
    if (!SendCommand(command))
        return false;
    if (!IsUsable())
        return false;
    if (ReadReply(kReplyWait, reply))
        return true;
    return IsUsable() && ReadReply(kReplyWait, reply);
}

bool CUsbComm::Flush() {
    if (!IsUsable())
        return false;
    auto started = clock_.Now();
    size_t dropped = 0;
    uint8_t buffer[8];
    while (true) {
        size_t got = queue_.ReadExactly(buffer, sizeof buffer);
        if (got == 0)
            return true;
        dropped += got;
        if (dropped > kMaxFlushBytes || clock_.Now() - started > kMaxFlushTime || IsLost())
            return false;
    }
}

bool CUsbComm::Resync() {
    bool sent = SendCommand("");
    return Flush() && sent;
}

bool CUsbComm::QueryNumber(const std::string& command, uint32_t& value) {
    std::string reply;
    if (!SendCommand(command) || !ReadReply(kReplyWait, &reply))
        return false;
    return ParseHex(reply, value);
}

bool CUsbComm::SetAndVerify(const std::string& set, const std::string& get, uint32_t value) {
    if (!SendCommand(set + Hex(value)))
        return false;
    ReadReply(kReplyWait);
    uint32_t got = 0;
    return QueryNumber(get, got) && got == value;
}

bool CUsbComm::RetriedTransact(const std::string& command, std::string* reply) {
    return Retried([&] { return Transact(command, reply); });
}

bool CUsbComm::RetriedQuery(const std::string& command, uint32_t& value) {
    return Retried([&] { return QueryNumber(command, value); });
}

// ---- identification and mode ----

bool CUsbComm::IsCurrentModel() {
    return IsUsable() && currentModel_ && ReleaseNumber() == currentModel_->modelId;
}

int CUsbComm::Identify(const std::string& reply, int expectation) {
    const std::string name = ReplyText(reply);
    const BaseConfig* entry = currentModel_;
    if (currentModel_) {
        if (name == currentModel_->bootImageName && IsCurrentModel())
            return 0;
        if (expectation == kExpectApplication) {
            if (name == currentModel_->shortCode && IsCurrentModel())
                return 1;
        } else if (IsCurrentModel()) {
            return 1;
        }
    }
    for (const BaseConfig* model : RegisteredModels()) {
        currentModel_ = model;
        if (name == model->bootImageName && ReleaseNumber() == model->modelId)
            return 0;
        if (expectation == kExpectApplication) {
            if (name == model->shortCode && ReleaseNumber() == model->modelId)
                return 1;
        } else if (ReleaseNumber() == model->modelId) {
            return 1;
        }
    }
    currentModel_ = entry;
    return kNotIdentified;
}

bool CUsbComm::Handshake(int expectation) {
    std::string v2;
    for (int probe = 1;; ++probe) {
        Resync();
        Resync();
        if (!Transact("V2", &v2))
            return false;
        bool notReady = v2.find("o0") != std::string::npos || v2.find("V2") != std::string::npos;
        if (!notReady)
            break;
        if (probe >= kProbes)
            return false;
        Wait(kProbePause);
    }
    if (v2.empty())
        return false;
    std::string v0;
    if (!Transact("V0", &v0))
        return false;
    int r = Identify(v0, expectation);
    if (r == kNotIdentified)
        return false;
    return expectation == kExpectEither || r == expectation;
}

void CUsbComm::ControlRecovery() {
    Wait(kRecoveryPause);
    SendControl(kControlDetach);
    Wait(kRecoveryPause);
    SendControl(kControlApplication);
    Wait(kRecoveryPause);
}

bool CUsbComm::SwitchToApplication() {
    if (mode_ == ChannelMode::Application)
        return true;
    Snapshot s = TakeSnapshot();
    mode_ = ChannelMode::Application;
    if (Handshake(kExpectApplication))
        return true;
    if (!Transact("B")) {
        ControlRecovery();
        Transact("B");
    }
    if (Handshake(kExpectApplication))
        return true;
    ControlRecovery();
    if (Handshake(kExpectApplication))
        return true;
    Restore(s);
    return false;
}

bool CUsbComm::SwitchToBootLoader() {
    if (mode_ == ChannelMode::BootLoader)
        return true;
    Snapshot s = TakeSnapshot();
    mode_ = ChannelMode::BootLoader;
    if (!Transact("b")) {
        for (int i = 0; i < 5; ++i) {
            SendControl(kControlBootLoader);
            Wait(std::chrono::milliseconds(100));
        }
        Wait(std::chrono::milliseconds(200));
    }
    if (Handshake(kExpectBootLoader))
        return true;
    ControlRecovery();
    if (Handshake(kExpectBootLoader))
        return true;
    Restore(s);
    return false;
}

bool CUsbComm::ReadFirmwareVersion(ModelVersion& version) {
    std::string reply;
    if (!Transact("V0", &reply))
        return false;
    return ParseFirmwareVersion(Widen(ReplyText(reply)), currentModel_, version);
}

}  // namespace CUsbController
