// tessaline-cli firmware TEXT --model ID: parse, translate and check a firmware version text.

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <memory>
#include <optional>
#include <ostream>

#include "cli/Command.h"
#include "sublink/BaseConfig.h"
#include "sublink/ModelVersion.h"
#include "sublink/VersionCheck.h"
#include "threading/Errors.h"

namespace cli::firmware_command {

// Decimal, or hexadecimal with a 0x prefix.
uint16_t ParseModelId(const std::string& text) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.size() > 6)
        throw cli::UsageError("Bad model identifier: " + text);
    char* end = nullptr;
    const unsigned long value = std::strtoul(digits.c_str(), &end, hex ? 16 : 10);
    if (end == nullptr || *end != '\0' || digits[0] == '-' || digits[0] == '+' || value > 0xFFFF)
        throw cli::UsageError("Bad model identifier: " + text);
    return static_cast<uint16_t>(value);
}

struct FirmwareOptions {
    std::string text;
    std::optional<std::string> model;
};

void Check(std::ostream& stream, const FirmwareOptions& opts) {
    const CUsbController::BaseConfig* model = nullptr;
    if (opts.model) {
        const uint16_t id = ParseModelId(*opts.model);
        model = CUsbController::FindModelById(id);
        if (model == nullptr)
            throw cli::CliFailure("No model has the identifier " + *opts.model);
    }
    // An unreadable version is checked as 0.00, as device discovery does.
    CUsbController::ModelVersion version;
    const bool parsed =
        CUsbController::ParseFirmwareVersion(tsl::FromUtf8(opts.text), model, version);
    std::wstring message;
    const bool ok = CUsbController::CheckMinVersionCallback<>().Check(version, model, message);
    const nlohmann::ordered_json out = {
        {"parsed", parsed},
        {"version", tsl::ToUtf8(CUsbController::FormatVersion(version))},
        {"ok", ok},
        {"message", tsl::ToUtf8(message)},
    };
    cli::PrintLine(stream, out.dump(2));
}

class FirmwareCommand final : public Command {
public:
    std::string Name() const override { return "firmware"; }
    std::string Description() const override {
        return "Parse a firmware version text and check it against a model's minimum";
    }
    void AddOptions(CLI::App& cmd) override {
        cmd.add_option("text", opts_.text, "Version text as the subwoofer reports it")->required();
        cmd.add_option_function<std::string>(
            "--model", [this](const std::string& v) { opts_.model = v; },
            "Model identifier (decimal or 0x hex); without it no model is known");
    }
    void Run(const Context& context) override { Check(context.io.out, opts_); }

private:
    FirmwareOptions opts_;
};

std::unique_ptr<Command> Make() {
    return std::make_unique<FirmwareCommand>();
}

}  // namespace cli::firmware_command
