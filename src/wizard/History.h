#pragma once
// The per-user history of what was written into each subwoofer: one JSON file per subwoofer
// (by serial number, or by model when there is none) in the history folder, to which every
// successful upload, erase and restore adds one record. Records are only ever appended; a file
// that cannot be read as a history is moved aside (kept, never lost) and a new one started.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "correction/EqResult.h"

namespace History {

inline constexpr char kUpload[] = "upload";
inline constexpr char kErase[] = "erase";
inline constexpr char kFound[] = "found";  // read back from a subwoofer before a write
inline constexpr char kRestore[] = "restore";

// The fit figures of the equaliser written: the delivered response against the target.
struct FitFigures {
    std::optional<double> rmsDb;
    std::optional<double> maxDb;
    double lowerHz = 0.0;
    double upperHz = 0.0;
    std::string method;  // empty: not recorded
};

struct Record {
    std::string date;  // UTC, "2026-12-09T13:05:00Z"
    std::string kind;  // kUpload, kErase, kFound or kRestore
    uint16_t modelId = 0;
    std::string modelName;               // the model's short code
    std::string firmware;                // "1.05"; empty when it could not be read
    std::filesystem::path documentPath;  // empty: no document (erase, found)
    std::optional<EqResult> eq;          // the equaliser as the document stores it
    uint32_t checksum = 0;               // BlockChecksum of the whole block, as the device reports
    std::vector<uint8_t> block;          // the block written; empty for kFound
    std::optional<FitFigures> fit;
    int restoredFrom = 0;  // kRestore: the record written back (from 1)
};

// The history of one subwoofer, as read.
struct Book {
    std::vector<Record> records;
    // Set when the file was damaged: the message saying so and where it was kept.
    std::wstring notice;

    // True when a record of this model holds a block with this checksum.
    bool Knows(uint16_t modelId, uint32_t checksum) const;
};

// Where the upload, erase and restore steps record what they wrote; an empty folder records
// nothing.
struct Setup {
    std::filesystem::path folder;
    // The document being uploaded, asked on the UI thread; null: none is recorded.
    std::function<std::filesystem::path()> documentPath;
    // Told, on the step's thread, of a damaged history moved aside and of a record that could
    // not be written (the write itself succeeded); null: shown as a box of the step.
    std::function<void(const std::wstring&)> notice;
};

// The history file of a subwoofer in folder: by serial number when it has one, else by model.
std::filesystem::path FilePath(const std::filesystem::path& folder, uint16_t modelId,
                               const std::string& serial = {});

// Reads the history at path; a missing file is an empty history. A damaged file (not a history,
// truncated, over kMaxFileBytes) is renamed beside itself, a new empty history is written in its
// place and the notice tells both. Raises tsl::wruntime_error only when the file can neither be
// read nor moved aside.
Book Load(const std::filesystem::path& path);

// Appends records to the history at path (loading it as Load does) and writes it with the safe
// writer. Returns the notice of a damaged file (empty when there was none); raises the write's
// failure.
std::wstring Append(const std::filesystem::path& path, const std::vector<Record>& records);

// A checksum as the records show it: 8 upper-case hexadecimal digits.
std::string ChecksumText(uint32_t checksum);

// The current time as a record's date.
std::string Now();

// The history as a JSON text, and back; From raises tsl::wruntime_error naming why.
std::string ToJson(const Book& book);
Book FromJson(const std::string& text);
// One record as `history show` prints it (every field) and the list entry of `history list`.
std::string RecordJson(const Record& record);
std::string ListJson(const Book& book);

inline constexpr size_t kMaxFileBytes = 16u << 20;
inline constexpr size_t kMaxRecords = 100000;
inline constexpr size_t kMaxBlockBytes = 4096;

}  // namespace History
