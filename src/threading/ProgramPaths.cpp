#include "threading/ProgramPaths.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <vector>

namespace Threading {

#ifdef _WIN32

std::filesystem::path ProgramFolder(std::error_code& error) {
    error.clear();
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n =
            ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) {
            error.assign(static_cast<int>(::GetLastError()), std::system_category());
            return {};
        }
        if (n < buffer.size())
            return std::filesystem::path(std::wstring(buffer.data(), n)).parent_path();
        if (buffer.size() >= 32768) {
            error = std::make_error_code(std::errc::filename_too_long);
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::filesystem::path UserTemporaryFolder(const std::string& name) {
    return std::filesystem::temp_directory_path() / name;
}

#else

std::filesystem::path ProgramFolder(std::error_code& error) {
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error)
        return {};
    return exe.parent_path();
}

std::filesystem::path UserTemporaryFolder(const std::string& name) {
    return std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getuid()));
}

#endif

std::filesystem::path UserDataFolder(const char* xdgDataHome, const char* home,
                                     const char* localAppData) {
#ifdef _WIN32
    (void)xdgDataHome;
    (void)home;
    if (localAppData && *localAppData)
        return std::filesystem::path(localAppData);
    return {};
#else
    (void)localAppData;
    if (xdgDataHome && *xdgDataHome == '/')
        return xdgDataHome;
    if (home && *home)
        return std::filesystem::path(home) / ".local" / "share";
    return {};
#endif
}

}  // namespace Threading
