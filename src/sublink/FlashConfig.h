#pragma once
// Flash layouts of the signal controllers that store the equaliser.

#include <array>
#include <cstdint>

namespace CUsbController {

// One flash block, addressed by memory "h", region "s" and word address (offset + 1) / 2 "a".
struct MemoryBlock {
    uint32_t length = 0;  // bytes
    uint32_t memory = 0;
    uint32_t region = 0;
    uint32_t offset = 0;  // bytes

    bool operator==(const MemoryBlock&) const = default;
};

class BaseFlashConfig {
public:
    virtual ~BaseFlashConfig() = default;

    // The layout's class name, for listings.
    virtual const char* Name() const = 0;

    // The block that receives the equaliser image.
    const MemoryBlock& EqualiserBlock() const { return blocks[2]; }

    // Carried as the controller documents them; nothing here reads them except block 3.
    std::array<int32_t, 6> integers{};
    std::array<MemoryBlock, 4> blocks{};

protected:
    BaseFlashConfig(const std::array<int32_t, 6>& ints, const std::array<MemoryBlock, 4>& blks)
        : integers(ints), blocks(blks) {}
};

class FlashConfig_56F8014_V1 : public BaseFlashConfig {
public:
    FlashConfig_56F8014_V1();
    const char* Name() const override { return "FlashConfig_56F8014_V1"; }
};

class FlashConfig_56F8037_V1 : public BaseFlashConfig {
public:
    FlashConfig_56F8037_V1();
    const char* Name() const override { return "FlashConfig_56F8037_V1"; }
};

// A placeholder layout with no usable blocks; no model refers to it.
class FlashConfig_NA_FAKE : public BaseFlashConfig {
public:
    FlashConfig_NA_FAKE();
    const char* Name() const override { return "FlashConfig_NA_FAKE"; }
};

// The static instances the models point at.
const FlashConfig_56F8014_V1& Flash56F8014();
const FlashConfig_56F8037_V1& Flash56F8037();
const FlashConfig_NA_FAKE& FlashNaFake();

}  // namespace CUsbController
