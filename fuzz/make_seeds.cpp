// Writes the seed corpora of the fuzz targets: documents of several versions and calibration
// files of versions 0 to 3, built with the same helpers as the tests.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "document/DocBytes.h"
#include "document/DocFile.h"
#include "measure/CalibrationFileBuilder.h"
#include "measure/Curve.h"

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: fuzz_make_seeds DOC_DIR CAL_DIR\n";
        return 1;
    }
    const fs::path docDir = argv[1], calDir = argv[2];
    fs::create_directories(docDir);
    fs::create_directories(calDir);

    const std::vector<uint32_t> colours{255, 16711680, 8388736};
    testdoc::Bytes v1;
    v1.u32(1);
    testdoc::CommonTail(v1, colours, 3);
    Write(docDir / "v1.doc", v1.b);
    testdoc::Bytes v5;
    v5.u32(5).u32(2).u32(0).u32(0).wstr(u"Sub").u32(9);
    testdoc::CommonTail(v5, colours, 2);
    Write(docDir / "v5.doc", v5.b);

    DocData full;
    full.modelId = 0x0101;
    full.name = L"Subwoofer 12";
    auto curve = std::make_shared<CCurve>(3, AxisKind::Frequency, DataFormat::DbPhase);
    curve->name = L"average";
    full.results.push_back(curve);
    full.measurements.push_back(Clone(*curve));
    full.calImage = std::make_shared<std::vector<uint8_t>>(16, 0x5A);
    full.calImageLength = 16;
    CArchive ar;
    WriteDocData(ar, full);
    Write(docDir / "v8.doc", ar.Buffer());
    CArchive empty;
    WriteDocData(empty, DocData{});
    Write(docDir / "v8_new.doc", empty.Buffer());

    const auto points = testcal::SamplePoints();
    for (uint32_t version = 0; version <= 3; ++version)
        Write(calDir / ("v" + std::to_string(version) + ".cal"),
              testcal::BuildFile(version, 0x00010001u, 1234, points));
    Write(calDir / "empty.cal", testcal::BuildFile(3, 0x00010001u, 1234, {}));
    return 0;
}
