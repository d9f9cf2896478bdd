#pragma once
// The USB side of the command line: the global device-selection options, the bus every command
// channel of this run uses, the trace and the simulated subwoofer's state file.

#include <string>

#include "cli/Cli.h"
#include "correction/EqResult.h"

namespace cli {

// Registers --usb-id, --simulate, --sim-model, --sim-fault and --sim-state. The bus is set up
// once parsing is complete, before any command runs.
void AddUsbOptions(CLI::App& app, GlobalOptions& globals);

// Saves the simulated subwoofer back to --sim-state when the run ends.
class UsbSessionGuard {
public:
    explicit UsbSessionGuard(GlobalOptions& globals) : globals_(globals) {}
    ~UsbSessionGuard();
    UsbSessionGuard(const UsbSessionGuard&) = delete;
    UsbSessionGuard& operator=(const UsbSessionGuard&) = delete;

private:
    GlobalOptions& globals_;
};

}  // namespace cli
