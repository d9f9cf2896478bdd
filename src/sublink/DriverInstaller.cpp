// On Linux the driver "installer" is the udev rule shipped beside the program, which grants
// access to the subwoofer; installing it needs root, so its installation is explained.

#include <filesystem>
#include <system_error>

#include "sublink/Discovery.h"
#include "threading/ProgramPaths.h"

namespace CUsbController {

namespace {

const wchar_t* const kInstallerFolder = L"USB Device Driver";
const wchar_t* const kRuleFile = L"60-tessaline.rules";
const wchar_t* const kNoInstallerDir =
    L"Unable to find the device driver installer.\r\nIt should be located at: <InstallDir>\\USB "
    L"Device Driver\\.\r\nWhere <InstallDir> is the installation directory that you chose during "
    L"installation.";

}  // namespace

bool RunDriverInstallerIn(const std::wstring& directory, bool directoryFound,
                          std::wstring& message) {
    message.clear();
    if (!directoryFound) {
        message = kNoInstallerDir;
        return false;
    }
    const std::filesystem::path rule =
        std::filesystem::path(directory) / kInstallerFolder / kRuleFile;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(rule, ec)) {
        message = rule.wstring() + L" does not exist";
        return false;
    }
    // Installing the rule needs root, which this program does not ask for.
    message =
        L"To give this program access to the subwoofer, install the udev rule as root and "
        L"plug the subwoofer in again:\r\n\tsudo cp '" +
        rule.wstring() +
        L"' /etc/udev/rules.d/\r\n\tsudo udevadm control --reload-rules\r\n\tsudo "
        L"udevadm trigger";
    return true;
}

bool RunDriverInstaller(std::wstring& message) {
    std::error_code ec;
    const std::filesystem::path folder = Threading::ProgramFolder(ec);
    const bool found = !ec && !folder.empty();
    return RunDriverInstallerIn(found ? folder.wstring() : std::wstring(), found, message);
}

}  // namespace CUsbController
