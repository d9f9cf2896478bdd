#include "wizard/UploadImage.h"

#include <cmath>

#include "sublink/BaseConfig.h"

// The stored gain is dB, so it reaches these models as the linear factor 10^(dB/20), in both
// directions, as the calculated curve assumes. Each halving of a factor above 1 lowers the last
// band's shift (doubling its numerator scale 2^(1 - shift)) but never below 0, which the
// firmware cannot express; what remains multiplies c0..c2, and a numerator pushed outside
// [-1, 1] fails the block's conversion, so the upload is refused rather than clipped. The
// other models' block has no place for a gain: their level is set on the subwoofer itself.
void FoldGainIntoLastBand(EqResult& result) {
    if (result.bands.empty())
        return;
    EqBand& last = result.bands.back();
    double factor = std::pow(10.0, result.gain / 20.0);
    if (!std::isfinite(factor))
        factor = std::nan("");  // refused by the block's conversion
    while (factor > 1.0 && last.shift > 0) {
        factor /= 2.0;
        last.shift -= 1;
    }
    last.c0 *= factor;
    last.c1 *= factor;
    last.c2 *= factor;
    result.gain = 0.0;
}

std::optional<std::vector<uint8_t>> BuildUploadImage(const EqResult& eq,
                                                     const CUsbController::BaseConfig* model,
                                                     bool erase, size_t blockSize) {
    if (blockSize == 0) {
        if (model == nullptr || model->flashConfig == nullptr)
            return std::nullopt;
        blockSize = model->flashConfig->EqualiserBlock().length;
    }
    size_t sections = eq.bands.size();
    if (model != nullptr)
        sections = model->eqBandCount > 0 ? static_cast<size_t>(model->eqBandCount) : 0;
    EqResult copy = erase ? EraseDefault(sections) : eq;
    if (model != nullptr && model->gainInLastBand)
        FoldGainIntoLastBand(copy);
    return BuildEqBlock(copy, erase, blockSize);
}
