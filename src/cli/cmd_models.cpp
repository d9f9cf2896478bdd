// tessaline-cli models: the supported model table as JSON, in registry order.

#include <nlohmann/json.hpp>

#include <memory>

#include "cli/Command.h"
#include "sublink/BaseConfig.h"
#include "sublink/ModelVersion.h"
#include "threading/Errors.h"

namespace cli::models_command {

nlohmann::ordered_json ModelJson(const CUsbController::BaseConfig& model) {
    const CUsbController::MemoryBlock& eq = model.flashConfig->EqualiserBlock();
    return {
        {"class", model.ClassName()},
        {"display_name", tsl::ToUtf8(model.displayName)},
        {"short_code", model.shortCode},
        {"boot_name", model.bootImageName},
        {"id", model.modelId},
        {"flash", model.flashConfig->Name()},
        {"eq_block", {eq.length, eq.memory, eq.region, eq.offset}},
        {"lower_hz", model.lowerHz},
        {"upper_hz", model.upperHz},
        {"min_firmware", tsl::ToUtf8(FormatVersion(CUsbController::MinimumVersion(&model)))},
    };
}

class ModelsCommand final : public Command {
public:
    std::string Name() const override { return "models"; }
    std::string Description() const override {
        return "List the supported subwoofer models as JSON";
    }
    void AddOptions(CLI::App&) override {}
    void Run(const Context& context) override {
        nlohmann::ordered_json out = nlohmann::ordered_json::array();
        for (const CUsbController::BaseConfig* model : CUsbController::RegisteredModels())
            out.push_back(ModelJson(*model));
        cli::PrintLine(context.io.out, out.dump(2));
    }
};

std::unique_ptr<Command> Make() {
    return std::make_unique<ModelsCommand>();
}

}  // namespace cli::models_command
