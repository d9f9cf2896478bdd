// tessaline-cli block: the equaliser coefficient block an upload or erase would write.

#include <memory>
#include <ostream>
#include <string>

#include "cli/Command.h"
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

void PrintBlock(std::ostream& out, const BlockArgs& args) {
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
    cli::PrintLine(out, line);
}

class BlockCommand final : public Command {
public:
    std::string Name() const override { return "block"; }
    std::string Description() const override {
        return "Print the equaliser coefficient block of a document as hexadecimal";
    }
    void AddOptions(CLI::App& cmd) override {
        cmd.add_option("file", args_.path, "Document (.CVD or .KTSL)")->required();
        cmd.add_flag("--erase", args_.erase, "The block an erase writes instead");
        cmd.add_option("--size", args_.size,
                       "Block size in bytes (default: the document model's equaliser block)")
            ->check(CLI::IsMember({224, 512}));
    }
    void Run(const Context& context) override { PrintBlock(context.io.out, args_); }

private:
    BlockArgs args_;
};

std::unique_ptr<Command> Make() {
    return std::make_unique<BlockCommand>();
}

}  // namespace cli::block_command
