// The fit as the Calculate step runs it: from the document's averaged measurement and target to
// its EQ result and calculated curve.

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

#include "correction/Fit.h"
#include "document/DocData.h"
#include "measure/Curve.h"
#include "sublink/BaseConfig.h"
#include "threading/Errors.h"

namespace {

// Larger cascades than this are not a real model; the limit keeps a corrupt table harmless.
constexpr int kMaxSections = 64;

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
    if (model->eqBandCount < 1 || model->eqBandCount > kMaxSections || model->eqSampleRate < 1)
        throw tsl::wruntime_error(L"Critical error, the subwoofer model has no usable equaliser.");
    return *model;
}

}  // namespace

bool FitEqualizer(DocData& doc, double levelDb) {
    const CUsbController::BaseConfig& model = ModelOf(doc);
    const int fsEq = model.eqSampleRate;
    const int sections = model.eqBandCount;

    if (doc.results.size() == 3)
        doc.results.pop_back();
    if (doc.results.size() != 2 || !doc.results[0] || !doc.results[1])
        throw tsl::wruntime_error(L"Critical error, expected 2 curves.");
    if (!std::isfinite(levelDb))
        throw tsl::wruntime_error(L"Critical error, the target level is not a number.");
    CCurve& averaged = *doc.results[0];
    CCurve& target = *doc.results[1];

    const double low = doc.hpOrder != 0 ? static_cast<double>(doc.minEqFreq) : doc.fitLower;
    const double high = std::min(doc.fitUpper, 250.0);

    EqFitState state(fsEq, sections, &target);
    FitSections(state, averaged, low, high, levelDb);
    FinalizeCascade(state);

    auto calculated = std::make_shared<CCurve>();
    ApplyEqualizer(state, *calculated, averaged);
    doc.results.push_back(calculated);

    Scale(target, std::pow(10.0, levelDb / 20.0), 0.0);

    doc.eq.valid = 1;
    doc.eq.gain = state.gainSteps * 0.5;
    doc.eq.bands.clear();
    for (int i = 0; i < sections; ++i)
        doc.eq.bands.push_back(GetBand(state, i));
    return true;
}
