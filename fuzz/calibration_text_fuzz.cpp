// Feeds arbitrary text to the plain-text calibration reader; an accepted file must give finite,
// ascending frequencies and a correction that can be applied to a response.
#include <cmath>
#include <string_view>

#include "FuzzTarget.h"
#include "measure/CorrectionManager.h"
#include "measure/TextCalibration.h"

TESSALINE_FUZZ_TARGET(calibration_text) {
    Security::TextCalibration parsed;
    try {
        parsed = Security::ParseTextCalibration(
            std::string_view(reinterpret_cast<const char*>(data), size), L"fuzz.txt");
    } catch (const tsl::wruntime_error&) {
        return 0;
    }
    FUZZ_CHECK(parsed.curve && parsed.curve->Count() > 0);
    for (int32_t i = 0; i < parsed.curve->Count(); ++i) {
        FUZZ_CHECK(std::isfinite(parsed.curve->X()[i]) && std::isfinite(parsed.curve->First()[i]));
        FUZZ_CHECK(i == 0 || parsed.curve->X()[i - 1] < parsed.curve->X()[i]);
    }
    if (const auto manager = MakeTextCorrection(*parsed.curve)) {
        CCurve response(64, AxisKind::Frequency, DataFormat::DbPhase);
        for (int32_t i = 0; i < response.Count(); ++i) {
            response.X()[i] = 5.0 * (i + 1);
            response.First()[i] = 0.0;
            response.Second()[i] = 0.0;
        }
        ApplyCorrection(*manager, response);
    }
    return 0;
}
