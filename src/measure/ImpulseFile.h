#pragma once
// Impulse responses in sound files: one channel of any format and rate libsndfile reads. Kept
// out of the measurement core so that only the programs that read such files link libsndfile.

#include <filesystem>

#include "measure/ImpulseImport.h"

// Raises tsl::wruntime_error with the reason (libsndfile's, or the file's channels, rate or
// length out of the bounds of ImpulseImport.h), without the file's name.
ImpulseSamples ReadImpulseFile(const std::filesystem::path& path);
