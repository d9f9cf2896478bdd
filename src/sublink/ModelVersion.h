#pragma once
// Firmware versions: parsing the device's version text, the per-model translation of internal
// versions, the display format and the per-model minimum.

#include <compare>
#include <cstdint>
#include <string>

namespace CUsbController {

class BaseConfig;

struct ModelVersion {
    uint16_t letter = 0;  // character code, 0 when the version has no letter
    int32_t major = 0;
    int32_t minor = 0;

    bool operator==(const ModelVersion&) const = default;
    // Ordered by major, then minor, then letter code.
    std::strong_ordering operator<=>(const ModelVersion& other) const {
        if (auto c = major <=> other.major; c != 0)
            return c;
        if (auto c = minor <=> other.minor; c != 0)
            return c;
        return letter <=> other.letter;
    }
};

// Parses text with the first fitting version pattern, then translates it for model (which may
// be null: no translation). Returns false, leaving version untouched, when no pattern fits.
bool ParseFirmwareVersion(const std::wstring& text, const BaseConfig* model, ModelVersion& version);

// The version a model's reported internal version is shown and compared as.
ModelVersion TranslateVersion(const ModelVersion& reported, const BaseConfig* model);

// "%1d.%02d%c": 1.02, 1.05B.
std::wstring FormatVersion(const ModelVersion& version);

// The least firmware a model accepts; 0.00 for models without a minimum (and for null).
ModelVersion MinimumVersion(const BaseConfig* model);

// Where the user downloads firmware for a model; the brand's site when no model is known.
std::wstring FirmwarePageAddress(const BaseConfig* model);

}  // namespace CUsbController
