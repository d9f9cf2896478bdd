#include <cstdio>

#include "measure/AudioRec.h"

namespace AudioSampler {

namespace {

std::wstring Hex(const wchar_t* format, AudioResult code) {
    wchar_t buffer[64];
    std::swprintf(buffer, sizeof buffer / sizeof buffer[0], format,
                  static_cast<unsigned long>(code));
    return buffer;
}

const wchar_t* CoreAudioDetail(AudioResult code) {
    switch (code) {
        case 0x88890001u:
            return L"The audio devices has not been successfully initialized.";
        case 0x88890002u:
            return L"The audio engine was already initialized";
        case 0x88890004u:
            return L"The audio endpoint device has been unplugged, or the audio hardware or "
                   L"associated hardware resources have been reconfigured, disabled, removed, or "
                   L"otherwise made unavailable for use.";
        case 0x88890008u:
            return L"The audio engine (shared mode) or audio endpoint device (exclusive mode) does "
                   L"not support the specified format.";
        case 0x88890010u:
            return L"The Windows audio service is not running.";
        default:
            break;
    }
    if (code == 0x8889000Du || (code >= 0x8889001Au && code <= 0x8889001Fu) || code > 0x88890020u)
        return L"Unrecognized error.";
    return L"No Details.";
}

}  // namespace

std::wstring ErrorText(AudioResult code, const std::wstring& systemText) {
    if (!systemText.empty()) {
        std::wstring text = systemText;
        if (!text.empty() && text.back() == L'\n')
            text.pop_back();
        if (!text.empty() && text.back() == L'\r')
            text.pop_back();
        return text;
    }
    if (code >= 0x80040200u && code <= 0x8004FDFFu)
        return Hex(L"COM Interface error 0x%0lX", code);
    if (code < 0x88890000u || code > 0x8889FFFFu)
        return Hex(L"Unknown COM error 0x%0lX", code);
    return Hex(L"Core Audio Interface error 0x%0lX", code) + L" (" + CoreAudioDetail(code) + L").";
}

}  // namespace AudioSampler
