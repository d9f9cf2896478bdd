// tessaline-cli history [list | show N | restore N]: what was written into the connected
// subwoofer (or, with --model, into subwoofers of that model), and writing a record back.

#include <memory>
#include <ostream>
#include <string>

#include "cli/CliWizard.h"
#include "cli/Command.h"
#include "sublink/BaseConfig.h"
#include "threading/Errors.h"
#include "wizard/CalculateStepConsole.h"
#include "wizard/History.h"
#include "wizard/Steps.h"

namespace cli::history_command {

inline constexpr char kRestoredText[] = "The subwoofer's equaliser has been restored from record ";

class HistoryCommand final : public Command {
public:
    std::string Name() const override { return "history"; }
    std::string Description() const override {
        return "What was written into the subwoofer: list (the default), show N, restore N";
    }
    void AddOptions(CLI::App& cmd) override {
        cmd.require_subcommand(0, 1);
        cmd.add_option("--model", model_,
                       "Read the history of this model identifier without a subwoofer (list, "
                       "show)")
            ->check(CLI::Range(0, 0xFFFF));
        cmd.add_subcommand("list", "Print the records as a JSON list");
        show_ = cmd.add_subcommand("show", "Print every field of record N as JSON");
        show_->add_option("N", number_, "Record number, from 1")->required();
        restore_ = cmd.add_subcommand(
            "restore", "Write record N's equaliser back into the subwoofer, as an upload does");
        restore_->add_option("N", number_, "Record number, from 1")->required();
    }
    void Run(const Context& context) override {
        const std::filesystem::path folder = context.environment.HistoryDir();
        if (folder.empty())
            throw CliFailure("No history folder: set XDG_DATA_HOME or HOME, or give --history-dir");
        if ((show_->parsed() || restore_->parsed()) && number_ < 1)
            throw UsageError("N must be 1 or more: " + std::to_string(number_));
        const ChannelFactory channels = ChannelsOn(context.environment.Usb());
        const int model = model_ >= 0 && !restore_->parsed()
                              ? model_
                              : static_cast<int>(ConnectedModel(channels).modelId);
        const History::Book book =
            History::Load(History::FilePath(folder, static_cast<uint16_t>(model)));
        if (!book.notice.empty())
            PrintLine(context.io.err, tsl::ToUtf8(book.notice));
        if (!show_->parsed() && !restore_->parsed()) {
            PrintLine(context.io.out, History::ListJson(book));
            return;
        }
        if (static_cast<size_t>(number_) > book.records.size())
            throw CliFailure("The history holds no record " + std::to_string(number_) +
                             " (it has " + std::to_string(book.records.size()) + ")");
        const History::Record& record = book.records[static_cast<size_t>(number_) - 1];
        if (show_->parsed()) {
            PrintLine(context.io.out, History::RecordJson(record));
            return;
        }
        WizardStepTable table = StandardSteps({}, ConsoleTargetDialogFactory());
        table.upload = MakeRestoreStep(record, number_, channels, HistorySetup(context));
        CommandDocument document;
        RunCommandWizard(context, kWizardUpload, kOptionRestore | kOptionNoSave, document, table);
        PrintLine(context.io.out, kRestoredText + std::to_string(number_));
    }

private:
    int model_ = -1;
    int number_ = 0;
    CLI::App* show_ = nullptr;
    CLI::App* restore_ = nullptr;
};

std::unique_ptr<Command> Make() {
    return std::make_unique<HistoryCommand>();
}

}  // namespace cli::history_command
