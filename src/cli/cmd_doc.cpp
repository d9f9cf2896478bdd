// tessaline-cli doc: measurement documents (show, new, convert).

#include <nlohmann/json.hpp>

#include <memory>
#include <string>

#include "cli/Cli.h"
#include "document/DocFile.h"
#include "measure/Curve.h"
#include "threading/Errors.h"

namespace {

nlohmann::ordered_json CurveJson(const CCurve& c) {
    nlohmann::ordered_json points = nlohmann::ordered_json::array();
    for (int i = 0; i < c.Count(); ++i)
        points.push_back({c.X()[i], c.First()[i], c.Second()[i]});
    return {{"axis", c.Kind() == AxisKind::Time ? "time" : "frequency"},
            {"format", static_cast<int>(c.Format())},
            {"name", tsl::ToUtf8(c.name)},
            {"points", points}};
}

nlohmann::ordered_json CurvesJson(const CurveList& list) {
    nlohmann::ordered_json out = nlohmann::ordered_json::array();
    for (const auto& curve : list)
        out.push_back(curve ? CurveJson(*curve) : nlohmann::ordered_json());
    return out;
}

nlohmann::ordered_json DocJson(int32_t version, const DocData& d) {
    nlohmann::ordered_json bands = nlohmann::ordered_json::array();
    for (const EqBand& b : d.eq.bands)
        bands.push_back({{"kind", b.kind},
                         {"c0", b.c0},
                         {"c1", b.c1},
                         {"c2", b.c2},
                         {"c3", b.c3},
                         {"c4", b.c4},
                         {"shift", b.shift}});
    return {{"file_version", version},
            {"model_id", d.modelId},
            {"crossover", d.crossover},
            {"min_eq_freq", d.minEqFreq},
            {"hp_freq", d.hpFreq},
            {"hp_order", d.hpOrder},
            {"fit_lower", d.fitLower},
            {"fit_upper", d.fitUpper},
            {"colours", d.colours},
            {"name", tsl::ToUtf8(d.name)},
            {"mic_serial", d.micSerial},
            {"unit_serial", d.unitSerial},
            {"stored_value", d.storedValue},
            {"cal_version", d.calVersion},
            {"cal_image_length", d.calImageLength},
            {"eq", {{"gain", d.eq.gain}, {"valid", d.eq.valid}, {"bands", bands}}},
            {"results", CurvesJson(d.results)},
            {"measurements", CurvesJson(d.measurements)}};
}

void Show(const std::string& path) {
    CArchive ar = CArchive::OpenForLoad(path);
    DocData data;
    ReadDocData(ar, data);
    // The reader accepted the version, so the first four bytes hold it.
    const auto& b = ar.Buffer();
    const auto version = static_cast<int32_t>(uint32_t{b[0]} | uint32_t{b[1]} << 8 |
                                              uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24);
    cli::PrintLine(DocJson(version, data).dump());
}

struct DocArgs {
    std::string in, out;
};

const cli::CommandRegistration registration{
    "doc", [](CLI::App& app, cli::GlobalOptions&) {
        auto args = std::make_shared<DocArgs>();
        auto* doc = app.add_subcommand("doc", "Measurement documents");
        doc->require_subcommand(1);

        auto* show = doc->add_subcommand("show", "Print every field of a document as JSON");
        show->add_option("file", args->in, "Document (.CVD or .KTSL)")->required();
        show->callback([args] { Show(args->in); });

        auto* make = doc->add_subcommand("new", "Write a new, empty document");
        make->add_option("file", args->out, "Document to write")->required();
        make->callback([args] {
            DocData fresh;
            WriteDocFile(args->out, fresh);
        });

        auto* convert = doc->add_subcommand("convert", "Rewrite a document in version 8");
        convert->add_option("in", args->in, "Document to read (version 1 to 8)")->required();
        convert->add_option("out", args->out, "Document to write")->required();
        convert->callback([args] {
            DocData data;
            ReadDocFile(args->in, data);
            WriteDocFile(args->out, data);
        });
    }};

}  // namespace
