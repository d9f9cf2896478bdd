#include "measure/CorrectionManager.h"

#include <cmath>

#include "measure/CalibrationTables.h"
#include "measure/Secure.h"
#include "measure/SecurityTexts.h"
#include "threading/Errors.h"

namespace {

// Sensitivity offsets of the three calibration file versions, dB.
constexpr double kVersion1OffsetDb = -7.52;
constexpr double kVersion2OffsetDb = 29.13;
constexpr double kVersion3OffsetDb = -22.3;

double OffsetDb(int32_t version) {
    return version == 1 ? kVersion1OffsetDb : version == 2 ? kVersion2OffsetDb : kVersion3OffsetDb;
}

}  // namespace

CorrectionManagerPtr MakeCorrection(const CCurve& calibration, int32_t version) {
    if (version < 1 || version > 3)
        return nullptr;
    CurvePtr raw = Clone(calibration);
    CurvePtr correction = Clone(calibration);
    Scale(*correction, std::pow(10.0, OffsetDb(version) / 20.0), 0.0);
    if (CurvePtr table = CalibrationTableCurve(version)) {
        Multiply(*table, *correction);
        CopyInto(*table, *correction);
    }
    Smooth(*correction, 3.0, 25.0, 5.0, 24000.0, 1);
    return std::make_shared<CCurveCorrectionManager>(version, std::move(raw),
                                                     std::move(correction));
}

CorrectionManagerPtr MakeTextCorrection(const CCurve& calibration) {
    if (calibration.Count() < 2)
        return nullptr;
    CurvePtr raw = Clone(calibration);
    CurvePtr correction = Clone(calibration);
    Smooth(*correction, 3.0, 25.0, 5.0, 24000.0, 1);
    return std::make_shared<CCurveCorrectionManager>(kTextCalibrationMode, std::move(raw),
                                                     std::move(correction));
}

void ApplyCorrection(const CCurveCorrectionManager& manager, CCurve& response) {
    const CurvePtr& correction = manager.Correction();
    if (!correction)
        return;
    // ResampleTo wants shared ownership; the response itself stays with the caller.
    const CurvePtr borrowed(&response, [](CCurve*) {});
    CurvePtr resampled = ResampleTo(borrowed, *correction);
    Divide(*resampled, *correction);
    if (resampled.get() != &response)
        CopyInto(*resampled, response);
}

namespace AudioSampler {

std::shared_ptr<CorrectionParam> LoadCorrectionFile(const std::filesystem::path& path,
                                                    int32_t unitSerial, CurvePtr reference) {
    const Security::CalibrationFile file = Security::ReadCalibrationFile(path, unitSerial);
    CorrectionManagerPtr manager = MakeCorrection(*file.curve, file.version);
    if (!manager)
        throw tsl::wruntime_error(Security::kInvalidVersionText);
    return std::make_shared<CorManCorrection>(std::move(reference), std::move(manager));
}

}  // namespace AudioSampler
