// tessaline-cli doc import: a measurement of the simulated room exported and imported again, the
// room's impulse response as a sound file, and files that are refused; run in process.

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include "cli/InProcessCli.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "cli/Wav.h"
#include "document/DocFile.h"
#include "measure/Curve.h"
#include "measure/Transform.h"
#include "sim/SimRoom.h"

namespace {

using testsupport::CliRun;

// The largest level difference in dB between a and b at log-spaced frequencies over [lo, hi].
double LargestDifferenceDb(const CCurve& a, const CCurve& b, double lo, double hi) {
    CCurve x = a, y = b;
    ToDbPhase(x);
    ToDbPhase(y);
    double largest = 0.0;
    for (int k = 0; k <= 200; ++k) {
        const double f = lo * std::pow(hi / lo, k / 200.0);
        largest = std::max(largest, std::fabs(ValueAt(x, f).first - ValueAt(y, f).first));
    }
    return largest;
}

// The simulated room's impulse response at position 0 (subwoofer, room and level, no
// equaliser), 65536 samples at the rate.
std::vector<double> RoomImpulse(int rate) {
    const Sim::SimRoom room;
    constexpr int n = 65536;
    std::vector<double> re(n, 0.0), im(n, 0.0);
    for (int k = 1; k < n / 2; ++k) {
        const double f = k * static_cast<double>(rate) / n;
        const std::complex<double> h = room.LevelGain() * room.Subwoofer(f) * room.Response(0, f);
        re[k] = re[n - k] = h.real();
        im[k] = h.imag();
        im[n - k] = -h.imag();
    }
    TransformInPlace(fft::kInverse, n, re.data(), im.data());
    return re;
}

class ImportCli : public testsupport::InProcessCliTest {
protected:
    ImportCli() : InProcessCliTest("cli_import_") {}

    std::string Path(const std::string& name) const { return (dir / name).string(); }
    // Five positions of the simulated room.
    std::string Measured() {
        const std::string doc = Path("measured.ktsl");
        const CliRun r = Cli("--simulate measure --yes --positions 5 --out " + doc + " --cal-dir " +
                             Path("cal"));
        EXPECT_EQ(r.code, 0) << r.err;
        return doc;
    }
    std::string NewDocument(const std::string& name) {
        const std::string doc = Path(name);
        EXPECT_EQ(Cli("doc new " + doc).code, 0);
        return doc;
    }
};

TEST_F(ImportCli, ExportedPositionsImportToTheSameAverageAndEqualiser) {
#if defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "numeric round trip; the chain's threads are covered by the other CLI tests";
#endif
    const std::string measured = Measured();
    CliRun r = Cli("calculate " + measured);
    ASSERT_EQ(r.code, 0) << r.err;
    std::string files;
    for (int p = 1; p <= 5; ++p) {
        r = Cli("export " + measured + " --curve position=" + std::to_string(p) + " --out " +
                Path("p" + std::to_string(p) + ".txt"));
        ASSERT_EQ(r.code, 0) << r.err;
        files += " " + Path("p" + std::to_string(p) + ".txt");
    }
    const std::string imported = NewDocument("imported.ktsl");
    r = Cli("doc import " + imported + files + " --model 275");
    ASSERT_EQ(r.code, 0) << r.err;
    r = Cli("calculate " + imported);
    ASSERT_EQ(r.code, 0) << r.err;

    DocData a, b;
    ReadDocFile(measured, a);
    ReadDocFile(imported, b);
    ASSERT_EQ(b.measurements.size(), 5u);
    ASSERT_EQ(a.results.size(), 3u);
    ASSERT_EQ(b.results.size(), 3u);
    const CCurve& average = *a.results[0];
    EXPECT_LT(LargestDifferenceDb(*b.results[0], average, average.X()[0],
                                  average.X()[average.Count() - 1]),
              0.05);
    EXPECT_EQ(b.modelId, 275);
    EXPECT_EQ(b.eq.valid, 1);
    // The same sections, to the rounding of the exported text.
    EXPECT_NEAR(b.eq.gain, a.eq.gain, 0.01);
    ASSERT_EQ(b.eq.bands.size(), a.eq.bands.size());
    double largest = 0.0;
    for (size_t i = 0; i < a.eq.bands.size(); ++i) {
        const EqBand &x = a.eq.bands[i], &y = b.eq.bands[i];
        EXPECT_EQ(x.kind, y.kind);
        EXPECT_EQ(x.shift, y.shift);
        for (double d : {x.c0 - y.c0, x.c1 - y.c1, x.c2 - y.c2, x.c3 - y.c3, x.c4 - y.c4})
            largest = std::max(largest, std::fabs(d));
    }
    EXPECT_LT(largest, 1e-3);
    EXPECT_LT(LargestDifferenceDb(*b.results[2], *a.results[2], 20.0, 250.0), 0.05);

    // The document names the files; dropping a position keeps the others' names.
    ASSERT_EQ(Cli("doc drop " + imported + " 2").code, 0);
    r = Cli("doc show " + imported);
    ASSERT_EQ(r.code, 0) << r.err;
    const nlohmann::json shown = nlohmann::json::parse(r.out)["imported"];
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[1]["position"], 2);
    EXPECT_EQ(shown[1]["file"], "p3.txt");
}

TEST_F(ImportCli, TheRoomsImpulseResponseGivesItsMeasuredResponse) {
    DocData measured;
    ReadDocFile(Measured(), measured);
    ASSERT_FALSE(measured.measurements.empty());
    for (int rate : {48000, 44100}) {
        const std::string wav = Path("room" + std::to_string(rate) + ".wav");
        const std::vector<double> impulse = RoomImpulse(rate);
        cli::WriteFloatWav(wav, impulse.data(), impulse.size(), rate);
        const std::string doc = NewDocument("impulse" + std::to_string(rate) + ".ktsl");
        const CliRun r = Cli("doc import " + doc + " " + wav);
        ASSERT_EQ(r.code, 0) << r.err;
        DocData imported;
        ReadDocFile(doc, imported);
        ASSERT_EQ(imported.measurements.size(), 1u);
        EXPECT_LT(
            LargestDifferenceDb(*imported.measurements[0], *measured.measurements[0], 20.0, 250.0),
            0.5)
            << rate << " Hz";
    }
}

TEST_F(ImportCli, BadFilesAreRefusedByNameAndLineAndTheDocumentIsKept) {
    const std::string doc = NewDocument("kept.ktsl");
    const std::string before = testsupport::Slurp(doc);
    const auto write = [&](const std::string& name, const std::string& text) {
        std::ofstream(Path(name), std::ios::binary) << text;
        return Path(name);
    };
    std::string good = "* seat\n";
    for (int f = 10; f <= 640; f *= 2)
        good += std::to_string(f) + " 80.5 -12\n";
    write("good.txt", good);
    // A stereo WAV: the header of a two-channel 16-bit file with one frame.
    std::string stereo(
        "RIFF\x28\0\0\0WAVEfmt \x10\0\0\0\x01\0\x02\0\x80\xbb\0\0\0\xee\x02\0\x04\0\x10\0"
        "data\x04\0\0\0\0\0\0\0",
        48);
    const struct {
        std::string file, expected;
    } cases[] = {
        {write("word.txt", "* a\n20 80\n40 eighty\n"),
         "Measurement file \"word.txt\": line 3: expected \"frequency dB [phase]\""},
        {write("falling.txt", "20 80\n640 80\n100 80\n"),
         "Measurement file \"falling.txt\": line 3: the frequencies must rise"},
        {write("narrow.txt", "30 80\n200 80\n"),
         "Measurement file \"narrow.txt\": it covers 30 to 200 Hz; a position needs 20 to 500 Hz"},
        {write("stereo.wav", stereo), "Impulse file \"stereo.wav\": it has 2 channels"},
        {write("text.wav", good), "Impulse file \"text.wav\": "},
        {Path("missing.txt"), "Measurement file \"missing.txt\": the file cannot be opened"},
    };
    for (const auto& c : cases) {
        const CliRun r = Cli("doc import " + doc + " " + Path("good.txt") + " " + c.file);
        EXPECT_EQ(r.code, 2) << c.file;
        EXPECT_EQ(r.err.rfind(c.expected, 0), 0u) << r.err;
        EXPECT_EQ(testsupport::Slurp(doc), before) << c.file;
    }
    EXPECT_EQ(Cli("doc import " + doc + " " + Path("good.txt")).code, 0);
}

}  // namespace
