// tessaline-cli devices: counts the connected subwoofers without sending them any command.

#include <cstdio>
#include <memory>

#include "cli/Command.h"
#include "sublink/UsbComm.h"

namespace cli::devices_command {

class DevicesCommand final : public Command {
public:
    std::string Name() const override { return "devices"; }
    std::string Description() const override {
        return "Count present, busy and recognised subwoofers";
    }
    void AddOptions(CLI::App&) override {}
    void Run(const Context& context) override {
        CUsbController::CUsbComm channel(context.environment.Usb());
        unsigned total = 0, busy = 0, unrecognised = 0, recognised = 0;
        channel.CensusDevices(total, busy, unrecognised, recognised);
        char line[160];
        std::snprintf(line, sizeof line,
                      "{\"total\": %u, \"busy\": %u, \"unrecognised\": %u, \"recognised\": %u}",
                      total, busy, unrecognised, recognised);
        cli::PrintLine(context.io.out, line);
    }
};

std::unique_ptr<Command> Make() {
    return std::make_unique<DevicesCommand>();
}

}  // namespace cli::devices_command
