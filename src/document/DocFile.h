#pragma once
// The measurement document file: a little-endian archive, read in versions 1 to 8 and always
// written in version 8.

#include <filesystem>

#include "document/DocData.h"
#include "measure/Archive.h"
#include "threading/Errors.h"
#include "threading/SafeFile.h"

inline constexpr int32_t kDocFileVersion = 8;
inline constexpr wchar_t kBadFileFormatText[] = L"Bad file format";

// What one document may hold: the largest the program writes, with room to spare. It writes at
// most ten measurement positions and three result curves, each of at most 65536 points (one sweep
// period), ten equaliser sections, a calibration file image of at most 16 MB and short names.
// Larger counts are refused (CArchiveException) before anything is allocated for them.
inline constexpr uint64_t kMaxDocCurves = 32;           // per curve list
inline constexpr int32_t kMaxDocCurvePoints = 1 << 17;  // per curve
inline constexpr uint64_t kMaxDocPoints = 1 << 20;      // all curves together
inline constexpr uint32_t kMaxDocBands = 64;
inline constexpr uint32_t kMaxDocImageBytes = 16u << 20;
inline constexpr uint64_t kMaxDocTextLength = 1024;       // characters of a name
inline constexpr uintmax_t kMaxDocFileBytes = 64u << 20;  // checked before a file is read

// Raised for a file whose version is not 1 to 8.
class BadFileFormat : public tsl::wruntime_error {
public:
    BadFileFormat() : tsl::wruntime_error(kBadFileFormatText) {}
};

// Writes version 8 and every field.
void WriteDocData(CArchive& ar, const DocData& data);

// Reads one document into `data`. A failure (BadFileFormat, or CArchiveException for a short,
// inconsistent or oversized file) leaves `data` untouched; every count is checked against the
// limits above and the bytes left.
void ReadDocData(CArchive& ar, DocData& data);

// The whole file at `path` read into `data` (same failures; CArchiveException when the file
// cannot be read or is larger than kMaxDocFileBytes).
void ReadDocFile(const std::filesystem::path& path, DocData& data);

// Writes the document safely (Threading::SafeWriteFile): a failed save leaves any previous file
// intact, the file keeps its mode, a symbolic link is written through, and a read-only file is
// not replaced. Raises CArchiveException with cause fileError and a text that gives the reason.
void WriteDocFile(const std::filesystem::path& path, const DocData& data,
                  Threading::FileCalls& calls = Threading::FileCalls::System());
