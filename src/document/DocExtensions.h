#pragma once
// Optional data after the version-8 fields of a document file. A reader of the plain version-8
// layout stops after the colour block and never reaches it, so files that carry it still open
// there. Layout: the marker "TSLX", then blocks until the end of the file, each a 32-bit tag, a
// 32-bit payload length and the payload. Unknown tags are skipped, so later blocks can be added
// without breaking this reader; a block's payload may grow at its end for the same reason.

#include <cstdint>

#include "document/DocData.h"
#include "measure/Archive.h"

namespace DocExtensions {

inline constexpr uint32_t Tag(char a, char b, char c, char d) {
    return uint32_t(uint8_t(a)) | uint32_t(uint8_t(b)) << 8 | uint32_t(uint8_t(c)) << 16 |
           uint32_t(uint8_t(d)) << 24;
}

inline constexpr uint32_t kMarker = Tag('T', 'S', 'L', 'X');
// Per position: count, then snrDb and periodDiffDb (doubles) each.
inline constexpr uint32_t kPositionQualityTag = Tag('P', 'Q', 'L', 'T');
// What the equaliser does at each position: count, then per position flags (32-bit: 1 with a
// held-out figure, 2 made worse), the RMS and largest deviation from the target before, after
// and held out (doubles, dB; 0 without a held-out figure) and where it was made worse (double,
// Hz; 0 when not). Kept only when it matches the measurement count, the equaliser is valid and
// every value is plausible.
inline constexpr uint32_t kPositionEffectTag = Tag('P', 'E', 'F', 'F');
inline constexpr uint32_t kHeldOutFlag = 1;
inline constexpr uint32_t kMadeWorseFlag = 2;
inline constexpr double kMaxDeviationDb = 10000.0;
// The re-measured average: positions (32-bit), then the curve record.
inline constexpr uint32_t kVerifiedTag = Tag('V', 'R', 'F', 'Y');
// The calibration's source: kind (32-bit), then the file name as a wide string.
inline constexpr uint32_t kCalibrationTag = Tag('M', 'C', 'A', 'L');
// The fit limits Calculate used: lower and upper (doubles, Hz), so that what is compared over
// the fit band reads the same after the file is reopened. Kept only when 0 <= lower < upper <=
// kMaxFitBandHz.
inline constexpr uint32_t kFitBandTag = Tag('F', 'I', 'T', 'B');
inline constexpr double kMaxFitBandHz = 24000.0;
// The fit the equaliser was designed with: the method (32-bit, FitMethod).
inline constexpr uint32_t kFitMethodTag = Tag('F', 'I', 'T', 'M');
// The house curve and the correction limits: shelf gain, shelf corner, tilt, maximum boost
// and upper limit (doubles: dB, Hz, dB per octave, dB, Hz or 0), the house curve file's name
// (wide string, empty without a file), its point count (32-bit, 0 without a file) and its
// points (frequency and level, doubles). Written only when they are not the defaults; settings
// out of their ranges are not taken.
inline constexpr uint32_t kTargetShapeTag = Tag('T', 'G', 'S', 'H');
// One set of impulses: the set (32-bit, ImpulseSet), the rate (32-bit, Hz), the samples per
// impulse (32-bit), the count (32-bit), then per impulse its samples (32-bit floats). Taken only
// at Decay::kImpulseRate and Decay::kImpulseLength with finite samples, the measurements' set only
// when it has one impulse per measurement, the re-measurement's only with its curve.
inline constexpr uint32_t kImpulsesTag = Tag('I', 'M', 'P', 'R');
enum class ImpulseSet : int32_t { Measurements = 0, Verified = 1 };
// The imported positions: count (32-bit), then per position its index (32-bit, 0-based) and
// the file's name (wide string). Entries that name no position, or not in ascending order, are
// dropped.
inline constexpr uint32_t kImportedTag = Tag('I', 'M', 'P', 'O');

// Writes the marker and a block for each optional field present; nothing when none is.
void Write(CArchive& ar, const DocData& data);

// Reads whatever follows the version-8 fields. Trailing bytes without the marker are ignored,
// as the plain reader ignores them; a block whose length overruns the file, or a known block
// that does not fit its own length, raises CArchiveException. Position quality that does not
// match the measurement count is dropped, as are impulses that do not match theirs and position
// effects that do not match it or the equaliser.
void Read(CArchive& ar, DocData& data);

}  // namespace DocExtensions
