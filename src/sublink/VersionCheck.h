#pragma once
// The firmware check run by device discovery: the found version against the model's minimum.

#include <string>

#include "sublink/BaseConfig.h"
#include "sublink/ModelVersion.h"

namespace CUsbController {

class CheckVersionCallback {
public:
    virtual ~CheckVersionCallback() = default;
    // True when found is acceptable for model (null: no model known); message gets "No Error"
    // or the text to show the user.
    virtual bool Check(const ModelVersion& found, const BaseConfig* model,
                       std::wstring& message) const = 0;
};

struct GetMinversionFunctor {
    ModelVersion operator()(const BaseConfig* model) const { return MinimumVersion(model); }
};

// The text shown when found is below minimum.
std::wstring FirmwareTooOldMessage(const ModelVersion& found, const ModelVersion& minimum,
                                   const BaseConfig* model);

template <class GetMinimum = GetMinversionFunctor>
class CheckMinVersionCallback : public CheckVersionCallback {
public:
    explicit CheckMinVersionCallback(GetMinimum getMinimum = GetMinimum())
        : getMinimum_(std::move(getMinimum)) {}

    bool Check(const ModelVersion& found, const BaseConfig* model,
               std::wstring& message) const override {
        const ModelVersion minimum = getMinimum_(model);
        if (found >= minimum) {
            message = L"No Error";
            return true;
        }
        message = FirmwareTooOldMessage(found, minimum, model);
        return false;
    }

private:
    GetMinimum getMinimum_;
};

}  // namespace CUsbController
