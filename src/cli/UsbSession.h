#pragma once
// The composition root of tessaline-cli: the global device-selection options and the environment
// every command runs against, real USB and microphone or the simulated scene.

#include <memory>
#include <string>

#include "cli/Cli.h"
#include "measure/AudioRec.h"
#include "sublink/Discovery.h"
#include "sublink/UsbEnvironment.h"
#include "threading/FileLock.h"
#include "threading/MessageBridge.h"
#include "wizard/MeasureStep.h"

namespace Sim {
class SimScene;
}

namespace cli {

// Registers --usb-id, --simulate, --sim-model, --sim-fault and --sim-state. The session is built
// once parsing is complete, before any command runs.
void AddUsbOptions(CLI::App& app, GlobalOptions& globals);

class Session {
public:
    // Raises CliFailure for bad option values.
    explicit Session(const GlobalOptions& globals);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // The bus, clock and trace of every command channel of this run.
    CUsbController::UsbEnvironment Usb() const;
    // The platform's driver check, or none in a simulation.
    CUsbController::DriverSupport Driver() const;
    // The microphone's recorders: the platform's, or the simulated microphone.
    AudioSampler::EnumeratorFactory Recorders() const;
    // The simulated scene; null on real hardware.
    Sim::SimScene* Scene() const { return scene_.get(); }

    // The bridge the console front-end drains (this program's UI thread is main's).
    Threading::MessageBridge& Bridge() { return bridge_; }

    // Saves the simulated subwoofer to --sim-state; raises the failure.
    void Finish();

private:
    // Held for the whole command, so that commands sharing a state file do not lose updates.
    class StateLock {
    public:
        StateLock() = default;
        explicit StateLock(const std::string& stateFile);
        ~StateLock();
        StateLock(const StateLock&) = delete;
        StateLock& operator=(const StateLock&) = delete;

    private:
        std::unique_ptr<Threading::FileLock> lock_;
    };

    std::unique_ptr<StateLock> stateLock_;
    std::unique_ptr<Sim::SimScene> scene_;
    std::shared_ptr<CUsbController::IUsbBus> bus_;
    std::function<CUsbController::DriverSupport()> driver_;
    AudioSampler::EnumeratorFactory recorders_;
    CUsbController::UsbTraceSink trace_;
    Threading::MessageBridge bridge_;
};

// The steps' environment for commands that only talk to the subwoofer (upload, erase).
MeasureEnvironment UsbSteps(const GlobalOptions& globals);

}  // namespace cli
