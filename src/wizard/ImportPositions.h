#pragma once
// Positions from other programs' files: text measurements ("frequency dB [phase]" lines, phase in
// degrees, '*' comment lines, as room-measurement programs and `export` write them) and impulse
// responses in sound files (".wav"), each resampled onto the document's measurement axis.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "document/DocData.h"
#include "measure/Curve.h"
#include "measure/ImpulseImport.h"

// What the messages call the files: "Measurement file \"NAME\": ...".
inline constexpr wchar_t kMeasurementFileKind[] = L"Measurement file";
inline constexpr wchar_t kImpulseFileKind[] = L"Impulse file";

// Reads one sound file's single channel; raises tsl::wruntime_error with the reason. The
// programs pass ReadImpulseFile (measure/ImpulseFile.h).
using ImpulseReader = std::function<ImpulseSamples(const std::filesystem::path&)>;

// Whether the file is read as an impulse response (by its extension) rather than as text.
bool IsImpulseFile(const std::filesystem::path& path);

// The response one file holds, on its own axis. Raises tsl::wruntime_error naming the file, and
// the line of a text file, for anything malformed, out of the calibration files' bounds or not
// covering the measuring band (TextCalibration.h).
CurvePtr ReadImportedResponse(const std::filesystem::path& path, const ImpulseReader& readImpulse);

// The axis imported positions are resampled onto: the first position's; null when the document
// holds none (the first imported file's axis is then taken).
CurvePtr MeasurementAxis(const DocData& data);

// The curve's level and phase at every point of the axis: straight lines over log frequency
// (the phase unwrapped), the end values held beyond the curve's ends.
CurvePtr ResampleHeld(const CCurve& curve, const CCurve& axis);

// Appends the files as positions, in order, and leaves the document as a measurement of all its
// positions would: the result list holds their power average, the equaliser is erased and the
// re-measured curve dropped, so the next Calculate fits to them. The document records which
// positions came from which file. model, when given, becomes the document's subwoofer model.
// Every file is read before anything changes: on a failure (tsl::wruntime_error naming the file)
// the document is as it was. More than kMaxPositions positions, an unknown model or one other
// than that of the document's positions are refused the same way.
void ImportPositions(DocData& data, const std::vector<std::filesystem::path>& files,
                     const ImpulseReader& readImpulse, std::optional<uint16_t> model = {});
