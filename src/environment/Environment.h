#pragma once
// The environment both programs run against, built once in their composition roots from the
// parsed options: the USB bus (real or the simulated scene's) with its clock and trace, the
// microphone's recorders and calibration folder, the platform's driver check, and the simulation
// state file with its lock. The platform backends come in as factories from the executable, so
// that nothing here links them.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "measure/AudioRec.h"
#include "sublink/Discovery.h"
#include "sublink/UsbEnvironment.h"
#include "sublink/UsbIds.h"
#include "threading/Clock.h"
#include "threading/Prompt.h"
#include "wizard/MeasureStep.h"

namespace Exporting {
struct PlotCurve;
struct PlotOptions;
}  // namespace Exporting

namespace Sim {
class SimScene;
class StateFileLock;
}  // namespace Sim

namespace Env {

// A malformed or out-of-range option value: the program's usage error.
class OptionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The options every front-end shares, as parsed from its command line.
struct Options {
    bool trace = false;  // every USB command, reply line and control request
    // Real USB, matched by vendor:product ids ("VVVV:PPPP", repeatable) and by the list in
    // TESSALINE_USB_IDS, which ReadVariables fills in.
    std::vector<std::string> usbIds;
    std::optional<std::string> usbIdsVariable;
    // One simulated subwoofer (and room and microphone) instead of the devices; --sim-fault,
    // --sim-state and --sim-room imply it.
    bool simulate = false;
    int simModel = 275;
    std::vector<std::string> simFaults;  // NAME[=ARG], see Sim::FaultHelp
    std::filesystem::path simState;      // loaded when it exists, saved by Finish
    std::filesystem::path simRoom;       // JSON room description; empty: the built-in room
    // The microphone's calibration files; empty: the folder of TESSALINE_CAL_DIR, which
    // ReadVariables fills in, or the program's folder (in a simulation, the simulated
    // microphone's folder).
    std::filesystem::path calibrationDir;
    std::filesystem::path calibrationDirVariable;
    // The history of what was written into each subwoofer; empty: the "tessaline/history"
    // folder of the per-user data folder, which ReadVariables fills in (without one nothing is
    // recorded).
    std::filesystem::path historyDir;
    std::filesystem::path historyDirVariable;
};

// Fills in what the options read from the process environment (TESSALINE_USB_IDS,
// TESSALINE_CAL_DIR, the per-user data folder's variables); the programs' composition roots
// call it, so that nothing below them reads the process environment.
void ReadVariables(Options& options);

// The ids of --usb-id and TESSALINE_USB_IDS; raises OptionError for a malformed one.
std::vector<CUsbController::UsbId> UsbIds(const Options& options);

// The platform devices a front-end runs against, chosen by its executable; empty members are
// devices this build does not have.
struct Backends {
    // The real USB bus matching these ids.
    std::function<std::shared_ptr<CUsbController::IUsbBus>(std::vector<CUsbController::UsbId>)>
        usbBus;
    // The platform's driver check.
    std::function<CUsbController::DriverSupport()> driver;
    // The platform's recorders.
    AudioSampler::EnumeratorFactory recorders;
    // Paints the graph as a PNG picture.
    std::function<void(const std::vector<Exporting::PlotCurve>&, const Exporting::PlotOptions&,
                       const std::filesystem::path&)>
        png;
};

class Environment {
public:
    // Raises OptionError for a bad option value and tsl::wruntime_error for a simulation state
    // that another program holds or that cannot be read (the state stays locked while this
    // lives). With --trace the trace lines go to trace, from the channels' threads: its buffer
    // must take writes from several threads (std::cerr's does).
    Environment(const Options& options, Backends backends, std::ostream& trace);
    ~Environment();
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

    bool Simulated() const { return scene_ != nullptr; }
    // The simulated scene; null on real devices.
    Sim::SimScene* Scene() const { return scene_.get(); }
    const Backends& Platform() const { return backends_; }

    // The bus, clock and trace of every command channel of this run.
    CUsbController::UsbEnvironment Usb() const;
    // The platform's driver check, or none in a simulation.
    CUsbController::DriverSupport Driver() const;
    // The microphone's recorders: the platform's, or the simulated microphone's with its blocks
    // timed by pace (null: the scene's clock). Raises when this build has none.
    AudioSampler::EnumeratorFactory Recorders(Threading::IClock* pace = nullptr) const;
    // The names of the recording devices present (none when they cannot be listed).
    std::vector<std::wstring> RecordingDevices() const;

    // Before the first measurement: the calibration folder of this run (empty keeps the
    // options').
    void UseCalibrationDir(const std::filesystem::path& dir);
    // Empty: the default folder.
    std::filesystem::path CalibrationDir() const;
    // The real microphone's folder, in a simulation too: the options' folder, else
    // TESSALINE_CAL_DIR's, else the program's folder.
    std::filesystem::path DeviceCalibrationDir() const;
    // The simulated microphone's serial number; none on real devices.
    std::optional<int32_t> MicrophoneSerial() const;
    // The Measure step's devices: USB, recorders (paced as Recorders), driver check, calibration
    // folder, the history folder and, in a simulation, the microphone's serial number. Dialogs
    // are the front-end's.
    MeasureEnvironment Measure(Threading::IClock* pace = nullptr) const;

    // The prompt the wizard's boxes go through: in a simulation an OK to a position prompt
    // moves the simulated microphone; otherwise inner itself.
    std::unique_ptr<Threading::IPrompt> WrapPrompt(Threading::IPrompt& inner) const;
    // The simulated microphone's position (0-based); nothing happens on real devices.
    void MoveMicrophone(int position) const;
    int MicrophonePosition() const;

    // The folder of the subwoofers' histories; empty: none is kept.
    std::filesystem::path HistoryDir() const { return historyDir_; }

    // Saves the simulated subwoofer to its state file (nothing without one); raises the failure.
    void Finish();

private:
    Backends backends_;
    std::unique_ptr<Sim::StateFileLock> stateLock_;  // outlives the scene
    std::unique_ptr<Sim::SimScene> scene_;
    std::shared_ptr<CUsbController::IUsbBus> bus_;
    std::filesystem::path calibrationDir_;
    std::filesystem::path deviceCalibrationDir_;  // empty: the program's folder
    std::filesystem::path historyDir_;
    CUsbController::UsbTraceSink trace_;
};

}  // namespace Env
