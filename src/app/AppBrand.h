#pragma once
// The two brands' resources the application shows: settings location, document extension,
// window title and the command strip's texts.

#include <array>
#include <string>

#include "document/TessalineDoc.h"

// Command ids of the strip, left to right.
inline constexpr int IDC_MEASURE = 1015;
inline constexpr int IDC_TARGET = 1017;
inline constexpr int IDC_UPLOAD = 1022;
inline constexpr int IDC_ERASE = 1024;
inline constexpr int IDC_COLORS = 1026;
inline constexpr int IDC_AUTO_SCALE = 1013;
inline constexpr std::array<int, 6> kStripCommands{IDC_MEASURE, IDC_TARGET, IDC_UPLOAD,
                                                   IDC_ERASE,   IDC_COLORS, IDC_AUTO_SCALE};

struct BrandResources {
    Brand brand = Brand::Main;
    std::wstring organisation;          // settings: organisation
    std::wstring application;           // settings: application
    std::wstring title;                 // window title and message-box caption
    std::wstring extension;             // ".CVD" or ".KTSL"
    std::wstring filterName;            // "Tessaline Files (*.CVD)"
    std::array<std::wstring, 6> strip;  // texts of kStripCommands
};

// The strip's text with its keyboard mnemonic marked ("&Measure", "Tar&get"): letters that the
// menu bar (File, Tools, Help) does not use.
std::wstring StripMnemonicText(const std::wstring& text);

const BrandResources& Resources(Brand brand);

// Recent-file list length.
inline constexpr size_t kRecentFileCount = 4;
