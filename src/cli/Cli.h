#pragma once
// Command registration for tessaline-cli. Each command file registers itself with a static
// CommandRegistration; main() builds the parser from the registry in name order.

#include <CLI/CLI.hpp>

#include <functional>
#include <memory>
#include <string>
#include <vector>

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

    // The run's environment, built from the options above once parsing is complete.
    std::shared_ptr<Session> session;
};

// Bad input found by a command (missing file, wrong format): printed as one line, exit 2.
class CliFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A malformed or out-of-range option value: printed as one line, exit 1 as for any usage error.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A command adds its subcommand to the app and sets its callback. The callback throws
// tsl::wruntime_error (or CliFailure) on failure; main maps that to stderr and exit 2.
using CommandSetup = std::function<void(CLI::App& app, GlobalOptions& globals)>;

struct CommandRegistration {
    CommandRegistration(std::string name, CommandSetup setup);
};

const std::vector<std::pair<std::string, CommandSetup>>& Commands();

// Writes text with a trailing line feed to stdout (UTF-8). Carriage returns are dropped: the
// system's texts end lines with "\n\r" for the windows, a terminal gets plain line feeds.
void PrintLine(const std::string& text);

}  // namespace cli
