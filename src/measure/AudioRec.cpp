#include "measure/AudioRec.h"

#include <algorithm>
#include <cmath>

#include "threading/Errors.h"

namespace AudioSampler {

const wchar_t* const kCaptureConnectionText =
    L"Audio capture error, check the connection between the microphone and your PC.";

const std::vector<std::wstring>& RecordingDeviceTokens() {
    static const std::vector<std::wstring> tokens{L"Vireon", L"Corvana", L"VRC", L"TSL"};
    return tokens;
}

const std::vector<std::wstring>& MainBrandMicrophones() {
    static const std::vector<std::wstring> names{L"Corvana TSL-1", L"TSL-1 Corvana"};
    return names;
}

const std::vector<std::wstring>& ThirdBrandMicrophones() {
    static const std::vector<std::wstring> names{L"Vireon VRC-1", L"VRC-1 Vireon"};
    return names;
}

const std::vector<std::wstring>& AllMicrophones() {
    static const std::vector<std::wstring> names{L"Corvana TSL-1", L"TSL-1 Corvana",
                                                 L"Vireon VRC-1", L"VRC-1 Vireon"};
    return names;
}

int MatchDevice(const std::vector<std::wstring>& devices,
                const std::vector<std::wstring>& accepted) {
    for (std::size_t d = 0; d < devices.size(); ++d)
        for (const std::wstring& name : accepted)
            if (devices[d].find(name) != std::wstring::npos)
                return static_cast<int>(d);
    return -1;
}

namespace {

std::wstring QuotedList(const std::vector<std::wstring>& names) {
    std::wstring out;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i)
            out += L", ";
        out += L"'" + names[i] + L"'";
    }
    return out;
}

}  // namespace

std::wstring NoMatchingDeviceText(const std::vector<std::wstring>& accepted,
                                  const std::vector<std::wstring>& devices) {
    // The accepted names are quoted by the list itself; the surrounding text opens the first
    // quote and closes the last, as the message has always read.
    std::wstring text = L"No audio recording devices matching '";
    text += QuotedList(accepted);
    text += L"' found.\nThe following audio recording devices were found on the system: ";
    text += QuotedList(devices);
    return text;
}

int ChooseDevice(const std::vector<std::wstring>& devices,
                 const std::vector<std::wstring>& accepted) {
    const int index = MatchDevice(devices, accepted);
    if (index < 0)
        throw tsl::wruntime_error(NoMatchingDeviceText(accepted, devices));
    return index;
}

std::wstring DeviceNotAvailableText(const std::wstring& name) {
    return L"The audio device " + name +
           L" was found but it is not available.\nCheck that it is not in use by another "
           L"application";
}

std::wstring StartStreamingFailedText(const std::wstring& name) {
    return L"Could not start audio streaming for the device '" + name +
           L"'\nIt may have been disconnected";
}

std::wstring StopFailedText(const std::wstring& detail) {
    return L"Failed to stop recording audio.\r\n" + detail;
}

std::wstring EnumerationFailedText(const std::wstring& detail) {
    return L"Audio device enumeration failed " + detail;
}

double LevelToScalar(std::int32_t level) {
    return std::clamp(static_cast<double>(level) / 65536.0, 0.0, 1.0);
}

std::int32_t LevelForCalibrationVersion(std::int32_t version) {
    switch (version) {
        case 1:
            return 16384;
        case 2:
        case 3:
            return 8192;
        default:
            return 4096;
    }
}

std::int64_t FractionToControl(double fraction, std::int64_t maximum) {
    if (!(fraction > 0.0) || maximum <= 0)
        return 0;
    const double value = std::trunc(fraction * (static_cast<double>(maximum) + 1.0));
    return std::min<std::int64_t>(static_cast<std::int64_t>(std::min(value, 9.0e18)), maximum);
}

}  // namespace AudioSampler
