#pragma once
// What a spin field does, without the window: the bound value, the position of its up-down
// buttons, the text of its edit and the rules of committing typed text.

#include <functional>
#include <string>
#include <string_view>

#include "ui/controls/Applicator.h"

namespace CustomControls {

template <typename V>
class SpinState {
public:
    using Formatter = std::function<std::wstring(V)>;

    // Binds to value (may be null: the state keeps its own copy) and an optional working copy
    // that follows every change.
    void Attach(V* value, const Applicator<V>& rule, unsigned flags, V* working = nullptr) {
        bound_ = value;
        working_ = working;
        flags_ = flags;
        rule_ = rule;
        if (bound_ != nullptr) {
            value_ = *bound_;
        }
        changed_ = false;
    }
    // Texts other than the number (an enumeration's names).
    void SetFormatter(Formatter f) { format_ = std::move(f); }
    // A new range; the value is read again from the bound variable.
    void SetRule(const Applicator<V>& rule) {
        rule_ = rule;
        if (bound_ != nullptr) {
            value_ = *bound_;
        }
    }

    const Applicator<V>& Rule() const { return rule_; }
    unsigned Flags() const { return flags_; }
    V Value() const { return value_; }
    int Position() const { return rule_.ValueToPos(value_); }
    int MaxPosition() const { return rule_.MaxPos(); }
    std::wstring Text() const { return format_ ? format_(value_) : rule_.Format(value_, flags_); }
    bool RewritesEdit() const { return (flags_ & kNoEditRewrite) == 0; }
    // The edit text changed since the last commit and parses.
    bool TextChanged() const { return changed_; }

    // The up-down buttons moved by delta positions; true when the value changed.
    bool Step(int delta) {
        const V before = value_;
        Store(rule_.PosToValue(Position() + delta));
        changed_ = false;
        return value_ != before;
    }

    // The user edited the text; true when it parses (the position follows the parsed value).
    bool EditChanged(std::wstring_view text) {
        const auto v = rule_.Parse(text, flags_);
        if (v) {
            changed_ = true;
            pending_ = rule_.Clamp(*v);
        }
        return v.has_value();
    }
    // Where the up-down buttons stand while the user types.
    int PendingPosition() const { return rule_.ValueToPos(changed_ ? pending_ : value_); }

    // Stores the text's value; text that does not parse counts as 0. A value outside the range
    // is clamped to the nearest bound and false returned ("Bad value").
    bool Commit(std::wstring_view text) {
        const auto v = rule_.Parse(text, flags_);
        const V parsed = v.value_or(V{});
        const bool good = v.has_value() && rule_.InRange(parsed);
        Store(rule_.Clamp(parsed));
        changed_ = false;
        return good;
    }

private:
    void Store(V v) {
        value_ = v;
        if (bound_ != nullptr) {
            *bound_ = v;
        }
        if (working_ != nullptr) {
            *working_ = v;
        }
    }

    V* bound_ = nullptr;
    V* working_ = nullptr;
    unsigned flags_ = 0;
    Applicator<V> rule_;
    Formatter format_;
    V value_{};
    V pending_{};
    bool changed_ = false;
};

}  // namespace CustomControls
