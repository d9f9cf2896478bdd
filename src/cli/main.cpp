// tessaline-cli: chooses this build's platform devices (libusb and PortAudio/ALSA, or WinUSB and
// the Windows recorders, and with Qt PNG pictures) and hands the command line to the commands'
// library, which parses and runs it.

#include <iostream>

#include "app/AppText.h"
#include "cli/Cli.h"
#include "cli/ConsoleInterrupt.h"
#include "environment/PlatformDevices.h"
#include "threading/Errors.h"
#include "threading/HeapPolicy.h"
#include "threading/WaitPolicy.h"
#ifdef TESSALINE_PNG
#include "export/PlotPng.h"
#endif

namespace {

Env::Backends PlatformBackends() {
    Env::Backends backends = Env::PlatformDevices();
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
    Threading::ConsoleInterrupts interrupts;
    const cli::Io io{
        std::cin,   std::cout, std::cerr, Env::IsTerminal(stdin), Env::IsTerminal(stderr),
        &interrupts};
    return cli::RunCommandLine(argc, argv, io, program);
}
