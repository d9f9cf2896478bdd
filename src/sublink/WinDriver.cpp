#include "sublink/WinDriver.h"

#include <cwctype>
#include <filesystem>
#include <vector>

#include "sublink/Discovery.h"
#include "sublink/WinUsbApi.h"
#include "threading/ProgramPaths.h"

namespace CUsbController {

namespace {

const wchar_t* const kDriverName = L"WinUsb.sys";
const wchar_t* const kInstallerFolder = L"USB Device Driver";
const wchar_t* const kInstaller = L"dpinst.exe";
const wchar_t* const kNoInstallerDir =
    L"Unable to find the device driver installer.\r\nIt should be located at: <InstallDir>\\USB "
    L"Device Driver\\.\r\nWhere <InstallDir> is the installation directory that you chose during "
    L"installation.";

bool SameIgnoringCase(const wchar_t* a, const wchar_t* b) {
    for (; *a && *b; ++a, ++b)
        if (std::towlower(static_cast<wint_t>(*a)) != std::towlower(static_cast<wint_t>(*b)))
            return false;
    return *a == *b;
}

}  // namespace

const WinDriverApi& SystemWinDriverApi() {
    static const WinDriverApi api{
        &::EnumDeviceDrivers, &::GetDeviceDriverBaseNameW, &::GetFileAttributesW,
        &::ShellExecuteExW,   &::WaitForSingleObject,      &::CloseHandle,
        &::GetLastError,      &::FormatMessageW,
    };
    return api;
}

bool IsDriverLoaded(const WinDriverApi& api) {
    DWORD needed = 0;
    if (!api.enumDeviceDrivers(nullptr, 0, &needed) || needed == 0)
        return false;
    std::vector<LPVOID> drivers(needed / sizeof(LPVOID));
    if (!api.enumDeviceDrivers(drivers.data(), static_cast<DWORD>(drivers.size() * sizeof(LPVOID)),
                               &needed))
        return false;
    // The list may have shrunk between the two calls.
    drivers.resize(std::min<size_t>(drivers.size(), needed / sizeof(LPVOID)));
    for (LPVOID base : drivers) {
        wchar_t name[MAX_PATH + 1] = {};
        if (api.getDeviceDriverBaseName(base, name, MAX_PATH) &&
            SameIgnoringCase(name, kDriverName))
            return true;
    }
    return false;
}

bool RunDriverInstaller(const WinDriverApi& api, const std::wstring& directory, bool found,
                        std::wstring& message) {
    message.clear();
    if (!found) {
        message = kNoInstallerDir;
        return false;
    }
    const std::wstring path =
        (std::filesystem::path(directory) / kInstallerFolder / kInstaller).wstring();
    const DWORD attributes = api.getFileAttributes(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        message = path + L" does not exist";
        return false;
    }
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpFile = path.c_str();
    info.nShow = SW_SHOW;
    if (!api.shellExecuteEx(&info)) {
        // Not started (refused elevation, a broken file): the user hears why.
        message =
            path + L" could not be run: " + Win32ErrorText(api.formatMessage, api.getLastError());
        return false;
    }
    if (info.hProcess) {
        api.waitForSingleObject(info.hProcess, INFINITE);
        api.closeHandle(info.hProcess);
    }
    return true;
}

// The platform's entries of Discovery.h.
bool IsDriverLoaded() {
    return IsDriverLoaded(SystemWinDriverApi());
}

bool RunDriverInstallerIn(const std::wstring& directory, bool directoryFound,
                          std::wstring& message) {
    return RunDriverInstaller(SystemWinDriverApi(), directory, directoryFound, message);
}

bool RunDriverInstaller(std::wstring& message) {
    std::error_code ec;
    const std::filesystem::path folder = Threading::ProgramFolder(ec);
    const bool found = !ec && !folder.empty();
    return RunDriverInstallerIn(found ? folder.wstring() : std::wstring(), found, message);
}

DriverSupport DriverSupport::Platform() {
    return DriverSupport{[] { return IsDriverLoaded(); },
                         [](std::wstring& message) { return RunDriverInstaller(message); }};
}

}  // namespace CUsbController
