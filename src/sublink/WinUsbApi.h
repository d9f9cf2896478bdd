#pragma once
// The Windows calls of the WinUSB transport, as a table, so that the transport runs against fakes
// in tests. SystemWinUsbApi() holds the real functions of setupapi, kernel32 and winusb.

#include <windows.h>
//
#include <setupapi.h>
#include <winusb.h>

#include <string>

namespace CUsbController {

// The device interface class the subwoofer's driver registers.
// {C20D59CF-ACE4-4685-8C16-01CEB69793EB}
inline constexpr GUID kSubwooferInterfaceClass = {
    0xC20D59CF, 0xACE4, 0x4685, {0x8C, 0x16, 0x01, 0xCE, 0xB6, 0x97, 0x93, 0xEB}};

// DIGCF_PRESENT | DIGCF_PROFILE | DIGCF_DEVICEINTERFACE
inline constexpr DWORD kClassDevsFlags = 0x1A;

struct WinUsbApi {
    decltype(&::SetupDiGetClassDevsW) getClassDevs;
    decltype(&::SetupDiEnumDeviceInterfaces) enumDeviceInterfaces;
    decltype(&::SetupDiGetDeviceInterfaceDetailW) getDeviceInterfaceDetail;
    decltype(&::SetupDiDestroyDeviceInfoList) destroyDeviceInfoList;
    decltype(&::CreateFileW) createFile;
    decltype(&::CloseHandle) closeHandle;
    decltype(&::WinUsb_Initialize) initialize;
    decltype(&::WinUsb_Free) free;
    decltype(&::WinUsb_QueryInterfaceSettings) queryInterfaceSettings;
    decltype(&::WinUsb_QueryPipe) queryPipe;
    decltype(&::WinUsb_SetPipePolicy) setPipePolicy;
    decltype(&::WinUsb_ControlTransfer) controlTransfer;
    decltype(&::WinUsb_GetDescriptor) getDescriptor;
    decltype(&::WinUsb_WritePipe) writePipe;
    decltype(&::WinUsb_ReadPipe) readPipe;
    decltype(&::WinUsb_AbortPipe) abortPipe;
    decltype(&::GetLastError) getLastError;
    decltype(&::FormatMessageW) formatMessage;
};

const WinUsbApi& SystemWinUsbApi();

// The system's message for a Win32 error code (FormatMessageW, default language), cut at its
// first carriage return; "Unknown Error" when the system has none.
std::wstring Win32ErrorText(decltype(&::FormatMessageW) format, unsigned long code);

}  // namespace CUsbController
