#pragma once
// Texts built from the program's version: the version text, the product version message used
// by the device check, and the about dialog's product lines.

#include <array>
#include <cstdint>
#include <string>

// The program's file version, most significant first (from the build).
std::array<uint16_t, 4> ProgramFileVersion();

// "%d.%02d.%d.%d" cut twice at its last "." : major and two-digit minor ("2.02").
std::wstring ProgramVersionText(const std::array<uint16_t, 4>& fileVersion);
std::wstring ProgramVersionText();
// "%1 Version %2" with the product short name "TSL".
std::wstring ProductVersionMessage(const std::wstring& versionText);

// The about dialog's two-line product text with the version appended, and its maker line.
std::wstring AboutProductText(const std::wstring& title, const std::wstring& versionText);
inline constexpr wchar_t kMakerText[] = L"Corvana Electronics";
inline constexpr wchar_t kWebPage[] = L"https://www.corvana.com/";
inline constexpr wchar_t kSupportPage[] = L"https://www.corvana.com/support/";

// Menu texts.
inline constexpr wchar_t kMenuNew[] = L"&New\tCtrl+N";
inline constexpr wchar_t kMenuOpen[] = L"&Open...\tCtrl+O";
inline constexpr wchar_t kMenuSave[] = L"&Save\tCtrl+S";
inline constexpr wchar_t kMenuSaveAs[] = L"Save &As...";
inline constexpr wchar_t kMenuExit[] = L"E&xit";
inline constexpr wchar_t kMenuQuickMeasure[] = L"Quick Measure";
inline constexpr wchar_t kMenuAbout[] = L"&About Tessaline...";
