#include "app/AppText.h"

#include <cwchar>

#ifndef TESSALINE_FILE_VERSION
#define TESSALINE_FILE_VERSION 0, 1, 0, 0
#endif

std::array<uint16_t, 4> ProgramFileVersion() {
    return {TESSALINE_FILE_VERSION};
}

std::wstring ProgramVersionText(const std::array<uint16_t, 4>& v) {
    wchar_t buffer[64];
    std::swprintf(buffer, 64, L"%d.%02d.%d.%d", v[0], v[1], v[2], v[3]);
    std::wstring text = buffer;
    for (int cut = 0; cut < 2; ++cut) {
        const size_t dot = text.rfind(L'.');
        if (dot != std::wstring::npos)
            text.erase(dot);
    }
    return text;
}

std::wstring ProgramVersionText() {
    return ProgramVersionText(ProgramFileVersion());
}

std::wstring ProductVersionMessage(const std::wstring& versionText) {
    return L"TSL Version " + versionText;
}

std::wstring AboutProductText(const std::wstring& title, const std::wstring& versionText) {
    return title + L"\nSubwoofer room equalisation, version " + versionText;
}
