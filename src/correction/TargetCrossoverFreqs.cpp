#include "correction/TargetCrossoverFreqs.h"

std::span<const CfiEntry> SubCrossoverFreqs::Table() {
    static const std::array<CfiEntry, kCount> table = [] {
        std::array<CfiEntry, kCount> t;
        for (size_t i = 0; i < kCount; ++i) {
            const auto f = static_cast<int32_t>(160 + 5 * i);
            t[i] = CfiEntry{f, std::to_wstring(f)};
        }
        return t;
    }();
    return table;
}
