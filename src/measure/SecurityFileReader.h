#pragma once
// One calibration file opened for raw reading.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

namespace Security {

// Calibration files are read whole into memory; anything larger is refused unread.
inline constexpr std::uintmax_t kMaxCalibrationFileBytes = 16u * 1024u * 1024u;

class FileReader {
public:
    explicit FileReader(std::filesystem::path path);
    virtual ~FileReader() = default;
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    bool Open();
    bool IsOpen() const { return stream_.is_open(); }
    const std::filesystem::path& Path() const noexcept { return path_; }

    // The whole file. Raises "Could not open security file for reading" on a read failure and
    // "Invalid security file" for a file above the size bound.
    std::vector<uint8_t> ReadAll();

private:
    std::filesystem::path path_;
    std::ifstream stream_;
};

}  // namespace Security
