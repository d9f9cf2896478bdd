#include "wizard/CalculateFit.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "document/DocData.h"
#include "measure/Curve.h"
#include "sublink/BaseConfig.h"
#include "threading/Errors.h"
#include "wizard/UploadImage.h"

namespace {

const CUsbController::BaseConfig& ModelOf(const DocData& doc) {
    const CUsbController::BaseConfig* model = CUsbController::FindModelById(doc.modelId);
    if (model == nullptr) {
        wchar_t text[128];
        std::swprintf(text, sizeof text / sizeof text[0],
                      L"Critical error, unknown subwoofer model 0x%04X (%u); the equaliser "
                      L"cannot be calculated.",
                      static_cast<unsigned>(doc.modelId), static_cast<unsigned>(doc.modelId));
        throw tsl::wruntime_error(text);
    }
    return *model;
}

}  // namespace

bool BuildTarget(DocData& doc, int mode, double& levelDb) {
    TargetRequest request;
    request.minEqFreq = doc.minEqFreq;
    request.hpFreq = doc.hpFreq;
    request.hpOrder = doc.hpOrder;
    request.crossover = doc.crossover;
    request.detectCrossover = mode == 1;
    request.house = doc.house;
    std::optional<BuiltTarget> built = BuildTargetCurves(doc.measurements, request);
    if (!built)
        return false;
    levelDb = built->levelDb;
    doc.results = {built->average, built->target};
    doc.fitLower = built->fitLower;
    doc.fitUpper = built->fitUpper;
    doc.crossover = built->crossover;
    return true;
}

bool FitEqualizer(DocData& doc, double levelDb, FitOutcome* error) {
    const CUsbController::BaseConfig& model = ModelOf(doc);

    if (doc.results.size() == 3)
        doc.results.pop_back();
    if (doc.results.size() != 2 || !doc.results[0] || !doc.results[1])
        throw tsl::wruntime_error(L"Critical error, expected 2 curves.");

    const auto [low, high] = FitLimits(doc);
    if (doc.house.upperHz > 0.0 && !(high > low)) {
        wchar_t text[160];
        std::swprintf(text, sizeof text / sizeof text[0],
                      L"Error: The correction's upper limit of %g Hz is not above the lower end "
                      L"of the fit band (%g Hz).",
                      doc.house.upperHz, low);
        throw tsl::wruntime_error(text);
    }
    const FitMethod method = doc.fitMethod.value_or(kDefaultFitMethod);
    FitOutcome outcome = FitForModel(*doc.results[0], *doc.results[1], model, low, high, levelDb,
                                     method, BoostLimit(doc.house));
    doc.results.push_back(outcome.calculated);
    doc.eq = outcome.eq;
    doc.fitMethod = method;
    if (error)
        *error = std::move(outcome);
    return true;
}

FitOutcome FitForModel(CCurve& averaged, CCurve& target, const CUsbController::BaseConfig& model,
                       double low, double high, double levelDb, FitMethod method,
                       double boostLimit) {
    if (method != FitMethod::Refined)
        return FitEqualizerCurves(averaged, target, model.eqSampleRate, model.eqBandCount, low,
                                  high, levelDb, method, boostLimit);
    // The fit scales the target to the level: the classic fit below starts from it as given.
    CCurve given = target;
    FitOutcome outcome = FitEqualizerCurves(averaged, target, model.eqSampleRate, model.eqBandCount,
                                            low, high, levelDb, method, boostLimit);
    // A refined equaliser the model's block cannot hold (a folded gain past its numerator's
    // range) would fail the upload where the classic one may not: keep the classic one then.
    if (!BuildUploadImage(outcome.eq, &model, false)) {
        FitOutcome classic =
            FitEqualizerCurves(averaged, given, model.eqSampleRate, model.eqBandCount, low, high,
                               levelDb, FitMethod::Classic, boostLimit);
        if (BuildUploadImage(classic.eq, &model, false)) {
            outcome = std::move(classic);
            target = std::move(given);
        }
    }
    return outcome;
}

std::pair<double, double> FitLimits(const DocData& doc) {
    const double low = doc.hpOrder != 0 ? static_cast<double>(doc.minEqFreq) : doc.fitLower;
    return {low, LimitedFitUpper(doc.house, std::min(doc.fitUpper, kFitBandTopHz))};
}

std::optional<WrittenEqualiser> WriteEqualiser(const EqResult& eq,
                                               const CUsbController::BaseConfig& model) {
    if (model.eqSampleRate <= 0 || eq.valid != 1 || !BuildUploadImage(eq, &model, false))
        return std::nullopt;
    EqResult written = eq;
    if (model.gainInLastBand)
        FoldGainIntoLastBand(written);
    std::optional<SectionArrays> sections = StoredSections(written);
    if (!sections)
        return std::nullopt;
    return WrittenEqualiser{std::move(*sections), std::pow(10.0, written.gain / 20.0),
                            2.0 * std::numbers::pi / model.eqSampleRate};
}

CurvePtr DeliveredResponse(const DocData& doc) {
    const CUsbController::BaseConfig* model = CUsbController::FindModelById(doc.modelId);
    if (model == nullptr || doc.results.empty() || !doc.results[0])
        return nullptr;
    const std::optional<WrittenEqualiser> eq = WriteEqualiser(doc.eq, *model);
    if (!eq)
        return nullptr;
    CurvePtr out = Clone(*doc.results[0]);
    ToMagPhase(*out);
    for (int i = 0; i < out->Count(); ++i)
        out->First()[i] *= eq->MagnitudeAt(out->X()[i]);
    return out;
}

std::optional<LevelDifference> DeliveredFitError(const DocData& doc) {
    if (doc.results.size() < 2 || !doc.results[1])
        return std::nullopt;
    const CurvePtr delivered = DeliveredResponse(doc);
    if (!delivered)
        return std::nullopt;
    const auto [low, high] = FitLimits(doc);
    return CompareLevels(*delivered, *doc.results[1], low, high);
}
