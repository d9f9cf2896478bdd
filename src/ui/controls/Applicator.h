#pragma once
// The rule that ties a spin's value to its position and to text: minimum, maximum, increment.
// Positions run from 0 (the minimum) to (maximum - minimum) / increment.

#include <algorithm>
#include <cstdint>
#include <cwctype>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

namespace CustomControls {

// Style flags of a spin.
inline constexpr unsigned kNoEditRewrite = 0x04;  // the edit is not rewritten from the value
inline constexpr unsigned kTimes10 = 0x08;        // shown in units 10 times the stored ones
inline constexpr unsigned kTimes100 = 0x10;       // shown in units 100 times the stored ones

inline long long UnitScale(unsigned flags) {
    return (flags & kTimes100) != 0 ? 100 : (flags & kTimes10) != 0 ? 10 : 1;
}

template <typename V, typename P = int>
struct Applicator {
    V minimum{};
    V maximum{};
    V increment{1};

    V Top() const { return std::max(minimum, maximum); }
    V Step() const { return increment > V{} ? increment : V{1}; }
    V Clamp(V v) const { return std::clamp(v, minimum, Top()); }
    P MaxPos() const { return static_cast<P>((Top() - minimum) / Step()); }
    P ValueToPos(V v) const { return static_cast<P>((Clamp(v) - minimum) / Step()); }
    V PosToValue(P p) const {
        return Clamp(static_cast<V>(minimum + std::clamp<P>(p, P{0}, MaxPos()) * Step()));
    }
    bool InRange(V v) const { return v >= minimum && v <= Top(); }

    std::wstring Format(V v, unsigned flags = 0) const {
        const long long scale = UnitScale(flags);
        const long long n = static_cast<long long>(v);
        if (n % scale == 0) {
            return std::to_wstring(n / scale);
        }
        std::wstring text = std::to_wstring(static_cast<double>(n) / static_cast<double>(scale));
        text.erase(text.find_last_not_of(L'0') + 1);
        return text;
    }

    // An optionally signed integer between optional blanks, times the flags' unit. Numbers past
    // the value type's range come back as its limit, so that they clamp to a bound.
    std::optional<V> Parse(std::wstring_view text, unsigned flags = 0) const {
        std::size_t i = 0;
        auto skipBlanks = [&] {
            while (i < text.size() && std::iswspace(static_cast<wint_t>(text[i]))) {
                ++i;
            }
        };
        skipBlanks();
        bool negative = false;
        if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) {
            negative = text[i] == L'-';
            ++i;
        }
        const std::size_t digitsStart = i;
        constexpr long long kCap = 1LL << 52;
        long long n = 0;
        for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
            n = std::min(n * 10 + (text[i] - L'0'), kCap);
        }
        if (i == digitsStart) {
            return std::nullopt;
        }
        skipBlanks();
        if (i != text.size()) {
            return std::nullopt;
        }
        n *= UnitScale(flags);
        if (negative) {
            n = -n;
        }
        constexpr long long lo = static_cast<long long>(std::numeric_limits<V>::lowest());
        constexpr long long hi = static_cast<long long>(std::numeric_limits<V>::max());
        return static_cast<V>(std::clamp(n, lo, hi));
    }
};

}  // namespace CustomControls
