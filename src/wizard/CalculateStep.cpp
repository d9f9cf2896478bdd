#include "wizard/CalculateStep.h"

#include <algorithm>
#include <cmath>

#include "document/DocData.h"
#include "threading/Errors.h"
#include "wizard/CalculateFit.h"
#include "wizard/PositionEffects.h"
#include "wizard/ProcDialog.h"
#include "wizard/RunWizard.h"

namespace {

double Within(double value, double low, double high, double fallback) {
    return std::isnan(value) ? fallback : std::clamp(value, low, high);
}

}  // namespace

int32_t UpperLimitMinimum(int32_t minEqFreq) {
    return std::clamp(minEqFreq + 1, static_cast<int32_t>(kUpperHzMin),
                      static_cast<int32_t>(kUpperHzMax));
}

TargetSettings LimitTargetSettings(TargetSettings s) {
    s.crossover = std::clamp(s.crossover, kCrossoverMin, kCrossoverMax);
    s.hpOrder = std::clamp(s.hpOrder, kHpOrderMin, kHpOrderMax);
    s.hpFreq = std::clamp(s.hpFreq, kFrequencyMin, s.crossover);
    s.minEqFreq = std::clamp(s.minEqFreq, kFrequencyMin, s.crossover);
    if (s.fit != FitMethod::Classic)
        s.fit = FitMethod::Refined;
    HouseSettings& h = s.house;
    const HouseSettings none;
    h.shelfDb = Within(h.shelfDb, kShelfDbMin, kShelfDbMax, none.shelfDb);
    h.shelfHz = Within(h.shelfHz, kShelfHzMin, kShelfHzMax, none.shelfHz);
    h.tiltDbPerOctave = Within(h.tiltDbPerOctave, kTiltMin, kTiltMax, none.tiltDbPerOctave);
    h.maxBoostDb = Within(h.maxBoostDb, kMaxBoostDbMin, kMaxBoostDbMax, none.maxBoostDb);
    if (h.upperHz != 0.0)
        h.upperHz = Within(h.upperHz, UpperLimitMinimum(s.minEqFreq), kUpperHzMax, none.upperHz);
    return s;
}

bool AutoDetectTargetSettings(const DocData& data, TargetSettings& settings) {
    CurvePtr average = PowerAverage(data.measurements);
    if (!average)
        return false;
    settings.minEqFreq = kFrequencyMin;
    settings.hpFreq = kFrequencyMin;
    settings.hpOrder = SLOPE_AUTO;
    CSubwooferTarget target(settings.minEqFreq, settings.hpFreq, settings.hpOrder);
    SubCrossoverFreqs cursor;
    TargetCurveList curves{average};
    settings.crossover = target.DetectCrossover(curves, cursor);
    return true;
}

bool CustomizeTarget(IProcDialog* progress, DocData& data, uint32_t mode,
                     const TargetDialogFactory& makeDialog) {
    if (mode != 2)
        return true;
    double fitLower = data.fitLower;
    if (data.hpOrder != SLOPE_AUTO)
        fitLower = data.minEqFreq;
    TargetSettings settings{data.crossover,
                            data.hpOrder,
                            data.hpFreq,
                            data.minEqFreq,
                            data.fitMethod.value_or(kDefaultFitMethod),
                            data.house};
    if (!makeDialog || progress == nullptr)
        throw tsl::wruntime_error(kUserAbortText);
    // Made and shown from this worker: a windowed dialog goes to the UI thread itself, the
    // console's asks through the step's prompt and runs Auto Detect here.
    std::unique_ptr<ITargetDialog> dialog = makeDialog(*progress, data);
    if (!dialog || !dialog->DoModal(settings))
        throw tsl::wruntime_error(kUserAbortText);
    // Whatever a dialog hands back goes through the controls' limits, so the target never sees
    // a crossover or corner its controls could not have produced.
    settings = LimitTargetSettings(settings);
    data.fitLower = fitLower;
    data.crossover = settings.crossover;
    data.hpOrder = settings.hpOrder;
    data.hpFreq = settings.hpFreq;
    data.minEqFreq = settings.minEqFreq;
    data.fitMethod = settings.fit;
    data.house = settings.house;
    return true;
}

bool CalculateStep(IProcDialog* progress, DocData& data, uint32_t options,
                   const TargetDialogFactory& makeDialog, double* levelOut, FitOutcome* fit) {
    const bool positionFigures = (options & kOptionNoPositionFigures) == 0;
    options &= ~kOptionNoPositionFigures;
    if (data.measurements.empty())
        throw tsl::wruntime_error(kNoMeasurementsText);
    if (!HasUsableLevels(data.measurements))
        throw tsl::wruntime_error(kUnusableMeasurementsText);
    if (progress)
        progress->SetRange(3);
    // Whatever the step leaves, the positions' figures of an earlier equaliser no longer apply.
    data.positionEffects.clear();
    bool ok = CustomizeTarget(progress, data, options, makeDialog);
    if (progress)
        progress->OffsetPos(1);
    double levelDb = 0.0;
    if (ok) {
        if (progress)
            progress->SetDisplayString(kBuildingTargetText);
        ok = BuildTarget(data, static_cast<int>(options), levelDb);
        if (levelOut)
            *levelOut = levelDb;
        if (progress)
            progress->OffsetPos(1);
    }
    if (ok) {
        if (progress)
            progress->SetDisplayString(kFittingText);
        ok = FitEqualizer(data, levelDb, fit);
        if (ok && positionFigures) {
            if (progress)
                progress->SetDisplayString(kCheckingPositionsText);
            data.positionEffects = EvaluatePositionEffects(data);
        }
        if (progress)
            progress->OffsetPos(1);
    }
    return ok;
}

StepFunction MakeCalculateStep(TargetDialogFactory makeDialog) {
    return DocumentStep(L"Calculate", [makeDialog = std::move(makeDialog)](
                                          IProcDialog* progress, DocData& data, uint32_t options) {
        // The save bit belongs to the wizard; the rest is the calculation mode, a whole value.
        return CalculateStep(progress, data, options & ~kOptionNoSave, makeDialog);
    });
}
