#pragma once
// The subwoofer's side of the command language: boot loader and application code, the readiness
// probe, the test tone, and the flash memories with their working copy, selected and written
// through the load, upload, checksum and store commands. Not thread-safe: SimDevice locks it.

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "sim/SimFaults.h"

namespace CUsbController {
class BaseConfig;
}

namespace Sim {

enum class SimMode { Application, BootLoader };

struct SimOptions {
    uint16_t modelId = 275;
    SimMode mode = SimMode::Application;
    uint32_t memoryCount = 2;
    uint32_t bitsPerWord = 16;
    std::vector<Fault> faults;
};

class SimFirmware {
public:
    static constexpr uint32_t kWordsPerRegion = 256;
    static constexpr uint32_t kDataRegions = 4;  // memory 1

    explicit SimFirmware(SimOptions options = {});

    // Host to device: the bytes of one OUT write. An upload's data ends with its write.
    void Receive(const uint8_t* data, size_t length);
    void Control(uint16_t value);
    // Device to host: the next IN packet (at most 8 bytes); false when nothing is pending.
    bool NextPacket(std::vector<uint8_t>& packet);
    bool HasOutput() const;

    // Faults may be added while running, so that a test can open the device first.
    void AddFault(Fault f) { options_.faults.push_back(std::move(f)); }
    bool Unplugged() const { return unplugged_; }
    void Unplug() { unplugged_ = true; }
    bool Busy() const;
    bool DescriptorReadable() const;
    bool BulkOnly() const;
    uint16_t ReleaseNumber() const;

    // State seen by tests and the persisted state file.
    const SimOptions& Options() const { return options_; }
    SimMode Mode() const { return mode_; }
    void SetMode(SimMode m) { mode_ = m; }
    bool ToneOn() const { return tone_ != 0; }
    int ToneVariant() const { return tone_; }
    unsigned CommandsReceived() const { return commands_; }
    unsigned StoresDone() const { return stores_; }
    unsigned UploadsDone() const { return uploads_; }
    const std::vector<std::string>& Log() const { return log_; }
    const CUsbController::BaseConfig* Model() const { return model_; }

    uint32_t RegionCount(uint32_t memory) const;
    uint32_t RegionBytes() const { return kWordsPerRegion * BytesPerWord(); }
    // One region of flash (0xFF where never written).
    std::vector<uint8_t> Region(uint32_t memory, uint32_t region) const;
    void SetRegion(uint32_t memory, uint32_t region, std::vector<uint8_t> bytes);
    // Regions that hold anything but 0xFF: {memory, region} -> bytes.
    const std::map<std::pair<uint32_t, uint32_t>, std::vector<uint8_t>>& Flash() const {
        return flash_;
    }
    // The bytes of the model's equaliser block as flash holds them; empty without a layout.
    std::vector<uint8_t> EqualiserImage() const;

private:
    uint32_t BytesPerWord() const {
        return options_.bitsPerWord / 8 ? options_.bitsPerWord / 8 : 1;
    }
    void Command(const std::string& text);
    std::string Execute(const std::string& text, bool& answer);
    void FinishUpload();
    void Reply(const std::string& line);
    const Fault* Find(FaultKind kind, const std::string& name);
    bool Has(FaultKind kind) const;
    uint32_t SelectedBase() const { return address_ * BytesPerWord(); }

    SimOptions options_;
    const CUsbController::BaseConfig* model_ = nullptr;
    SimMode mode_;
    int tone_ = 0;
    bool unplugged_ = false;
    unsigned commands_ = 0;
    unsigned stores_ = 0;
    unsigned uploads_ = 0;
    unsigned probes_ = 0;
    std::vector<uint32_t> faultHits_;  // per entry of options_.faults
    std::vector<std::string> log_;

    std::string pending_;  // command text gathered up to ";"
    enum class Phase { Command, UploadData, UploadChecksum } phase_ = Phase::Command;
    std::vector<uint8_t> uploadData_;
    std::vector<uint8_t> uploadSum_;
    size_t uploadExpected_ = 0;
    bool uploadSilent_ = false;

    uint32_t memory_ = 0, region_ = 0, address_ = 0;
    std::vector<uint8_t> working_;
    std::map<std::pair<uint32_t, uint32_t>, std::vector<uint8_t>> flash_;
    std::deque<uint8_t> output_;
};

}  // namespace Sim
