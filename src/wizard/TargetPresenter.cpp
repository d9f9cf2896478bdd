#include "wizard/TargetPresenter.h"

#include <array>
#include <cmath>

#include "correction/TargetSlope.h"
#include "threading/Errors.h"

namespace {

template <int32_t TargetSettings::*member>
int32_t Get(const TargetSettings& s) {
    return s.*member;
}
template <int32_t TargetSettings::*member>
void Set(TargetSettings& s, int32_t value) {
    s.*member = value;
}

// A house setting as a control holds it: scale times its value, rounded.
template <double HouseSettings::*member, int scale>
int32_t GetHouse(const TargetSettings& s) {
    return static_cast<int32_t>(std::lround(s.house.*member * scale));
}
template <double HouseSettings::*member, int scale>
void SetHouse(TargetSettings& s, int32_t value) {
    s.house.*member = static_cast<double>(value) / scale;
}

// While the fit's own upper limit holds, the field shows the highest.
int32_t GetUpper(const TargetSettings& s) {
    return s.house.upperHz > 0.0 ? static_cast<int32_t>(std::lround(s.house.upperHz))
                                 : static_cast<int32_t>(kUpperHzMax);
}
void SetUpper(TargetSettings& s, int32_t value) {
    if (s.house.upperHz > 0.0)
        s.house.upperHz = value;
}

constexpr std::array<TargetFieldInfo, kTargetFieldCount> kFields{{
    {TargetField::Crossover, L"X-Over", TargetFieldKind::Hertz, L"Hz",
     Get<&TargetSettings::crossover>, Set<&TargetSettings::crossover>},
    {TargetField::HpOrder, L"High Pass Order", TargetFieldKind::SlopeOrder, L"",
     Get<&TargetSettings::hpOrder>, Set<&TargetSettings::hpOrder>},
    {TargetField::HpFreq, L"High Pass Frequency", TargetFieldKind::Hertz, L"Hz",
     Get<&TargetSettings::hpFreq>, Set<&TargetSettings::hpFreq>},
    {TargetField::MinEq, L"Min EQ Frequency", TargetFieldKind::Hertz, L"Hz",
     Get<&TargetSettings::minEqFreq>, Set<&TargetSettings::minEqFreq>},
    {TargetField::ShelfGain, L"Shelf Gain", TargetFieldKind::Tenths, L"dB",
     GetHouse<&HouseSettings::shelfDb, 10>, SetHouse<&HouseSettings::shelfDb, 10>},
    {TargetField::ShelfCorner, L"Shelf Corner", TargetFieldKind::Hertz, L"Hz",
     GetHouse<&HouseSettings::shelfHz, 1>, SetHouse<&HouseSettings::shelfHz, 1>},
    {TargetField::Tilt, L"Tilt", TargetFieldKind::Tenths, L"dB/octave",
     GetHouse<&HouseSettings::tiltDbPerOctave, 10>, SetHouse<&HouseSettings::tiltDbPerOctave, 10>},
    {TargetField::MaxBoost, L"Max Boost", TargetFieldKind::Tenths, L"dB",
     GetHouse<&HouseSettings::maxBoostDb, 10>, SetHouse<&HouseSettings::maxBoostDb, 10>},
    {TargetField::UpperLimit, L"Upper Limit", TargetFieldKind::Hertz, L"Hz", GetUpper, SetUpper},
}};

int32_t Tenths(double value) {
    return static_cast<int32_t>(std::lround(value * 10.0));
}

static_assert([] {
    for (std::size_t i = 0; i < kFields.size(); ++i)
        if (static_cast<std::size_t>(kFields[i].field) != i)
            return false;
    return true;
}());

}  // namespace

std::span<const TargetFieldInfo> TargetFields() {
    return kFields;
}

const TargetFieldInfo& FieldInfo(TargetField field) {
    return kFields[static_cast<std::size_t>(field)];
}

TargetDetector DetectAtOnce(const DocData& data) {
    return [&data](const TargetSettings& settings, const TargetDetectDone& done) {
        TargetSettings detected = settings;
        if (AutoDetectTargetSettings(data, detected))
            done(detected);
        else
            done(std::nullopt);
    };
}

TargetPresenter::TargetPresenter(ITargetView& view, TargetDetector detect)
    : view_(view), detect_(std::move(detect)), self_(std::make_shared<TargetPresenter*>(this)) {}

TargetFieldRule TargetPresenter::Rule(TargetField field) const {
    TargetFieldRule rule;
    switch (field) {
        case TargetField::Crossover:
            rule = {kCrossoverMin, kCrossoverMax, kCrossoverStep};
            break;
        case TargetField::HpOrder:
            rule = {kHpOrderMin, kHpOrderMax, 1};
            break;
        case TargetField::HpFreq:
            // Both frequencies up to the crossover.
            rule = {kFrequencyMin, settings_.crossover, 1,
                    settings_.hpOrder != SLOPE_AUTO && settings_.hpOrder != SLOPE_FLAT};
            break;
        case TargetField::MinEq:
            rule = {kFrequencyMin, settings_.crossover, 1, settings_.hpOrder != SLOPE_AUTO};
            break;
        case TargetField::ShelfGain:
            rule = {Tenths(kShelfDbMin), Tenths(kShelfDbMax), 5};
            break;
        case TargetField::ShelfCorner:
            rule = {static_cast<int32_t>(kShelfHzMin), static_cast<int32_t>(kShelfHzMax), 1};
            break;
        case TargetField::Tilt:
            rule = {Tenths(kTiltMin), Tenths(kTiltMax), 1};
            break;
        case TargetField::MaxBoost:
            rule = {Tenths(kMaxBoostDbMin), Tenths(kMaxBoostDbMax), 5, !cutsOnly_};
            break;
        case TargetField::UpperLimit:
            rule = {UpperLimitMinimum(settings_.minEqFreq), static_cast<int32_t>(kUpperHzMax), 1,
                    !FitUpper()};
            break;
    }
    rule.enabled = rule.enabled && !detecting_;
    return rule;
}

void TargetPresenter::Show(const TargetSettings& settings) {
    settings_ = settings;
    detecting_ = false;
    ++detection_;
    cutsOnly_ = settings.house.maxBoostDb <= 0.0;
    boostBeforeCuts_ = cutsOnly_ ? kMaxBoostDbMax : settings.house.maxBoostDb;
    Limit();
    Redraw();
}

void TargetPresenter::SetValue(TargetField field, int32_t value) {
    // A value the control shows unchanged keeps what it rounds (a setting from the command line).
    const TargetFieldInfo& info = FieldInfo(field);
    if (info.get(settings_) != value)
        info.set(settings_, value);
    Limit();
    Redraw();
}

void TargetPresenter::SetCutsOnly(bool cutsOnly) {
    if (detecting_ || cutsOnly == cutsOnly_)
        return;
    cutsOnly_ = cutsOnly;
    if (cutsOnly) {
        boostBeforeCuts_ = settings_.house.maxBoostDb;
        settings_.house.maxBoostDb = 0.0;
    } else {
        settings_.house.maxBoostDb = boostBeforeCuts_;
    }
    Redraw();
}

void TargetPresenter::SetFitUpper(bool own) {
    if (detecting_ || own == FitUpper())
        return;
    settings_.house.upperHz = own ? 0.0 : kUpperHzMax;
    Limit();
    Redraw();
}

bool TargetPresenter::ChooseHouseFile(const std::filesystem::path& path) {
    if (detecting_)
        return false;
    try {
        settings_.house.file = ReadHouseCurve(path);
    } catch (const tsl::wruntime_error& error) {
        view_.ShowFileError(error.wwhat());
        return false;
    }
    Redraw();
    return true;
}

void TargetPresenter::ClearHouseFile() {
    if (detecting_)
        return;
    settings_.house.file.reset();
    Redraw();
}

void TargetPresenter::SetClassicFit(bool classic) {
    settings_.fit = classic ? FitMethod::Classic : FitMethod::Refined;
    Redraw();
}

void TargetPresenter::AutoDetect() {
    if (detecting_ || !detect_)
        return;
    detecting_ = true;
    const uint64_t detection = ++detection_;
    Redraw();
    std::weak_ptr<TargetPresenter*> self = self_;
    detect_(settings_, [self, detection](const std::optional<TargetSettings>& result) {
        if (const std::shared_ptr<TargetPresenter*> presenter = self.lock())
            (*presenter)->Detected(detection, result);
    });
}

void TargetPresenter::Detected(uint64_t detection, const std::optional<TargetSettings>& result) {
    if (detection != detection_ || !detecting_)
        return;
    detecting_ = false;
    if (result)
        settings_ = *result;
    Limit();
    Redraw();
}

bool TargetPresenter::Accept() {
    if (detecting_)
        return false;
    for (const TargetFieldInfo& info : kFields) {
        if (info.kind == TargetFieldKind::SlopeOrder || !Rule(info.field).enabled)
            continue;
        int32_t value = info.get(settings_);
        const bool good = view_.CommitField(info.field, value);
        if (value != info.get(settings_))
            info.set(settings_, value);
        // The view shows the bad value's box and keeps the field as it is.
        if (!good)
            return false;
        Limit();
        Redraw();
    }
    return true;
}

void TargetPresenter::Limit() {
    settings_ = LimitTargetSettings(settings_);
}

void TargetPresenter::Redraw() {
    for (const TargetFieldInfo& info : kFields)
        view_.DrawField(info.field, Rule(info.field), info.get(settings_));
    view_.DrawClassicFit(settings_.fit == FitMethod::Classic, !detecting_);
    view_.DrawLimits(cutsOnly_, FitUpper(), !detecting_);
    view_.DrawHouseFile(settings_.house.file ? settings_.house.file->name : std::wstring(),
                        !detecting_);
    view_.DrawCommands(!detecting_);
}
