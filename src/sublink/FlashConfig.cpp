#include "sublink/FlashConfig.h"

namespace CUsbController {

FlashConfig_56F8014_V1::FlashConfig_56F8014_V1()
    : BaseFlashConfig({512, 256, 2, 0, 16, 0x1C00},
                      {{{32, 0, 30, 480}, {256, 0, 30, 0}, {224, 0, 30, 256}, {448, 0, 31, 0}}}) {}

FlashConfig_56F8037_V1::FlashConfig_56F8037_V1()
    : BaseFlashConfig({512, 256, 2, 0, 32, 0x4000},
                      {{{512, 0, 118, 0}, {512, 0, 110, 0}, {512, 0, 112, 0}, {512, 0, 119, 0}}}) {}

namespace {
constexpr uint32_t kNone = 0xFFFFFFFFu;
constexpr MemoryBlock kNoBlock{kNone, kNone, kNone, kNone};
}  // namespace

FlashConfig_NA_FAKE::FlashConfig_NA_FAKE()
    : BaseFlashConfig({0, 0, 0, 0, 32, 0}, {kNoBlock, kNoBlock, kNoBlock, kNoBlock}) {}

const FlashConfig_56F8014_V1& Flash56F8014() {
    static const FlashConfig_56F8014_V1 layout;
    return layout;
}

const FlashConfig_56F8037_V1& Flash56F8037() {
    static const FlashConfig_56F8037_V1 layout;
    return layout;
}

const FlashConfig_NA_FAKE& FlashNaFake() {
    static const FlashConfig_NA_FAKE layout;
    return layout;
}

}  // namespace CUsbController
