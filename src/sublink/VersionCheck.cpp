#include "sublink/VersionCheck.h"

namespace CUsbController {

std::wstring FirmwareTooOldMessage(const ModelVersion& found, const ModelVersion& minimum,
                                   const BaseConfig* model) {
    const std::wstring name = model != nullptr ? model->displayName : L"USB Sub";
    const std::wstring foundText = FormatVersion(found);
    return L"Found " + name + L" version " + foundText + L". Your " + name +
           L"'s firmware version (" + foundText +
           L") is less than the minimum required firmware version of: " + FormatVersion(minimum) +
           L". Please go to " + FirmwarePageAddress(model) +
           L" to download the latest firmware for your " + name + L".";
}

}  // namespace CUsbController
