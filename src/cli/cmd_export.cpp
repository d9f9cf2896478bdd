// tessaline-cli export and eq: a document's curves as text, its graph as PNG or SVG, and its
// equaliser as a listing.

#include <memory>
#include <string>

#include "cli/Cli.h"
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

void Export(const ExportArgs& args, const cli::Backends& backends) {
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

void ListEq(const EqArgs& args) {
    DocData data;
    cli::ReadDocument(args.path, data);
    const CUsbController::BaseConfig* model = CUsbController::FindModelById(data.modelId);
    const double rate = model ? model->eqSampleRate : Exporting::kEqualiserRate;
    cli::PrintLine(args.json ? Exporting::EqListingJson(data.eq, rate, data.name)
                             : Exporting::EqListingText(data.eq, rate, data.name));
}

Command MakeExport() {
    return {"export", [](CLI::App& app, cli::GlobalOptions& globals) {
                auto args = std::make_shared<ExportArgs>();
                auto* cmd = app.add_subcommand(
                    "export", "Write a document's curve as text and its graph as PNG or SVG");
                cmd->add_option("file", args->path, "Document (.CVD or .KTSL)")->required();
                cmd->add_option("--curve", args->curve,
                                "The curve for --out: average, target, calculated or position=N")
                    ->capture_default_str();
                cmd->add_option("--out", args->out,
                                "Text file: '*' header lines, then frequency level_dB phase_deg");
                cmd->add_option("--png", args->png, "The graph as a PNG picture");
                cmd->add_option("--svg", args->svg, "The graph as an SVG picture");
                cmd->add_option("--width", args->width, "Picture width in pixels (200 to 8000)")
                    ->capture_default_str();
                cmd->add_option("--height", args->height, "Picture height in pixels (200 to 8000)")
                    ->capture_default_str();
                cmd->add_option("--title", args->title,
                                "Graph title (default: the subwoofer's name)");
                cmd->callback([args, &globals] { Export(*args, globals.backends); });
            }};
}

Command MakeEq() {
    return {"eq", [](CLI::App& app, cli::GlobalOptions&) {
                auto args = std::make_shared<EqArgs>();
                auto* cmd = app.add_subcommand(
                    "eq",
                    "List a document's equaliser: per section shape, frequency, gain, Q and "
                    "coefficients");
                cmd->add_option("file", args->path, "Document (.CVD or .KTSL)")->required();
                cmd->add_flag("--json", args->json, "As JSON");
                cmd->callback([args] { ListEq(*args); });
            }};
}

}  // namespace cli::export_command
