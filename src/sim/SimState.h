#pragma once
// The persisted state of one simulated subwoofer (model, running program, flash), so that
// successive program runs talk to the same simulated device.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "sim/SimFirmware.h"
#include "threading/FileLock.h"
#include "threading/SafeFile.h"

namespace Sim {

struct SimState {
    uint16_t modelId = 275;
    SimMode mode = SimMode::Application;
    std::map<std::pair<uint32_t, uint32_t>, std::vector<uint8_t>> flash;
};

SimState CaptureState(const SimFirmware& firmware);
// Model and mode go into options; flash into the firmware built from them.
void ApplyState(const SimState& state, SimFirmware& firmware);

// Nothing when the file does not exist; throws tsl::wruntime_error for a file that cannot be
// read or is not a valid state.
std::optional<SimState> LoadState(const std::string& path);
// Replaces the file safely (Threading::SafeWriteFile). Throws tsl::wruntime_error with the
// reason when any step fails; the previous file is then kept.
void SaveState(const SimState& state, const std::string& path,
               Threading::FileCalls& calls = Threading::FileCalls::System());

// Holds "STATE.lock" (an exclusive Threading::FileLock, as tessaline-cli takes it) for its
// lifetime, so that programs sharing a state file never run at once and one never overwrites the
// other's state. Raises tsl::wruntime_error when another program holds it or it cannot be taken.
class StateFileLock {
public:
    explicit StateFileLock(const std::filesystem::path& stateFile);
    ~StateFileLock();
    StateFileLock(const StateFileLock&) = delete;
    StateFileLock& operator=(const StateFileLock&) = delete;

private:
    std::unique_ptr<Threading::FileLock> lock_;
};

}  // namespace Sim
