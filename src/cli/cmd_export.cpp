// tessaline-cli export and eq: a document's curves as text, its graph as PNG or SVG, and its
// equaliser as a listing.

#include <memory>
#include <ostream>
#include <string>

#include "cli/Command.h"
#include "cli/DocJson.h"
#include "document/DocData.h"
#include "export/ExportService.h"
#include "threading/Errors.h"

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
    const Exporting::ExportService service(backends.png);
    if (!args.png.empty() && !service.PaintsPng())
        throw cli::CliFailure("--png: this build has no Qt to paint pictures; use --svg");
    DocData data;
    cli::ReadDocument(args.path, data);
    if (!args.out.empty())
        service.WriteMeasurement(data, *selection, args.out);
    if (!args.svg.empty())
        service.WriteGraph(data, plot, args.svg, Exporting::PictureFormat::Svg);
    if (!args.png.empty())
        service.WriteGraph(data, plot, args.png, Exporting::PictureFormat::Png);
}

struct EqArgs {
    std::string path;
    bool json = false;
};

void ListEq(std::ostream& out, const EqArgs& args) {
    DocData data;
    cli::ReadDocument(args.path, data);
    cli::PrintLine(out,
                   Exporting::EqualiserListing(data, args.json ? Exporting::ListingFormat::Json
                                                               : Exporting::ListingFormat::Text));
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
