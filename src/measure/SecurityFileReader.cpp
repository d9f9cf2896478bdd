#include "measure/SecurityFileReader.h"

#include "measure/SecurityTexts.h"
#include "threading/Errors.h"

namespace Security {

FileReader::FileReader(std::filesystem::path path) : path_(std::move(path)) {}

bool FileReader::Open() {
    if (stream_.is_open())
        stream_.close();
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path_, ec))
        return false;
    stream_.open(path_, std::ios::binary);
    return stream_.is_open();
}

std::vector<uint8_t> FileReader::ReadAll() {
    if (!stream_.is_open())
        throw tsl::wruntime_error(kCouldNotOpenText);
    stream_.clear();
    if (!stream_.seekg(0, std::ios::end))
        throw tsl::wruntime_error(kCouldNotOpenText);
    const std::streamoff size = stream_.tellg();
    if (size < 0)
        throw tsl::wruntime_error(kCouldNotOpenText);
    if (static_cast<std::uintmax_t>(size) > kMaxCalibrationFileBytes)
        throw tsl::wruntime_error(kInvalidFileText);
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    stream_.seekg(0, std::ios::beg);
    if (!bytes.empty() &&
        !stream_.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)))
        throw tsl::wruntime_error(kCouldNotOpenText);
    return bytes;
}

}  // namespace Security
