#pragma once
// Replacing a file without ever leaving it half written. The new content goes to a short hidden
// temporary file in the target's folder; every write, the sync and the close are checked, and
// only a complete file is renamed over the target, after which the folder is synced. The target
// keeps its mode, a symbolic link is written through to the file it names, and a read-only file
// is not replaced. Temporary files that an interrupted save of ours left behind are removed.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

#include "threading/Errors.h"

namespace Threading {

// The calls of the writer that can fail, as a seam for injecting faults. Each returns 0 or the
// errno value of the failure; `System()` makes the real calls (POSIX, or on Windows CreateFileW,
// WriteFile, FlushFileBuffers and MoveFileExW behind C runtime descriptors). Paths are UTF-8.
class FileCalls {
public:
    virtual ~FileCalls() = default;
    virtual int Open(const std::string& path, int flags, unsigned mode, int& fd);
    // Writes some of the bytes; `written` may be less than `length`.
    virtual int Write(int fd, const uint8_t* data, size_t length, size_t& written);
    virtual int Sync(int fd);
    virtual int Close(int fd);
    virtual int ChangeMode(int fd, unsigned mode);
    virtual int Rename(const std::string& from, const std::string& to);
    virtual int Remove(const std::string& path);

    static FileCalls& System();
};

// A failed save. Unless the failure came after the rename (syncing the folder), the previous
// file is unchanged and no temporary file is left.
class SaveError : public tsl::wruntime_error {
public:
    SaveError(std::wstring message, std::wstring reason, int error)
        : tsl::wruntime_error(std::move(message)), reason_(std::move(reason)), error_(error) {}
    // Why, in words: "no space left on the device", "the file is read-only", ...
    const std::wstring& Reason() const noexcept { return reason_; }
    // The errno value; 0 when the target is a read-only file.
    int Error() const noexcept { return error_; }
    bool ReadOnlyTarget() const noexcept { return error_ == 0; }

private:
    std::wstring reason_;
    int error_;
};

// Replaces the file at `path` (or the file a symbolic link there names) by `length` bytes.
// Throws SaveError with the text "The file "PATH" could not be written: REASON.".
void SafeWriteFile(const std::filesystem::path& path, const uint8_t* data, size_t length,
                   FileCalls& calls = FileCalls::System());

inline void SafeWriteFile(const std::filesystem::path& path, const std::string& text,
                          FileCalls& calls = FileCalls::System()) {
    SafeWriteFile(path, reinterpret_cast<const uint8_t*>(text.data()), text.size(), calls);
}

// True for an existing file (links followed) that SafeWriteFile will not replace: one without
// its owner's write permission, or one that this process may not write.
bool IsReadOnlyFile(const std::filesystem::path& path);
// Why IsReadOnlyFile holds ("the file is read-only", "the file system is read-only", ...);
// empty when it does not.
std::wstring ReadOnlyReason(const std::filesystem::path& path);

// The reason text for an errno value.
std::wstring SaveFailureReason(int error);

#ifdef _WIN32
// The errno value the messages use for a Win32 error code.
int ErrnoOfWin32(unsigned long code);
#endif

// Temporary files are named ".tsl" + 8 letters or digits + ".tmp". One untouched for longer
// than kStaleAge is left over from a save that was killed.
bool IsSafeFileTemporary(const std::string& name);
inline constexpr std::chrono::minutes kStaleTemporaryAge{10};

}  // namespace Threading
