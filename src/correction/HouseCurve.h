#pragma once
// The target the user wants on top of the subwoofer's own (a bass shelf, a tilt, a house curve
// file) and the limits of the correction (the largest boost, the upper end of the corrected
// band). The defaults change nothing: the target and the fit are then exactly those without
// them.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "measure/Curve.h"

// The ranges of the settings (the controls' and the command line's).
inline constexpr double kShelfDbMin = -6.0;
inline constexpr double kShelfDbMax = 12.0;
inline constexpr double kShelfHzMin = 20.0;
inline constexpr double kShelfHzMax = 200.0;
inline constexpr double kDefaultShelfHz = 60.0;
inline constexpr double kTiltMin = -3.0;  // dB per octave
inline constexpr double kTiltMax = 3.0;
inline constexpr double kMaxBoostDbMin = 0.0;
inline constexpr double kMaxBoostDbMax = 6.0;
inline constexpr double kUpperHzMin = 40.0;
inline constexpr double kUpperHzMax = 250.0;
// Below this the tilt holds its value, so a point at or near 0 Hz stays finite.
inline constexpr double kTiltLowestHz = 10.0;
// A house curve file's limits are those of the text calibration files.
inline constexpr std::size_t kMaxHouseCurvePoints = 65536;
inline constexpr double kMaxHouseCurveDb = 1000.0;
inline constexpr wchar_t kHouseCurveFileKind[] = L"House curve file";

struct HouseCurvePoint {
    double frequencyHz = 0.0;
    double levelDb = 0.0;
    friend bool operator==(const HouseCurvePoint&, const HouseCurvePoint&) = default;
};

struct HouseCurveFile {
    std::wstring name;                    // the file's name, without its folder
    std::vector<HouseCurvePoint> points;  // rising frequencies, at least two
    friend bool operator==(const HouseCurveFile&, const HouseCurveFile&) = default;
};

struct HouseSettings {
    double shelfDb = 0.0;              // second-order low shelf, 0 = none
    double shelfHz = kDefaultShelfHz;  // its corner, where it is half way
    double tiltDbPerOctave = 0.0;      // pivoting at the crossover, 0 = none
    std::optional<HouseCurveFile> file;
    double maxBoostDb = kMaxBoostDbMax;  // 0: cuts only
    double upperHz = 0.0;                // upper end of the corrected band; 0: the fit's own

    // Whether the target is changed at all.
    bool ShapesTarget() const { return shelfDb != 0.0 || tiltDbPerOctave != 0.0 || file; }
    bool IsDefault() const { return *this == HouseSettings{}; }
    friend bool operator==(const HouseSettings&, const HouseSettings&) = default;
};

// Every value within its range, and a file (when present) as the reader takes them: two to
// kMaxHouseCurvePoints points of rising positive frequencies and levels within
// kMaxHouseCurveDb. Not a number is out of every range.
bool IsValidHouseSettings(const HouseSettings& settings);

// The gain, dB, the house shape adds at f to a target of that crossover.
double HouseGainDb(const HouseSettings& settings, double crossoverHz, double f);

// Multiplies the target's magnitudes by the house shape at its points (the curve ends in
// magnitude and phase); leaves it untouched when the settings do not shape it. Assumes valid
// settings.
void ApplyHouseCurve(CCurve& target, const HouseSettings& settings, double crossoverHz);

// The factor the fit's correction is limited to above unity (LimitBoost): the seed's factor 2
// (+6.02 dB) at the largest boost, 10^(dB/20) below it, 1 for cuts only.
double BoostLimit(const HouseSettings& settings);

// The upper end of the fit band under the upper limit.
double LimitedFitUpper(const HouseSettings& settings, double upper);

// A house curve file: "frequency dB" lines with the separators, comments and line ends of the
// text calibration files (a third column is ignored). Raises tsl::wruntime_error naming the
// file (`name`) and, for a malformed line, its number.
HouseCurveFile ParseHouseCurve(std::string_view text, const std::wstring& name);
// Reads the file (the size limit of the text calibration files) and parses it.
HouseCurveFile ReadHouseCurve(const std::filesystem::path& path);
