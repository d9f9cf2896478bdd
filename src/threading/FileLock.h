#pragma once
// An exclusive lock on a lock file, held for the object's lifetime and released when the
// process ends however it ends: an advisory flock on POSIX, a file opened without sharing on
// Windows. The file itself is left in place.

#include <filesystem>

namespace Threading {

class FileLock {
public:
    enum class Result { Locked, Busy, Failed };

    // Opens (creating it when needed) and locks the file without waiting.
    explicit FileLock(const std::filesystem::path& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

    Result State() const { return result_; }
    // With Failed: the errno value; `openFailed` tells whether the file could not be opened.
    int Error() const { return error_; }
    bool OpenFailed() const { return openFailed_; }

private:
    Result result_ = Result::Failed;
    int error_ = 0;
    bool openFailed_ = false;
#ifdef _WIN32
    void* handle_ = nullptr;
#else
    int fd_ = -1;
#endif
};

}  // namespace Threading
