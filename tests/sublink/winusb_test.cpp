// The WinUSB transport and the driver check on Windows, against fakes of the system's calls: the
// WinUSB fake replays the simulated subwoofer's wire, so the command channel runs unchanged.

#include <gtest/gtest.h>

#include <map>
#include <mutex>

#include "correction/EqResult.h"
#include "sim_fixture.h"
#include "sublink/WinDriver.h"
#include "sublink/WinUsbApi.h"
#include "sublink/WinUsbTransport.h"
#include "threading/Errors.h"

using namespace CUsbController;
using namespace simtest;

namespace {

constexpr uint16_t kKT1 = 275;
constexpr DWORD kNoTextCode = 0x20001234;  // a code the system has no message for

DWORD CodeOf(const UsbStatus& s) {
    switch (s.error) {
        case UsbError::None:
            return ERROR_SUCCESS;
        case UsbError::NoMoreItems:
            return ERROR_NO_MORE_ITEMS;
        case UsbError::InsufficientBuffer:
            return ERROR_INSUFFICIENT_BUFFER;
        case UsbError::Timeout:
            return ERROR_SEM_TIMEOUT;
        case UsbError::NotConnected:
            return ERROR_DEVICE_NOT_CONNECTED;
        case UsbError::Busy:
            return ERROR_ACCESS_DENIED;
        case UsbError::Other:
            break;
    }
    return ERROR_GEN_FAILURE;
}

// The setup, file and WinUSB functions over a simulated bus; one fake at a time.
struct FakeWinUsb {
    Sim::SimBus* bus = nullptr;
    std::mutex lock;
    DWORD classFlags = 0;
    GUID classGuid{};
    DWORD createFileFailure = 0;
    std::vector<std::string> calls;  // the WinUSB calls and their arguments, in order
    std::map<HANDLE, std::unique_ptr<IUsbDeviceBackend>> files;
    int nextFile = 1;

    static FakeWinUsb* current;

    void Log(const std::string& call) {
        std::lock_guard<std::mutex> g(lock);
        calls.push_back(call);
    }
    static BOOL Result(const UsbStatus& s) {
        ::SetLastError(CodeOf(s));
        return s.ok();
    }
    static IUsbDeviceBackend& Backend(void* handle) {
        std::lock_guard<std::mutex> g(current->lock);
        return *current->files.at(static_cast<HANDLE>(handle));
    }

    static HDEVINFO WINAPI GetClassDevs(const GUID* guid, PCWSTR, HWND, DWORD flags) {
        current->classGuid = *guid;
        current->classFlags = flags;
        return reinterpret_cast<HDEVINFO>(0x1D1);
    }
    static BOOL WINAPI EnumInterfaces(HDEVINFO, PSP_DEVINFO_DATA, const GUID*, DWORD index,
                                      PSP_DEVICE_INTERFACE_DATA data) {
        data->Reserved = index;
        return Result(current->bus->EnumInterface(index));
    }
    static BOOL WINAPI Detail(HDEVINFO, PSP_DEVICE_INTERFACE_DATA data,
                              PSP_DEVICE_INTERFACE_DETAIL_DATA_W detail, DWORD size,
                              PDWORD required, PSP_DEVINFO_DATA) {
        std::wstring path;
        if (!Result(current->bus->InterfacePath(static_cast<unsigned>(data->Reserved), path)))
            return FALSE;
        const DWORD needed =
            static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath) +
                               (path.size() + 1) * sizeof(WCHAR));
        if (required)
            *required = needed;
        if (!detail || size < needed || detail->cbSize != sizeof *detail) {
            ::SetLastError(detail ? ERROR_INVALID_USER_BUFFER : ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        std::copy(path.c_str(), path.c_str() + path.size() + 1, detail->DevicePath);
        return TRUE;
    }
    static BOOL WINAPI DestroyList(HDEVINFO) { return TRUE; }
    static HANDLE WINAPI CreateFile(LPCWSTR path, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES,
                                    DWORD disposition, DWORD flags, HANDLE) {
        current->Log("CreateFileW " + std::to_string(access) + " " + std::to_string(share) + " " +
                     std::to_string(disposition) + " " + std::to_string(flags));
        if (current->createFileFailure) {
            ::SetLastError(current->createFileFailure);
            return INVALID_HANDLE_VALUE;
        }
        auto backend = current->bus->CreateBackend();
        if (!Result(backend->OpenFile(path)))
            return INVALID_HANDLE_VALUE;
        std::lock_guard<std::mutex> g(current->lock);
        auto handle = reinterpret_cast<HANDLE>(static_cast<intptr_t>(current->nextFile++));
        current->files[handle] = std::move(backend);
        return handle;
    }
    static BOOL WINAPI CloseFile(HANDLE h) {
        current->Log("CloseHandle");
        std::lock_guard<std::mutex> g(current->lock);
        current->files.erase(h);
        return TRUE;
    }
    static BOOL WINAPI Initialize(HANDLE file, PWINUSB_INTERFACE_HANDLE handle) {
        *handle = file;
        return Result(Backend(file).InitializeInterface());
    }
    static BOOL WINAPI Free(WINUSB_INTERFACE_HANDLE h) {
        current->Log("WinUsb_Free");
        return Result(Backend(h).FreeInterface());
    }
    static BOOL WINAPI Settings(WINUSB_INTERFACE_HANDLE h, UCHAR, PUSB_INTERFACE_DESCRIPTOR d) {
        uint8_t count = 0;
        const BOOL ok = Result(Backend(h).QueryInterfaceSettings(count));
        d->bNumEndpoints = count;
        return ok;
    }
    static BOOL WINAPI Pipe(WINUSB_INTERFACE_HANDLE h, UCHAR, UCHAR index,
                            PWINUSB_PIPE_INFORMATION info) {
        UsbPipeInfo pipe;
        const BOOL ok = Result(Backend(h).QueryPipe(index, pipe));
        info->PipeType = static_cast<USBD_PIPE_TYPE>(pipe.type);
        info->PipeId = pipe.id;
        return ok;
    }
    static BOOL WINAPI Policy(WINUSB_INTERFACE_HANDLE h, UCHAR pipe, ULONG type, ULONG length,
                              PVOID value) {
        const ULONG ms = *static_cast<ULONG*>(value);
        current->Log("SetPipePolicy " + std::to_string(pipe) + " " + std::to_string(type) + " " +
                     std::to_string(length) + " " + std::to_string(ms));
        return Result(Backend(h).SetPipeTimeout(pipe, ms));
    }
    static BOOL WINAPI Control(WINUSB_INTERFACE_HANDLE h, WINUSB_SETUP_PACKET p, PUCHAR buffer,
                               ULONG length, PULONG, LPOVERLAPPED) {
        current->Log("ControlTransfer " + std::to_string(p.RequestType) + " " +
                     std::to_string(p.Request) + " " + std::to_string(p.Value) + " " +
                     std::to_string(p.Index) + " " + std::to_string(p.Length) + " " +
                     (buffer ? "buffer" : "null") + " " + std::to_string(length));
        UsbSetupPacket setup;
        setup.requestType = p.RequestType;
        setup.request = p.Request;
        setup.value = p.Value;
        return Result(Backend(h).ControlTransfer(setup));
    }
    static BOOL WINAPI Descriptor(WINUSB_INTERFACE_HANDLE h, UCHAR type, UCHAR index,
                                  USHORT language, PUCHAR buffer, ULONG length, PULONG got) {
        current->Log("GetDescriptor " + std::to_string(type) + " " + std::to_string(index) + " " +
                     std::to_string(language) + " " + std::to_string(length));
        size_t n = 0;
        const BOOL ok = Result(Backend(h).GetDeviceDescriptor(buffer, length, n));
        *got = static_cast<ULONG>(n);
        return ok;
    }
    static BOOL WINAPI Write(WINUSB_INTERFACE_HANDLE h, UCHAR pipe, PUCHAR data, ULONG length,
                             PULONG written, LPOVERLAPPED) {
        size_t n = 0;
        const BOOL ok = Result(Backend(h).WritePipe(pipe, data, length, n));
        *written = static_cast<ULONG>(n);
        return ok;
    }
    static BOOL WINAPI Read(WINUSB_INTERFACE_HANDLE h, UCHAR pipe, PUCHAR buffer, ULONG length,
                            PULONG got, LPOVERLAPPED) {
        size_t n = 0;
        const BOOL ok = Result(Backend(h).ReadPipe(pipe, buffer, length, n));
        *got = static_cast<ULONG>(n);
        return ok;
    }
    static BOOL WINAPI Abort(WINUSB_INTERFACE_HANDLE h, UCHAR) {
        Backend(h).CancelRead();
        return TRUE;
    }
    // "Text for N." and a second line, or nothing for kNoTextCode.
    static DWORD WINAPI Format(DWORD, LPCVOID, DWORD code, DWORD, LPWSTR buffer, DWORD size,
                               va_list*) {
        if (code == kNoTextCode)
            return 0;
        const std::wstring text = L"Text for " + std::to_wstring(code) + L".\r\nSecond line.\r\n";
        if (text.size() >= size)
            return 0;
        std::copy(text.c_str(), text.c_str() + text.size() + 1, buffer);
        return static_cast<DWORD>(text.size());
    }

    WinUsbApi Api() {
        return WinUsbApi{&GetClassDevs, &EnumInterfaces, &Detail,     &DestroyList, &CreateFile,
                         &CloseFile,    &Initialize,     &Free,       &Settings,    &Pipe,
                         &Policy,       &Control,        &Descriptor, &Write,       &Read,
                         &Abort,        &::GetLastError, &Format};
    }
};

FakeWinUsb* FakeWinUsb::current = nullptr;

class WinUsb : public LineEndChannel {
protected:
    void SetUp() override {
        LineEndChannel::SetUp();
        fake.bus = bus.get();
        FakeWinUsb::current = &fake;
    }
    void TearDown() override { FakeWinUsb::current = nullptr; }

    std::unique_ptr<CUsbProgrammer> WinUsbChannel() {
        return std::make_unique<CUsbProgrammer>(winUsb, &clock);
    }

    FakeWinUsb fake;
    WinUsbApi api = fake.Api();
    std::shared_ptr<WinUsbBus> winUsb = std::make_shared<WinUsbBus>(&api);
};

TEST_P(WinUsb, EnumeratesTheClassAndDrivesTheDeviceThroughWinUsb) {
    Add(Options(kKT1));
    auto second = Add(Options(kKT1, {"release=276"}));
    EXPECT_EQ(CountDevices(*winUsb), 2u);
    EXPECT_EQ(fake.classFlags, 0x1Au);
    EXPECT_TRUE(IsEqualGUID(fake.classGuid, kSubwooferInterfaceClass));

    std::wstring status, path;
    PipePair pipes;
    auto device = OpenDevice(*winUsb, 1, status, pipes);
    ASSERT_TRUE(device) << tsl::ToUtf8(status);
    EXPECT_EQ(status, kTextInitialized);
    ASSERT_TRUE(bus->InterfacePath(1, path).ok());
    EXPECT_EQ(device->Path(), path);
    uint16_t release = 0;
    ASSERT_TRUE(device->ReadReleaseNumber(release));
    EXPECT_EQ(release, 276);
    ASSERT_TRUE(device->SendControl(0x0280));
    ASSERT_TRUE(device->CloseDevice());
    const std::string out = std::to_string(pipes.out), in = std::to_string(pipes.in);
    EXPECT_EQ(fake.calls,
              (std::vector<std::string>{
                  "CreateFileW " + std::to_string(GENERIC_READ | GENERIC_WRITE) + " 3 3 " +
                      std::to_string(FILE_FLAG_OVERLAPPED | FILE_ATTRIBUTE_NORMAL),
                  "SetPipePolicy " + out + " 3 4 2000",
                  "SetPipePolicy " + in + " 3 4 2000",
                  "GetDescriptor 1 0 0 18",
                  "ControlTransfer 192 0 640 0 0 null 0",
                  "WinUsb_Free",
                  "CloseHandle",
              }));
}

TEST_P(WinUsb, TheChannelHandshakesWritesRecoversFromATimeOutAndSeesTheUnplug) {
    auto dev = Add(Options(kKT1, {"silent=V0:1"}));
    auto ch = WinUsbChannel();
    unsigned total, busy, unrecognised, recognised;
    ASSERT_TRUE(ch->CensusDevices(total, busy, unrecognised, recognised));
    EXPECT_EQ(recognised, 1u);
    ASSERT_TRUE(ch->OpenAnyDevice());
    ASSERT_NE(ch->CurrentModel(), nullptr);
    EXPECT_EQ(ch->CurrentModel()->modelId, kKT1);
    EqResult r;
    r.valid = 1;
    for (int i = 0; i < 10; ++i)
        r.bands.push_back({1, 0.25, -0.5 + 0.01 * i, 0.5, 0.45, -0.95, 1});
    const auto image = BuildEqBlock(r, false, 224).value();
    ASSERT_TRUE(WriteEqualiser(*ch, image));
    EXPECT_EQ(dev->With([](Sim::SimFirmware& f) { return f.EqualiserImage(); }), image);

    dev->Unplug();
    for (int i = 0; i < 100 && !ch->IsLost(); ++i)
        ch->ReadReply(CUsbComm::kReplyWait);
    EXPECT_TRUE(ch->IsLost());
    ch->CloseChannel();
}

TEST_P(WinUsb, ADeviceOpenElsewhereCountsAsBusyWithTheSystemText) {
    Add(Options(kKT1));
    fake.createFileFailure = ERROR_ACCESS_DENIED;
    std::wstring status;
    PipePair pipes;
    EXPECT_FALSE(OpenDevice(*winUsb, 0, status, pipes));
    EXPECT_EQ(status, L"Text for 5.");
    auto ch = WinUsbChannel();
    unsigned total, busy, unrecognised, recognised;
    EXPECT_FALSE(ch->CensusDevices(total, busy, unrecognised, recognised));
    EXPECT_EQ(total, 1u);
    EXPECT_EQ(busy, 1u);
}

INSTANTIATE_LINE_ENDS(WinUsb);

TEST(WinUsbTexts, SystemTextsAreCutAtTheFirstReturnOrUnknown) {
    WinUsbApi api{};
    api.formatMessage = &FakeWinUsb::Format;
    EXPECT_EQ(WinUsbErrorText(api, ERROR_SEM_TIMEOUT), L"Text for 121.");
    EXPECT_EQ(WinUsbErrorText(api, kNoTextCode), L"Unknown Error");
    EXPECT_EQ(WinUsbErrorKind(ERROR_SEM_TIMEOUT), UsbError::Timeout);
    EXPECT_EQ(WinUsbErrorKind(ERROR_DEVICE_NOT_CONNECTED), UsbError::NotConnected);
    EXPECT_EQ(WinUsbErrorKind(ERROR_NO_MORE_ITEMS), UsbError::NoMoreItems);
}

TEST(WinUsbSystem, TheRealEnumerationFindsNoSubwooferHere) {
    WinUsbBus bus;
    EXPECT_EQ(CountDevices(bus), 0u);
}

// ---- the driver check and the installer ----

std::vector<std::wstring> drivers;
std::wstring existing, ran;
bool runFails = false;

BOOL WINAPI EnumDrivers(LPVOID* list, DWORD size, LPDWORD needed) {
    *needed = static_cast<DWORD>(drivers.size() * sizeof(LPVOID));
    for (size_t i = 0; list && i < drivers.size() && (i + 1) * sizeof(LPVOID) <= size; ++i)
        list[i] = reinterpret_cast<LPVOID>(i + 1);
    return TRUE;
}
DWORD WINAPI DriverName(LPVOID base, LPWSTR name, DWORD size) {
    const std::wstring& n = drivers.at(reinterpret_cast<size_t>(base) - 1);
    const size_t count = std::min<size_t>(n.size(), size - 1);
    std::copy(n.c_str(), n.c_str() + count, name);
    name[count] = 0;
    return static_cast<DWORD>(count);
}
DWORD WINAPI Attributes(LPCWSTR path) {
    return path == existing ? FILE_ATTRIBUTE_NORMAL : INVALID_FILE_ATTRIBUTES;
}
BOOL WINAPI Execute(SHELLEXECUTEINFOW* info) {
    if (runFails) {
        ::SetLastError(ERROR_CANCELLED);
        return FALSE;
    }
    ran = info->lpFile + std::wstring(info->lpParameters ? L" args" : L"");
    EXPECT_EQ(info->fMask, static_cast<ULONG>(SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI));
    EXPECT_EQ(info->nShow, SW_SHOW);
    info->hProcess = reinterpret_cast<HANDLE>(0x77);
    return TRUE;
}
DWORD WINAPI Wait(HANDLE process, DWORD ms) {
    EXPECT_EQ(process, reinterpret_cast<HANDLE>(0x77));
    EXPECT_EQ(ms, INFINITE);
    return WAIT_OBJECT_0;
}
BOOL WINAPI Close(HANDLE) {
    return TRUE;
}

const WinDriverApi kDriverApi{&EnumDrivers, &DriverName, &Attributes,     &Execute,
                              &Wait,        &Close,      &::GetLastError, &FakeWinUsb::Format};

TEST(WinDriver, WinUsbSysAmongTheLoadedDriversIgnoringCase) {
    drivers = {L"ntoskrnl.exe", L"usbhub.sys"};
    EXPECT_FALSE(IsDriverLoaded(kDriverApi));
    drivers.push_back(L"WINUSB.SYS");
    EXPECT_TRUE(IsDriverLoaded(kDriverApi));
    drivers.clear();
    EXPECT_FALSE(IsDriverLoaded(kDriverApi));
}

TEST(WinDriver, ReinstallRunsDpinstBelowTheProgramFolder) {
    std::wstring message;
    EXPECT_FALSE(RunDriverInstaller(kDriverApi, L"", false, message));
    EXPECT_EQ(message.substr(0, 43), L"Unable to find the device driver installer.");
    const std::wstring path = L"C:\\Tessaline\\USB Device Driver\\dpinst.exe";
    existing.clear();
    EXPECT_FALSE(RunDriverInstaller(kDriverApi, L"C:\\Tessaline", true, message));
    EXPECT_EQ(message, path + L" does not exist");
    existing = path;
    EXPECT_TRUE(RunDriverInstaller(kDriverApi, L"C:\\Tessaline", true, message));
    EXPECT_EQ(ran, path);
    runFails = true;
    EXPECT_FALSE(RunDriverInstaller(kDriverApi, L"C:\\Tessaline", true, message));
    EXPECT_EQ(message, path + L" could not be run: Text for 1223.");
    runFails = false;
}

}  // namespace
