#include "sublink/UsbTransport.h"

namespace CUsbController {

const wchar_t* const kTextNotInitialized = L"WinUsb handle has not been initialized";
const wchar_t* const kTextInitialized = L"The WinUSB device has been initialized";
const wchar_t* const kTextUnknownError = L"Unknown Error";

namespace {
// Platform texts are cut at the first carriage return, as the system messages end with one.
std::wstring ErrorText(const UsbStatus& s) {
    if (s.text.empty())
        return kTextUnknownError;
    return s.text.substr(0, s.text.find(L'\r'));
}
}  // namespace

CWinUsbDevice::CWinUsbDevice(std::unique_ptr<IUsbDeviceBackend> backend)
    : backend_(std::move(backend)) {}

CWinUsbDevice::~CWinUsbDevice() {
    if (interfaceReady_ || fileOpen_)
        CloseDevice();
}

std::wstring CWinUsbDevice::LastError() const {
    std::lock_guard<std::mutex> g(errorLock_);
    return lastError_;
}

void CWinUsbDevice::SetLastError(std::wstring text) {
    std::lock_guard<std::mutex> g(errorLock_);
    lastError_ = std::move(text);
}

bool CWinUsbDevice::Record(const UsbStatus& s) {
    if (!s.ok())
        SetLastError(ErrorText(s));
    return s.ok();
}

bool CWinUsbDevice::CheckInterface() {
    if (interfaceReady_ && backend_)
        return true;
    SetLastError(kTextNotInitialized);
    return false;
}

bool CWinUsbDevice::SetPipeTimeout(uint8_t pipe, uint32_t ms) {
    return CheckInterface() && Record(backend_->SetPipeTimeout(pipe, ms));
}

bool CWinUsbDevice::SendControl(uint16_t value) {
    if (!CheckInterface())
        return false;
    UsbSetupPacket setup;
    setup.value = value;
    return Record(backend_->ControlTransfer(setup));
}

bool CWinUsbDevice::ReadReleaseNumber(uint16_t& value) {
    value = kNoReleaseNumber;
    if (!CheckInterface())
        return false;
    uint8_t desc[18] = {};
    size_t got = 0;
    if (!Record(backend_->GetDeviceDescriptor(desc, sizeof desc, got)))
        return false;
    if (got < 14 || desc[1] != 1) {
        SetLastError(kTextUnknownError);
        return false;
    }
    value = static_cast<uint16_t>(desc[12] | (desc[13] << 8));
    return true;
}

bool CWinUsbDevice::WriteOut(uint8_t pipe, const uint8_t* data, size_t length, size_t& written) {
    written = 0;
    return CheckInterface() && Record(backend_->WritePipe(pipe, data, length, written));
}

bool CWinUsbDevice::ReadIn(uint8_t pipe, uint8_t (&buffer)[kReadChunk], size_t& got,
                           UsbError& error) {
    got = 0;
    if (!CheckInterface()) {
        error = UsbError::Other;
        return false;
    }
    UsbStatus s = backend_->ReadPipe(pipe, buffer, kReadChunk, got);
    error = s.error;
    if (got > kReadChunk)
        got = kReadChunk;
    return Record(s);
}

void CWinUsbDevice::CancelRead() {
    if (backend_)
        backend_->CancelRead();
}

bool CWinUsbDevice::CloseDevice() {
    if (!interfaceReady_) {
        SetLastError(kTextNotInitialized);
        if (fileOpen_ && backend_)
            backend_->CloseFile();
        fileOpen_ = false;
        return false;
    }
    bool freed = Record(backend_->FreeInterface());
    interfaceReady_ = false;
    if (fileOpen_)
        backend_->CloseFile();
    fileOpen_ = false;
    return freed;
}

unsigned CountDevices(IUsbBus& bus) {
    // An index whose enumeration fails for another reason still counts.
    for (unsigned i = 0;; ++i) {
        if (bus.EnumInterface(i).error == UsbError::NoMoreItems)
            return i;
        if (i > 1024)  // a platform that never reports the end of the list
            return i;
    }
}

bool GetDevicePath(IUsbBus& bus, unsigned index, std::wstring& path, std::wstring& lastError) {
    UsbStatus s = bus.EnumInterface(index);
    if (s.ok())
        s = bus.InterfacePath(index, path);
    lastError = s.ok() ? std::wstring(L"The operation completed successfully.") : ErrorText(s);
    return s.ok();
}

std::unique_ptr<CWinUsbDevice> OpenDevice(IUsbBus& bus, unsigned index, std::wstring& status,
                                          PipePair& pipes) {
    pipes = PipePair{};
    auto device = std::make_unique<CWinUsbDevice>(bus.CreateBackend());
    auto fail = [&]() -> std::unique_ptr<CWinUsbDevice> {
        status = device->LastError();
        device->CloseDevice();
        return nullptr;
    };
    if (!device->backend_) {
        device->SetLastError(kTextUnknownError);
        return fail();
    }
    std::wstring enumText;
    bool havePath = GetDevicePath(bus, index, device->path_, enumText);
    device->SetLastError(enumText);
    if (!havePath)
        return fail();
    if (!device->Record(device->backend_->OpenFile(device->path_)))
        return fail();
    device->fileOpen_ = true;
    if (!device->Record(device->backend_->InitializeInterface()))
        return fail();
    device->interfaceReady_ = true;

    uint8_t endpoints = 0;
    if (!device->Record(device->backend_->QueryInterfaceSettings(endpoints)))
        return fail();
    PipePair found;
    for (uint8_t i = 0; i < endpoints; ++i) {
        UsbPipeInfo info;
        if (!device->Record(device->backend_->QueryPipe(i, info)))
            continue;
        if (info.type != kPipeTypeInterrupt)
            continue;
        if ((info.id & 0x80) != 0) {
            if (found.in == kNoPipe)
                found.in = info.id;
        } else if (found.out == kNoPipe) {
            found.out = info.id;
        }
        if (found.in != kNoPipe && found.out != kNoPipe)
            break;
    }
    if (found.in == kNoPipe || found.out == kNoPipe)
        return fail();

    status = kTextInitialized;
    if (!device->SetPipeTimeout(found.out, kPipeTimeoutMs) ||
        !device->SetPipeTimeout(found.in, kPipeTimeoutMs))
        return fail();
    pipes = found;
    return device;
}

}  // namespace CUsbController
