// tessaline-cli upload DOC: writes the document's equaliser into the connected subwoofer.

#include <memory>
#include <string>

#include "cli/Cli.h"
#include "cli/UsbSession.h"
#include "document/DocFile.h"
#include "threading/Errors.h"

namespace {

const wchar_t* const kUploaded =
    L"Your subwoofer has successfully been EQ'd\n\r\n\rNow you will need to set your sub's level, "
    L"crossover, and phase controls according to your subwoofer manual's instructions.";

const cli::CommandRegistration registration{
    "upload", [](CLI::App& app, cli::GlobalOptions&) {
        auto path = std::make_shared<std::string>();
        auto* cmd = app.add_subcommand("upload", "Write a document's equaliser into the subwoofer");
        cmd->add_option("DOC", *path, "Measurement document")->required();
        cmd->callback([path] {
            DocData data;
            ReadDocFile(*path, data);
            cli::UploadCoefficients(data.eq, data.modelId, false);
            cli::PrintLine(tsl::ToUtf8(kUploaded));
        });
    }};

}  // namespace
