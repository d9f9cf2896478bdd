#pragma once
// The driver check and the driver installer on Windows, through a table of the system's calls:
// the loaded kernel drivers (psapi) must include WinUsb.sys, and "Reinstall" runs
// "USB Device Driver\dpinst.exe" below the program's folder and waits for it.

#include <windows.h>
//
#include <psapi.h>
#include <shellapi.h>

#include <string>

namespace CUsbController {

struct WinDriverApi {
    decltype(&::EnumDeviceDrivers) enumDeviceDrivers;
    decltype(&::GetDeviceDriverBaseNameW) getDeviceDriverBaseName;
    decltype(&::GetFileAttributesW) getFileAttributes;
    decltype(&::ShellExecuteExW) shellExecuteEx;
    decltype(&::WaitForSingleObject) waitForSingleObject;
    decltype(&::CloseHandle) closeHandle;
    decltype(&::GetLastError) getLastError;
    decltype(&::FormatMessageW) formatMessage;
};

const WinDriverApi& SystemWinDriverApi();

bool IsDriverLoaded(const WinDriverApi& api);
// `directory` is the program's folder (found false when it could not be found).
bool RunDriverInstaller(const WinDriverApi& api, const std::wstring& directory, bool found,
                        std::wstring& message);

}  // namespace CUsbController
