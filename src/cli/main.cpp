#include <algorithm>
#include <cstdio>
#include <exception>
#include <functional>
#include <iostream>

#include "cli/Commands.h"
#include "cli/UsbSession.h"
#ifdef _WIN32
#include "measure/WinAudioRecorder.h"
#include "sublink/WinUsbTransport.h"
#else
#include "measure/PortAudioRecorder.h"
#include "sublink/LibusbTransport.h"
#endif
#include "threading/Errors.h"
#include "threading/HeapPolicy.h"
#include "threading/WaitPolicy.h"
#ifdef TESSALINE_PNG
#include "export/PlotPng.h"
#endif

namespace {

// This executable's platform devices: libusb and PortAudio/ALSA, or on Windows WinUSB and the
// Windows recorders; with Qt, PNG pictures.
cli::Backends PlatformBackends() {
    cli::Backends backends;
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
    CLI::App app{"tessaline-cli: measure a room, fit and write a subwoofer equaliser"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "tessaline-cli " TESSALINE_VERSION);
    cli::GlobalOptions globals;
    globals.backends = PlatformBackends();
    app.add_flag("--trace", globals.trace, "Print every USB command, reply and control request");
    cli::AddUsbOptions(app, globals);
    for (const cli::Command& command : cli::Commands())
        command.setup(app, globals);
    // Global options may follow the command name of every command, nested ones included.
    std::function<void(CLI::App&)> fallThrough = [&fallThrough](CLI::App& parent) {
        for (CLI::App* command : parent.get_subcommands({})) {
            command->fallthrough();
            fallThrough(*command);
        }
    };
    fallThrough(app);

    int status = 0;
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return 1;
    } catch (const cli::UsageError& e) {
        std::cerr << e.what() << '\n';
        return 1;
    } catch (const cli::CliFailure& e) {
        std::cerr << e.what() << '\n';
        status = 2;
    } catch (const std::exception& e) {
        std::cerr << tsl::ToUtf8(tsl::ExceptionText(e)) << '\n';
        status = 2;
    }
    // The simulated subwoofer is saved whatever the command did; a failed save fails the run.
    try {
        if (globals.session)
            globals.session->Finish();
    } catch (const std::exception& e) {
        std::cerr << tsl::ToUtf8(tsl::ExceptionText(e)) << '\n';
        status = 2;
    }
    std::cout.flush();
    return status;
}
