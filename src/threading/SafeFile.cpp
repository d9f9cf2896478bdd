#include "threading/SafeFile.h"

#include <cerrno>
#include <ctime>
#include <random>
#include <system_error>

#include "threading/SafeFilePlatform.h"

namespace Threading {

namespace fs = std::filesystem;

// ---- texts ----

std::wstring SaveFailureReason(int error) {
    switch (error) {
        case 0:
            return L"the file is read-only";
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
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
    throw SaveError(
        L"The file \"" + detail::PathWide(path) + L"\" could not be written: " + reason + L".",
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
    thread_local std::mt19937_64 random{std::random_device{}() ^ (detail::ProcessId() << 32) ^
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
        if (!IsSafeFileTemporary(detail::PathText(entry.filename())))
            continue;
        if (detail::UntouchedSince(entry, now - age))
            calls.Remove(detail::PathText(entry));
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
            int error = calls_.Open(detail::PathText(path_), detail::CreateFlags(), mode, fd_);
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
        int error = calls_.Rename(detail::PathText(path_), detail::PathText(target_));
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
            calls_.Remove(detail::PathText(path_));
        path_.clear();
    }

    FileCalls& calls_;
    fs::path target_;
    fs::path path_;
    int fd_ = -1;
};

}  // namespace

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

    detail::TargetInfo info;
    detail::Inspect(target, info);
    const bool exists = info.exists;
    if (exists) {
        if (info.folder)
            Fail(path, EISDIR);
        if (info.readOnly)
            Fail(path, 0);
    }

    RemoveStaleTemporaries(folder, calls);

    Temporary temp(calls, target);
    // An existing file's mode is set on the private temporary before any content goes in; a new
    // file gets the usual mode under the umask.
    int error = temp.Create(exists ? 0600u : 0666u);
    if (error == 0 && exists) {
        detail::AdoptOwner(temp.fd(), info);
        error = calls.ChangeMode(temp.fd(), info.mode);
    }
    if (error == 0)
        error = temp.WriteAll(data, length);
    if (error == 0)
        error = temp.Finish();
    if (error == 0)
        error = temp.RenameOverTarget();
    if (error != 0)
        Fail(path, error);
    if (int synced = detail::SyncFolder(folder, calls)) {
        std::wstring reason = SaveFailureReason(synced);
        throw SaveError(L"The file \"" + detail::PathWide(path) +
                            L"\" was written but its folder could not be synced: " + reason + L".",
                        reason, synced);
    }
}

}  // namespace Threading
