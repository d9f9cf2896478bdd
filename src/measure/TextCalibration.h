#pragma once
// Plain-text microphone calibration files as measurement microphones commonly ship them: lines
// of "frequency dB [phase]" (phase in degrees), comment lines starting with '*' or '"', and an
// optional "Sens Factor =xdB" header whose value is added to every level.

#include <cstddef>
#include <filesystem>
#include <string_view>

#include "measure/Curve.h"

namespace Security {

// Larger files and more points are refused before anything is allocated for them.
inline constexpr std::size_t kMaxTextCalibrationBytes = 4u << 20;
inline constexpr std::size_t kMaxTextCalibrationPoints = 65536;
// Levels and sensitivities beyond this many dB are no microphone's.
inline constexpr double kMaxTextCalibrationDb = 1000.0;

struct TextCalibration {
    CurvePtr curve;  // Frequency axis, DbPhase: level in dB (sensitivity included), phase in rad
    double sensitivityDb = 0.0;
    bool hasPhase = false;  // at least one line gave a phase
};

// Raises tsl::wruntime_error naming `source` and, for a malformed line, its number.
TextCalibration ParseTextCalibration(std::string_view text, const std::wstring& source);
// Reads the file (at most kMaxTextCalibrationBytes) and parses it.
TextCalibration ReadTextCalibration(const std::filesystem::path& path);

// What the messages call the file: "Calibration file \"NAME\": ...".
inline constexpr wchar_t kCalibrationFileKind[] = L"Calibration file";
// The same for other files of these lines (house curves), their messages naming them as kind.
TextCalibration ParseTextCalibration(std::string_view text, const std::wstring& source,
                                     std::wstring_view kind);
TextCalibration ReadTextCalibration(const std::filesystem::path& path, std::wstring_view kind);

// The band a calibration must cover for a measurement to be corrected with it, Hz.
inline constexpr double kMeasuringLowHz = 20.0;
inline constexpr double kMeasuringHighHz = 500.0;
// Raises tsl::wruntime_error naming `source` and the range the calibration covers when it does
// not reach from kMeasuringLowHz to kMeasuringHighHz.
void RequireMeasuringBand(const TextCalibration& calibration, const std::wstring& source);
// ReadTextCalibration, then RequireMeasuringBand: a file a measurement can use.
TextCalibration ReadMeasuringCalibration(const std::filesystem::path& path);

}  // namespace Security
