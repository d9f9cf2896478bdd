// The calibration folder: the serial in a file name, the scan of a folder holding the input's
// names, and the correction built from a decoded curve (the input's points, as the decoder hands
// them out) applied to a response. The first byte chooses.
#include <unistd.h>
#include <filesystem>
#include <fstream>

#include "FuzzTarget.h"
#include "measure/CorrectionManager.h"
#include "measure/Secure.h"

namespace {

namespace fs = std::filesystem;

std::wstring Widened(const std::string& s) {
    std::wstring w;
    for (unsigned char c : s)
        w.push_back(static_cast<wchar_t>(c));
    return w;
}

void Names(fuzzing::Input& input) {
    static const fs::path dir =
        fs::temp_directory_path() / ("tessaline-fuzz-cal-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (int i = 0; i < 6 && !input.Empty(); ++i) {
        const std::string name = input.Text(input.Byte() % 40);
        if (const auto serial = Security::ParseCalibrationFileName(Widened(name)))
            FUZZ_CHECK(Security::ParseCalibrationFileName(Security::CalibrationFileName(*serial)) ==
                       serial);
        // Only names a folder can hold go into it.
        if (name.empty() || name == "." || name == ".." ||
            name.find_first_of(std::string("/\0", 2)) != std::string::npos)
            continue;
        std::ofstream(dir / name).put('x');
    }
    Security::Secure registry(dir, nullptr);
    registry.ScanCalibrationFiles();
    const auto& entries = registry.Entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        FUZZ_CHECK(Security::ParseCalibrationFileName(entries[i].fileName) == entries[i].micSerial);
        FUZZ_CHECK(i == 0 || entries[i - 1].fileName <= entries[i].fileName);
    }
    FUZZ_CHECK(!registry.SelectCalibrationFile());  // no prompt: nothing is selected
    fs::remove_all(dir);
}

CCurve CurveOf(fuzzing::Input& input, DataFormat format) {
    const int n = input.Byte();
    CCurve curve(n, AxisKind::Frequency, format);
    for (int i = 0; i < n; ++i) {
        curve.X()[i] = input.Value<double>();
        curve.First()[i] = input.Value<double>();
        curve.Second()[i] = input.Value<double>();
    }
    return curve;
}

void Correction(fuzzing::Input& input) {
    const int32_t version = input.Byte() % 5;
    const CCurve calibration = CurveOf(input, DataFormat::Cartesian);
    const auto manager = MakeCorrection(calibration, version);
    FUZZ_CHECK((manager != nullptr) == (version >= 1 && version <= 3));
    if (!manager)
        return;
    static const DataFormat kFormats[] = {DataFormat::Cartesian, DataFormat::MagPhase,
                                          DataFormat::DbPhase};
    CCurve response = CurveOf(input, kFormats[input.Byte() % 3]);
    ApplyCorrection(*manager, response);
    FUZZ_CHECK(response.Count() == manager->Correction()->Count());
}

}  // namespace

TESSALINE_FUZZ_TARGET(calibration_use) {
    fuzzing::Input input(data, size);
    if (input.Byte() & 1)
        Names(input);
    else
        Correction(input);
    return 0;
}
