// Writes the seed corpus of every fuzz target into ROOT/<target>/, built with the same helpers
// as the tests: documents of several versions (one measured, ready for the fit), calibration
// files of versions 0 to 3, capture files, device conversations and the small text inputs.
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "cli/Wav.h"
#include "correction/fit_support.h"
#include "document/DocBytes.h"
#include "document/DocFile.h"
#include "measure/CalibrationFileBuilder.h"
#include "measure/Curve.h"
#include "measure/Decay.h"

namespace fs = std::filesystem;

namespace {

void Write(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

void Write(const fs::path& path, uint8_t first, const std::string& text) {
    std::vector<uint8_t> bytes{first};
    bytes.insert(bytes.end(), text.begin(), text.end());
    Write(path, bytes);
}

std::vector<uint8_t> Archived(const DocData& doc) {
    CArchive ar;
    WriteDocData(ar, doc);
    return ar.Buffer();
}

void Documents(const fs::path& dir) {
    const std::vector<uint32_t> colours{255, 16711680, 8388736};
    testdoc::Bytes v1;
    v1.u32(1);
    testdoc::CommonTail(v1, colours, 3);
    Write(dir / "v1.doc", v1.b);
    testdoc::Bytes v5;
    v5.u32(5).u32(2).u32(0).u32(0).wstr(u"Sub").u32(9);
    testdoc::CommonTail(v5, colours, 2);
    Write(dir / "v5.doc", v5.b);

    DocData full;
    full.modelId = 0x0101;
    full.name = L"Subwoofer 12";
    auto curve = std::make_shared<CCurve>(3, AxisKind::Frequency, DataFormat::DbPhase);
    curve->name = L"average";
    full.results.push_back(curve);
    full.measurements.push_back(Clone(*curve));
    full.calImage = std::make_shared<std::vector<uint8_t>>(16, 0x5A);
    full.calImageLength = 16;
    Write(dir / "v8.doc", Archived(full));
    // With its position's impulse.
    full.impulses = {std::vector<float>(Decay::kImpulseLength, 0.25f)};
    Write(dir / "v8_impulses.doc", Archived(full));
    full.impulses.clear();
    Write(dir / "v8_new.doc", Archived(DocData{}));

    // Two positions of a synthetic room, ready for Calculate.
    const fittest::Room room{22.0, false, 100.0, {{42, 9, 6}, {68, 6, 8}, {110, 5, 4}}, 0.0};
    DocData measured;
    measured.modelId = 0x114;
    measured.crossover = 200;
    measured.measurements = {fittest::Measurement(room), fittest::Measurement(room)};
    measured.eq = EraseDefault();
    Write(dir / "measured.doc", Archived(measured));
    // The same with a house curve and correction limits.
    measured.house.shelfDb = 6.0;
    measured.house.tiltDbPerOctave = -0.5;
    measured.house.file = HouseCurveFile{L"house.txt", {{20.0, 2.0}, {80.0, 0.0}}};
    measured.house.maxBoostDb = 3.0;
    measured.house.upperHz = 150.0;
    Write(dir / "measured_house.doc", Archived(measured));
}

// One burst of the fuzzed device: the answer split into packets of up to eight bytes.
void Burst(std::vector<uint8_t>& out, const std::string& answer, uint8_t flags = 0) {
    const size_t packets = (answer.size() + 7) / 8;
    out.push_back(static_cast<uint8_t>(packets | flags));
    for (size_t i = 0; i < answer.size(); i += 8) {
        const std::string part = answer.substr(i, 8);
        out.push_back(static_cast<uint8_t>(part.size()));
        out.insert(out.end(), part.begin(), part.end());
    }
}

void Conversations(const fs::path& dir) {
    // Opening: the wake-up write, two resynchronisations, "V2" and "V0".
    std::vector<uint8_t> open{0, 0};
    Burst(open, "");
    Burst(open, "");
    Burst(open, "");
    Burst(open, "1\n");
    Burst(open, "SUB\n");
    Write(dir / "open", open);

    std::vector<uint8_t> queries = open;
    queries.push_back(2);  // G0
    Burst(queries, "1F\n");
    queries.push_back(4);  // firmware version
    Burst(queries, "1.05B\r\n");
    queries.push_back(15);  // a bare reply read
    Burst(queries, "");
    queries.push_back(0);
    queries.push_back(13);  // retried query, first answer lost
    Burst(queries, "zz");
    Burst(queries, "\n");
    Burst(queries, "A0\n");
    Write(dir / "queries", queries);

    std::vector<uint8_t> unplugged = open;
    unplugged.push_back(1);  // resync, then the device goes
    Burst(unplugged, "12345678abc", 0xC0);
    Write(dir / "unplugged", unplugged);
}

void Texts(const fs::path& dir) {
    Write(dir / "room", 0,
          R"({"seed": 3, "levelDb": -30, "modes": [{"frequency": 40, "gainDb": 6, "q": 5}]})");
    const std::string state =
        R"({"model": 275, "mode": "application", "flash": [{"memory": 1, "region": 2, "bytes": "00ff10"}]})";
    std::vector<uint8_t> s{1, static_cast<uint8_t>(state.size()),
                           static_cast<uint8_t>(state.size() >> 8)};
    s.insert(s.end(), state.begin(), state.end());
    s.insert(s.end(), {1, 2, 4, 6});
    Write(dir / "state", s);
    Write(dir / "version", 2, std::string(1, '\0') + "1.05B");
    Write(dir / "usb_ids", 3, "0483:5750,1234:abcd");
    std::vector<uint8_t> f{4};
    for (const std::string line : {"silent=G0:2", "unplug=12", "release=0x113", "trickle"}) {
        f.push_back(static_cast<uint8_t>(line.size()));
        f.insert(f.end(), line.begin(), line.end());
    }
    f.insert(f.end(), {0, 1, 2, 3, 4, 5, 6, 7});
    Write(dir / "faults", f);
}

void Captures(const fs::path& dir) {
    std::vector<double> tone(4096);
    for (size_t i = 0; i < tone.size(); ++i)
        tone[i] = 0.5 * std::sin(0.05 * static_cast<double>(i));
    const fs::path wav = dir / "tone.wav.tmp";
    cli::WriteFloatWav(wav.string(), tone.data(), tone.size(), 48000);
    std::ifstream in(wav, std::ios::binary);
    std::vector<uint8_t> bytes{2};
    bytes.insert(bytes.end(), std::istreambuf_iterator<char>(in), {});
    fs::remove(wav);
    Write(dir / "tone", bytes);
    bytes[0] = 3;
    Write(dir / "tone_quick", bytes);
    Write(dir / "band", 4, "20:350");
}

void Calibration(const fs::path& dir, const fs::path& useDir) {
    const auto points = testcal::SamplePoints();
    for (uint32_t version = 0; version <= 3; ++version)
        Write(dir / ("v" + std::to_string(version) + ".cal"),
              testcal::BuildFile(version, 0x00010001u, 1234, points));
    Write(dir / "empty.cal", testcal::BuildFile(3, 0x00010001u, 1234, {}));

    std::vector<uint8_t> names{1};
    for (const std::string name : {"1234Corvana.cal", "77Corvana.cal", "x.cal", "-5Corvana.cal"}) {
        names.push_back(static_cast<uint8_t>(name.size()));
        names.insert(names.end(), name.begin(), name.end());
    }
    Write(useDir / "names", names);
    testdoc::Bytes curve;
    curve.u8(0).u8(2).u8(static_cast<uint8_t>(points.size()));
    for (const auto& p : points)
        curve.f64(p.frequency).f64(p.re).f64(p.im);
    curve.u8(2).u8(3);
    for (double f : {20.0, 50.0, 100.0})
        curve.f64(f).f64(-10.0).f64(0.5);
    Write(useDir / "correction", curve.b);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: fuzz_make_seeds ROOT (seeds go into ROOT/<target>/)\n";
        return 1;
    }
    const fs::path root = argv[1];
    for (const char* target : {"document", "roundtrip", "calculate", "calibration",
                               "calibration_use", "usb", "texts", "analyse"})
        fs::create_directories(root / target);
    for (const char* target : {"document", "roundtrip", "calculate"})
        Documents(root / target);
    Conversations(root / "usb");
    Texts(root / "texts");
    Captures(root / "analyse");
    Calibration(root / "calibration", root / "calibration_use");
    return 0;
}
