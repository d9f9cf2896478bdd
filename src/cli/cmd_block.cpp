// tessaline-cli block: the equaliser coefficient block an upload or erase would write.

#include <memory>
#include <string>

#include "cli/Cli.h"
#include "cli/DocJson.h"
#include "correction/EqResult.h"
#include "document/DocFile.h"
#include "sublink/BaseConfig.h"
#include "threading/Errors.h"
#include "wizard/UploadImage.h"

namespace cli::block_command {

struct BlockArgs {
    std::string path;
    bool erase = false;
    size_t size = 0;
};

size_t BlockSize(const BlockArgs& args, const DocData& data) {
    if (args.size != 0)
        return args.size;
    if (const CUsbController::BaseConfig* model = CUsbController::FindModelById(data.modelId))
        return model->flashConfig->EqualiserBlock().length;
    throw cli::CliFailure("the document's model " + std::to_string(data.modelId) +
                          " is not supported; give the block size with --size");
}

void PrintBlock(const BlockArgs& args) {
    DocData data;
    cli::ReadDocument(args.path, data);
    const size_t size = BlockSize(args, data);
    // Exactly the bytes the upload or erase step writes for the document's model.
    const auto block =
        BuildUploadImage(data.eq, CUsbController::FindModelById(data.modelId), args.erase, size);
    if (!block)
        throw tsl::wruntime_error(args.erase ? L"Failed to erase EQ coefficients"
                                             : L"Failed to upload results");
    static constexpr char kHex[] = "0123456789abcdef";
    std::string line;
    line.reserve(block->size() * 2);
    for (uint8_t b : *block) {
        line.push_back(kHex[b >> 4]);
        line.push_back(kHex[b & 0xF]);
    }
    cli::PrintLine(line);
}

Command Make() {
    return {"block", [](CLI::App& app, cli::GlobalOptions&) {
                auto args = std::make_shared<BlockArgs>();
                auto* cmd = app.add_subcommand(
                    "block", "Print the equaliser coefficient block of a document as hexadecimal");
                cmd->add_option("file", args->path, "Document (.CVD or .KTSL)")->required();
                cmd->add_flag("--erase", args->erase, "The block an erase writes instead");
                cmd->add_option(
                       "--size", args->size,
                       "Block size in bytes (default: the document model's equaliser block)")
                    ->check(CLI::IsMember({224, 512}));
                cmd->callback([args] { PrintBlock(*args); });
            }};
}

}  // namespace cli::block_command
