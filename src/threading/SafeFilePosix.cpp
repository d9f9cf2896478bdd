// The safe writer's system calls on POSIX.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "threading/SafeFilePlatform.h"

namespace Threading {

namespace fs = std::filesystem;

int FileCalls::Open(const std::string& path, int flags, unsigned mode, int& fd) {
    do {
        fd = ::open(path.c_str(), flags, static_cast<mode_t>(mode));
    } while (fd < 0 && errno == EINTR);
    return fd < 0 ? errno : 0;
}

int FileCalls::Write(int fd, const uint8_t* data, size_t length, size_t& written) {
    written = 0;
    const ssize_t n = ::write(fd, data, length);
    if (n < 0)
        return errno;
    written = static_cast<size_t>(n);
    return 0;
}

int FileCalls::Sync(int fd) {
    return ::fsync(fd) == 0 ? 0 : errno;
}

int FileCalls::Close(int fd) {
    return ::close(fd) == 0 ? 0 : errno;
}

int FileCalls::ChangeMode(int fd, unsigned mode) {
    return ::fchmod(fd, static_cast<mode_t>(mode)) == 0 ? 0 : errno;
}

int FileCalls::Rename(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int FileCalls::Remove(const std::string& path) {
    return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

FileCalls& FileCalls::System() {
    static FileCalls calls;
    return calls;
}

namespace {

// Read-only as the owner's write bit says (also for a privileged user), or not writable by us.
bool ReadOnly(const fs::path& file, const struct stat& st) {
    return (st.st_mode & S_IWUSR) == 0 || ::access(file.c_str(), W_OK) != 0;
}

}  // namespace

bool IsReadOnlyFile(const fs::path& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && ReadOnly(path, st);
}

std::wstring ReadOnlyReason(const fs::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return {};
    if ((st.st_mode & S_IWUSR) == 0)
        return SaveFailureReason(0);
    if (::access(path.c_str(), W_OK) != 0)
        return SaveFailureReason(errno);
    return {};
}

namespace detail {

void Inspect(const fs::path& path, TargetInfo& info) {
    struct stat st {};
    info = {};
    if (::stat(path.c_str(), &st) != 0)
        return;
    info.exists = true;
    info.folder = S_ISDIR(st.st_mode);
    info.readOnly = !info.folder && ReadOnly(path, st);
    info.mode = st.st_mode & 07777;
    info.owner = st.st_uid;
    info.group = st.st_gid;
}

int CreateFlags() {
    return O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
}

void AdoptOwner(int fd, const TargetInfo& target) {
    if (target.owner != ::geteuid() || target.group != ::getegid()) {
        if (::fchown(fd, target.owner, target.group) != 0) {
            // Only a privileged user can give the file away; the file is then ours.
        }
    }
}

int SyncFolder(const fs::path& folder, FileCalls& calls) {
    int fd = -1;
    int error = calls.Open(folder.string(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0, fd);
    if (error != 0)
        return error;
    error = calls.Sync(fd);
    const int closed = calls.Close(fd);
    // Some file systems cannot sync a folder; the rename is then as durable as they allow.
    if (error == EINVAL || error == ENOTSUP)
        error = 0;
    return error != 0 ? error : closed;
}

bool UntouchedSince(const fs::path& entry, std::time_t limit) {
    struct stat st {};
    return ::lstat(entry.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_mtime < limit;
}

std::uint64_t ProcessId() {
    return static_cast<std::uint64_t>(::getpid());
}

std::string PathText(const fs::path& path) {
    return path.string();
}

std::wstring PathWide(const fs::path& path) {
    return tsl::FromUtf8(path.string());
}

}  // namespace detail

}  // namespace Threading
