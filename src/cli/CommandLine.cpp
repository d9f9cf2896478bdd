// The program behind tessaline-cli's main: the global options, the parse, and the run of the
// command named, its failures mapped to the exit status.

#include <exception>
#include <functional>
#include <ostream>

#include "cli/Cli.h"
#include "cli/Commands.h"
#include "sim/SimFaults.h"
#include "threading/Errors.h"
#include "threading/MessageBridge.h"

namespace cli {

namespace {

std::string FaultList() {
    std::string text = "Inject a fault into the simulated subwoofer (repeatable):";
    for (const auto& line : Sim::FaultHelp())
        text += "\n  " + line;
    return text;
}

// --trace, --usb-id, --simulate, the --sim-* options (each but --sim-model implies
// --simulate) and --history-dir.
void AddGlobalOptions(CLI::App& app, Env::Options& o) {
    app.add_flag("--trace", o.trace, "Print every USB command, reply and control request");
    app.add_option("--usb-id", o.usbIds,
                   "USB vendor:product id of a subwoofer, VVVV:PPPP in hexadecimal (repeatable; "
                   "also TESSALINE_USB_IDS=VVVV:PPPP,...)");
    app.add_flag("--simulate", o.simulate, "Talk to one simulated subwoofer instead of USB");
    app.add_option("--sim-model", o.simModel,
                   "Model identifier of the simulated subwoofer (default 275, \"KT1\")");
    app.add_option("--sim-fault", o.simFaults, FaultList());
    app.add_option("--sim-state", o.simState,
                   "Load the simulated subwoofer from FILE when it exists and save it back when "
                   "the command ends");
    app.add_option("--sim-room", o.simRoom,
                   "JSON description of the simulated room the measuring commands hear");
    app.add_option("--history-dir", o.historyDir,
                   "Folder of the subwoofers' histories (default: tessaline/history in the "
                   "user's data folder, $XDG_DATA_HOME or ~/.local/share)");
}

// Global options may follow the command name of every command, nested ones included.
void FallThrough(CLI::App& parent) {
    for (CLI::App* command : parent.get_subcommands({})) {
        command->fallthrough();
        FallThrough(*command);
    }
}

}  // namespace

int RunCommandLine(int argc, const char* const* argv, const Io& io, const Program& program) {
    CLI::App app{"tessaline-cli: measure a room, fit and write a subwoofer equaliser"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "tessaline-cli version " + program.version,
                         "Print the program's version and exit");
    Env::Options options = program.defaults;
    AddGlobalOptions(app, options);
    const std::vector<std::unique_ptr<Command>> commands = Commands();
    std::vector<CLI::App*> parsers;
    for (const auto& command : commands) {
        parsers.push_back(app.add_subcommand(command->Name(), command->Description()));
        command->AddOptions(*parsers.back());
    }
    FallThrough(app);

    // The environment outlives the bridge, as the channels it made outlive the console's loop.
    std::unique_ptr<Env::Environment> environment;
    int status = 0;
    try {
        Threading::MessageBridge bridge;
        app.parse(argc, argv);
        environment = std::make_unique<Env::Environment>(options, program.backends, io.err);
        for (size_t i = 0; i < commands.size(); ++i)
            if (parsers[i]->parsed())
                commands[i]->Run({io, *environment, bridge});
    } catch (const CLI::Success& e) {
        return app.exit(e, io.out, io.err);
    } catch (const CLI::ParseError& e) {
        app.exit(e, io.out, io.err);
        return 1;
    } catch (const UsageError& e) {
        io.err << e.what() << '\n';
        return 1;
    } catch (const Env::OptionError& e) {
        io.err << e.what() << '\n';
        return 1;
    } catch (const CliFailure& e) {
        io.err << e.what() << '\n';
        status = 2;
    } catch (const std::exception& e) {
        io.err << tsl::ToUtf8(tsl::ExceptionText(e)) << '\n';
        status = 2;
    }
    try {
        if (environment)
            environment->Finish();
    } catch (const std::exception& e) {
        io.err << tsl::ToUtf8(tsl::ExceptionText(e)) << '\n';
        status = 2;
    }
    io.out.flush();
    return status;
}

}  // namespace cli
