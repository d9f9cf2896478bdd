// tessaline-cli doc: measurement documents (show, new, convert, positions, drop, import).

#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/Command.h"
#include "cli/DocJson.h"
#include "document/DocFile.h"
#include "measure/ImpulseFile.h"
#include "threading/Errors.h"
#include "wizard/ImportPositions.h"
#include "wizard/PositionEffects.h"
#include "wizard/Positions.h"

namespace cli::doc_command {

void Show(std::ostream& out, const std::string& path) {
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
    cli::PrintLine(out, cli::DocJson(version, data).dump());
}

// Each position's checks, deviation from the average and what the equaliser does there, and
// the band of the deviations.
void Positions(std::ostream& out, const std::string& path) {
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
        cli::AddEffectJson(r, row.effect);
        rows.push_back(std::move(r));
    }
    cli::PrintLine(out, nlohmann::ordered_json{{"band", {table.low, table.high}},
                                               {"outlier_rms_db", kOutlierRmsDb},
                                               {"held_out_worse_db", kHeldOutWorseDb},
                                               {"positions", rows}}
                            .dump());
}

struct DocArgs {
    std::string in, out;
    bool force = false;
    int position = 0;
    std::vector<std::string> files;
    std::optional<uint16_t> model;
};

void New(const DocArgs& args) {
    std::error_code error;
    if (!args.force && std::filesystem::exists(args.out, error))
        throw cli::CliFailure("'" + args.out +
                              "' exists; add --force to replace it with a new document");
    DocData fresh;
    WriteDocFile(args.out, fresh);
}

void Convert(const DocArgs& args) {
    DocData data;
    cli::ReadDocument(args.in, data);
    WriteDocFile(args.out, data);
}

void Drop(const DocArgs& args) {
    DocData data;
    cli::ReadDocument(args.in, data);
    if (args.position < 1)
        throw cli::UsageError("position must be 1 or more: " + std::to_string(args.position));
    DropPosition(data, static_cast<size_t>(args.position - 1));
    WriteDocFile(args.out.empty() ? args.in : args.out, data);
}

// The files become positions of the document, which is written only when all of them were read.
void Import(const DocArgs& args) {
    DocData data;
    cli::ReadDocument(args.in, data);
    std::vector<std::filesystem::path> files(args.files.begin(), args.files.end());
    ImportPositions(data, files, ReadImpulseFile, args.model);
    WriteDocFile(args.in, data);
}

class DocCommand final : public Command {
public:
    std::string Name() const override { return "doc"; }
    std::string Description() const override { return "Measurement documents"; }
    void AddOptions(CLI::App& doc) override {
        doc.require_subcommand(1);
        show_ = doc.add_subcommand("show", "Print every field of a document as JSON");
        show_->add_option("file", args_.in, "Document (.CVD or .KTSL)")->required();

        new_ = doc.add_subcommand("new", "Write a new, empty document");
        new_->add_option("file", args_.out, "Document to write")->required();
        new_->add_flag("--force", args_.force, "Replace the file when it exists");

        convert_ = doc.add_subcommand("convert", "Rewrite a document in version 8");
        convert_->add_option("in", args_.in, "Document to read (version 1 to 8)")->required();
        convert_->add_option("out", args_.out, "Document to write")->required();

        positions_ = doc.add_subcommand(
            "positions", "Print each position's checks and deviation from the average as JSON");
        positions_->add_option("file", args_.in, "Document")->required();

        drop_ = doc.add_subcommand(
            "drop", "Drop one position and keep the average of the others (calculate afterwards)");
        drop_->add_option("file", args_.in, "Document")->required();
        drop_->add_option("position", args_.position, "Position number, from 1")->required();
        drop_->add_option("--out", args_.out, "Write the document here instead of in place");

        import_ = doc.add_subcommand(
            "import",
            "Add positions from text measurements (frequency dB [phase] lines) or impulse "
            "responses (.wav) of other programs (calculate afterwards)");
        import_->add_option("file", args_.in, "Document")->required();
        import_->add_option("files", args_.files, "Measurement files")->required();
        import_->add_option("--model", args_.model,
                            "The subwoofer's model id (tessaline-cli models), for a document "
                            "without one");
    }
    void Run(const Context& context) override {
        std::ostream& out = context.io.out;
        if (show_->parsed())
            Show(out, args_.in);
        else if (new_->parsed())
            New(args_);
        else if (convert_->parsed())
            Convert(args_);
        else if (positions_->parsed())
            Positions(out, args_.in);
        else if (drop_->parsed())
            Drop(args_);
        else if (import_->parsed())
            Import(args_);
    }

private:
    DocArgs args_;
    CLI::App* show_ = nullptr;
    CLI::App* new_ = nullptr;
    CLI::App* convert_ = nullptr;
    CLI::App* positions_ = nullptr;
    CLI::App* drop_ = nullptr;
    CLI::App* import_ = nullptr;
};

std::unique_ptr<Command> Make() {
    return std::make_unique<DocCommand>();
}

}  // namespace cli::doc_command
