#pragma once
// The texts the calibration code shows or raises.

namespace Security {

inline constexpr wchar_t kNotInitializedText[] = L"Not Initialized";
inline constexpr wchar_t kCouldNotOpenText[] = L"Could not open security file for reading";
inline constexpr wchar_t kInvalidFileText[] = L"Invalid security file";
inline constexpr wchar_t kNewerVersionText[] =
    L"File version is newer then program version. Please update program.";
inline constexpr wchar_t kNoFilesText[] =
    L"No calibration files found in application directory that match. (code = 0x02)";
inline constexpr wchar_t kPreOpenFailedText[] =
    L"Failed to pre-open calibration file(s). (code = 0x01)";
inline constexpr wchar_t kErrorCaption[] = L"Error.";
inline constexpr wchar_t kSelectPromptText[] = L"Select microphone serial number:";
inline constexpr wchar_t kUsingFileFormat[] = L"Using calibration file: %s";
inline constexpr wchar_t kNotFoundText[] = L"Could not find microphone calibration files.";
inline constexpr wchar_t kInvalidVersionText[] = L"Invalid calibration file version";

}  // namespace Security
