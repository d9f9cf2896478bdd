// The quick measurement's presenter and session against the simulated subwoofer, room and
// microphone, with a test double of its window. The microphone's blocks come on a virtual clock, as
// fast as they are made; the bridge is drained here as the UI thread would.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <thread>

#include "app/QuickMeasurePresenter.h"
#include "app/SceneEnvironment.h"
#include "sim/SimScene.h"
#include "support/ScriptedPrompt.h"
#include "threading/RegisteredMessages.h"

namespace {

class FakeQuickWindow final : public IQuickMeasureWindow {
public:
    void DrawEnable(QuickButton button, bool enabled) override { enabled_[button] = enabled; }
    void AppendLog(const std::wstring& text) override { log += text; }
    void DrawProgressRange(int32_t) override {}
    void DrawProgressPos(int32_t) override {}
    void RedrawGraph(bool rescale) override { redraws.push_back(rescale); }
    Threading::IPrompt& WindowPrompt() override { return prompt; }

    // "C" Connect, "D" Disconnect, "S" Start, "T" Stop: the enabled buttons.
    std::string Enabled() {
        std::string s;
        for (auto [button, c] : {std::pair{QuickButton::Connect, 'C'},
                                 {QuickButton::Disconnect, 'D'},
                                 {QuickButton::Start, 'S'},
                                 {QuickButton::Stop, 'T'}})
            if (enabled_[button])
                s += c;
        return s;
    }

    testing_support::ScriptedPrompt prompt;
    std::wstring log;
    std::vector<bool> redraws;

private:
    std::map<QuickButton, bool> enabled_;
};

class QuickMeasureTest : public ::testing::Test {
protected:
    QuickMeasureTest() {
        Sim::SceneOptions options;
        options.calibrationDir = std::filesystem::temp_directory_path() /
                                 (std::string("quick_core_") +
                                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        scene = std::make_unique<Sim::SimScene>(std::move(options));
        MeasureEnvironment env = SceneEnvironment(*scene, &pace);
        bridge.Start();
        engine = std::make_unique<QuickMeasurePresenter>(window, bridge, std::move(env));
        engine->OnInitDialog();
    }
    ~QuickMeasureTest() override {
        engine.reset();
        bridge.Shutdown();
        std::filesystem::remove_all(scene->CalibrationDir());
    }

    // Delivers the bridge's messages until done holds; waits only for posts.
    bool Until(const std::function<bool()>& done) {
        for (int i = 0; i < 3000; ++i) {
            bridge.Drain();
            if (done())
                return true;
            bridge.WaitForMessage(Threading::RealClock::Instance(), std::chrono::milliseconds(50));
        }
        return false;
    }
    // Until the state is reached and the buttons show it.
    bool Reach(int32_t state) {
        const char* buttons = state == kQmDisconnected ? "C" : state == kQmConnected ? "DS" : "DT";
        return Until([&] { return engine->State() == state && window.Enabled() == buttons; });
    }
    bool ToneOn() {
        return scene->Device()->With([](Sim::SimFirmware& f) { return f.ToneOn(); });
    }
    void Measuring() {
        engine->OnConnect();
        ASSERT_TRUE(Reach(kQmConnected));
        engine->OnStart();
        ASSERT_TRUE(Reach(kQmMeasuring));
    }

    Threading::VirtualClock pace;
    std::unique_ptr<Sim::SimScene> scene;
    Threading::MessageBridge bridge;
    FakeQuickWindow window;
    std::unique_ptr<QuickMeasurePresenter> engine;
};

TEST_F(QuickMeasureTest, StartIsRefusedUntilConnectedAndTheButtonsFollowTheState) {
    EXPECT_EQ(window.Enabled(), "C");
    engine->OnStart();
    ASSERT_EQ(window.prompt.Calls().size(), 1u);
    EXPECT_EQ(window.prompt.Calls()[0].text, L"Busy, please wait");
    EXPECT_EQ(window.prompt.Calls()[0].caption, L"Error");
    EXPECT_EQ(engine->State(), kQmDisconnected);

    engine->OnConnect();
    EXPECT_EQ(engine->State(), kQmConnecting);
    EXPECT_EQ(window.Enabled(), "");
    engine->OnConnect();  // refused while connecting
    EXPECT_EQ(window.prompt.CountOf(L"Busy, please wait"), 2u);
    ASSERT_TRUE(Reach(kQmConnected));
    EXPECT_EQ(window.Enabled(), "DS");
    EXPECT_NE(window.log.find(L"Checking for valid subwoofer\r\nUsing calibration file: "
                              L"1234567Corvana.cal\r\nConnection established with unit\r\n"),
              std::wstring::npos)
        << tsl::ToUtf8(window.log);
    engine->OnStart();
    ASSERT_TRUE(Reach(kQmMeasuring));
    EXPECT_EQ(window.Enabled(), "DT");
    EXPECT_TRUE(ToneOn());
    engine->OnDisconnect();
    ASSERT_TRUE(Reach(kQmDisconnected));
    EXPECT_FALSE(ToneOn());
    EXPECT_EQ(window.Enabled(), "C");
    EXPECT_NE(window.log.find(L"Disconnected from unit"), std::wstring::npos);
}

TEST_F(QuickMeasureTest, TheFourthCurveRemovesTheFirstAndStopThenStartBeginsEmpty) {
    Measuring();
    const size_t before = window.redraws.size();
    ASSERT_TRUE(Until([&] { return window.redraws.size() >= before + 4; }));
    engine->OnStop();
    // Three curves rescale the graph; the fourth replaces the first and keeps the scale.
    EXPECT_EQ(std::vector<bool>(window.redraws.begin() + static_cast<long>(before),
                                window.redraws.begin() + static_cast<long>(before) + 4),
              (std::vector<bool>{true, true, true, false}));
    const auto& entries = engine->History().Entries();
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].colour, Graphing::Rgb(0, 204, 0));
    EXPECT_EQ(entries[2].colour, Graphing::Rgb(204, 0, 0));
    const auto curves =
        engine->History().Curves(Graphing::Domain::Frequency, Graphing::YMode::Level, false);
    ASSERT_EQ(curves.size(), 3u);
    EXPECT_EQ(curves[0].pen.width, 2);
    EXPECT_EQ(curves[2].pen.width, 6);
    EXPECT_TRUE(
        engine->History().Curves(Graphing::Domain::Time, Graphing::YMode::Level, false).empty());

    ASSERT_TRUE(Reach(kQmConnected));
    EXPECT_FALSE(ToneOn());
    EXPECT_EQ(engine->Buffer().Available(), 0);
    engine->OnStart();
    EXPECT_TRUE(engine->History().Entries().empty());
    EXPECT_TRUE(window.redraws.back());
    ASSERT_TRUE(Reach(kQmMeasuring));
    ASSERT_TRUE(Until([&] { return engine->History().Entries().size() == 1; }));
    // The colour counter runs on across a restart.
    EXPECT_EQ(engine->History().Entries()[0].colour, Graphing::Rgb(0, 204, 0));
}

TEST_F(QuickMeasureTest, ClosingWhileMeasuringStopsTheTone) {
    Measuring();
    ASSERT_TRUE(ToneOn());
    engine->OnClose();
    EXPECT_FALSE(ToneOn());
    engine->OnStart();  // nothing runs any more
    EXPECT_EQ(window.prompt.CountOf(L"Busy, please wait"), 1u);
}

TEST_F(QuickMeasureTest, ACaptureThatEndsByItselfShowsItsTextAndDisconnects) {
    Measuring();
    std::thread capture([&] { engine->Buffer().Ended(L"The microphone was unplugged."); });
    capture.join();
    ASSERT_TRUE(Reach(kQmDisconnected));
    EXPECT_EQ(window.prompt.CountOf(L"The microphone was unplugged."), 1u);
    EXPECT_EQ(window.prompt.CountOf(L"Busy, please wait"), 0u);
    EXPECT_FALSE(ToneOn());
}

TEST(QuickSampleBuffer, ABlockThatDoesNotFitIsDroppedWholeAndReadsWrapAround) {
    QuickSampleBuffer buffer(10);
    std::vector<std::int32_t> notified;
    buffer.SetNotify([&](std::int32_t n) { notified.push_back(n); });
    const double a[6] = {1, 2, 3, 4, 5, 6};
    const double b[6] = {7, 8, 9, 10, 11, 12};
    bool done = true;
    buffer.DeliverDoubles(a, 6, done);
    EXPECT_FALSE(done);
    buffer.DeliverDoubles(b, 6, done);  // 4 free: dropped
    EXPECT_EQ(buffer.Available(), 6);
    std::vector<double> out;
    EXPECT_FALSE(buffer.Read(out, 7, 2));
    ASSERT_TRUE(buffer.Read(out, 4, 2));
    EXPECT_EQ(out, (std::vector<double>{1, 2, 3, 4}));
    buffer.DeliverDoubles(b, 6, done);  // 6 free now; wraps round
    EXPECT_EQ(buffer.Available(), 10);
    ASSERT_TRUE(buffer.Read(out, 10, 10));
    EXPECT_EQ(out, (std::vector<double>{3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));
    EXPECT_EQ(notified, (std::vector<std::int32_t>{6, 10}));
    const std::int16_t samples[2] = {16384, -32768};
    buffer.DeliverSamples(samples, 2, done);
    buffer.Reset();
    EXPECT_EQ(buffer.Available(), 0);
}

}  // namespace
