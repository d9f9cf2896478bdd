#pragma once
// The commands of tessaline-cli: the options every command shares and the table main() builds
// the parser from (Commands.cpp, in name order).

#include <CLI/CLI.hpp>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cli/Backends.h"
#include "cli/CliErrors.h"

namespace cli {

class Session;

// Options shared by every command (filled by the global options in main).
struct GlobalOptions {
    bool trace = false;
    // Device selection: real USB by default, matched by vendor:product ids ("VVVV:PPPP").
    std::vector<std::string> usbIds;
    // One simulated subwoofer instead of real USB.
    bool simulate = false;
    int simModel = 275;
    std::vector<std::string> simFaults;
    std::string simState;  // file holding the simulated subwoofer between runs
    std::string simRoom;   // JSON description of the simulated room (measuring commands)

    // The platform's devices, chosen by the executable.
    Backends backends;
    // The run's environment, built from the options above once parsing is complete.
    std::shared_ptr<Session> session;
};

// A command adds its subcommand to the app and sets its callback. The callback throws
// tsl::wruntime_error (or CliFailure) on failure; main maps that to stderr and exit 2.
using CommandSetup = std::function<void(CLI::App& app, GlobalOptions& globals)>;

struct Command {
    std::string name;
    CommandSetup setup;
};

// Every command, in name order.
std::vector<Command> Commands();

}  // namespace cli
