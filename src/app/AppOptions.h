#pragma once
// The window program's command line: a document to open, the brand, and the simulation.

#include <filesystem>
#include <string>
#include <vector>

#include "document/TessalineDoc.h"

struct AppOptions {
    std::filesystem::path document;  // empty: none, the welcome dialog is shown
    Brand brand = Brand::Main;
    bool simulate = false;
    int simModel = 275;
    std::filesystem::path simRoom;
    std::filesystem::path simState;
    std::vector<std::string> simFaults;  // NAME[=ARG], as tessaline-cli --sim-fault
    std::vector<std::string> usbIds;
    bool help = false;
    std::string error;  // a bad command line: the program ends
};

// args without the program name (and without the options Qt took for itself).
AppOptions ParseAppArguments(const std::vector<std::string>& args);

inline constexpr char kAppUsage[] =
    "Usage: tessaline [DOCUMENT] [--brand main|second] [--simulate] [--sim-model ID]\n"
    "                 [--sim-room FILE] [--sim-state FILE] [--sim-fault NAME[=ARG]]...\n"
    "                 [--usb-id VVVV:PPPP]...\n";
