// What the command line does with a document it read: the JSON of `doc`, the block of `block`,
// and `calculate` (target, fit, block and JSON of the result). A fuzzed document must never
// crash the fit, and a fit that succeeds must give finite coefficients and a finite level.
// Inputs of odd length detect the crossover.
#include <cmath>
#include <new>

#include "FuzzTarget.h"
#include "cli/DocJson.h"
#include "correction/Fit.h"
#include "document/DocFile.h"
#include "sublink/BaseConfig.h"
#include "wizard/CalculateStep.h"
#include "wizard/RunWizard.h"
#include "wizard/UploadImage.h"

namespace {

void Block(const DocData& doc) {
    const auto* model = CUsbController::FindModelById(doc.modelId);
    for (bool erase : {false, true})
        BuildUploadImage(doc.eq, model, erase, model ? 0 : 224);
}

bool Finite(const EqResult& eq) {
    for (const EqBand& b : eq.bands)
        if (!std::isfinite(b.c0) || !std::isfinite(b.c1) || !std::isfinite(b.c2) ||
            !std::isfinite(b.c3) || !std::isfinite(b.c4))
            return false;
    return std::isfinite(eq.gain);
}

}  // namespace

TESSALINE_FUZZ_TARGET(calculate) {
    DocData doc;
    CArchive ar(data, size);
    try {
        ReadDocData(ar, doc);
    } catch (const tsl::wruntime_error&) {
        return 0;
    } catch (const std::bad_alloc&) {
        return 0;
    }
    cli::DocJson(kDocFileVersion, doc).dump();
    Block(doc);

    double level = 0.0;
    FitOutcome fit;
    // The per-position figures are further fits of the same kind: each input stays one fit.
    const uint32_t mode = ((size & 1) ? kOptionDetectCrossover : 0) | kOptionNoPositionFigures;
    bool ok = false;
    try {
        ok = CalculateStep(nullptr, doc, mode, {}, &level, &fit);
    } catch (const tsl::wruntime_error&) {
        return 0;
    }
    if (ok) {
        FUZZ_CHECK(std::isfinite(level));
        FUZZ_CHECK(Finite(doc.eq));
        FUZZ_CHECK(std::isfinite(fit.rmsDb) && std::isfinite(fit.maxDb));
    }
    cli::EqJson(doc.eq).dump();
    Block(doc);
    return 0;
}
