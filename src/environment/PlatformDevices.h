#pragma once
// This build's platform devices, for the executables' composition roots only (they link the
// backends): WinUSB and the Windows recorders on Windows, libusb and PortAudio/ALSA elsewhere.

#include <cstdio>

#include "environment/Environment.h"
#ifdef _WIN32
#include <io.h>

#include "measure/WinAudioRecorder.h"
#include "sublink/WinUsbTransport.h"
#else
#include <unistd.h>

#include "measure/PortAudioRecorder.h"
#include "sublink/LibusbTransport.h"
#endif

namespace Env {

inline Backends PlatformDevices() {
    Backends backends;
#ifdef _WIN32
    // The subwoofer's interface class finds it; ids are not needed.
    backends.usbBus = [](std::vector<CUsbController::UsbId>) {
        return std::make_shared<CUsbController::WinUsbBus>();
    };
#else
    backends.usbBus = [](std::vector<CUsbController::UsbId> ids) {
        return std::make_shared<CUsbController::LibusbBus>(std::move(ids));
    };
#endif
    backends.driver = CUsbController::DriverSupport::Platform;
    backends.recorders = AudioSampler::CreateEnumerator;
    return backends;
}

// Whether the standard stream reads from or writes to a terminal.
inline bool IsTerminal(std::FILE* stream) {
#ifdef _WIN32
    return ::_isatty(::_fileno(stream)) != 0;
#else
    return ::isatty(::fileno(stream)) != 0;
#endif
}

}  // namespace Env
