#pragma once
// The analysis behind `tessaline-cli analyse`: a recorded capture file in, a response out.

#include <cstdint>
#include <string>
#include <vector>

namespace cli {

struct AnalyseOptions {
    bool quick = false;   // two periods through the quick measurement, no checks
    double bandLow = 20;  // analysis band of the noise and repeatability checks
    double bandHigh = 350;
    bool smooth = true;
    std::string calibrationFile;  // microphone calibration; empty for none
    std::int32_t unitSerial = 0;
};

struct ResponsePoint {
    double frequencyHz;
    double levelDb;
    double phaseRad;
};

// Parses "LO:HI" (Hz, 0 <= LO < HI). Raises UsageError.
void ParseBand(const std::string& text, AnalyseOptions& options);

// Bad input (unreadable file, not mono, too short for the quick path or another rate there)
// raises CliFailure; analysis failures, among them a full measurement's wrong length or rate,
// raise the system's own texts as tsl::wruntime_error.
std::vector<ResponsePoint> AnalyseCapture(const std::string& path, const AnalyseOptions& options);

}  // namespace cli
