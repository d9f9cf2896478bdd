#include "wizard/TargetPresenter.h"

#include <array>

#include "correction/TargetSlope.h"

namespace {

constexpr std::array<TargetFieldInfo, kTargetFieldCount> kFields{{
    {TargetField::Crossover, L"X-Over", TargetFieldKind::Hertz, &TargetSettings::crossover},
    {TargetField::HpOrder, L"High Pass Order", TargetFieldKind::SlopeOrder,
     &TargetSettings::hpOrder},
    {TargetField::HpFreq, L"High Pass Frequency", TargetFieldKind::Hertz, &TargetSettings::hpFreq},
    {TargetField::MinEq, L"Min EQ Frequency", TargetFieldKind::Hertz, &TargetSettings::minEqFreq},
}};

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
    }
    rule.enabled = rule.enabled && !detecting_;
    return rule;
}

void TargetPresenter::Show(const TargetSettings& settings) {
    settings_ = settings;
    detecting_ = false;
    ++detection_;
    Limit();
    Redraw();
}

void TargetPresenter::SetValue(TargetField field, int32_t value) {
    settings_.*FieldInfo(field).value = value;
    Limit();
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
        if (info.kind != TargetFieldKind::Hertz || !Rule(info.field).enabled)
            continue;
        int32_t value = settings_.*info.value;
        const bool good = view_.CommitField(info.field, value);
        settings_.*info.value = value;
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
        view_.DrawField(info.field, Rule(info.field), settings_.*info.value);
    view_.DrawClassicFit(settings_.fit == FitMethod::Classic, !detecting_);
    view_.DrawCommands(!detecting_);
}
