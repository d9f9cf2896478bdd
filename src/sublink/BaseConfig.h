#pragma once
// The model record of a supported subwoofer. Every model is one static object of its own class
// (Models.h) that registers itself, in table order, in the process-wide model registry.

#include <cstdint>
#include <string>
#include <vector>

#include "sublink/FlashConfig.h"
#include "sublink/ObjectRegistry.h"

namespace CUsbController {

struct ModelValues {
    const char* className;
    const char* bootImageName;
    const char* shortCode;
    const wchar_t* displayName;
    uint16_t modelId;
    const BaseFlashConfig* flashConfig;
    double lowerHz;
    double upperHz;
    int32_t x;
    int32_t y;
    int32_t z;
    // The block has no gain field: the overall gain is folded into the last section.
    bool gainInLastBand = false;
};

class BaseConfig : public ObjectRegistry<BaseConfig> {
public:
    virtual ~BaseConfig() = default;

    const int32_t reservedA = 0;
    const int32_t reservedB = 1;
    // The "V0" answer while the boot loader runs.
    const std::string bootImageName;
    // The "V0" answer while the application runs; also the firmware page path.
    const std::string shortCode;
    const std::wstring displayName;
    // Equals the USB device descriptor's release number.
    const uint16_t modelId;
    const BaseFlashConfig* const flashConfig;
    const int32_t x;
    const int32_t y;
    const int32_t z;
    const int32_t eqBandCount = 10;
    const int32_t eqSampleRate = 3000;
    const double lowerHz;
    const double upperHz;
    const bool gainInLastBand;

    // The model's class name, for listings.
    const char* ClassName() const { return className_; }

protected:
    explicit BaseConfig(const ModelValues& v)
        : bootImageName(v.bootImageName),
          shortCode(v.shortCode),
          displayName(v.displayName),
          modelId(v.modelId),
          flashConfig(v.flashConfig),
          x(v.x),
          y(v.y),
          z(v.z),
          lowerHz(v.lowerHz),
          upperHz(v.upperHz),
          gainInLastBand(v.gainInLastBand),
          className_(v.className) {}

private:
    const char* className_;
};

// The registry always holds the whole model table, whoever asks first.
template <>
std::vector<BaseConfig*> ObjectRegistry<BaseConfig>::Objects();

// The models in registry order.
std::vector<const BaseConfig*> RegisteredModels();

// The first model in registry order with this identifier, or null.
const BaseConfig* FindModelById(uint16_t id);

}  // namespace CUsbController
