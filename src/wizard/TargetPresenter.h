#pragma once
// The target customization dialog without a window: its fields and their ranges, which of them
// take input, the order in which OK commits them, Auto Detect, the house curve and the
// correction limits, and the values it hands back to Calculate. The Qt dialog and the console draw
// through ITargetView; Auto Detect goes to a detector (a worker thread in the window program), and
// the dialog stays usable while it runs.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "wizard/CalculateStep.h"

// Numbered in reading order from 0, so front-ends may keep their controls in an array.
// The house curve's fields, then the limits', follow the seed's four.
enum class TargetField {
    Crossover,
    HpOrder,
    HpFreq,
    MinEq,
    ShelfGain,
    ShelfCorner,
    Tilt,
    MaxBoost,
    UpperLimit
};
inline constexpr std::size_t kTargetFieldCount = 9;

enum class TargetFieldKind {
    Hertz,       // a number the user may type
    SlopeOrder,  // a name of kSlopeOrderTexts, changed through its buttons or a list
    Tenths,      // a number in tenths of its unit, typed in whole units
};

struct TargetFieldInfo {
    TargetField field;
    const wchar_t* caption;  // the group box's caption and the console's menu entry
    TargetFieldKind kind;
    const wchar_t* unit;  // after the value in the console's menu
    // The field's value in the settings, as the control holds it.
    int32_t (*get)(const TargetSettings&);
    void (*set)(TargetSettings&, int32_t);
};

// The fields in reading order. A new field is a line here, its rule in TargetPresenter::Rule
// and a control in each front-end; commit order, enabling and the console's menu follow. OK
// commits the upper limit after the minimum EQ frequency, which bounds it.
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
    // "Cuts only" and the fit's own upper limit (the upper limit field then off).
    virtual void DrawLimits(bool /*cutsOnly*/, bool /*fitUpper*/, bool /*enabled*/) {}
    // The house curve file's name, empty for none.
    virtual void DrawHouseFile(const std::wstring& /*name*/, bool /*enabled*/) {}
    // A house curve file that could not be read; the previous file stays.
    virtual void ShowFileError(const std::wstring& /*text*/) {}
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
    int32_t Value(TargetField field) const { return FieldInfo(field).get(settings_); }
    TargetFieldRule Rule(TargetField field) const;
    bool Detecting() const { return detecting_; }

    // The user's edits; the values are limited and the fields redrawn.
    void SetValue(TargetField field, int32_t value);
    void SetClassicFit(bool classic);
    // Cuts only sets the maximum boost to 0 dB; unticked, the boost it had comes back.
    void SetCutsOnly(bool cutsOnly);
    bool CutsOnly() const { return cutsOnly_; }
    // The fit's own upper limit, or the upper limit field's value.
    void SetFitUpper(bool own);
    bool FitUpper() const { return settings_.house.upperHz == 0.0; }
    // Reads a house curve file; a file that cannot be read is shown to the user and the previous
    // file kept (false).
    bool ChooseHouseFile(const std::filesystem::path& path);
    void ClearHouseFile();
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
    bool cutsOnly_ = false;
    double boostBeforeCuts_ = kMaxBoostDbMax;  // restored when cuts only is unticked
    uint64_t detection_ = 0;  // moves on with every detection and Show; older results are dropped
    std::shared_ptr<TargetPresenter*> self_;  // what a late result finds of the presenter
};
