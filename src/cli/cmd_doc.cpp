// tessaline-cli doc: measurement documents (show, new, convert, positions, drop).

#include <filesystem>
#include <memory>
#include <string>

#include "cli/Cli.h"
#include "cli/DocJson.h"
#include "document/DocFile.h"
#include "threading/Errors.h"
#include "wizard/Positions.h"

namespace cli::doc_command {

void Show(const std::string& path) {
    DocData data;
    int32_t version = 0;
    cli::NamingFile(path, [&] {
        CArchive ar = CArchive::OpenForLoad(path);
        ReadDocData(ar, data);
        // The reader accepted the version, so the first four bytes hold it.
        const auto& b = ar.Buffer();
        version = static_cast<int32_t>(uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 |
                                       uint32_t{b[3]} << 24);
    });
    cli::PrintLine(cli::DocJson(version, data).dump());
}

// Each position's checks and deviation from the average, and the band of the deviations.
void Positions(const std::string& path) {
    DocData data;
    cli::ReadDocument(path, data);
    const PositionTable table = TabulatePositions(data);
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (const PositionRow& row : table.rows) {
        nlohmann::ordered_json r{{"position", row.number}};
        r["snr_db"] = row.checks ? nlohmann::ordered_json(row.checks->snrDb) : nullptr;
        r["period_diff_db"] =
            row.checks ? nlohmann::ordered_json(row.checks->periodDiffDb) : nullptr;
        r["deviation_rms_db"] = row.deviationDb;
        r["deviation_max_db"] = row.largestDb;
        r["outlier"] = row.outlier;
        rows.push_back(std::move(r));
    }
    cli::PrintLine(nlohmann::ordered_json{
        {"band", {table.low, table.high}}, {"outlier_rms_db", kOutlierRmsDb}, {"positions", rows}}
                       .dump());
}

struct DocArgs {
    std::string in, out;
    bool force = false;
    int position = 0;
};

Command Make() {
    return {
        "doc", [](CLI::App& app, cli::GlobalOptions&) {
            auto args = std::make_shared<DocArgs>();
            auto* doc = app.add_subcommand("doc", "Measurement documents");
            doc->require_subcommand(1);

            auto* show = doc->add_subcommand("show", "Print every field of a document as JSON");
            show->add_option("file", args->in, "Document (.CVD or .KTSL)")->required();
            show->callback([args] { Show(args->in); });

            auto* make = doc->add_subcommand("new", "Write a new, empty document");
            make->add_option("file", args->out, "Document to write")->required();
            make->add_flag("--force", args->force, "Replace the file when it exists");
            make->callback([args] {
                std::error_code error;
                if (!args->force && std::filesystem::exists(args->out, error))
                    throw cli::CliFailure(
                        "'" + args->out +
                        "' exists; add --force to replace it with a new document");
                DocData fresh;
                WriteDocFile(args->out, fresh);
            });

            auto* convert = doc->add_subcommand("convert", "Rewrite a document in version 8");
            convert->add_option("in", args->in, "Document to read (version 1 to 8)")->required();
            convert->add_option("out", args->out, "Document to write")->required();
            convert->callback([args] {
                DocData data;
                cli::ReadDocument(args->in, data);
                WriteDocFile(args->out, data);
            });

            auto* positions = doc->add_subcommand(
                "positions", "Print each position's checks and deviation from the average as JSON");
            positions->add_option("file", args->in, "Document")->required();
            positions->callback([args] { Positions(args->in); });

            auto* drop = doc->add_subcommand(
                "drop",
                "Drop one position and keep the average of the others (calculate afterwards)");
            drop->add_option("file", args->in, "Document")->required();
            drop->add_option("position", args->position, "Position number, from 1")->required();
            drop->add_option("--out", args->out, "Write the document here instead of in place");
            drop->callback([args] {
                DocData data;
                cli::ReadDocument(args->in, data);
                if (args->position < 1)
                    throw cli::UsageError("position must be 1 or more: " +
                                          std::to_string(args->position));
                DropPosition(data, static_cast<size_t>(args->position - 1));
                WriteDocFile(args->out.empty() ? args->in : args->out, data);
            });
        }};
}

}  // namespace cli::doc_command
