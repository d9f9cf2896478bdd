#pragma once
// Faults the simulated subwoofer can be told to show, each selected by name with an optional
// argument: "silent=G0", "refuse=m", "notready=3", "unplug=12", "trickle", "crlf".

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Sim {

enum class FaultKind {
    Silent,        // =CMD[:K]  the command has no effect and gets no answer
    Refuse,        // =CMD[:K]  answers "!" and has no effect
    Garble,        // =CMD[:K]  acts, but the answer is garbled
    Echo,          // =CMD[:K]  acts, but answers with the command itself
    Wrong,         // =CMD[:K]  acts, but answers a number one too high
    NotReady,      // =K        answers "o0" to the first K readiness probes
    NotReadyEcho,  // =K        answers "V2" to the first K readiness probes
    Trickle,       //           every answer arrives in 1-byte packets
    Unplug,        // =N        unplugged when the command after the Nth arrives
    UnplugAt,      // =CMD      unplugged when that command arrives, before any answer
    BadStore,      //           the stored region differs from the working copy
    Babble,        //           sends bytes without end and never a line feed
    Busy,          //           claimed by another program: every open fails
    Release,       // =N        reports release number N (hex with 0x, or decimal)
    NoDescriptor,  //           the device descriptor cannot be read
    BulkOnly,      //           the interface has bulk endpoints only
    CrLf,          //           every answer line ends with CR LF instead of LF
};

struct Fault {
    FaultKind kind = FaultKind::Silent;
    std::string command;  // for the per-command faults
    uint32_t count = 0;   // K or N; 0 with a command means every time
};

// Parses "NAME[=ARG]"; nothing for an unknown name or a missing or bad argument.
std::optional<Fault> ParseFault(const std::string& text);
// One line per fault for help texts: "silent=CMD[:K]  ...".
std::vector<std::string> FaultHelp();

// The name a fault argument uses for a command text: two characters for V, G and t commands,
// one otherwise ("h1E" -> "h", "G3" -> "G3", "" -> "").
std::string CommandName(const std::string& command);

}  // namespace Sim
