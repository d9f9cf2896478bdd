#pragma once
// Where the program's own files are: the folder of its executable (calibration files, the driver
// installer) and a per-user folder below the temporary folder.

#include <filesystem>
#include <string>
#include <system_error>

namespace Threading {

// The folder of the running executable; empty with `error` set when it cannot be found.
std::filesystem::path ProgramFolder(std::error_code& error);

// `name` below the temporary folder, one per user: the temporary folder is the user's own on
// Windows; elsewhere it is shared, so the user id is appended ("NAME-UID").
std::filesystem::path UserTemporaryFolder(const std::string& name);

}  // namespace Threading
