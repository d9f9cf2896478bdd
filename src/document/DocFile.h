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

// Raised for a file whose version is not 1 to 8.
class BadFileFormat : public tsl::wruntime_error {
public:
    BadFileFormat() : tsl::wruntime_error(kBadFileFormatText) {}
};

// Writes version 8 and every field.
void WriteDocData(CArchive& ar, const DocData& data);

// Reads one document into `data`. A failure (BadFileFormat, or CArchiveException for a short or
// inconsistent file) leaves `data` untouched; every count is checked against the bytes left.
void ReadDocData(CArchive& ar, DocData& data);

// The whole file at `path` read into `data` (same failures; CArchiveException when the file
// cannot be read).
void ReadDocFile(const std::filesystem::path& path, DocData& data);

// Writes the document safely (Threading::SafeWriteFile): a failed save leaves any previous file
// intact, the file keeps its mode, a symbolic link is written through, and a read-only file is
// not replaced. Raises CArchiveException with cause fileError and a text that gives the reason.
void WriteDocFile(const std::filesystem::path& path, const DocData& data,
                  Threading::FileCalls& calls = Threading::FileCalls::System());
