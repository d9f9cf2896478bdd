#pragma once
// The target customization dialog without a window: its fields and their ranges, which of them
// take input, the order in which OK commits them, Auto Detect and the values it hands back to
// Calculate. The Qt dialog and the console draw through ITargetView; Auto Detect goes to a
// detector (a worker thread in the window program), and the dialog stays usable while it runs.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "wizard/CalculateStep.h"

// Numbered in reading order from 0, so front-ends may keep their controls in an array.
enum class TargetField { Crossover, HpOrder, HpFreq, MinEq };
inline constexpr std::size_t kTargetFieldCount = 4;

enum class TargetFieldKind {
    Hertz,       // a number the user may type
    SlopeOrder,  // a name of kSlopeOrderTexts, changed through its buttons or a list
};

struct TargetFieldInfo {
    TargetField field;
    const wchar_t* caption;  // the group box's caption and the console's menu entry
    TargetFieldKind kind;
    int32_t TargetSettings::*value;
};

// The fields in reading order. A new field is a line here, its rule in TargetPresenter::Rule
// and a control in each front-end; commit order, enabling and the console's menu follow.
std::span<const TargetFieldInfo> TargetFields();
const TargetFieldInfo& FieldInfo(TargetField field);

// A field's range and whether it takes input now.
struct TargetFieldRule {
    int32_t minimum = 0;
    int32_t maximum = 0;
    int32_t step = 1;
    bool enabled = true;

    friend bool operator==(const TargetFieldRule&, const TargetFieldRule&) = default;
};

class ITargetView {
public:
    virtual ~ITargetView() = default;
    // The field's range, value and enabled state.
    virtual void DrawField(TargetField field, const TargetFieldRule& rule, int32_t value) = 0;
    virtual void DrawClassicFit(bool classic, bool enabled) = 0;
    // Auto Detect and OK; off while a detection runs.
    virtual void DrawCommands(bool enabled) = 0;
    // Commits what was typed into a Hertz field into value; false once the view has shown
    // "Bad value" (value then holds the nearest bound).
    virtual bool CommitField(TargetField field, int32_t& value) = 0;
};

// Auto Detect from settings: calls done with the settings detected, or nothing when there is
// nothing to detect from; either at once or later, on the thread the presenter lives on.
using TargetDetectDone = std::function<void(std::optional<TargetSettings>)>;
using TargetDetector = std::function<void(const TargetSettings& settings, TargetDetectDone done)>;

// Detects at once on the calling thread (the console's dialog runs on the step's worker);
// data must outlive the detector.
TargetDetector DetectAtOnce(const DocData& data);

class TargetPresenter {
public:
    // view must outlive the presenter; a result that arrives after it is gone is dropped.
    TargetPresenter(ITargetView& view, TargetDetector detect);
    TargetPresenter(const TargetPresenter&) = delete;
    TargetPresenter& operator=(const TargetPresenter&) = delete;

    // Takes settings (within the fields' limits) and draws every field.
    void Show(const TargetSettings& settings);
    const TargetSettings& Settings() const { return settings_; }
    int32_t Value(TargetField field) const { return settings_.*FieldInfo(field).value; }
    TargetFieldRule Rule(TargetField field) const;
    bool Detecting() const { return detecting_; }

    // The user's edits; the values are limited and the fields redrawn.
    void SetValue(TargetField field, int32_t value);
    void SetClassicFit(bool classic);
    // Runs the detector; the fields, Auto Detect and OK are off until its result is in.
    void AutoDetect();
    // OK: commits the typed fields, the crossover first as it bounds the others, then those
    // enabled; false (stay open) after a bad value or while a detection runs. Settings() then
    // holds the values for Calculate.
    bool Accept();

private:
    void Limit();
    void Redraw();
    void Detected(uint64_t detection, const std::optional<TargetSettings>& result);

    ITargetView& view_;
    TargetDetector detect_;
    TargetSettings settings_;
    bool detecting_ = false;
    uint64_t detection_ = 0;  // moves on with every detection and Show; older results are dropped
    std::shared_ptr<TargetPresenter*> self_;  // what a late result finds of the presenter
};
