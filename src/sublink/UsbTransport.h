#pragma once
// The USB transport: enumeration of the subwoofer's interfaces, one opened device with an
// interrupt IN and an interrupt OUT pipe, the vendor control request and the device descriptor.
// It moves bytes and reports failures as text; it knows nothing of the command language.
//
// A platform provides two things: an IUsbBus (enumeration) and, per device, an
// IUsbDeviceBackend (the handle-level calls). CWinUsbDevice and OpenDevice add the rules that
// every platform shares: handle checks, pipe discovery, time-outs and the error texts.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace CUsbController {

// Why a platform call failed. NotConnected is the one the channel acts on (the device is gone).
enum class UsbError { None, NoMoreItems, InsufficientBuffer, Timeout, NotConnected, Busy, Other };

struct UsbStatus {
    UsbError error = UsbError::None;
    std::wstring text;  // the platform's message; empty means "Unknown Error" when failed

    static UsbStatus Ok() { return {}; }
    static UsbStatus Fail(UsbError e, std::wstring t = {}) { return {e, std::move(t)}; }
    bool ok() const { return error == UsbError::None; }
    explicit operator bool() const { return ok(); }
};

inline constexpr uint8_t kNoPipe = 0xFF;
inline constexpr uint32_t kPipeTimeoutMs = 2000;
inline constexpr size_t kReadChunk = 8;
inline constexpr uint16_t kNoReleaseNumber = 0xFFFF;
inline constexpr uint8_t kPipeTypeInterrupt = 3;

struct PipePair {
    uint8_t in = kNoPipe;
    uint8_t out = kNoPipe;
};

struct UsbPipeInfo {
    uint8_t type = 0;  // 0 control, 1 isochronous, 2 bulk, 3 interrupt
    uint8_t id = 0;    // endpoint address; bit 7 set means IN
};

// The vendor request the system makes (device-to-host, no data stage).
struct UsbSetupPacket {
    uint8_t requestType = 0xC0;
    uint8_t request = 0x00;
    uint16_t value = 0;
    uint16_t index = 0;
    uint16_t length = 0;
};

// The platform calls for one device. The "file" is the path opened for access, the
// "interface" the generic-USB interface initialised on it.
class IUsbDeviceBackend {
public:
    virtual ~IUsbDeviceBackend() = default;
    virtual UsbStatus OpenFile(const std::wstring& path) = 0;
    virtual void CloseFile() = 0;
    virtual UsbStatus InitializeInterface() = 0;
    virtual UsbStatus FreeInterface() = 0;
    virtual UsbStatus QueryInterfaceSettings(uint8_t& endpointCount) = 0;
    virtual UsbStatus QueryPipe(uint8_t endpointIndex, UsbPipeInfo& info) = 0;
    virtual UsbStatus SetPipeTimeout(uint8_t pipe, uint32_t ms) = 0;
    virtual UsbStatus ControlTransfer(const UsbSetupPacket& setup) = 0;
    // Reads up to 18 bytes of the standard device descriptor.
    virtual UsbStatus GetDeviceDescriptor(uint8_t* buffer, size_t capacity, size_t& got) = 0;
    virtual UsbStatus WritePipe(uint8_t pipe, const uint8_t* data, size_t length,
                                size_t& written) = 0;
    // One transfer of at most `capacity` bytes; returns after data or the pipe time-out.
    virtual UsbStatus ReadPipe(uint8_t pipe, uint8_t* buffer, size_t capacity, size_t& got) = 0;
    // Makes a pending ReadPipe return early (so a reader notices a stop at once). Optional.
    virtual void CancelRead() {}
};

// Enumeration of the present subwoofer interfaces, in a stable order for one enumeration.
class IUsbBus {
public:
    virtual ~IUsbBus() = default;
    // Ok when an interface exists at index, NoMoreItems past the end, anything else counts.
    virtual UsbStatus EnumInterface(unsigned index) = 0;
    virtual UsbStatus InterfacePath(unsigned index, std::wstring& path) = 0;
    virtual std::unique_ptr<IUsbDeviceBackend> CreateBackend() = 0;
};

// One opened device. Owned by exactly one command channel.
class CWinUsbDevice {
public:
    explicit CWinUsbDevice(std::unique_ptr<IUsbDeviceBackend> backend);
    ~CWinUsbDevice();
    CWinUsbDevice(const CWinUsbDevice&) = delete;
    CWinUsbDevice& operator=(const CWinUsbDevice&) = delete;

    bool SetPipeTimeout(uint8_t pipe, uint32_t ms);
    bool SendControl(uint16_t value);
    bool ReadReleaseNumber(uint16_t& value);
    bool WriteOut(uint8_t pipe, const uint8_t* data, size_t length, size_t& written);
    // Reads 0..8 bytes; `error` tells a lost device from a time-out.
    bool ReadIn(uint8_t pipe, uint8_t (&buffer)[kReadChunk], size_t& got, UsbError& error);
    bool CloseDevice();
    void CancelRead();

    std::wstring LastError() const;
    const std::wstring& Path() const { return path_; }
    bool IsOpen() const { return fileOpen_ && interfaceReady_; }

private:
    friend std::unique_ptr<CWinUsbDevice> OpenDevice(IUsbBus& bus, unsigned index,
                                                     std::wstring& status, PipePair& pipes);
    bool CheckInterface();
    bool Record(const UsbStatus& s);
    void SetLastError(std::wstring text);

    mutable std::mutex errorLock_;  // the text is written by the reader and the owner thread
    std::wstring lastError_;
    bool fileOpen_ = false;
    bool interfaceReady_ = false;
    std::wstring path_;
    std::unique_ptr<IUsbDeviceBackend> backend_;
};

extern const wchar_t* const kTextNotInitialized;
extern const wchar_t* const kTextInitialized;
extern const wchar_t* const kTextUnknownError;

// The first index at which enumeration reports no more items.
unsigned CountDevices(IUsbBus& bus);
bool GetDevicePath(IUsbBus& bus, unsigned index, std::wstring& path, std::wstring& lastError);
// Opens device number `index` with its pipes found and 2000 ms pipe time-outs; none on failure,
// with the reason in `status`.
std::unique_ptr<CWinUsbDevice> OpenDevice(IUsbBus& bus, unsigned index, std::wstring& status,
                                          PipePair& pipes);

}  // namespace CUsbController
