// tessaline-cli export and eq: a document's curves as text, its graph as PNG or SVG, and its
// equaliser as a listing.

#include <memory>
#include <ostream>
#include <string>

#include "cli/Command.h"
#include "cli/DocJson.h"
#include "document/DocData.h"
#include "export/CurveExport.h"
#include "export/EqListing.h"
#include "export/PlotExport.h"
#include "sublink/BaseConfig.h"
#include "threading/Errors.h"
#include "threading/SafeFile.h"

namespace cli::export_command {

struct ExportArgs {
    std::string path;
    std::string curve = "average";
    std::string out, png, svg, title;
    int width = 1200;
    int height = 700;
};

void Export(const ExportArgs& args, const Env::Backends& backends) {
    if (args.out.empty() && args.png.empty() && args.svg.empty())
        throw cli::UsageError("export: give at least one of --out, --png and --svg");
    const auto selection = Exporting::ParseCurveSelection(args.curve);
    if (!selection)
        throw cli::UsageError(
            "--curve: expected average, target, calculated or position=N (N "
            "from 1), not '" +
            args.curve + "'");
    Exporting::PlotOptions plot{args.width, args.height, tsl::FromUtf8(args.title)};
    if (!args.png.empty() || !args.svg.empty()) {
        try {
            Exporting::CheckPlotSize(plot.width, plot.height);
        } catch (const tsl::wruntime_error& e) {
            throw cli::UsageError(e.what());
        }
    }
    if (!args.png.empty() && !backends.png)
        throw cli::CliFailure("--png: this build has no Qt to paint pictures; use --svg");
    DocData data;
    cli::ReadDocument(args.path, data);
    if (!args.out.empty())
        Threading::SafeWriteFile(args.out, Exporting::MeasurementText(data, *selection));
    if (plot.title.empty())
        plot.title = data.name;
    const auto curves = Exporting::DocumentPlotCurves(data);
    if (!args.svg.empty())
        Threading::SafeWriteFile(args.svg, Exporting::PlotSvg(curves, plot));
    if (!args.png.empty())
        backends.png(curves, plot, args.png);
}

struct EqArgs {
    std::string path;
    bool json = false;
};

void ListEq(std::ostream& out, const EqArgs& args) {
    DocData data;
    cli::ReadDocument(args.path, data);
    const CUsbController::BaseConfig* model = CUsbController::FindModelById(data.modelId);
    const double rate = model ? model->eqSampleRate : Exporting::kEqualiserRate;
    cli::PrintLine(out, args.json ? Exporting::EqListingJson(data.eq, rate, data.name)
                                  : Exporting::EqListingText(data.eq, rate, data.name));
}

class ExportCommand final : public Command {
public:
    std::string Name() const override { return "export"; }
    std::string Description() const override {
        return "Write a document's curve as text and its graph as PNG or SVG";
    }
    void AddOptions(CLI::App& cmd) override {
        cmd.add_option("file", args_.path, "Document (.CVD or .KTSL)")->required();
        cmd.add_option("--curve", args_.curve,
                       "The curve for --out: average, target, calculated or position=N")
            ->capture_default_str();
        cmd.add_option("--out", args_.out,
                       "Text file: '*' header lines, then frequency level_dB phase_deg");
        cmd.add_option("--png", args_.png, "The graph as a PNG picture");
        cmd.add_option("--svg", args_.svg, "The graph as an SVG picture");
        cmd.add_option("--width", args_.width, "Picture width in pixels (200 to 8000)")
            ->capture_default_str();
        cmd.add_option("--height", args_.height, "Picture height in pixels (200 to 8000)")
            ->capture_default_str();
        cmd.add_option("--title", args_.title, "Graph title (default: the subwoofer's name)");
    }
    void Run(const Context& context) override { Export(args_, context.environment.Platform()); }

private:
    ExportArgs args_;
};

class EqCommand final : public Command {
public:
    std::string Name() const override { return "eq"; }
    std::string Description() const override {
        return "List a document's equaliser: per section shape, frequency, gain, Q and "
               "coefficients";
    }
    void AddOptions(CLI::App& cmd) override {
        cmd.add_option("file", args_.path, "Document (.CVD or .KTSL)")->required();
        cmd.add_flag("--json", args_.json, "As JSON");
    }
    void Run(const Context& context) override { ListEq(context.io.out, args_); }

private:
    EqArgs args_;
};

std::unique_ptr<Command> MakeExport() {
    return std::make_unique<ExportCommand>();
}

std::unique_ptr<Command> MakeEq() {
    return std::make_unique<EqCommand>();
}

}  // namespace cli::export_command
