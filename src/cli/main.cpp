// tessaline-cli: chooses this build's platform devices (libusb, PortAudio/ALSA and, with Qt, PNG
// pictures) and hands the command line to the commands' library, which parses and runs it.

#include <unistd.h>

#include <iostream>

#include "app/AppText.h"
#include "cli/Cli.h"
#include "measure/PortAudioRecorder.h"
#include "sublink/LibusbTransport.h"
#include "threading/Errors.h"
#include "threading/HeapPolicy.h"
#include "threading/WaitPolicy.h"
#ifdef TESSALINE_PNG
#include "export/PlotPng.h"
#endif

namespace {

Env::Backends PlatformBackends() {
    Env::Backends backends;
    backends.usbBus = [](std::vector<CUsbController::UsbId> ids) {
        return std::make_shared<CUsbController::LibusbBus>(std::move(ids));
    };
    backends.driver = CUsbController::DriverSupport::Platform;
    backends.recorders = AudioSampler::CreateEnumerator;
#ifdef TESSALINE_PNG
    backends.png = [](const std::vector<Exporting::PlotCurve>& curves,
                      const Exporting::PlotOptions& plot, const std::filesystem::path& path) {
        Exporting::OffscreenGui gui;
        Exporting::SavePlotPng(curves, plot, path);
    };
#endif
    return backends;
}

}  // namespace

int main(int argc, char** argv) {
    Threading::UsePassiveWaitPolicy(argv);
    Threading::KeepFreedMemoryForReuse();
    cli::Program program;
    program.version = tsl::ToUtf8(ProgramVersionText());
    program.backends = PlatformBackends();
    Env::ReadVariables(program.defaults);
    const cli::Io io{std::cin, std::cout, std::cerr, ::isatty(STDIN_FILENO) != 0,
                     ::isatty(STDERR_FILENO) != 0};
    return cli::RunCommandLine(argc, argv, io, program);
}
