#pragma once
// The vendor:product ids that tell which USB devices are subwoofers.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace CUsbController {

struct UsbId {
    uint16_t vendor = 0;
    uint16_t product = 0;
    bool operator==(const UsbId&) const = default;
};

// "VVVV:PPPP" in hexadecimal; nothing when malformed.
std::optional<UsbId> ParseUsbId(const std::string& text);
// A comma-separated list as TESSALINE_USB_IDS holds it; false when any entry is malformed.
bool ParseUsbIdList(const std::string& text, std::vector<UsbId>& ids);

}  // namespace CUsbController
