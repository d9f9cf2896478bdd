// tessaline-cli erase: erases the equaliser of the connected subwoofer.

#include <memory>

#include "cli/CliWizard.h"
#include "cli/Command.h"
#include "threading/Errors.h"
#include "wizard/CalculateStepConsole.h"
#include "wizard/MainCommands.h"
#include "wizard/Steps.h"

namespace cli::erase_command {

class EraseCommand final : public Command {
public:
    std::string Name() const override { return "erase"; }
    std::string Description() const override { return "Erase the subwoofer's equaliser"; }
    void AddOptions(CLI::App&) override {}
    void Run(const Context& context) override {
        cli::CommandDocument document;
        cli::RunCommandWizard(context, kWizardUpload, kOptionErase | kOptionNoSave, document,
                              StandardSteps(cli::UsbSteps(context), ConsoleTargetDialogFactory()));
        cli::PrintLine(context.io.out, tsl::ToUtf8(kEraseSuccessText));
    }
};

std::unique_ptr<Command> Make() {
    return std::make_unique<EraseCommand>();
}

}  // namespace cli::erase_command
