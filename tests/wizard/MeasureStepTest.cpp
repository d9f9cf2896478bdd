// The Measure step against the simulated subwoofer and a recorder that plays back synthetic
// captures: the repeating test sweep through a known response, at a known level per position.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <deque>
#include <filesystem>
#include <fstream>
#include <numbers>

#include "document/DocData.h"
#include "measure/CalibrationFileBuilder.h"
#include "sim/SimBus.h"
#include "support/RecordingProcDialog.h"
#include "threading/Errors.h"
#include "wizard/MeasureStep.h"

namespace {

using Threading::MsgButtons;
using Threading::MsgResult;
constexpr int kN = 65536;
constexpr double kFs = 48000.0;
constexpr int32_t kMic = 4711;

// A resonance of +8 dB at 50 Hz followed by a low-pass at 150 Hz.
struct Biquad {
    double b0, b1, b2, a1, a2;
    std::complex<double> At(double f) const {
        const auto z1 = std::polar(1.0, -2.0 * std::numbers::pi * f / kFs);
        return (b0 + b1 * z1 + b2 * z1 * z1) / (1.0 + a1 * z1 + a2 * z1 * z1);
    }
};

std::vector<Biquad> Response() {
    const double w1 = 2 * std::numbers::pi * 50 / kFs, a = std::pow(10.0, 8.0 / 40.0);
    const double al1 = std::sin(w1) / (2 * 3.0);
    const double n1 = 1 + al1 / a;
    const Biquad peak{(1 + al1 * a) / n1, -2 * std::cos(w1) / n1, (1 - al1 * a) / n1,
                      -2 * std::cos(w1) / n1, (1 - al1 / a) / n1};
    const double w2 = 2 * std::numbers::pi * 150 / kFs, al2 = std::sin(w2) / (2 * 0.707);
    const double c = std::cos(w2), n2 = 1 + al2;
    const Biquad low{(1 - c) / 2 / n2, (1 - c) / n2, (1 - c) / 2 / n2, -2 * c / n2, (1 - al2) / n2};
    return {peak, low};
}

double ResponseDb(double f) {
    std::complex<double> h = 1.0;
    for (const Biquad& s : Response())
        h *= s.At(f);
    return 20 * std::log10(std::abs(h));
}

// Three periods of the steady-state response to the repeating sweep, at full level.
const std::vector<double>& SteadyCapture() {
    static const std::vector<double> capture = [] {
        const CurvePtr sweep = SweepReference(kN, kFs);
        std::vector<double> y(5 * static_cast<size_t>(kN));
        for (size_t i = 0; i < y.size(); ++i)
            y[i] = 0.2 * sweep->First()[i % kN];
        for (const Biquad& s : Response()) {
            double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
            for (double& v : y) {
                const double out = s.b0 * v + s.b1 * x1 + s.b2 * x2 - s.a1 * y1 - s.a2 * y2;
                x2 = x1;
                x1 = v;
                y2 = y1;
                y1 = out;
                v = out;
            }
        }
        return std::vector<double>(y.end() - 3 * kN, y.end());
    }();
    return capture;
}

// One Start of the recorder: deliver the capture at a gain, fail with a text, or deliver
// nothing (the capture never fills).
struct Take {
    double gain = 1.0;
    std::wstring failure;
    bool silent = false;
};
Take Gain(double g) {
    return Take{g, L"", false};
}

class ScriptedRecorder final : public AudioSampler::AudioRec {
public:
    std::deque<Take> takes;
    int starts = 0;
    std::function<void()> onStart;

    void SetInputLevelDb(float) override {}
    void SetInputVolume(float) override {}
    void SetInputLevel(std::int32_t level) override { lastLevel = level; }
    void Record(const std::shared_ptr<AudioSampler::BaseAudioCap>& sink) override { Start(sink); }
    void Start(const std::shared_ptr<AudioSampler::BaseAudioCap>& sink) override {
        ++starts;
        if (onStart)
            onStart();
        const Take take = takes.empty() ? Take{} : takes.front();
        if (!takes.empty())
            takes.pop_front();
        if (!take.failure.empty())
            throw tsl::wruntime_error(take.failure);
        if (take.silent)
            return;
        std::vector<double> scaled(SteadyCapture());
        for (double& v : scaled)
            v *= take.gain;
        bool done = false;
        sink->DeliverDoubles(scaled.data(), static_cast<int32_t>(scaled.size()), done);
    }
    void Stop() override {}
    int32_t lastLevel = -1;
};

class OneMicrophone final : public AudioSampler::AudioRecEnumerator {
public:
    explicit OneMicrophone(std::shared_ptr<ScriptedRecorder> r) : recorder_(std::move(r)) {}
    std::vector<std::wstring> DeviceNames() override { return {L"USB Audio (TSL-1 Corvana)"}; }
    std::wstring FindDevice(const std::vector<std::wstring>&) override { return DeviceNames()[0]; }
    std::shared_ptr<AudioSampler::AudioRec> OpenRecorder() override { return recorder_; }

private:
    std::shared_ptr<ScriptedRecorder> recorder_;
};

class MeasureStepTest : public ::testing::Test {
protected:
    Threading::VirtualClock clock{std::chrono::milliseconds(30)};
    std::shared_ptr<Sim::SimBus> bus = std::make_shared<Sim::SimBus>();
    std::shared_ptr<Sim::SimDevice> subwoofer;
    std::shared_ptr<ScriptedRecorder> recorder = std::make_shared<ScriptedRecorder>();
    testing_support::RecordingProcDialog progress;
    std::filesystem::path calDir;
    DocData data;
    int32_t positions = 5;

    void SetUp() override {
        Sim::SimOptions options;
        options.modelId = 275;
        subwoofer = bus->Add(options);
        calDir = std::filesystem::temp_directory_path() /
                 ("tessaline-measure-" +
                  std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        std::filesystem::create_directories(calDir);
        std::vector<testcal::Point> flat;
        for (double f : {2.0, 10.0, 100.0, 1000.0, 24000.0})
            flat.push_back({f, 1.0, 0.0});
        const auto bytes = testcal::BuildFile(3, 0, kMic, flat);
        std::ofstream(calDir / Security::CalibrationFileName(kMic), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()),
                   static_cast<std::streamsize>(bytes.size()));
    }
    void TearDown() override { std::filesystem::remove_all(calDir); }

    MeasureEnvironment Environment() {
        MeasureEnvironment env;
        env.makePlayDevice = [this] {
            return std::make_shared<CUsbController::UsbSubPlayDevice>(false, bus, &clock);
        };
        env.recorders = [this] { return std::make_shared<OneMicrophone>(recorder); };
        env.clock = &clock;
        env.calibrationDir = calDir;
        env.micSerial = kMic;
        env.preMeasurement = [this](IProcDialog&, CCustomizeMeasurementProcDlg& d) {
            d.SetPositionCount(positions);
            return true;
        };
        env.deviceCheck.driver.isLoaded = [] { return true; };
        return env;
    }
    bool Run() { return MeasureStep(&progress, data, 0, Environment()); }
    void Answer(std::initializer_list<MsgResult> answers) {
        for (MsgResult a : answers)
            progress.Scripted().QueueAnswer(a);
    }
    std::vector<std::wstring> Asked() const {
        std::vector<std::wstring> texts;
        for (const auto& call : const_cast<MeasureStepTest*>(this)->progress.Scripted().Calls())
            texts.push_back(call.text);
        return texts;
    }
    static double LevelDb(CCurve& curve, double f) {
        ToDbPhase(curve);
        return ValueAt(curve, f).first;
    }
};

TEST_F(MeasureStepTest, FivePositionsGiveFivePromptsFiveResponsesAndTheirAverage) {
    const double gains[] = {1.0, 0.5, 1.0, 0.5, 1.0};
    for (double g : gains)
        recorder->takes.push_back(Gain(g));
    Answer({MsgResult::Ok, MsgResult::Ok, MsgResult::Ok, MsgResult::Ok, MsgResult::Ok});
    MeasureEnvironment env = Environment();
    std::vector<int32_t> reported;
    env.positionMeasured = [&](const SettleProgress& p) {
        EXPECT_TRUE(p.response);
        reported.push_back(p.position);
    };

    ASSERT_TRUE(MeasureStep(&progress, data, 0, env));
    EXPECT_EQ(Asked(),
              (std::vector<std::wstring>{PositionPrompt(1), PositionPrompt(2), PositionPrompt(3),
                                         PositionPrompt(4), PositionPrompt(5)}));
    EXPECT_EQ(reported, (std::vector<int32_t>{0, 1, 2, 3, 4}));
    // Under the seed's status, how far it is and, from the third position on, how settled the
    // average of the positions so far is.
    const std::vector<std::wstring> details = progress.Details();
    ASSERT_EQ(details.size(), 5u);
    EXPECT_EQ(details[0], L"Position 1 of 5");
    EXPECT_EQ(details[1], L"Position 2 of 5");
    const auto settled = EstimateSettle({data.measurements[0], data.measurements[1]});
    ASSERT_TRUE(settled);
    EXPECT_EQ(details[2], L"Position 3 of 5\n" + SettleText(*settled));
    EXPECT_EQ(details[4].find(L"Position 5 of 5\nAnother position could"), 0u);
    EXPECT_EQ(PositionPrompt(3), L"Please move the microphone to position 3, and then click OK.");
    EXPECT_EQ(progress.Positions(), (std::vector<int32_t>{0, 1, 2, 3, 4, 5}));
    ASSERT_EQ(data.measurements.size(), 5u);
    ASSERT_EQ(data.results.size(), 1u);
    EXPECT_EQ(data.modelId, 275);
    EXPECT_EQ(data.name, L"KT1");
    EXPECT_EQ(data.micSerial, static_cast<uint32_t>(kMic));
    EXPECT_EQ(data.calVersion, 3);
    EXPECT_GT(data.calImageLength, 0u);
    EXPECT_EQ(recorder->lastLevel, 8192);

    // The shape of the known response survives, and the average is the power mean of the
    // positions' levels: 10 log10((3 + 3 * 0.25) / 5) dB against a full-level position.
    CCurve& first = *data.measurements[0];
    EXPECT_NEAR(LevelDb(first, 50) - LevelDb(first, 100), ResponseDb(50) - ResponseDb(100), 1.0);
    EXPECT_NEAR(LevelDb(*data.measurements[1], 60) - LevelDb(first, 60), 20 * std::log10(0.5), 0.1);
    EXPECT_NEAR(LevelDb(*data.results[0], 60) - LevelDb(first, 60),
                10 * std::log10((3 + 2 * 0.25) / 5), 0.1);
    EXPECT_FALSE(subwoofer->With([](Sim::SimFirmware& f) { return f.ToneOn(); }));
}

TEST_F(MeasureStepTest, IdenticalPositionsAverageToTheSameResponse) {
    Answer({MsgResult::Ok, MsgResult::Ok, MsgResult::Ok, MsgResult::Ok, MsgResult::Ok});
    ASSERT_TRUE(Run());
    for (double f : {30.0, 50.0, 80.0, 120.0})
        EXPECT_NEAR(LevelDb(*data.results[0], f), LevelDb(*data.measurements[2], f), 1e-6) << f;
}

TEST_F(MeasureStepTest, AFailedPositionIsRetriedWithoutANewPrompt) {
    const std::wstring failure = L"Audio capture error, check the connection.";
    recorder->takes = {Gain(1), Take{0.25, failure, false}, Gain(0.5), Gain(1), Gain(1), Gain(1)};
    Answer(
        {MsgResult::Ok, MsgResult::Ok, MsgResult::Ok, MsgResult::Ok, MsgResult::Ok, MsgResult::Ok});

    ASSERT_TRUE(Run());
    EXPECT_EQ(Asked(), (std::vector<std::wstring>{
                           PositionPrompt(1), PositionPrompt(2),
                           failure + L"\nPress OK to retry this position, CANCEL to abort.",
                           PositionPrompt(3), PositionPrompt(4), PositionPrompt(5)}));
    const auto statuses = progress.Statuses();
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), MeasuringStatus(2)), 2);
    EXPECT_EQ(recorder->starts, 6);
    // Position 2 holds the retried take, in its place.
    ASSERT_EQ(data.measurements.size(), 5u);
    EXPECT_NEAR(LevelDb(*data.measurements[1], 60) - LevelDb(*data.measurements[0], 60),
                20 * std::log10(0.5), 0.1);
}

TEST_F(MeasureStepTest, ACaptureThatNeverFillsStopsTheToneAndOffersARetry) {
    recorder->takes = {{1.0, L"", true}};
    bool toneOnAtRetry = true;
    progress.Scripted().OnAsk([&](const testing_support::PromptCall& call) {
        if (call.text.find(L"retry") != std::wstring::npos)
            toneOnAtRetry = subwoofer->With([](Sim::SimFirmware& f) { return f.ToneOn(); });
    });
    Answer({MsgResult::Ok, MsgResult::Cancel});
    EXPECT_FALSE(Run());
    EXPECT_FALSE(toneOnAtRetry);
    EXPECT_EQ(progress.Scripted().CountOf(kMeasurementFailedText), 1u);
}

TEST_F(MeasureStepTest, CancellingAtTheThirdPromptLeavesNoCurves) {
    Answer({MsgResult::Ok, MsgResult::Ok, MsgResult::Cancel});
    EXPECT_FALSE(Run());
    EXPECT_EQ(recorder->starts, 2);
    const auto asked = Asked();
    ASSERT_EQ(asked.size(), 4u);
    EXPECT_EQ(asked[2], PositionPrompt(3));
    EXPECT_EQ(asked[3], L"Measurement procedure failed.");
    EXPECT_TRUE(data.measurements.empty());
    EXPECT_TRUE(data.results.empty());
}

TEST_F(MeasureStepTest, SetupFailuresEndTheStepWithTheirMessages) {
    {
        auto env = Environment();
        env.preMeasurement = [](IProcDialog&, CCustomizeMeasurementProcDlg&) { return false; };
        EXPECT_FALSE(MeasureStep(&progress, data, 0, env));
        EXPECT_EQ(progress.Scripted().CountOf(L"Measurement procedure failed.\n\rUser abort."), 1u);
    }
    {
        auto env = Environment();
        env.micSerial = kMic + 1;
        EXPECT_FALSE(MeasureStep(&progress, data, 0, env));
        EXPECT_EQ(data.micSerial, 0u);
    }
    {
        bus = std::make_shared<Sim::SimBus>();  // nothing plugged in; the check dialog is cancelled
        EXPECT_FALSE(Run());
        EXPECT_EQ(progress.Scripted().CountOf(L"Failed to find a valid subwoofer.\n\rUser Abort."),
                  1u);
    }
    EXPECT_EQ(recorder->starts, 0);
}

TEST_F(MeasureStepTest, ThePromptDialogAsksForTheCountFrom5To10) {
    progress.Scripted().QueueChoice(2);
    auto env = Environment();
    env.preMeasurement = PromptPreMeasurementDialog();
    for (int i = 0; i < 7; ++i)
        progress.Scripted().QueueAnswer(MsgResult::Ok);
    ASSERT_TRUE(MeasureStep(&progress, data, 0, env));
    EXPECT_EQ(data.measurements.size(), 7u);
    const auto calls = progress.Scripted().Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_TRUE(calls[0].isChoose);
    EXPECT_EQ(calls[0].choices.front(), L"5");
    EXPECT_EQ(calls[0].choices.back(), L"10");
    EXPECT_EQ(calls[0].text.rfind(kPreMeasurementText, 0), 0u);

    CCustomizeMeasurementProcDlg dialog;
    dialog.SetPositionCount(12);
    EXPECT_EQ(dialog.PositionCount(), 10);
    dialog.SetPositionCount(1);
    EXPECT_EQ(dialog.PositionCount(), 5);
    EXPECT_EQ(dialog.Text(), kPreMeasurementText);
}

TEST_F(MeasureStepTest, AVerifyCountFrom1IsNotToldItNeeds5Positions) {
    progress.Scripted().QueueChoice(0);
    auto env = Environment();
    env.minPositions = 1;
    env.preMeasurement = PromptPreMeasurementDialog();
    progress.Scripted().QueueAnswer(MsgResult::Ok);
    ASSERT_TRUE(MeasureStep(&progress, data, 0, env));
    EXPECT_EQ(data.measurements.size(), 1u);
    const auto calls = progress.Scripted().Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0].choices.front(), L"1");
    EXPECT_EQ(calls[0].text.find(L"minimum of 5"), std::wstring::npos);
    EXPECT_NE(calls[0].text.find(L"From 1 to 10 positions may be measured"), std::wstring::npos);
    EXPECT_EQ(calls[0].text.rfind(L"IMPORTANT!!", 0), 0u);
}

}  // namespace
