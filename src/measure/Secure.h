#pragma once
// The calibration registry: the calibration files found in the calibration folder, the one the
// user selected and its open reader, and the reading of a calibration file into a curve.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "measure/Curve.h"
#include "measure/SecurityFileReader.h"
#include "threading/Prompt.h"

namespace Security {

struct CalibrationEntry {
    int32_t unitSerial = 0;  // 0 for every file found by a scan
    int32_t micSerial = 0;   // from the file name
    std::wstring fileName;
};

// The microphone serial of a name like "1234Corvana.cal": the text before the first "Corvana"
// must be a whole decimal integer. Nothing for any other name.
std::optional<int32_t> ParseCalibrationFileName(const std::wstring& name);
// "<serial>Corvana.cal".
std::wstring CalibrationFileName(int32_t micSerial);
// The folder of the running executable (the current folder when it cannot be found): where the
// calibration files are when the program is given no folder.
std::filesystem::path DefaultCalibrationDir();

// Receives status texts ("Using calibration file: ...", failure texts).
using StatusSink = std::function<void(const std::wstring&)>;

class Secure {
public:
    // `prompt` (may be null: no dialogs, nothing is selected) shows the selection dialog and
    // the message boxes.
    Secure(std::filesystem::path directory, Threading::IPrompt* prompt);

    void SetPrompt(Threading::IPrompt* prompt) noexcept { prompt_ = prompt; }
    const std::filesystem::path& Directory() const noexcept { return directory_; }

    // Replaces the list with the parsable "*Corvana.cal" names of the folder (in name order).
    bool ScanCalibrationFiles();
    // Lets the user choose one entry and opens it; false when cancelled or nothing is found.
    bool SelectCalibrationFile();
    // Opens the entry's file; on success it becomes the selection.
    bool OpenCalibrationFile(const CalibrationEntry& entry);

    const std::vector<CalibrationEntry>& Entries() const noexcept { return entries_; }
    bool Found() const noexcept { return found_; }
    std::optional<int32_t> SelectedMicSerial() const noexcept { return selectedMic_; }
    std::optional<int32_t> SelectedUnitSerial() const noexcept { return selectedUnit_; }
    FileReader* Reader() noexcept { return reader_.get(); }

private:
    std::filesystem::path directory_;
    Threading::IPrompt* prompt_;
    std::vector<CalibrationEntry> entries_;
    bool found_ = false;
    std::optional<int32_t> selectedMic_;
    std::optional<int32_t> selectedUnit_;
    std::unique_ptr<FileReader> reader_;
};

// Reads and validates the selected file into `curve` (Cartesian, Frequency) and hands back its
// version and, when asked, the raw (still enciphered) image. Raises tsl::wruntime_error with
// the user's text on failure; the curve is then empty.
void ReadCalibration(Secure& registry, int32_t unitSerial, int32_t micSerial, CCurve& curve,
                     int32_t& version, std::vector<uint8_t>* image = nullptr);

// Validates and deciphers a whole calibration file image (the part of ReadCalibration after
// the file is read), with the same failures.
void DecodeCalibrationImage(std::vector<uint8_t> bytes, int32_t unitSerial, int32_t micSerial,
                            CCurve& curve, int32_t& version);

struct LoadedCalibration {
    CurvePtr curve;  // null when no file was found or opened
    int32_t version = 1;
    int32_t micSerial = 0;
    std::shared_ptr<std::vector<uint8_t>> image;  // only when asked for
};

// Scan, selection and reading of the user's calibration file. Read failures are raised.
LoadedCalibration LoadCalibration(Secure& registry, const StatusSink& status, bool wantImage);

struct CalibrationFile {
    CurvePtr curve;
    int32_t version = 1;
    int32_t micSerial = 0;
    int32_t unitSerial = 0;
    std::vector<uint8_t> image;
};

// Reads the calibration file at `path` directly: the microphone serial comes from its name as
// the scan parses it. Raises the same texts as the registry (a name that does not parse gives
// the "no calibration files" text, a file that cannot be opened the "pre-open" text).
CalibrationFile ReadCalibrationFile(const std::filesystem::path& path, int32_t unitSerial = 0);

}  // namespace Security
