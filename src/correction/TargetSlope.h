#pragma once
// The high-pass order setting of a target and its display texts.

#include <array>
#include <cstdint>
#include <string_view>

enum SLOPE_ORDER : int32_t {
    SLOPE_AUTO = 0,  // corner and Q detected; two identical second-order sections
    SLOPE_FLAT = 1,  // no high-pass
    SLOPE_1ST = 2,   // Butterworth of order value - 1 from here on
    SLOPE_2ND = 3,
    SLOPE_3RD = 4,
    SLOPE_4TH = 5,
    SLOPE_5TH = 6,
    SLOPE_6TH = 7,
    SLOPE_7TH = 8,
    SLOPE_8TH = 9,
};

inline constexpr int kSlopeOrderCount = 10;

inline constexpr std::array<std::wstring_view, kSlopeOrderCount> kSlopeOrderTexts{
    L"Auto",      L"Flat",      L"1st Order", L"2nd Order", L"3rd Order",
    L"4th Order", L"5th Order", L"6th Order", L"7th Order", L"8th Order",
};

// The text of an order value; empty for a value outside the table.
inline std::wstring_view SlopeOrderText(int32_t order) {
    return order >= 0 && order < kSlopeOrderCount ? kSlopeOrderTexts[order] : std::wstring_view{};
}
