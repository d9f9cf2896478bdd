// tessaline-cli devices: counts the connected subwoofers without sending them any command.

#include <cstdio>

#include "cli/Cli.h"
#include "cli/UsbSession.h"
#include "sublink/UsbComm.h"

namespace cli::devices_command {

Command Make() {
    return {"devices", [](CLI::App& app, cli::GlobalOptions& globals) {
                auto* cmd =
                    app.add_subcommand("devices", "Count present, busy and recognised subwoofers");
                cmd->callback([&globals] {
                    CUsbController::CUsbComm channel(globals.session->Usb());
                    unsigned total = 0, busy = 0, unrecognised = 0, recognised = 0;
                    channel.CensusDevices(total, busy, unrecognised, recognised);
                    char line[160];
                    std::snprintf(
                        line, sizeof line,
                        "{\"total\": %u, \"busy\": %u, \"unrecognised\": %u, \"recognised\": %u}",
                        total, busy, unrecognised, recognised);
                    cli::PrintLine(line);
                });
            }};
}

}  // namespace cli::devices_command
