// The safe writer's system calls on Windows: CreateFileW for the temporary, WriteFile,
// FlushFileBuffers, and MoveFileExW with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH for
// the replacement, which returns only once the rename is on the disk, so there is no folder to
// sync. Win32 error codes become the errno values the messages are made from.

#include <windows.h>
//
#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <cerrno>

#include "threading/SafeFilePlatform.h"

namespace Threading {

namespace fs = std::filesystem;

int ErrnoOfWin32(unsigned long code) {
    switch (code) {
        case ERROR_SUCCESS:
            return 0;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_DRIVE:
        case ERROR_BAD_NETPATH:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EACCES;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_WRITE_PROTECT:
            return EROFS;
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_BUFFER_OVERFLOW:
            return ENAMETOOLONG;
        case ERROR_NOT_SAME_DEVICE:
            return EXDEV;
        case ERROR_DIRECTORY:
            return ENOTDIR;
        case ERROR_INVALID_NAME:
            return EINVAL;
        default:
            return EIO;
    }
}

namespace {

int LastErrno() {
    return ErrnoOfWin32(::GetLastError());
}

std::wstring Wide(const std::string& utf8) {
    return tsl::FromUtf8(utf8);
}

HANDLE HandleOf(int fd) {
    return reinterpret_cast<HANDLE>(::_get_osfhandle(fd));
}

}  // namespace

int FileCalls::Open(const std::string& path, int flags, unsigned, int& fd) {
    fd = -1;
    const DWORD disposition =
        (flags & O_CREAT) ? ((flags & O_EXCL) ? CREATE_NEW : OPEN_ALWAYS) : OPEN_EXISTING;
    const DWORD access = (flags & (O_WRONLY | O_RDWR)) ? GENERIC_WRITE : GENERIC_READ;
    HANDLE h = ::CreateFileW(Wide(path).c_str(), access, FILE_SHARE_READ, nullptr, disposition,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return LastErrno();
    fd = ::_open_osfhandle(reinterpret_cast<intptr_t>(h), _O_BINARY);
    if (fd < 0) {
        ::CloseHandle(h);
        return EMFILE;
    }
    return 0;
}

int FileCalls::Write(int fd, const uint8_t* data, size_t length, size_t& written) {
    written = 0;
    DWORD n = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(length, 1u << 30));
    if (!::WriteFile(HandleOf(fd), data, chunk, &n, nullptr))
        return LastErrno();
    written = n;
    return 0;
}

int FileCalls::Sync(int fd) {
    return ::FlushFileBuffers(HandleOf(fd)) ? 0 : LastErrno();
}

int FileCalls::Close(int fd) {
    return ::_close(fd) == 0 ? 0 : errno;
}

// Windows files carry no mode bits; the temporary inherits the folder's permissions as the
// target did, and a read-only target is refused before this.
int FileCalls::ChangeMode(int, unsigned) {
    return 0;
}

int FileCalls::Rename(const std::string& from, const std::string& to) {
    return ::MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : LastErrno();
}

int FileCalls::Remove(const std::string& path) {
    return ::DeleteFileW(Wide(path).c_str()) ? 0 : LastErrno();
}

FileCalls& FileCalls::System() {
    static FileCalls calls;
    return calls;
}

std::wstring ReadOnlyReason(const fs::path& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {};
    if (attributes & FILE_ATTRIBUTE_READONLY)
        return SaveFailureReason(0);
    // Denied by the file's permissions.
    HANDLE h = ::CreateFileW(path.c_str(), FILE_WRITE_DATA,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD code = ::GetLastError();
        return code == ERROR_ACCESS_DENIED ? SaveFailureReason(EACCES) : std::wstring();
    }
    ::CloseHandle(h);
    return {};
}

bool IsReadOnlyFile(const fs::path& path) {
    return !ReadOnlyReason(path).empty();
}

namespace detail {

void Inspect(const fs::path& path, TargetInfo& info) {
    info = {};
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return;
    info.exists = true;
    info.folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info.readOnly = !info.folder && IsReadOnlyFile(path);
    info.mode = 0666;
}

int CreateFlags() {
    return O_WRONLY | O_CREAT | O_EXCL;
}

void AdoptOwner(int, const TargetInfo&) {}

int SyncFolder(const fs::path&, FileCalls&) {
    return 0;
}

bool UntouchedSince(const fs::path& entry, std::time_t limit) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!::GetFileAttributesExW(entry.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
        return false;
    // 100 ns units since 1601.
    const std::uint64_t ticks = (std::uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                                data.ftLastWriteTime.dwLowDateTime;
    const std::int64_t seconds =
        static_cast<std::int64_t>(ticks / 10000000u) - std::int64_t{11644473600};
    return seconds < static_cast<std::int64_t>(limit);
}

std::uint64_t ProcessId() {
    return ::GetCurrentProcessId();
}

std::string PathText(const fs::path& path) {
    return tsl::ToUtf8(path.wstring());
}

std::wstring PathWide(const fs::path& path) {
    return path.wstring();
}

}  // namespace detail

}  // namespace Threading
