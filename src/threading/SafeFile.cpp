#include "threading/SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <random>
#include <system_error>

namespace Threading {

namespace fs = std::filesystem;

// ---- the real calls ----

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

// ---- texts ----

std::wstring SaveFailureReason(int error) {
    switch (error) {
        case 0:
            return L"the file is read-only";
        case ENOSPC:
        case EDQUOT:
            return L"no space left on the device";
        case EROFS:
            return L"the file system is read-only";
        case EACCES:
        case EPERM:
            return L"permission denied";
        case ENOENT:
            return L"the folder does not exist";
        case ENAMETOOLONG:
            return L"the name is too long";
        case EISDIR:
            return L"a folder has that name";
        case EIO:
            return L"input/output error";
        default: {
            std::string text = std::generic_category().message(error);
            if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z')
                text[0] = static_cast<char>(text[0] - 'A' + 'a');
            return tsl::FromUtf8(text);
        }
    }
}

namespace {

constexpr char kPrefix[] = ".tsl";
constexpr char kSuffix[] = ".tmp";
constexpr size_t kRandomChars = 8;
constexpr int kMaxLinks = 40;
constexpr int kNameAttempts = 64;

[[noreturn]] void Fail(const fs::path& path, int error) {
    std::wstring reason = SaveFailureReason(error);
    throw SaveError(L"The file \"" + tsl::FromUtf8(path.string()) + L"\" could not be written: " +
                        reason + L".",
                    reason, error);
}

// The file a chain of symbolic links at `path` ends in; `path` itself when it is no link.
int FollowLinks(fs::path& path) {
    for (int i = 0; i < kMaxLinks; ++i) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(path, ec)))
            return 0;
        fs::path target = fs::read_symlink(path, ec);
        if (ec)
            return ec.value();
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return ELOOP;
}

std::string RandomName() {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 random{std::random_device{}() ^
                                        (static_cast<uint64_t>(::getpid()) << 32) ^
                                        static_cast<uint64_t>(std::time(nullptr))};
    std::string name = kPrefix;
    for (size_t i = 0; i < kRandomChars; ++i)
        name.push_back(kChars[random() % (sizeof kChars - 1)]);
    return name + kSuffix;
}

// Best effort: a temporary file that cannot be removed is retried by the next save.
void RemoveStaleTemporaries(const fs::path& folder, FileCalls& calls) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec)
        return;
    const std::time_t now = std::time(nullptr);
    const auto age = std::chrono::duration_cast<std::chrono::seconds>(kStaleTemporaryAge).count();
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const fs::path& entry = it->path();
        if (!IsSafeFileTemporary(entry.filename().string()))
            continue;
        struct stat st {};
        if (::lstat(entry.c_str(), &st) == 0 && S_ISREG(st.st_mode) && now - st.st_mtime > age)
            calls.Remove(entry.string());
    }
}

class Temporary {
public:
    Temporary(FileCalls& calls, const fs::path& target) : calls_(calls), target_(target) {}
    ~Temporary() { Discard(); }
    Temporary(const Temporary&) = delete;
    Temporary& operator=(const Temporary&) = delete;

    int Create(unsigned mode) {
        fs::path folder = target_.parent_path();
        for (int i = 0; i < kNameAttempts; ++i) {
            path_ = folder / RandomName();
            int error =
                calls_.Open(path_.string(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode, fd_);
            if (error != EEXIST) {
                if (error != 0) {
                    fd_ = -1;
                    path_.clear();
                }
                return error;
            }
        }
        path_.clear();
        return EEXIST;
    }

    int WriteAll(const uint8_t* data, size_t length) {
        while (length > 0) {
            size_t written = 0;
            int error = calls_.Write(fd_, data, length, written);
            if (error == EINTR)
                continue;
            if (error != 0)
                return error;
            if (written == 0 || written > length)
                return EIO;
            data += written;
            length -= written;
        }
        return 0;
    }

    int Finish() {
        int error = calls_.Sync(fd_);
        const int closed = calls_.Close(fd_);
        fd_ = -1;
        return error != 0 ? error : closed;
    }

    int RenameOverTarget() {
        int error = calls_.Rename(path_.string(), target_.string());
        if (error == 0)
            path_.clear();
        return error;
    }

    int fd() const { return fd_; }

private:
    void Discard() {
        if (fd_ >= 0)
            calls_.Close(fd_);
        fd_ = -1;
        if (!path_.empty())
            calls_.Remove(path_.string());
        path_.clear();
    }

    FileCalls& calls_;
    fs::path target_;
    fs::path path_;
    int fd_ = -1;
};

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

bool IsSafeFileTemporary(const std::string& name) {
    const size_t prefix = sizeof kPrefix - 1, suffix = sizeof kSuffix - 1;
    if (name.size() != prefix + kRandomChars + suffix || name.compare(0, prefix, kPrefix) != 0 ||
        name.compare(prefix + kRandomChars, suffix, kSuffix) != 0)
        return false;
    for (size_t i = prefix; i < prefix + kRandomChars; ++i) {
        const char c = name[i];
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

void SafeWriteFile(const fs::path& path, const uint8_t* data, size_t length, FileCalls& calls) {
    fs::path target = path;
    if (int error = FollowLinks(target))
        Fail(path, error);
    if (target.filename().empty())
        Fail(path, EISDIR);
    fs::path folder = target.parent_path();
    if (folder.empty()) {
        folder = ".";
        target = folder / target;
    }

    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists) {
        if (S_ISDIR(st.st_mode))
            Fail(path, EISDIR);
        if (ReadOnly(target, st))
            Fail(path, 0);
    }

    RemoveStaleTemporaries(folder, calls);

    Temporary temp(calls, target);
    // An existing file's mode is set on the private temporary before any content goes in; a new
    // file gets the usual mode under the umask.
    int error = temp.Create(exists ? 0600u : 0666u);
    if (error == 0 && exists) {
        if (st.st_uid != ::geteuid() || st.st_gid != ::getegid()) {
            if (::fchown(temp.fd(), st.st_uid, st.st_gid) != 0) {
                // Only a privileged user can give the file away; the file is then ours.
            }
        }
        error = calls.ChangeMode(temp.fd(), st.st_mode & 07777);
    }
    if (error == 0)
        error = temp.WriteAll(data, length);
    if (error == 0)
        error = temp.Finish();
    if (error == 0)
        error = temp.RenameOverTarget();
    if (error != 0)
        Fail(path, error);
    if (int synced = SyncFolder(folder, calls)) {
        std::wstring reason = SaveFailureReason(synced);
        throw SaveError(L"The file \"" + tsl::FromUtf8(path.string()) +
                            L"\" was written but its folder could not be synced: " + reason + L".",
                        reason, synced);
    }
}

}  // namespace Threading
