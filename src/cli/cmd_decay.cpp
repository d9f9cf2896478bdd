// tessaline-cli decay: the decay times of a document's third-octave bands, measured, predicted
// through its equaliser and verified, and one of its time views as a picture.

#include <array>
#include <cmath>
#include <cstdio>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include <nlohmann/json.hpp>

#include "cli/Command.h"
#include "cli/DocJson.h"
#include "document/DocData.h"
#include "export/DecayModel.h"
#include "export/ExportService.h"
#include "threading/Errors.h"

namespace cli::decay_command {

namespace {

using Exporting::DecaySet;
using Exporting::kDecaySetCount;

struct DecayArgs {
    std::string path;
    int position = 0;  // from 1; 0 the average
    bool json = false;
    std::string view, set, svg, png;
};

nlohmann::ordered_json Milliseconds(const std::optional<Decay::BandDecay>& figure) {
    if (!figure || figure->status != Decay::DecayStatus::Measured)
        return nullptr;
    return std::round(figure->seconds * 10000.0) / 10.0;
}

std::string Cell(const std::optional<Decay::BandDecay>& figure) {
    return tsl::ToUtf8(Exporting::DecayFigureText(figure));
}

std::string Table(const Exporting::DecayAnalysis& analysis, int position) {
    const auto& measured = *analysis.Set(DecaySet::Measured);
    std::string text = "Decay time T20 (ms), ";
    text += position < 0 ? "average of " + std::to_string(measured.Positions()) + " positions"
                         : "position " + std::to_string(position + 1);
    text += "\nBand (Hz)   Measured  Predicted   Verified\n";
    for (const Exporting::DecayRow& row : Exporting::DecayTable(analysis, position)) {
        char line[96];
        std::snprintf(line, sizeof line, "%9g %10s %10s %10s\n", row.nominalHz,
                      Cell(row.figures[0]).c_str(), Cell(row.figures[1]).c_str(),
                      Cell(row.figures[2]).c_str());
        text += line;
    }
    return text + tsl::ToUtf8(Exporting::DecayTableNote());
}

nlohmann::ordered_json Json(const Exporting::DecayAnalysis& analysis, int position) {
    nlohmann::ordered_json bands = nlohmann::ordered_json::array();
    for (const Exporting::DecayRow& row : Exporting::DecayTable(analysis, position))
        bands.push_back({{"centre_hz", row.nominalHz},
                         {"measured_ms", Milliseconds(row.figures[0])},
                         {"predicted_ms", Milliseconds(row.figures[1])},
                         {"verified_ms", Milliseconds(row.figures[2])}});
    return {{"positions", analysis.Set(DecaySet::Measured)->Positions()}, {"bands", bands}};
}

void Run(std::ostream& out, const DecayArgs& args, const Env::Backends& backends) {
    const bool picture = !args.svg.empty() || !args.png.empty();
    std::optional<Exporting::DecayView> view = Exporting::DecayView::Waterfall;
    if (!args.view.empty()) {
        view = Exporting::ParseDecayView(args.view);
        if (!view)
            throw UsageError("--view: expected impulse, step, group-delay or waterfall, not '" +
                             args.view + "'");
        if (!picture)
            throw UsageError("--view: give --svg or --png for the picture");
    }
    std::array<bool, kDecaySetCount> sets{true, true, true};
    if (!args.set.empty()) {
        const std::optional<DecaySet> set = Exporting::ParseDecaySet(args.set);
        if (!set)
            throw UsageError("--set: expected measured, predicted or verified, not '" + args.set +
                             "'");
        sets = {false, false, false};
        sets[static_cast<size_t>(*set)] = true;
    }
    const Exporting::ExportService service(backends.png);
    if (!args.png.empty() && !service.PaintsPng())
        throw CliFailure("--png: this build has no Qt to paint pictures; use --svg");

    DocData data;
    ReadDocument(args.path, data);
    const Exporting::DecayAnalysis analysis = Exporting::AnalyseDecay(data);
    const size_t positions = analysis.Set(DecaySet::Measured)->Positions();
    if (args.position > 0 && static_cast<size_t>(args.position) > positions)
        throw tsl::wruntime_error(L"There is no position " + std::to_wstring(args.position) +
                                  L"; the document holds " + std::to_wstring(positions) + L".");
    const int position = args.position - 1;

    if (picture) {
        const Exporting::DecayPlot plot = Exporting::MakeDecayPlot(analysis, *view, position, sets);
        if (plot.curves.empty())
            throw tsl::wruntime_error(L"The document holds nothing to draw in this view.");
        Exporting::PlotOptions options;
        options.title = data.name + L": " + plot.title;
        options.domain = plot.domain;
        options.xScale = plot.xScale;
        options.yMode = plot.yMode;
        if (!args.svg.empty())
            service.WritePlot(plot.curves, options, args.svg, Exporting::PictureFormat::Svg);
        if (!args.png.empty())
            service.WritePlot(plot.curves, options, args.png, Exporting::PictureFormat::Png);
    }
    PrintLine(out, args.json ? Json(analysis, position).dump() : Table(analysis, position));
}

class DecayCommand final : public Command {
public:
    std::string Name() const override { return "decay"; }
    std::string Description() const override {
        return "Decay times of a document's bands from 20 to 200 Hz (measured, predicted, "
               "verified) and its impulse, step, group delay or waterfall as a picture";
    }
    void AddOptions(CLI::App& cmd) override {
        cmd.add_option("file", args_.path, "Document (.CVD or .KTSL)")->required();
        cmd.add_option("--position", args_.position,
                       "One position (from 1) instead of the positions' average")
            ->check(CLI::PositiveNumber);
        cmd.add_flag("--json", args_.json, "As JSON");
        cmd.add_option("--view", args_.view,
                       "The picture's view: impulse, step, group-delay or waterfall (default)");
        cmd.add_option("--set", args_.set,
                       "Draw only measured, predicted or verified (the waterfall draws one; "
                       "default the first present)");
        cmd.add_option("--svg", args_.svg, "The view as an SVG picture");
        cmd.add_option("--png", args_.png, "The view as a PNG picture");
    }
    void Run(const Context& context) override {
        decay_command::Run(context.io.out, args_, context.environment.Platform());
    }

private:
    DecayArgs args_;
};

}  // namespace

std::unique_ptr<Command> Make() {
    return std::make_unique<DecayCommand>();
}

}  // namespace cli::decay_command
