#pragma once
// The crossover candidates the crossover detection walks, as a cursor over a fixed table.

#include <array>
#include <cstdint>
#include <span>
#include <string>

// One table entry: a value and its display text.
struct CfiEntry {
    int32_t frequency = 0;
    std::wstring text;
};

// A cursor over Derived::Table(), a static span of entries ascending by frequency.
template <class Derived>
class CfiTypeHelper {
public:
    virtual ~CfiTypeHelper() = default;

    // Copies the current entry when the cursor is valid; otherwise leaves out unchanged.
    virtual void Get(CfiEntry& out) const {
        if (IsValid())
            out = Derived::Table()[index_];
    }
    virtual bool IsValid() const { return index_ < Derived::Table().size(); }
    virtual void Next() {
        if (IsValid())
            ++index_;
    }
    // Moves to the last entry at or below entry's frequency (the first entry when none is).
    virtual size_t Seek(const CfiEntry& entry) {
        const auto table = Derived::Table();
        index_ = 0;
        while (index_ < table.size() && table[index_].frequency <= entry.frequency)
            ++index_;
        if (index_ > 0)
            --index_;
        return index_;
    }

    size_t Index() const { return index_; }

private:
    size_t index_ = 0;
};

// 160, 165, ..., 250 Hz.
class SubCrossoverFreqs : public CfiTypeHelper<SubCrossoverFreqs> {
public:
    static constexpr size_t kCount = 19;
    static std::span<const CfiEntry> Table();
};
