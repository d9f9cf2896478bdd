#include "cli/UsbSession.h"

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <mutex>

#include "sim/SimScene.h"
#include "threading/Errors.h"

namespace cli {

namespace {

std::string FaultList() {
    std::string text = "Inject a fault into the simulated subwoofer (repeatable):";
    for (const auto& line : Sim::FaultHelp())
        text += "\n  " + line;
    return text;
}

std::unique_ptr<Sim::SimScene> MakeScene(const GlobalOptions& g) {
    Sim::SceneOptions options;
    if (g.simModel < 0 || g.simModel > 0xFFFF)
        throw UsageError("--sim-model must be a model identifier from 0 to 65535: " +
                         std::to_string(g.simModel));
    options.modelId = static_cast<uint16_t>(g.simModel);
    for (const auto& text : g.simFaults) {
        auto fault = Sim::ParseFault(text);
        if (!fault)
            throw UsageError("Unknown or malformed simulated fault: " + text);
        options.faults.push_back(*fault);
    }
    options.stateFile = g.simState;
    return std::make_unique<Sim::SimScene>(std::move(options));
}

std::shared_ptr<CUsbController::IUsbBus> MakeUsbBus(const GlobalOptions& g) {
    std::vector<CUsbController::UsbId> ids;
    for (const auto& text : g.usbIds) {
        auto id = CUsbController::ParseUsbId(text);
        if (!id)
            throw UsageError("--usb-id must be VVVV:PPPP in hexadecimal: " + text);
        ids.push_back(*id);
    }
    if (const char* env = std::getenv("TESSALINE_USB_IDS"))
        if (!CUsbController::ParseUsbIdList(env, ids))
            throw UsageError(std::string("TESSALINE_USB_IDS must be VVVV:PPPP,...: ") + env);
    if (!g.backends.usbBus)
        throw CliFailure("This build has no USB support; use --simulate");
    return g.backends.usbBus(std::move(ids));
}

}  // namespace

Session::StateLock::StateLock(const std::string& stateFile) {
    // A lock file beside the state: the state itself is replaced by each save.
    const std::string path = stateFile + ".lock";
    lock_ = std::make_unique<Threading::FileLock>(path);
    if (lock_->State() == Threading::FileLock::Result::Locked)
        return;
    if (lock_->State() == Threading::FileLock::Result::Busy)
        throw CliFailure("The simulation state '" + stateFile +
                         "' is in use by another command; run this one when it has ended");
    const std::string reason = std::strerror(lock_->Error());
    if (lock_->OpenFailed())
        throw CliFailure("Cannot lock the simulation state: '" + path +
                         "' could not be opened: " + reason);
    throw CliFailure("Cannot lock the simulation state '" + path + "': " + reason);
}

Session::StateLock::~StateLock() = default;

Session::Session(const GlobalOptions& g)
    : driver_(g.backends.driver), recorders_(g.backends.recorders) {
    if (g.trace) {
        auto lock = std::make_shared<std::mutex>();
        trace_ = [lock](const std::string& line) {
            std::lock_guard<std::mutex> l(*lock);
            std::cerr << line << '\n';
        };
    }
    if (g.simulate) {
        if (!g.simState.empty())
            stateLock_ = std::make_unique<StateLock>(g.simState);
        scene_ = MakeScene(g);
    } else
        bus_ = MakeUsbBus(g);
}

Session::~Session() = default;

CUsbController::UsbEnvironment Session::Usb() const {
    if (scene_)
        return scene_->Usb(trace_);
    return {bus_, nullptr, trace_};
}

CUsbController::DriverSupport Session::Driver() const {
    // The simulated subwoofer needs no USB driver.
    if (scene_)
        return {};
    return driver_ ? driver_() : CUsbController::DriverSupport{};
}

AudioSampler::EnumeratorFactory Session::Recorders() const {
    if (scene_)
        return scene_->Recorders();
    if (!recorders_)
        throw CliFailure("This build has no microphone support; use --simulate");
    return recorders_;
}

void Session::Finish() {
    if (scene_)
        scene_->SaveState();
}

MeasureEnvironment UsbSteps(const GlobalOptions& globals) {
    MeasureEnvironment environment;
    environment.usb = globals.session->Usb();
    environment.deviceCheck.driver = globals.session->Driver();
    return environment;
}

void AddUsbOptions(CLI::App& app, GlobalOptions& g) {
#ifdef _WIN32
    app.add_option("--usb-id", g.usbIds,
                   "Checked, but not needed on Windows: the subwoofer is found by its driver's "
                   "device interface class (also TESSALINE_USB_IDS=VVVV:PPPP,...)");
#else
    app.add_option("--usb-id", g.usbIds,
                   "USB vendor:product id of a subwoofer, VVVV:PPPP in hexadecimal (repeatable; "
                   "also TESSALINE_USB_IDS=VVVV:PPPP,...)");
#endif
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
        g.session = std::make_shared<Session>(g);
    });
}

}  // namespace cli
