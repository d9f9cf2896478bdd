#include "wizard/VerifyStep.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "measure/Curve.h"
#include "sublink/BaseConfig.h"
#include "wizard/CalculateFit.h"
#include "wizard/RunWizard.h"

namespace {

// Where the comparison starts for a document without a fit band.
constexpr double kDefaultComparisonLowHz = 25.0;

}  // namespace

bool VerifyStep(IProcDialog* progress, DocData& data, uint32_t options,
                const MeasureEnvironment& environment) {
    DocData scratch;
    scratch.micSerial = data.micSerial;
    if (!MeasureStep(progress, scratch, options, environment))
        return false;
    if (scratch.results.empty() || !scratch.results.front())
        return false;
    data.verified = scratch.results.front();
    data.verifiedPositions = static_cast<int32_t>(scratch.measurements.size());
    data.verifiedImpulses = std::move(scratch.impulses);
    return true;
}

StepFunction MakeVerifyStep(MeasureEnvironment environment) {
    environment.minPositions = kMinVerifyPositions;
    return DocumentStep(L"Verify", [environment = std::move(environment)](
                                       IProcDialog* progress, DocData& data, uint32_t options) {
        return VerifyStep(progress, data, options, environment);
    });
}

LevelDifference CompareLevels(const CCurve& curve, const CCurve& reference, double low, double high,
                              double offsetDb) {
    CCurve a = curve, b = reference;
    ToDbPhase(a);
    ToDbPhase(b);
    LevelDifference d;
    double sum = 0.0;
    for (int i = 0; i < a.Count(); ++i) {
        const double f = a.X()[i];
        if (f < low || f > high)
            continue;
        const double diff = a.First()[i] - (ValueAt(b, f).first + offsetDb);
        if (!std::isfinite(diff))
            continue;
        sum += diff * diff;
        d.maxDb = std::max(d.maxDb, std::abs(diff));
        ++d.points;
    }
    if (d.points > 0)
        d.rmsDb = std::sqrt(sum / d.points);
    return d;
}

std::pair<double, double> ComparisonBand(const DocData& data) {
    const auto [low, high] = FitLimits(data);
    if (low > 0.0 && high > low)
        return {low, high};
    return {kDefaultComparisonLowHz, kFitBandTopHz};
}

std::optional<VerifyReport> CompareVerified(const DocData& data,
                                            std::optional<std::pair<double, double>> band) {
    if (!data.verified)
        return std::nullopt;
    VerifyReport report;
    std::tie(report.low, report.high) = band ? *band : ComparisonBand(data);
    report.positions = data.verifiedPositions;
    const CUsbController::BaseConfig* model = CUsbController::FindModelById(data.modelId);
    if (model != nullptr && !model->gainInLastBand && std::isfinite(data.eq.gain))
        report.gainLeftDb = data.eq.gain;
    const double offset = -report.gainLeftDb;
    if (data.results.size() >= 3 && data.results[2])
        report.calculated =
            CompareLevels(*data.verified, *data.results[2], report.low, report.high, offset);
    if (data.results.size() >= 2 && data.results[1])
        report.target =
            CompareLevels(*data.verified, *data.results[1], report.low, report.high, offset);
    return report;
}

std::wstring VerifyReportText(const VerifyReport& report) {
    wchar_t line[160];
    std::swprintf(line, sizeof line / sizeof line[0],
                  L"Re-measured at %d position%ls, compared from %.0f to %.0f Hz.",
                  static_cast<int>(report.positions), report.positions == 1 ? L"" : L"s",
                  report.low, report.high);
    std::wstring text = line;
    if (report.gainLeftDb != 0.0) {
        std::swprintf(line, sizeof line / sizeof line[0],
                      L"\nThe equaliser's gain of %.1f dB is left to the subwoofer's level "
                      L"control and is not compared.",
                      report.gainLeftDb);
        text += line;
    }
    const auto add = [&](const wchar_t* what, const std::optional<LevelDifference>& d) {
        if (!d || d->points == 0) {
            text += std::wstring(L"\nNo ") + what + L" curve to compare with.";
            return;
        }
        std::swprintf(line, sizeof line / sizeof line[0],
                      L"\nAgainst the %ls curve: %.1f dB RMS, largest difference %.1f dB.", what,
                      d->rmsDb, d->maxDb);
        text += line;
    };
    add(L"calculated", report.calculated);
    add(L"target", report.target);
    return text;
}

bool VerifyCommand(IMainView& view, const DocData& document) {
    const bool ok = view.RunWizard(kWizardVerify, 0);
    view.Refresh();
    if (!ok)
        return false;
    if (const auto report = CompareVerified(document))
        view.Prompt().MessageBox(VerifyReportText(*report), view.ApplicationTitle(),
                                 Threading::MsgButtons::Ok, Threading::MsgIcon::Information);
    return true;
}
