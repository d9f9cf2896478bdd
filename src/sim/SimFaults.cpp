#include "sim/SimFaults.h"

#include <cstdlib>

namespace Sim {

namespace {
struct FaultName {
    const char* name;
    FaultKind kind;
    enum { None, Command, Count } arg;
    const char* help;
};

const FaultName kNames[] = {
    {"silent", FaultKind::Silent, FaultName::Command, "=CMD[:K]  no answer to CMD (first K times)"},
    {"refuse", FaultKind::Refuse, FaultName::Command, "=CMD[:K]  answer \"!\" to CMD"},
    {"garble", FaultKind::Garble, FaultName::Command, "=CMD[:K]  garbled answer to CMD"},
    {"echo", FaultKind::Echo, FaultName::Command, "=CMD[:K]  answer CMD with the command itself"},
    {"wrong", FaultKind::Wrong, FaultName::Command,
     "=CMD[:K]  answer CMD with a number one too high"},
    {"notready", FaultKind::NotReady, FaultName::Count, "=K  answer \"o0\" to K readiness probes"},
    {"notready-echo", FaultKind::NotReadyEcho, FaultName::Count,
     "=K  answer \"V2\" to K readiness probes"},
    {"trickle", FaultKind::Trickle, FaultName::None, "  answers arrive one byte per packet"},
    {"unplug", FaultKind::Unplug, FaultName::Count, "=N  unplugged after the Nth command"},
    {"unplug-at", FaultKind::UnplugAt, FaultName::Command,
     "=CMD  unplugged when CMD arrives, before its answer"},
    {"bad-store", FaultKind::BadStore, FaultName::None, "  the checksum differs after a store"},
    {"babble", FaultKind::Babble, FaultName::None, "  sends without end, never a line feed"},
    {"busy", FaultKind::Busy, FaultName::None, "  in use by another program"},
    {"release", FaultKind::Release, FaultName::Count, "=N  report release number N"},
    {"no-descriptor", FaultKind::NoDescriptor, FaultName::None,
     "  the device descriptor cannot be read"},
    {"bulk-only", FaultKind::BulkOnly, FaultName::None, "  no interrupt endpoints"},
    {"crlf", FaultKind::CrLf, FaultName::None, "  every answer ends with CR LF, not LF alone"},
};

bool ParseCount(const std::string& s, uint32_t& v) {
    if (s.empty() || s.size() > 10)
        return false;
    char* end = nullptr;
    unsigned long x = std::strtoul(s.c_str(), &end, 0);
    if (*end != '\0' || x > 0xFFFFFFFFul)
        return false;
    v = static_cast<uint32_t>(x);
    return true;
}
}  // namespace

std::string CommandName(const std::string& command) {
    if (command.empty())
        return {};
    char c = command[0];
    if ((c == 'V' || c == 'G' || c == 't') && command.size() >= 2)
        return command.substr(0, 2);
    return command.substr(0, 1);
}

std::optional<Fault> ParseFault(const std::string& text) {
    auto eq = text.find('=');
    std::string name = text.substr(0, eq);
    std::string arg = eq == std::string::npos ? std::string() : text.substr(eq + 1);
    for (const auto& n : kNames) {
        if (name != n.name)
            continue;
        Fault f;
        f.kind = n.kind;
        switch (n.arg) {
            case FaultName::None:
                if (eq != std::string::npos)
                    return std::nullopt;
                return f;
            case FaultName::Count:
                if (!ParseCount(arg, f.count))
                    return std::nullopt;
                return f;
            case FaultName::Command: {
                auto colon = arg.find(':');
                f.command = arg.substr(0, colon);
                if (f.command.empty() || f.command.size() > 2)
                    return std::nullopt;
                if (colon != std::string::npos &&
                    (!ParseCount(arg.substr(colon + 1), f.count) || f.count == 0))
                    return std::nullopt;
                return f;
            }
        }
    }
    return std::nullopt;
}

std::vector<std::string> FaultHelp() {
    std::vector<std::string> lines;
    for (const auto& n : kNames)
        lines.push_back(std::string(n.name) + n.help);
    return lines;
}

}  // namespace Sim
