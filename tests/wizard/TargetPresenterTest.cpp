// The target dialog's rules without a window: enabled fields, ranges, the commit order of OK
// with its bad values, and Auto Detect through a detector that answers later, or on the worker.

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>

#include "correction/TargetSlope.h"
#include "correction/fit_support.h"
#include "document/DocData.h"
#include "wizard/FakeTargetView.h"
#include "wizard/TargetDetection.h"
#include "wizard/TargetPresenter.h"

namespace {

const fittest::Room kRoom{24.0, false, 110.0, {{42, 9, 6}, {68, 6, 8}, {110, 5, 4}}, -3.0};

TEST(TargetPresenter, TheOrderEnablesTheFrequenciesAndTheCrossoverBoundsThem) {
    FakeTargetView view;
    TargetPresenter presenter(view, {});
    presenter.Show({200, SLOPE_AUTO, 40, 30});
    EXPECT_FALSE(view.rules[TargetField::HpFreq].enabled);
    EXPECT_FALSE(view.rules[TargetField::MinEq].enabled);
    presenter.SetValue(TargetField::HpOrder, SLOPE_FLAT);
    EXPECT_FALSE(view.rules[TargetField::HpFreq].enabled);
    EXPECT_TRUE(view.rules[TargetField::MinEq].enabled);
    presenter.SetValue(TargetField::HpOrder, SLOPE_2ND);
    EXPECT_TRUE(view.rules[TargetField::HpFreq].enabled);
    EXPECT_EQ(view.rules[TargetField::Crossover], (TargetFieldRule{160, 250, 5, true}));

    presenter.Show({160, SLOPE_2ND, 200, 240, FitMethod::Classic});
    EXPECT_EQ(view.rules[TargetField::HpFreq], (TargetFieldRule{20, 160, 1, true}));
    EXPECT_EQ(view.values[TargetField::HpFreq], 160);
    EXPECT_EQ(view.values[TargetField::MinEq], 160);
    EXPECT_TRUE(view.classic);
    presenter.SetValue(TargetField::Crossover, 400);
    EXPECT_EQ(presenter.Value(TargetField::Crossover), 250);
    EXPECT_EQ(view.rules[TargetField::MinEq].maximum, 250);
}

TEST(TargetPresenter, OkCommitsTheCrossoverFirstAndStopsAtABadValue) {
    FakeTargetView view;
    TargetPresenter presenter(view, {});
    presenter.Show({250, SLOPE_FLAT, 40, 30});
    // A lower crossover typed: the minimum EQ frequency typed above it is then a bad value.
    view.typed[TargetField::Crossover] = {180, true};
    view.typed[TargetField::MinEq] = {200, true};
    EXPECT_FALSE(presenter.Accept());
    EXPECT_EQ(view.committed, (std::vector{TargetField::Crossover, TargetField::MinEq}));
    EXPECT_EQ(presenter.Settings(), (TargetSettings{180, SLOPE_FLAT, 40, 180}));

    // A bad crossover stops before the frequencies; the high-pass frequency of "Flat" is never
    // committed.
    view.committed.clear();
    view.typed[TargetField::Crossover] = {100, true};
    EXPECT_FALSE(presenter.Accept());
    EXPECT_EQ(view.committed, std::vector{TargetField::Crossover});
    view.typed.clear();
    view.committed.clear();
    EXPECT_TRUE(presenter.Accept());
    EXPECT_EQ(view.committed,
              (std::vector{TargetField::Crossover, TargetField::MinEq, TargetField::ShelfGain,
                           TargetField::ShelfCorner, TargetField::Tilt, TargetField::MaxBoost}));
    EXPECT_EQ(presenter.Settings(), (TargetSettings{160, SLOPE_FLAT, 40, 160}));
}

TEST(TargetPresenter, AutoDetectWaitsForItsDetectorAndDropsStaleResults) {
    FakeTargetView view;
    std::deque<TargetDetectDone> pending;
    TargetSettings asked;
    auto presenter = std::make_unique<TargetPresenter>(
        view, [&](const TargetSettings& s, TargetDetectDone done) {
            asked = s;
            pending.push_back(std::move(done));
        });
    presenter->Show({200, SLOPE_3RD, 50, 60});
    presenter->AutoDetect();
    presenter->AutoDetect();  // one at a time
    ASSERT_EQ(pending.size(), 1u);
    EXPECT_EQ(asked, (TargetSettings{200, SLOPE_3RD, 50, 60}));
    EXPECT_TRUE(presenter->Detecting());
    EXPECT_FALSE(view.commands);
    EXPECT_FALSE(view.rules[TargetField::Crossover].enabled);
    EXPECT_FALSE(presenter->Accept());
    EXPECT_TRUE(view.committed.empty());
    pending.front()(TargetSettings{215, SLOPE_AUTO, 20, 20});
    pending.pop_front();
    EXPECT_FALSE(presenter->Detecting());
    EXPECT_TRUE(view.commands);
    EXPECT_EQ(presenter->Settings(), (TargetSettings{215, SLOPE_AUTO, 20, 20}));
    EXPECT_FALSE(view.rules[TargetField::MinEq].enabled);

    // Nothing to detect from: the values stay. New settings shown meanwhile win over the result;
    // a result after the dialog has gone finds nothing.
    presenter->AutoDetect();
    pending.front()(std::nullopt);
    pending.pop_front();
    EXPECT_EQ(presenter->Value(TargetField::Crossover), 215);
    presenter->AutoDetect();
    presenter->Show({190, SLOPE_2ND, 30, 30});
    pending.front()(TargetSettings{160, SLOPE_AUTO, 20, 20});
    pending.pop_front();
    EXPECT_EQ(presenter->Value(TargetField::Crossover), 190);
    presenter->AutoDetect();
    presenter.reset();
    pending.front()(TargetSettings{160, SLOPE_AUTO, 20, 20});
}

TEST(TargetDetectWorker, DetectsOnItsThreadAsTheConsoleDoesAtOnce) {
    DocData data;
    data.measurements = {fittest::Measurement(kRoom), fittest::Measurement(kRoom)};
    const TargetSettings start{200, SLOPE_3RD, 50, 60};
    std::optional<TargetSettings> atOnce;
    DetectAtOnce(data)(start, [&](std::optional<TargetSettings> r) { atOnce = r; });
    ASSERT_TRUE(atOnce);

    Threading::MessageBridge bridge;
    bridge.Start();
    std::optional<std::optional<TargetSettings>> delivered;
    {
        TargetDetectWorker worker(bridge);
        worker.Start(data, start, [&](std::optional<TargetSettings> r) { delivered = r; });
        data.measurements.clear();  // the worker has its own copies
        for (int i = 0; i < 600 && !delivered; ++i) {
            bridge.WaitForMessage(Threading::RealClock::Instance(), std::chrono::milliseconds(50));
            bridge.Drain();
        }
        ASSERT_TRUE(delivered);
        EXPECT_EQ(*delivered, atOnce);
        // Nothing to detect from; the worker then goes with a result still on its way.
        delivered.reset();
        worker.Start(data, start, [&](std::optional<TargetSettings> r) { delivered = r; });
    }
    bridge.Drain();
    EXPECT_FALSE(delivered);
    bridge.Shutdown();
}

}  // namespace
