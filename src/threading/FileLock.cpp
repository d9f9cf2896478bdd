#include "threading/FileLock.h"

#ifdef _WIN32
#include <windows.h>

#include "threading/SafeFile.h"
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace Threading {

#ifdef _WIN32

// Another program holding the file open unshared is the "busy" case; the handle is closed by the
// system when the process ends.
FileLock::FileLock(const std::filesystem::path& path) {
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION) {
            result_ = Result::Busy;
            return;
        }
        error_ = ErrnoOfWin32(code);
        openFailed_ = true;
        return;
    }
    handle_ = h;
    result_ = Result::Locked;
}

FileLock::~FileLock() {
    if (handle_)
        ::CloseHandle(static_cast<HANDLE>(handle_));
}

#else

FileLock::FileLock(const std::filesystem::path& path) {
    fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        error_ = errno;
        openFailed_ = true;
        return;
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd_);
        fd_ = -1;
        if (error == EWOULDBLOCK)
            result_ = Result::Busy;
        else
            error_ = error;
        return;
    }
    result_ = Result::Locked;
}

FileLock::~FileLock() {
    if (fd_ >= 0)
        ::close(fd_);
}

#endif

}  // namespace Threading
