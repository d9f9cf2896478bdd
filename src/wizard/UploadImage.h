#pragma once
// The one place that turns an equaliser into the bytes an upload or erase writes: the
// coefficient block, with the overall gain folded into the last band for models whose block has
// no gain.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "correction/EqResult.h"

namespace CUsbController {
class BaseConfig;
}

// Moves the overall gain (dB) into the last band's shift and numerator; the gain becomes
// 0 dB.
void FoldGainIntoLastBand(EqResult& result);

// The block written into model's equaliser region for eq (the erase default with `erase`);
// blockSize 0 takes the model's block length. Without a model the block is built as it stands
// (blockSize then required). Nothing when a value does not convert or the bands do not fit.
std::optional<std::vector<uint8_t>> BuildUploadImage(const EqResult& eq,
                                                     const CUsbController::BaseConfig* model,
                                                     bool erase, size_t blockSize = 0);
