#include "sublink/UsbIds.h"

#include <cctype>
#include <cstdlib>

namespace CUsbController {

namespace {
bool ParseHex16(const std::string& s, uint16_t& v) {
    if (s.empty() || s.size() > 4)
        return false;
    char* end = nullptr;
    unsigned long x = std::strtoul(s.c_str(), &end, 16);
    if (*end != '\0' || !std::isxdigit(static_cast<unsigned char>(s[0])))
        return false;
    v = static_cast<uint16_t>(x);
    return true;
}

}  // namespace

std::optional<UsbId> ParseUsbId(const std::string& text) {
    auto colon = text.find(':');
    if (colon == std::string::npos)
        return std::nullopt;
    UsbId id;
    if (!ParseHex16(text.substr(0, colon), id.vendor) ||
        !ParseHex16(text.substr(colon + 1), id.product))
        return std::nullopt;
    return id;
}

bool ParseUsbIdList(const std::string& text, std::vector<UsbId>& ids) {
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        std::string item = text.substr(start, comma == std::string::npos ? comma : comma - start);
        if (!item.empty()) {
            auto id = ParseUsbId(item);
            if (!id)
                return false;
            ids.push_back(*id);
        }
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return true;
}

}  // namespace CUsbController
