#pragma once
// Where the program's own files are: the folder of its executable (calibration files, the driver
// installer), a per-user folder below the temporary folder and the per-user data folder.

#include <filesystem>
#include <string>
#include <system_error>

namespace Threading {

// The folder of the running executable; empty with `error` set when it cannot be found.
std::filesystem::path ProgramFolder(std::error_code& error);

// `name` below the temporary folder, one per user: the temporary folder is the user's own on
// Windows; elsewhere it is shared, so the user id is appended ("NAME-UID").
std::filesystem::path UserTemporaryFolder(const std::string& name);

// The per-user data folder from the values of the variables that name it (null when unset):
// XDG_DATA_HOME when it is absolute, else HOME's ".local/share"; on Windows LOCALAPPDATA. Empty
// when none of them gives one.
std::filesystem::path UserDataFolder(const char* xdgDataHome, const char* home,
                                     const char* localAppData);

}  // namespace Threading
