#pragma once
// A target view for the presenter's tests: records what is drawn; CommitField answers from a
// script (the value typed, good or bad).

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

#include "wizard/TargetPresenter.h"

struct FakeTargetView : ITargetView {
    struct Typed {
        int32_t value;
        bool good;
    };
    std::map<TargetField, TargetFieldRule> rules;
    std::map<TargetField, int32_t> values;
    std::map<TargetField, Typed> typed;
    std::vector<TargetField> committed;
    bool classic = false;
    bool commands = true;

    void DrawField(TargetField field, const TargetFieldRule& rule, int32_t value) override {
        rules[field] = rule;
        values[field] = value;
    }
    void DrawClassicFit(bool c, bool) override { classic = c; }
    void DrawCommands(bool enabled) override { commands = enabled; }
    bool CommitField(TargetField field, int32_t& value) override {
        committed.push_back(field);
        auto it = typed.find(field);
        if (it == typed.end())
            return true;
        // A typed value out of range comes back at the nearest bound, as a spin commits it.
        const TargetFieldRule& rule = rules[field];
        value = std::clamp(it->second.value, rule.minimum, rule.maximum);
        return it->second.good && value == it->second.value;
    }
};
