#pragma once
// The window program's command line: a document to open, the brand, and the environment's
// options (the devices or the simulation, the USB trace) it shares with tessaline-cli.

#include <filesystem>
#include <string>
#include <vector>

#include "document/TessalineDoc.h"
#include "environment/Environment.h"

struct AppOptions {
    std::filesystem::path document;  // empty: none, the welcome dialog is shown
    Brand brand = Brand::Main;
    Env::Options environment;
    bool help = false;
    std::string error;  // a bad command line: the program ends
};

// args without the program name (and without the options Qt took for itself). Every --sim-*
// option implies --simulate.
AppOptions ParseAppArguments(const std::vector<std::string>& args);

inline constexpr char kAppUsage[] =
    "Usage: tessaline [DOCUMENT] [--brand main|second] [--simulate] [--sim-model ID]\n"
    "                 [--sim-room FILE] [--sim-state FILE] [--sim-fault NAME[=ARG]]...\n"
    "                 [--usb-id VVVV:PPPP]... [--trace]\n";
