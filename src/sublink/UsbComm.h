#pragma once
// The command channel to one subwoofer: the opened device, a reader thread that moves every byte
// from the IN pipe into the receive queue, and the subwoofer's command language (ASCII commands
// ended by ";", one-line replies, hexadecimal numbers, one raw upload command). Every wait goes
// through the channel's clock.

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sublink/BaseConfig.h"
#include "sublink/ByteQueue.h"
#include "sublink/FlashConfig.h"
#include "sublink/ModelVersion.h"
#include "sublink/UsbEnvironment.h"
#include "sublink/UsbTransport.h"
#include "threading/Clock.h"

namespace CUsbController {

// What the host believes is selected in the subwoofer's memory; 0xFFFFFFFF while unset.
struct MemorySelection {
    static constexpr uint32_t kUnset = 0xFFFFFFFF;
    uint32_t memoryCount = kUnset;
    uint32_t memory = kUnset;
    uint32_t regionCount = kUnset;
    uint32_t region = kUnset;
    uint32_t wordCount = kUnset;
    uint32_t address = kUnset;
    uint32_t bytesPerWord = kUnset;

    bool operator==(const MemorySelection&) const = default;
};

enum class ChannelMode : uint32_t { Unset = 0, Application = 1, BootLoader = 2 };

// Handshake expectations and Identify results.
inline constexpr int kExpectBootLoader = 0;
inline constexpr int kExpectApplication = 1;
inline constexpr int kExpectEither = 2;
inline constexpr int kNotIdentified = 3;

class CUsbComm {
public:
    static constexpr std::chrono::milliseconds kReplyWait{5000};
    static constexpr std::chrono::milliseconds kProbePause{500};
    static constexpr std::chrono::milliseconds kRecoveryPause{500};
    static constexpr int kAttempts = 4;
    static constexpr int kProbes = 4;
    // Bounds that keep a device that never stops sending from holding the channel forever.
    static constexpr size_t kMaxFlushBytes = 64 * 1024;
    static constexpr std::chrono::seconds kMaxFlushTime{30};
    static constexpr size_t kMaxReplyBytes = 4096;
    static constexpr std::chrono::seconds kMaxReplyTime{60};

    explicit CUsbComm(UsbEnvironment environment = {});
    CUsbComm(std::shared_ptr<IUsbBus> bus, Threading::IClock* clock);
    virtual ~CUsbComm();
    CUsbComm(const CUsbComm&) = delete;
    CUsbComm& operator=(const CUsbComm&) = delete;

    // Opening and closing.
    bool OpenAnyDevice(std::vector<std::wstring>* names = nullptr);
    void CloseChannel();
    bool CensusDevices(unsigned& total, unsigned& busy, unsigned& unrecognised,
                       unsigned& recognised);

    // Framing.
    bool SendCommand(const std::string& text);
    bool ReadReply(std::chrono::milliseconds timeout, std::string* reply = nullptr);
    bool Transact(const std::string& command, std::string* reply = nullptr);
    bool Flush();
    bool Resync();
    bool QueryNumber(const std::string& command, uint32_t& value);
    bool SetAndVerify(const std::string& set, const std::string& get, uint32_t value);
    // Up to four attempts with a resynchronisation after each failed one.
    bool RetriedTransact(const std::string& command, std::string* reply = nullptr);
    bool RetriedQuery(const std::string& command, uint32_t& value);

    // Identification and mode.
    bool Handshake(int expectation);
    int Identify(const std::string& reply, int expectation);
    bool IsCurrentModel();
    const BaseConfig* FindModelOfDevice();
    bool SwitchToApplication();
    bool SwitchToBootLoader();
    bool ReadFirmwareVersion(ModelVersion& version);

    // Memory addressing.
    bool QueryMemoryCount();
    bool SelectMemory(uint32_t n);
    bool QueryLayout();
    bool SelectRegion(uint32_t n);
    bool SelectAddress(uint32_t n);
    bool SelectBlock(const MemoryBlock& block);
    bool QueryChecksum(const MemoryBlock& block, uint32_t& checksum);
    bool LoadBlock(const MemoryBlock& block, uint32_t& checksum);
    // Retried "M": loads the selected region into the device's working copy. A refusal ("!")
    // is a failed attempt, so nothing is ever decided on a copy that was not loaded.
    bool LoadRegion();
    bool UploadBlock(const MemoryBlock& block, const std::vector<uint8_t>& data);

    // State.
    bool IsOpen() const { return device_ != nullptr; }
    bool IsLost() const { return deviceLost_.load() != 0; }
    bool IsUsable() const { return IsOpen() && !IsLost(); }
    const BaseConfig* CurrentModel() const { return currentModel_; }
    void SetCurrentModel(const BaseConfig* model) { currentModel_ = model; }
    ChannelMode Mode() const { return mode_; }
    const MemorySelection& Selection() const { return cache_; }
    const std::wstring& LastDevicePath() const { return lastDevicePath_; }
    PipePair Pipes() const { return pipes_; }
    Threading::IClock& Clock() const { return clock_; }
    // Device-control request, traced; false when no device is open.
    bool SendControl(uint16_t value);

    // Formatting helpers of the command language.
    static std::string Hex(uint32_t value);
    static bool ParseHex(const std::string& reply, uint32_t& value);
    // The name or text a reply carries: without the carriage return that some devices end their
    // lines with.
    static std::string ReplyText(const std::string& reply);
    static bool IsRefusal(const std::string& reply) { return !reply.empty() && reply[0] == '!'; }
    static uint32_t WordAddress(const MemoryBlock& block) { return (block.offset + 1) / 2; }
    static uint32_t WordCount(const MemoryBlock& block) { return (block.length + 1) / 2; }

protected:
    template <class F>
    bool Retried(F attempt) {
        for (int i = 0; i < kAttempts; ++i) {
            if (attempt())
                return true;
            Resync();
        }
        return false;
    }
    void Wait(std::chrono::milliseconds d) { clock_.SleepFor(d); }

private:
    void Trace(const std::string& line) const {
        if (trace_)
            trace_(line);
    }
    struct Snapshot {
        MemorySelection cache;
        ChannelMode mode;
    };
    Snapshot TakeSnapshot() const { return {cache_, mode_}; }
    void Restore(const Snapshot& s) {
        cache_ = s.cache;
        mode_ = s.mode;
    }
    uint16_t ReleaseNumber();
    bool OpenIndex(unsigned index);
    void DropDevice();
    void StartReader();
    void StopReader();
    void ReaderLoop(CWinUsbDevice* device, uint8_t inPipe);
    bool WriteRaw(const uint8_t* data, size_t length);
    bool LayoutKnown() const;
    void ControlRecovery();

    std::shared_ptr<IUsbBus> bus_;
    Threading::IClock& clock_;
    UsbTraceSink trace_;

    std::unique_ptr<CWinUsbDevice> device_;
    std::wstring lastDevicePath_;
    PipePair pipes_;
    std::atomic<uint32_t> deviceLost_{0};
    std::atomic<uint32_t> readerRunning_{0};
    CByteQueue queue_;
    std::thread reader_;
    MemorySelection cache_;
    ChannelMode mode_ = ChannelMode::Unset;
    const BaseConfig* currentModel_ = nullptr;
};

}  // namespace CUsbController
