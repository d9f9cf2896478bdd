#pragma once
// tessaline-cli as a library: what a command runs with, and the program that parses a command
// line and runs the command it names (cli/Command.h has the commands themselves).

#include <iosfwd>
#include <string>

#include "cli/CliErrors.h"
#include "environment/Environment.h"

namespace Threading {
class ConsoleInterrupts;
class MessageBridge;
}  // namespace Threading

namespace cli {

// The standard streams of one run (string streams when a test runs a command in process).
struct Io {
    std::istream& in;
    std::ostream& out;  // each command's result only
    // Messages, progress, prompts and the USB trace; the trace and the measuring commands'
    // calibration line are written from worker threads, so its buffer must take writes from
    // several threads (std::cerr's does).
    std::ostream& err;
    bool inTerminal = false;   // questions may be read from in
    bool errTerminal = false;  // progress redraws its line in place
    // The Ctrl-C presses of this run (the executable's, routed from the terminal while a wizard
    // runs); null: nothing interrupts it.
    Threading::ConsoleInterrupts* interrupts = nullptr;
};

// What a command runs with.
struct Context {
    const Io& io;
    Env::Environment& environment;
    // The bridge the console front-end drains (this program's UI thread is the caller's).
    Threading::MessageBridge& bridge;
};

// What the executable brings: its version text, its platform's devices and the options the
// command line starts from (those read from the process environment).
struct Program {
    std::string version;
    Env::Backends backends;
    Env::Options defaults;
};

// Parses argv (argv[0] the program's name; global options before or after the command name),
// builds the environment and runs the command named. Returns the exit status: 0; 1 for a usage
// error; 2 for a failure, its message on io.err. The simulated subwoofer is saved whatever the
// command did, and a failed save fails the run.
int RunCommandLine(int argc, const char* const* argv, const Io& io, const Program& program);

}  // namespace cli
