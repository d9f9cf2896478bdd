#include "wizard/Positions.h"

#include <algorithm>
#include <string>

#include "correction/TargetBuild.h"
#include "measure/Curve.h"
#include "threading/Errors.h"
#include "wizard/MeasureStep.h"
#include "wizard/RunWizard.h"
#include "wizard/VerifyStep.h"

PositionTable TabulatePositions(const DocData& data) {
    PositionTable table;
    std::tie(table.low, table.high) = ComparisonBand(data);
    CurvePtr average = !data.results.empty() ? data.results.front() : nullptr;
    if (!average && !data.measurements.empty())
        average = PowerAverage(data.measurements);
    for (size_t p = 0; p < data.measurements.size(); ++p) {
        PositionRow row;
        row.number = static_cast<int>(p + 1);
        if (data.positionQuality.size() == data.measurements.size())
            row.checks = data.positionQuality[p];
        if (average && data.measurements[p]) {
            const LevelDifference d =
                CompareLevels(*data.measurements[p], *average, table.low, table.high);
            row.deviationDb = d.rmsDb;
            row.largestDb = d.maxDb;
        }
        row.outlier = row.deviationDb > kOutlierRmsDb;
        if (data.positionEffects.size() == data.measurements.size())
            row.effect = data.positionEffects[p];
        table.rows.push_back(row);
    }
    if (const auto estimate = EstimateSettle(data.measurements))
        table.settle = SettleText(*estimate);
    return table;
}

void DropPosition(DocData& data, size_t index) {
    const size_t count = data.measurements.size();
    if (index >= count)
        throw tsl::wruntime_error(L"There is no position " + std::to_wstring(index + 1) +
                                  L"; the document holds " + std::to_wstring(count) + L".");
    if (count == 1)
        throw tsl::wruntime_error(L"The only position cannot be dropped.");
    data.measurements.erase(data.measurements.begin() + static_cast<std::ptrdiff_t>(index));
    if (data.positionQuality.size() == count)
        data.positionQuality.erase(data.positionQuality.begin() +
                                   static_cast<std::ptrdiff_t>(index));
    else
        data.positionQuality.clear();
    if (data.impulses.size() == count)
        data.impulses.erase(data.impulses.begin() + static_cast<std::ptrdiff_t>(index));
    else
        data.impulses.clear();
    std::erase_if(data.imported, [index](const ImportedPosition& p) {
        return p.position == static_cast<int32_t>(index);
    });
    for (ImportedPosition& p : data.imported)
        if (p.position > static_cast<int32_t>(index))
            --p.position;
    KeepAverageOfPositions(data);
}

void KeepAverageOfPositions(DocData& data) {
    data.results = {PowerAverage(data.measurements)};
    data.eq = EraseDefault(data.eq.bands.size());
    data.verified.reset();
    data.verifiedPositions = 0;
    data.verifiedImpulses.clear();
    data.positionEffects.clear();
}

std::wstring DropPositionQuestion(int number) {
    const std::wstring n = std::to_wstring(number);
    return L"Drop position " + n +
           L"?\nIts measurement leaves the document and the equaliser is "
           L"calculated again from the other positions. Edit > Undo brings position " +
           n + L" back until the next measurement.";
}

std::wstring DropRefusal(size_t count, size_t index) {
    if (index >= count)
        return L"There is no position " + std::to_wstring(index + 1) + L"; the document holds " +
               std::to_wstring(count) + L".";
    if (count <= static_cast<size_t>(kMinPositions))
        return L"Position " + std::to_wstring(index + 1) +
               L" cannot be dropped: a measurement needs at least " +
               std::to_wstring(kMinPositions) + L" positions and the document holds " +
               std::to_wstring(count) + L".";
    return {};
}

DropOutcome DropPositionCommand(IMainView& view, DocData& data, size_t index, bool* calculated) {
    const std::wstring refusal = DropRefusal(data.measurements.size(), index);
    if (!refusal.empty()) {
        view.Prompt().MessageBox(refusal, view.ApplicationTitle(), Threading::MsgButtons::Ok,
                                 Threading::MsgIcon::Warning);
        return DropOutcome::Refused;
    }
    if (view.Prompt().MessageBox(DropPositionQuestion(static_cast<int>(index + 1)),
                                 view.ApplicationTitle(), Threading::MsgButtons::YesNo,
                                 Threading::MsgIcon::Question) != Threading::MsgResult::Yes)
        return DropOutcome::Declined;
    DropPosition(data, index);
    view.Refresh();
    const bool ok = view.RunWizard(kWizardCalculate, 0);
    view.Refresh();
    if (calculated)
        *calculated = ok;
    return DropOutcome::Dropped;
}
