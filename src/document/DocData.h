#pragma once
// The document record: everything known about one subwoofer installation.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "correction/EqResult.h"
#include "correction/FitMethod.h"
#include "correction/HouseCurve.h"

class CCurve;

using CurveList = std::vector<std::shared_ptr<CCurve>>;
using ByteImage = std::shared_ptr<std::vector<uint8_t>>;

// Curve colours: bits 0-7 red, 8-15 green, 16-23 blue.
inline constexpr uint32_t kMeasuredColour = 0x0000FF;    // red
inline constexpr uint32_t kTargetColour = 0xFF0000;      // blue
inline constexpr uint32_t kCalculatedColour = 0x800080;  // purple
inline constexpr wchar_t kDefaultSubwooferName[] = L"Subwoofer";

// What the checks of one position's measurement found.
struct PositionQuality {
    double snrDb = 0.0;         // the lower of the two periods' signal-to-noise ratios
    double periodDiffDb = 0.0;  // largest level difference between the two periods
};

// One position's level against the target over the fit band: RMS and largest difference, dB.
struct TargetDeviation {
    double rmsDb = 0.0;
    double maxDb = 0.0;
    friend bool operator==(const TargetDeviation&, const TargetDeviation&) = default;
};

// What the equaliser does at one position.
struct PositionEffect {
    TargetDeviation before;                  // as measured
    TargetDeviation after;                   // through the equaliser
    std::optional<TargetDeviation> heldOut;  // through one fitted to the other positions only
    std::optional<double> worseAtHz;         // made worse: where the difference grows most, Hz
    bool MadeWorse() const { return worseAtHz.has_value(); }
    friend bool operator==(const PositionEffect&, const PositionEffect&) = default;
};

// Where the microphone correction came from.
enum class CalibrationKind : int32_t { BrandFile = 0, TextFile = 1 };
struct CalibrationSource {
    CalibrationKind kind = CalibrationKind::BrandFile;
    std::wstring fileName;  // the file's name, without its folder
};

// A position read from another program's file instead of measured here.
struct ImportedPosition {
    int32_t position = 0;   // 0-based index into the measurement list
    std::wstring fileName;  // the file's name, without its folder
};

struct DocData {
    DocData();
    DocData(const DocData&) = delete;
    DocData& operator=(const DocData&) = delete;
    virtual ~DocData() = default;

    // Empties both curve lists, erases the EQ result (keeping its band count) and sets every
    // field to its reset value; the two serial numbers are left as they are.
    void Reset();
    // Resets this record and takes over the source's curves and fields; the source keeps no
    // curves, no image, serials 0, stored value 0, calibration version 1, name "Subwoofer".
    void MoveFrom(DocData& source);
    // Makes this record an independent copy of the source: every field, and copies of its
    // curves (the calibration image, which nothing changes, is shared).
    void CopyFrom(const DocData& source);

    CurveList results;       // [measured average] or [measured average, target, calculated]
    CurveList measurements;  // one response per microphone position, in position order
    EqResult eq;
    int32_t crossover = 0;   // Hz
    int32_t minEqFreq = 20;  // Hz
    int32_t hpFreq = 20;     // Hz
    int32_t hpOrder = 0;     // SLOPE_ORDER, 0 = "Auto"
    uint16_t modelId = 0;
    double fitLower = 0.0;  // Hz
    double fitUpper = 0.0;  // Hz
    std::array<uint32_t, 3> colours{kMeasuredColour, kTargetColour, kCalculatedColour};
    std::wstring name;
    uint32_t micSerial = 0;
    uint32_t unitSerial = 0;
    uint32_t calImageLength = 0;
    ByteImage calImage;        // raw calibration file, still enciphered; may be shared
    uint32_t storedValue = 0;  // carried through files without meaning
    int32_t calVersion = 1;    // calibration file version, 1 to 3

    // Optional data, kept in the file after the version-8 fields (DocExtensions.h); files
    // written elsewhere have none of it.
    std::vector<PositionQuality> positionQuality;  // empty, or one per measurement
    // What the equaliser does at each position, from the last Calculate: empty, or one per
    // measurement.
    std::vector<PositionEffect> positionEffects;
    std::shared_ptr<CCurve> verified;              // average re-measured after an upload
    int32_t verifiedPositions = 0;                 // positions of that re-measurement
    std::optional<CalibrationSource> calibration;  // none: not recorded
    // The fit the equaliser was designed with, and the one the next calculation uses; none:
    // not recorded (the fit's default then).
    std::optional<FitMethod> fitMethod;
    // The house curve and the correction limits the next calculation uses (defaults: none).
    HouseSettings house;
    // Each position's impulse of one sweep period at the equaliser's rate (Decay::kImpulseRate,
    // Decay::kImpulseLength samples): empty (measured before they were kept), or one per
    // measurement; and the re-measurement's, one per its positions.
    std::vector<std::vector<float>> impulses;
    std::vector<std::vector<float>> verifiedImpulses;
    // The positions that were imported, in ascending order; the others were measured.
    std::vector<ImportedPosition> imported;
};
