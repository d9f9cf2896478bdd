#pragma once
// The platform's side of the safe writer (SafeFilePosix.cpp, SafeFileWin32.cpp): what it needs to
// know of the target, the flags of the temporary, the folder sync and the names in messages.

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <string>

#include "threading/SafeFile.h"

namespace Threading::detail {

struct TargetInfo {
    bool exists = false;
    bool folder = false;
    bool readOnly = false;
    unsigned mode = 0;  // permission bits; 0666 on Windows, which keeps ACLs instead
    unsigned owner = 0, group = 0;
};

// Fills info for the file at path (links followed); a missing file is no error.
void Inspect(const std::filesystem::path& path, TargetInfo& info);
// Flags for FileCalls::Open of a new temporary: write only, create, fail when it exists.
int CreateFlags();
// Gives the temporary the target's owner where the platform and the user allow it.
void AdoptOwner(int fd, const TargetInfo& target);
// Makes the rename durable; 0 where the platform does that in the rename itself.
int SyncFolder(const std::filesystem::path& folder, FileCalls& calls);
// A regular file untouched since before `limit` (seconds since the epoch).
bool UntouchedSince(const std::filesystem::path& entry, std::time_t limit);
std::uint64_t ProcessId();
// The path as FileCalls takes it (UTF-8) and as messages show it.
std::string PathText(const std::filesystem::path& path);
std::wstring PathWide(const std::filesystem::path& path);

}  // namespace Threading::detail
