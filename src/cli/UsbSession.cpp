#include "cli/UsbSession.h"

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <mutex>
#include <sstream>

#include "sim/SimBus.h"
#include "sim/SimState.h"
#include "sublink/LibusbTransport.h"
#include "sublink/UsbEnvironment.h"
#include "sublink/UsbProgrammer.h"
#include "sublink/UsbTrace.h"
#include "threading/Errors.h"

namespace cli {

namespace {

struct Session {
    std::shared_ptr<Sim::SimDevice> simulated;
    std::unique_ptr<Threading::VirtualClock> clock;
};

Session& TheSession() {
    static Session s;
    return s;
}

std::string FaultList() {
    std::string text = "Inject a fault into the simulated subwoofer (repeatable):";
    for (const auto& line : Sim::FaultHelp())
        text += "\n  " + line;
    return text;
}

void StartSimulation(GlobalOptions& g) {
    Sim::SimOptions options;
    if (g.simModel < 0 || g.simModel > 0xFFFF)
        throw CliFailure("--sim-model must be a 16-bit model identifier");
    options.modelId = static_cast<uint16_t>(g.simModel);
    for (const auto& text : g.simFaults) {
        auto fault = Sim::ParseFault(text);
        if (!fault)
            throw CliFailure("Unknown or malformed simulated fault: " + text);
        options.faults.push_back(*fault);
    }
    std::optional<Sim::SimState> state;
    if (!g.simState.empty())
        state = Sim::LoadState(g.simState);
    if (state) {
        options.modelId = state->modelId;
        options.mode = state->mode;
    }
    auto device = std::make_shared<Sim::SimDevice>(options);
    if (state)
        device->With([&](Sim::SimFirmware& f) {
            Sim::ApplyState(*state, f);
            return 0;
        });
    auto bus = std::make_shared<Sim::SimBus>();
    bus->Add(device);
    Session& s = TheSession();
    s.simulated = device;
    // The simulated subwoofer answers at once, so its waits need not take real time.
    s.clock = std::make_unique<Threading::VirtualClock>();
    CUsbController::SetDefaultUsbClock(s.clock.get());
    CUsbController::SetDefaultUsbBus(bus);
}

void StartUsb(GlobalOptions& g) {
    if (g.trace) {
        static std::mutex traceLock;
        CUsbController::SetUsbTrace([](const std::string& line) {
            std::lock_guard<std::mutex> l(traceLock);
            std::cerr << line << '\n';
        });
    }
    if (g.simulate) {
        StartSimulation(g);
        return;
    }
    std::vector<CUsbController::UsbId> ids;
    for (const auto& text : g.usbIds) {
        auto id = CUsbController::ParseUsbId(text);
        if (!id)
            throw CliFailure("--usb-id must be VVVV:PPPP in hexadecimal: " + text);
        ids.push_back(*id);
    }
    if (const char* env = std::getenv("TESSALINE_USB_IDS"))
        if (!CUsbController::ParseUsbIdList(env, ids))
            throw CliFailure(std::string("TESSALINE_USB_IDS must be VVVV:PPPP,...: ") + env);
#ifdef TESSALINE_HAVE_LIBUSB
    CUsbController::SetDefaultUsbBus(std::make_shared<CUsbController::LibusbBus>(std::move(ids)));
#else
    CUsbController::SetDefaultUsbBus(std::make_shared<CUsbController::EmptyUsbBus>());
#endif
}

}  // namespace

void AddUsbOptions(CLI::App& app, GlobalOptions& g) {
    app.add_option("--usb-id", g.usbIds,
                   "USB vendor:product id of a subwoofer, VVVV:PPPP in hexadecimal (repeatable; "
                   "also TESSALINE_USB_IDS=VVVV:PPPP,...)");
    app.add_flag("--simulate", g.simulate, "Talk to one simulated subwoofer instead of USB");
    app.add_option("--sim-model", g.simModel,
                   "Model identifier of the simulated subwoofer (default 275, \"KT1\")");
    app.add_option("--sim-fault", g.simFaults, FaultList());
    app.add_option("--sim-state", g.simState,
                   "Load the simulated subwoofer from FILE when it exists and save it back when "
                   "the command ends");
    app.parse_complete_callback([&g] {
        if (!g.simState.empty() || !g.simFaults.empty())
            g.simulate = true;
        StartUsb(g);
    });
}

UsbSessionGuard::~UsbSessionGuard() {
    Session& s = TheSession();
    if (s.simulated && !globals_.simState.empty()) {
        try {
            auto state =
                s.simulated->With([](Sim::SimFirmware& f) { return Sim::CaptureState(f); });
            Sim::SaveState(state, globals_.simState);
        } catch (const std::exception& e) {
            std::cerr << tsl::ToUtf8(tsl::ExceptionText(e)) << '\n';
        }
    }
    CUsbController::SetDefaultUsbBus(nullptr);
    CUsbController::SetDefaultUsbClock(nullptr);
    CUsbController::SetUsbTrace(nullptr);
    s.simulated.reset();
    s.clock.reset();
}

}  // namespace cli
