// The analysis behind `tessaline-cli analyse` on capture files written here with libsndfile.

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <complex>
#include <filesystem>
#include <string>
#include <vector>

#include <fstream>
#include "cli/Analyse.h"
#include "cli/CliErrors.h"
#include "cli/Wav.h"

#include "measure/CalibrationFileBuilder.h"
#include "measure/Impulse.h"
#include "measure/impulse_synth.h"
#include "threading/Errors.h"

namespace {

using synth::kFs;
using synth::kN;

class CaptureFileTest : public ::testing::Test {
protected:
    std::string Path(const std::string& name) const {
        return (std::filesystem::path(::testing::TempDir()) / ("impulse_cli_" + name)).string();
    }

    std::string Write(const std::string& name, const std::vector<double>& samples,
                      int format = SF_FORMAT_WAV | SF_FORMAT_FLOAT, int rate = 48000,
                      int channels = 1) {
        const std::string path = Path(name);
        SF_INFO info{};
        info.samplerate = rate;
        info.channels = channels;
        info.format = format;
        SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
        EXPECT_NE(file, nullptr) << sf_strerror(nullptr);
        if (file != nullptr) {
            sf_writef_double(file, samples.data(),
                             static_cast<sf_count_t>(samples.size() / channels));
            sf_close(file);
        }
        written_.push_back(path);
        return path;
    }

    void TearDown() override {
        for (const std::string& path : written_)
            std::filesystem::remove(path);
    }

    static const std::vector<double>& Capture() {
        static const std::vector<double> capture =
            synth::Capture(synth::TypicalRoom(), {.noiseRms = 1e-4, .start = 5000});
        return capture;
    }

    static std::wstring FailureText(const std::string& path, const cli::AnalyseOptions& options) {
        try {
            cli::AnalyseCapture(path, options);
        } catch (const tsl::wruntime_error& e) {
            return e.wwhat();
        }
        return L"(no failure)";
    }

private:
    std::vector<std::string> written_;
};

TEST_F(CaptureFileTest, FloatCaptureGivesTheLinearResponseUnsmoothed) {
    cli::AnalyseOptions options;
    options.smooth = false;
    const std::vector<cli::ResponsePoint> points =
        cli::AnalyseCapture(Write("float.wav", Capture()), options);
    ASSERT_EQ(points.size(), 8193u);
    EXPECT_DOUBLE_EQ(points[1].frequencyHz, 2.9296875);
    const synth::Room room = synth::TypicalRoom();
    const double b = std::exp(-synth::kTwoPi * 2500.0 / kFs);
    for (const cli::ResponsePoint& p : points) {
        if (p.frequencyHz < 20 || p.frequencyHz > 350)
            continue;
        const std::complex<double> lowPass =
            (1.0 - b) / (1.0 - b * std::polar(1.0, -synth::kTwoPi * p.frequencyHz / kFs));
        const double expected = synth::Db(4.0 * std::abs(room.Response(p.frequencyHz)) *
                                          std::pow(std::abs(lowPass), 8));
        ASSERT_NEAR(p.levelDb, expected, 0.1) << p.frequencyHz;
        EXPECT_GT(p.phaseRad, -3.2);
        EXPECT_LT(p.phaseRad, 3.2);
    }
}

TEST_F(CaptureFileTest, SixteenBitCaptureIsSmoothedOntoTheLogGrid) {
    std::vector<double> quieter = Capture();
    for (double& v : quieter)
        v *= 0.5;
    const std::vector<cli::ResponsePoint> points =
        cli::AnalyseCapture(Write("pcm16.wav", quieter, SF_FORMAT_WAV | SF_FORMAT_PCM_16), {});
    ASSERT_GT(points.size(), 200u);
    EXPECT_NEAR(points[0].frequencyHz, 5.0, 1e-9);
    EXPECT_NEAR(points[25].frequencyHz, 10.0, 1e-9);
}

TEST_F(CaptureFileTest, QuickAnalysisUsesTheFirstTwoPeriods) {
    cli::AnalyseOptions options;
    options.quick = true;
    options.smooth = false;
    EXPECT_EQ(cli::AnalyseCapture(Write("quick.wav", Capture()), options).size(), 8193u);

    const std::vector<double> shorter(Capture().begin(), Capture().begin() + 2 * kN - 1);
    EXPECT_THROW(cli::AnalyseCapture(Write("short.wav", shorter), options), cli::CliFailure);
    EXPECT_THROW(
        cli::AnalyseCapture(
            Write("quick441.wav", Capture(), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100), options),
        cli::CliFailure);
}

TEST_F(CaptureFileTest, WrongFilesAreBadInput) {
    EXPECT_THROW(cli::AnalyseCapture(Path("missing.wav"), {}), cli::CliFailure);
    std::vector<double> broken = Capture();
    broken[1234] = std::nan("");
    EXPECT_THROW(cli::AnalyseCapture(Write("nan.wav", broken), {}), cli::CliFailure);
    cli::AnalyseOptions quick;
    quick.quick = true;
    broken[1234] = 0.0;
    broken[4321] = INFINITY;
    EXPECT_THROW(cli::AnalyseCapture(Write("inf.wav", broken), quick), cli::CliFailure);
    const std::vector<double> stereo(2 * 3 * kN, 0.0);
    EXPECT_THROW(cli::AnalyseCapture(
                     Write("stereo.wav", stereo, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 48000, 2), {}),
                 cli::CliFailure);
}

TEST_F(CaptureFileTest, WrongFormatsFailWithTheMeasurementTexts) {
    const std::vector<double> twoPeriods(Capture().begin(), Capture().begin() + 2 * kN);
    // The text says how many samples the analysis expects.
    const std::wstring expects = L" samples, the analysis needs exactly " +
                                 std::to_wstring(3 * kN) + L" (three sweep periods of " +
                                 std::to_wstring(kN) + L"; --quick needs two)";
    EXPECT_EQ(FailureText(Write("two.wav", twoPeriods), {}),
              L"Incorrect sample size: '" + tsl::FromUtf8(Path("two.wav")) + L"' holds " +
                  std::to_wstring(2 * kN) + expects);
    std::vector<double> four = Capture();
    four.insert(four.end(), Capture().begin(), Capture().begin() + kN);
    EXPECT_EQ(FailureText(Write("four.wav", four), {}),
              L"Incorrect sample size: '" + tsl::FromUtf8(Path("four.wav")) + L"' holds " +
                  std::to_wstring(4 * kN) + expects);
    EXPECT_EQ(
        FailureText(Write("44100.wav", Capture(), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100), {}),
        L"Incorrect sampling frequency size");
    EXPECT_EQ(FailureText(Write("silence.wav", std::vector<double>(3 * kN, 0.0)), {})
                  .rfind(L"Error subwoofer measurement was not able to acquire a proper response. "
                         L"(code 0x04)",
                         0),
              0u);
}

TEST_F(CaptureFileTest, SweepFileRoundTrips) {
    const CurvePtr sweep = SweepReference(kN, kFs);
    const std::string path = Path("sweep.wav");
    cli::WriteFloatWav(path, sweep->First(), kN, 48000);
    const cli::MonoRecording read = cli::ReadMonoRecording(path, kN + 10);
    std::filesystem::remove(path);
    EXPECT_EQ(read.sampleRate, 48000);
    ASSERT_EQ(read.frames, kN);
    ASSERT_EQ(read.samples.size(), static_cast<std::size_t>(kN));
    for (int i = 0; i < kN; i += 101)
        EXPECT_NEAR(read.samples[static_cast<std::size_t>(i)], sweep->First()[i], 1e-7);
}

// A flat version-3 calibration leaves only the sensitivity offset (-22.3 dB), which the
// corrected response gains back; a calibration for another unit is refused with its text.
TEST_F(CaptureFileTest, CalibrationFileCorrectsTheResponse) {
    const std::string capture = Write("cal_capture.wav", Capture());
    const std::string cal =
        (std::filesystem::path(::testing::TempDir()) / "4321Corvana.cal").string();
    {
        std::vector<testcal::Point> flat;
        for (double f = 5; f <= 24000; f *= 1.1)
            flat.push_back({f, 1.0, 0.0});
        const auto bytes = testcal::BuildFile(3, 77, 4321, flat);
        std::ofstream(cal, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    cli::AnalyseOptions plain;
    cli::AnalyseOptions corrected;
    corrected.calibrationFile = cal;
    corrected.unitSerial = 77;
    const auto before = cli::AnalyseCapture(capture, plain);
    const auto after = cli::AnalyseCapture(capture, corrected);
    const auto levelNear = [](const std::vector<cli::ResponsePoint>& points, double f) {
        const cli::ResponsePoint* best = &points.front();
        for (const cli::ResponsePoint& p : points)
            if (std::abs(std::log(p.frequencyHz / f)) < std::abs(std::log(best->frequencyHz / f)))
                best = &p;
        return best->levelDb;
    };
    for (double f : {40.0, 100.0, 200.0})
        EXPECT_NEAR(levelNear(after, f) - levelNear(before, f), 22.3, 0.2) << f << " Hz";

    corrected.unitSerial = 78;
    EXPECT_NE(FailureText(capture, corrected), L"(no failure)");
    std::filesystem::remove(cal);
}

TEST(ParseBandTest, AcceptsOnlyAnAscendingPairOfFrequencies) {
    cli::AnalyseOptions options;
    cli::ParseBand("15.5:400", options);
    EXPECT_EQ(options.bandLow, 15.5);
    EXPECT_EQ(options.bandHigh, 400.0);
    for (const char* bad : {"", "20", "20:", ":350", "350:20", "20:20", "-5:100", "a:b", "20:350x",
                            "nan:100", "20:inf"})
        EXPECT_THROW(cli::ParseBand(bad, options), cli::UsageError) << bad;
}

}  // namespace
