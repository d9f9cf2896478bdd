#include "sim/SimFirmware.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "measure/Checksum.h"
#include "sublink/BaseConfig.h"

namespace Sim {

namespace {
std::string Hex(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%X", static_cast<unsigned>(v));
    return buf;
}

// The command's hexadecimal argument; false when there is none or it is malformed.
bool Argument(const std::string& text, size_t from, uint32_t& value) {
    if (from >= text.size() || text.size() - from > 8)
        return false;
    uint32_t v = 0;
    for (size_t i = from; i < text.size(); ++i) {
        char c = text[i];
        int d = (c >= '0' && c <= '9')   ? c - '0'
                : (c >= 'A' && c <= 'F') ? c - 'A' + 10
                : (c >= 'a' && c <= 'f') ? c - 'a' + 10
                                         : -1;
        if (d < 0)
            return false;
        v = (v << 4) | static_cast<uint32_t>(d);
    }
    value = v;
    return true;
}

constexpr const char* kRefused = "!";
constexpr const char* kGarbled = "#?~%";
constexpr size_t kMaxCommand = 64;
}  // namespace

SimFirmware::SimFirmware(SimOptions options) : options_(std::move(options)), mode_(options_.mode) {
    model_ = CUsbController::FindModelById(options_.modelId);
    working_.assign(RegionBytes(), 0xFF);
}

bool SimFirmware::Has(FaultKind kind) const {
    return std::any_of(options_.faults.begin(), options_.faults.end(),
                       [kind](const Fault& f) { return f.kind == kind; });
}

const Fault* SimFirmware::Find(FaultKind kind, const std::string& name) {
    faultHits_.resize(options_.faults.size());
    for (size_t i = 0; i < options_.faults.size(); ++i) {
        const Fault& f = options_.faults[i];
        if (f.kind != kind || f.command != name)
            continue;
        uint32_t& hits = faultHits_[i];
        if (f.count != 0 && hits >= f.count)
            continue;
        ++hits;
        return &f;
    }
    return nullptr;
}

bool SimFirmware::Busy() const {
    return Has(FaultKind::Busy);
}
bool SimFirmware::DescriptorReadable() const {
    return !Has(FaultKind::NoDescriptor);
}
bool SimFirmware::BulkOnly() const {
    return Has(FaultKind::BulkOnly);
}

uint16_t SimFirmware::ReleaseNumber() const {
    for (const Fault& f : options_.faults)
        if (f.kind == FaultKind::Release)
            return static_cast<uint16_t>(f.count);
    return options_.modelId;
}

uint32_t SimFirmware::RegionCount(uint32_t memory) const {
    if (memory == 0) {
        // Enough regions for every block of the layout.
        const auto* flash = model_ ? model_->flashConfig : nullptr;
        uint32_t top = 32;
        if (flash)
            for (const auto& b : flash->blocks)
                if (b.length != 0xFFFFFFFF && b.region + 1 > top)
                    top = b.region + 1;
        return top <= 32 ? 32 : 128;
    }
    return kDataRegions;
}

std::vector<uint8_t> SimFirmware::Region(uint32_t memory, uint32_t region) const {
    auto it = flash_.find({memory, region});
    if (it == flash_.end())
        return std::vector<uint8_t>(RegionBytes(), 0xFF);
    return it->second;
}

void SimFirmware::SetRegion(uint32_t memory, uint32_t region, std::vector<uint8_t> bytes) {
    bytes.resize(RegionBytes(), 0xFF);
    if (std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0xFF; }))
        flash_.erase({memory, region});
    else
        flash_[{memory, region}] = std::move(bytes);
}

std::vector<uint8_t> SimFirmware::EqualiserImage() const {
    if (!model_ || !model_->flashConfig)
        return {};
    const auto& b = model_->flashConfig->EqualiserBlock();
    auto region = Region(b.memory, b.region);
    if (b.offset >= region.size())
        return {};
    size_t end = std::min<size_t>(region.size(), size_t{b.offset} + b.length);
    return {region.begin() + b.offset, region.begin() + static_cast<std::ptrdiff_t>(end)};
}

void SimFirmware::Reply(const std::string& line) {
    output_.insert(output_.end(), line.begin(), line.end());
    if (Has(FaultKind::CrLf))
        output_.push_back('\r');
    output_.push_back('\n');
}

bool SimFirmware::HasOutput() const {
    return Has(FaultKind::Babble) || !output_.empty();
}

bool SimFirmware::NextPacket(std::vector<uint8_t>& packet) {
    packet.clear();
    if (unplugged_)
        return false;
    if (Has(FaultKind::Babble)) {
        packet.assign(8, 'x');
        return true;
    }
    size_t n = std::min<size_t>(Has(FaultKind::Trickle) ? 1 : 8, output_.size());
    packet.assign(output_.begin(), output_.begin() + static_cast<std::ptrdiff_t>(n));
    output_.erase(output_.begin(), output_.begin() + static_cast<std::ptrdiff_t>(n));
    return n > 0;
}

void SimFirmware::Control(uint16_t value) {
    if (unplugged_)
        return;
    if (value == 0x0280) {  // forced restart into the boot loader
        mode_ = SimMode::BootLoader;
        tone_ = 0;
    }
}

void SimFirmware::Receive(const uint8_t* data, size_t length) {
    for (size_t i = 0; i < length && !unplugged_; ++i) {
        uint8_t b = data[i];
        switch (phase_) {
            case Phase::UploadData:
                uploadData_.push_back(b);
                if (uploadData_.size() >= uploadExpected_)
                    phase_ = Phase::UploadChecksum;
                break;
            case Phase::UploadChecksum:
                uploadSum_.push_back(b);
                if (uploadSum_.size() == 4)
                    FinishUpload();
                break;
            case Phase::Command:
                if (b == ';') {
                    std::string text;
                    text.swap(pending_);
                    Command(text);
                } else if (pending_.size() < kMaxCommand) {
                    pending_.push_back(static_cast<char>(b));
                }
                break;
        }
    }
    // The data of an upload is what its write carries; the checksum comes in the next write.
    if (phase_ == Phase::UploadData)
        phase_ = Phase::UploadChecksum;
}

void SimFirmware::Command(const std::string& text) {
    ++commands_;
    log_.push_back(text);
    if (log_.size() > 4096)
        log_.erase(log_.begin(), log_.begin() + 2048);
    for (const Fault& f : options_.faults)
        if (f.kind == FaultKind::Unplug && commands_ > f.count) {
            unplugged_ = true;
            return;
        }
    std::string name = CommandName(text);
    if (!name.empty() && Find(FaultKind::UnplugAt, name)) {
        unplugged_ = true;
        return;
    }
    bool silent = !name.empty() && Find(FaultKind::Silent, name);
    bool refuse = !silent && !name.empty() && Find(FaultKind::Refuse, name);
    if (silent || refuse) {
        if (text[0] == 'u') {  // the data still follows; it is swallowed, not executed
            uint32_t words = 0;
            Argument(text, 1, words);
            uploadExpected_ = size_t{words} * BytesPerWord();
            uploadData_.clear();
            uploadSum_.clear();
            uploadSilent_ = true;
            phase_ = uploadExpected_ ? Phase::UploadData : Phase::UploadChecksum;
        }
        if (refuse)
            Reply(kRefused);
        return;
    }
    bool answer = true;
    std::string reply = Execute(text, answer);
    if (!answer)
        return;
    if (!name.empty() && Find(FaultKind::Garble, name))
        reply = kGarbled;
    else if (!name.empty() && Find(FaultKind::Echo, name))
        reply = text;
    else if (!name.empty() && Find(FaultKind::Wrong, name))
        reply = Hex(static_cast<uint32_t>(std::strtoul(reply.c_str(), nullptr, 16)) + 1);
    Reply(reply);
}

std::string SimFirmware::Execute(const std::string& text, bool& answer) {
    if (text.empty()) {  // resynchronisation: nothing to answer
        answer = false;
        return {};
    }
    bool boot = mode_ == SimMode::BootLoader;
    uint32_t arg = 0;
    const std::string name = CommandName(text);
    if (name == "V2") {
        ++probes_;
        for (const Fault& f : options_.faults) {
            if (f.kind == FaultKind::NotReady && probes_ <= f.count)
                return "o0";
            if (f.kind == FaultKind::NotReadyEcho && probes_ <= f.count)
                return "V2";
        }
        return "R1";
    }
    if (name == "V0") {
        if (!model_)
            return "unknown";
        return boot ? model_->bootImageName : model_->shortCode;
    }
    if (text == "B") {
        mode_ = SimMode::Application;
        return "B";
    }
    if (text == "b") {
        mode_ = SimMode::BootLoader;
        tone_ = 0;
        return "b";
    }
    if (name[0] == 't') {
        if (boot)
            return kRefused;
        if (text == "t2" || text == "t3") {
            tone_ = text[1] - '0';
            return "t";
        }
        if (text == "t4" || text == "t0") {
            tone_ = 0;
            return "t";
        }
        return kRefused;
    }
    // Everything below is the boot loader's memory access.
    if (!boot)
        return kRefused;
    if (text == "G0")
        return Hex(options_.memoryCount);
    if (text == "G2")
        return Hex(RegionCount(memory_));
    if (text == "G3")
        return Hex(kWordsPerRegion);
    if (text == "G4")
        return Hex(options_.bitsPerWord);
    if (text == "H")
        return Hex(memory_);
    if (text == "S")
        return Hex(region_);
    if (text == "A")
        return Hex(address_);
    switch (text[0]) {
        case 'h':
            if (!Argument(text, 1, arg) || arg >= options_.memoryCount || arg > 1)
                return kRefused;
            memory_ = arg;
            region_ = address_ = 0;
            return "h";
        case 's':
            if (!Argument(text, 1, arg) || arg >= RegionCount(memory_))
                return kRefused;
            region_ = arg;
            address_ = 0;
            return "s";
        case 'a':
            if (!Argument(text, 1, arg) || arg >= kWordsPerRegion)
                return kRefused;
            address_ = arg;
            return "a";
        case 'M':
            if (text.size() != 1)
                return kRefused;
            working_ = Region(memory_, region_);
            return "M";
        case 'm': {
            if (text.size() != 1)
                return kRefused;
            std::vector<uint8_t> stored = working_;
            if (Has(FaultKind::BadStore))
                stored[stored.size() / 2] ^= 0x5A;
            SetRegion(memory_, region_, std::move(stored));
            ++stores_;
            return "m";
        }
        case 'D': {
            size_t from = 0, count = working_.size();
            if (text.size() > 1) {
                if (!Argument(text, 1, arg))
                    return kRefused;
                from = SelectedBase();
                count = std::min<size_t>(size_t{arg} * BytesPerWord(), working_.size() - from);
            }
            return Hex(BlockChecksum(working_.data() + from, count));
        }
        case 'u':
            if (!Argument(text, 1, arg))
                return kRefused;
            uploadExpected_ = size_t{arg} * BytesPerWord();
            uploadData_.clear();
            uploadSum_.clear();
            uploadSilent_ = false;
            phase_ = uploadExpected_ ? Phase::UploadData : Phase::UploadChecksum;
            answer = false;  // answered when the checksum has arrived
            return {};
        default:
            return kRefused;
    }
}

void SimFirmware::FinishUpload() {
    phase_ = Phase::Command;
    if (uploadSilent_)
        return;
    uint32_t sent = uint32_t{uploadSum_[0]} | uint32_t{uploadSum_[1]} << 8 |
                    uint32_t{uploadSum_[2]} << 16 | uint32_t{uploadSum_[3]} << 24;
    size_t from = SelectedBase();
    if (sent != BlockChecksum(uploadData_.data(), uploadData_.size()) ||
        from + uploadData_.size() > working_.size()) {
        Reply(kRefused);
        return;
    }
    std::copy(uploadData_.begin(), uploadData_.end(),
              working_.begin() + static_cast<std::ptrdiff_t>(from));
    ++uploads_;
    Reply("u");
}

}  // namespace Sim
