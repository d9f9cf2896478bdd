// The platform side of discovery on Linux: USB access through libusb, in place of the generic USB
// driver.

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "sublink/Discovery.h"

#include <libusb.h>

namespace CUsbController {

bool IsDriverLoaded() {
    libusb_context* context = nullptr;
    if (libusb_init(&context) != 0)
        return false;
    libusb_exit(context);
    std::error_code ec;
    return std::filesystem::is_directory("/dev/bus/usb", ec) &&
           ::access("/dev/bus/usb", R_OK | X_OK) == 0;
}

DriverSupport DriverSupport::Platform() {
    return DriverSupport{&IsDriverLoaded, &RunDriverInstaller};
}

}  // namespace CUsbController
