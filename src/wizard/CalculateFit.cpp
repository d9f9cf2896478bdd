#include "wizard/CalculateFit.h"

#include <algorithm>
#include <cstdio>

#include "document/DocData.h"
#include "measure/Curve.h"
#include "sublink/BaseConfig.h"
#include "threading/Errors.h"

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

    const double low = doc.hpOrder != 0 ? static_cast<double>(doc.minEqFreq) : doc.fitLower;
    const double high = std::min(doc.fitUpper, 250.0);
    const FitMethod method = doc.fitMethod.value_or(kDefaultFitMethod);
    FitOutcome outcome = FitEqualizerCurves(*doc.results[0], *doc.results[1], model.eqSampleRate,
                                            model.eqBandCount, low, high, levelDb, method);
    doc.results.push_back(outcome.calculated);
    doc.eq = outcome.eq;
    doc.fitMethod = method;
    if (error)
        *error = std::move(outcome);
    return true;
}
