// The Calculate step over synthetic rooms, its target dialog and the console dialog.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "WizardFixture.h"
#include "correction/fit_support.h"
#include "support/RecordingProcDialog.h"
#include "threading/Errors.h"
#include "wizard/CalculateStepConsole.h"
#include "wizard/Steps.h"

namespace {

using testing_support::RecordingProcDialog;

constexpr uint16_t kKettrin2 = 0x114;

const fittest::Room kRoom{
    24.0, false, 110.0, {{42, 9, 6}, {68, 6, 8}, {55, -8, 5}, {110, 5, 4}}, -3.0};

void AddMeasurements(DocData& d) {
    d.modelId = kKettrin2;
    d.measurements = {fittest::Measurement(kRoom), fittest::Measurement(kRoom)};
}

// A dialog that records what it was given and answers with fixed values or a cancel.
struct ScriptedTargetDialog : ITargetDialog {
    bool ok = true;
    std::optional<TargetSettings> answer;
    TargetSettings* shown = nullptr;
    bool DoModal(TargetSettings& s) override {
        if (shown)
            *shown = s;
        if (answer)
            s = *answer;
        return ok;
    }
};

TargetDialogFactory Answering(bool ok, std::optional<TargetSettings> answer,
                              TargetSettings* shown = nullptr, int* made = nullptr) {
    return [=](IProcDialog&, const DocData&) -> std::unique_ptr<ITargetDialog> {
        if (made)
            ++*made;
        auto d = std::make_unique<ScriptedTargetDialog>();
        d->ok = ok;
        d->answer = answer;
        d->shown = shown;
        return d;
    };
}

bool IsCandidateCrossover(int32_t f) {
    return f >= 160 && f <= 250 && f % 5 == 0;
}

TEST(TargetSettingsLimits, ValuesArePulledToTheControlsRanges) {
    EXPECT_EQ(LimitTargetSettings({300, 12, 400, 5}), (TargetSettings{250, 9, 250, 20}));
    EXPECT_EQ(LimitTargetSettings({100, -1, 10, 170}), (TargetSettings{160, 0, 20, 160}));
    EXPECT_EQ(LimitTargetSettings({200, 3, 45, 30}), (TargetSettings{200, 3, 45, 30}));
}

class CalculateStepTest : public WizardTest {};

TEST_F(CalculateStepTest, WithoutMeasurementsTheWizardShowsTheStepFailure) {
    EXPECT_FALSE(
        Run(kWizardCalculate, kOptionDetectCrossover, StandardSteps({}, Answering(true, {}))));
    EXPECT_EQ(prompt.CountOf(L"Error: No measurements have been made.\nCalculate failed."), 1u);
    EXPECT_EQ(document.saves, 0);
}

TEST_F(CalculateStepTest, SilentOrDamagedMeasurementsAreRefusedBeforeAnyFit) {
    for (double bad : {0.0, std::nan("")}) {
        document.data.Reset();
        AddMeasurements(document.data);
        CCurve& m = *document.data.measurements[1];
        ToMagPhase(m);
        for (int i = 0; i < m.Count(); ++i)
            m.First()[i] = bad == 0.0 ? 0.0 : (i == m.Count() / 2 ? bad : m.First()[i]);
        if (bad == 0.0)
            document.data.measurements = {document.data.measurements[1]};
        EXPECT_FALSE(
            Run(kWizardCalculate, kOptionDetectCrossover, StandardSteps({}, Answering(true, {}))));
        EXPECT_EQ(document.data.eq.valid, 0);
    }
    EXPECT_EQ(prompt.CountOf(std::wstring(kUnusableMeasurementsText) + L"\nCalculate failed."), 2u);
    EXPECT_EQ(document.saves, 0);
}

TEST_F(CalculateStepTest, DetectionModeBuildsTargetAndEqualiserAndSaves) {
    AddMeasurements(document.data);
    document.data.crossover = 0;
    int made = 0;
    ASSERT_TRUE(Run(kWizardCalculate, kOptionDetectCrossover,
                    StandardSteps({}, Answering(true, {}, nullptr, &made))));
    const DocData& d = document.data;
    EXPECT_EQ(made, 0);  // no dialog outside mode 2
    ASSERT_EQ(d.results.size(), 3u);
    EXPECT_TRUE(IsCandidateCrossover(d.crossover)) << d.crossover;
    EXPECT_EQ(d.eq.valid, 1);
    EXPECT_EQ(d.eq.bands.size(), kEqSectionCount);
    EXPECT_EQ(std::fmod(d.eq.gain * 2.0, 1.0), 0.0);
    EXPECT_GT(d.fitUpper, d.fitLower);
    EXPECT_EQ(document.saves, 1);
    EXPECT_EQ(record.progressRange, 3);
}

TEST_F(CalculateStepTest, OtherModesKeepTheDocumentsCrossover) {
    AddMeasurements(document.data);
    document.data.crossover = 205;
    ASSERT_TRUE(Run(kWizardCalculate, 0, StandardSteps({}, Answering(true, {}))));
    EXPECT_EQ(document.data.crossover, 205);
    EXPECT_EQ(document.data.results.size(), 3u);
}

TEST_F(CalculateStepTest, CancelledDialogIsAUserAbortAndChangesNothing) {
    AddMeasurements(document.data);
    document.data.crossover = 180;
    document.data.hpOrder = 3;
    document.data.fitLower = 17.5;
    document.data.eq.gain = 1.5;
    ASSERT_FALSE(Run(kWizardCalculate, kOptionTargetDialog,
                     StandardSteps({}, Answering(false, TargetSettings{250, 5, 40, 30}))));
    EXPECT_EQ(prompt.CountOf(L"User Abort.\nCalculate failed."), 1u);
    const DocData& d = document.data;
    EXPECT_EQ(d.crossover, 180);
    EXPECT_EQ(d.hpOrder, 3);
    EXPECT_EQ(d.fitLower, 17.5);
    EXPECT_EQ(d.eq.gain, 1.5);
    EXPECT_TRUE(d.results.empty());
    EXPECT_EQ(d.measurements.size(), 2u);
    EXPECT_EQ(document.saves, 0);
}

TEST(CustomizeTarget, DialogGetsTheFourSettingsAndItsLimitedAnswerIsKept) {
    DocData d;
    AddMeasurements(d);
    d.crossover = 190;
    d.hpOrder = 4;
    d.hpFreq = 25;
    d.minEqFreq = 22;
    d.fitLower = 12.0;
    d.fitUpper = 333.0;
    TargetSettings shown;
    RecordingProcDialog progress;
    ASSERT_TRUE(CustomizeTarget(
        &progress, d, 2,
        Answering(true, TargetSettings{170, 6, 400, 10, FitMethod::Classic}, &shown)));
    EXPECT_EQ(shown, (TargetSettings{190, 4, 25, 22, FitMethod::Refined}));
    EXPECT_EQ(d.fitMethod, FitMethod::Classic);
    EXPECT_EQ(d.crossover, 170);
    EXPECT_EQ(d.hpOrder, 6);
    EXPECT_EQ(d.hpFreq, 170);
    EXPECT_EQ(d.minEqFreq, 20);
    // A fixed high-pass starts the fit at the minimum EQ frequency read before the dialog.
    EXPECT_EQ(d.fitLower, 22.0);
    EXPECT_EQ(d.fitUpper, 333.0);
}

TEST(CustomizeTarget, OnlyModeTwoAsks) {
    DocData d;
    int made = 0;
    RecordingProcDialog progress;
    EXPECT_TRUE(CustomizeTarget(&progress, d, 0, Answering(false, {}, nullptr, &made)));
    EXPECT_TRUE(CustomizeTarget(&progress, d, 1, Answering(false, {}, nullptr, &made)));
    EXPECT_EQ(made, 0);
}

TEST(CalculateStep, ProgressRunsOverThreePartsAndNamesThem) {
    DocData d;
    AddMeasurements(d);
    RecordingProcDialog progress;
    double level = 99.0;
    ASSERT_TRUE(CalculateStep(&progress, d, 1, Answering(true, {}), &level));
    EXPECT_EQ(progress.GetRange(), 3);
    EXPECT_EQ(progress.GetPos(), 3);
    EXPECT_EQ(progress.Statuses(), (std::vector<std::wstring>{kBuildingTargetText, kFittingText,
                                                              kCheckingPositionsText}));
    EXPECT_TRUE(std::isfinite(level));
    EXPECT_NE(level, 99.0);
}

TEST(ConsoleTargetDialog, MenuEditsTheSettingsTheOrderUses) {
    testing_support::ScriptedPrompt prompt;
    DocData d;
    ConsoleTargetDialog dialog(prompt, d);
    // Menu: OK, X-Over, High Pass Order, Auto Detect ("Auto" hides both frequencies).
    prompt.QueueChoice(1);  // X-Over
    prompt.QueueChoice(0);  // 160 Hz
    prompt.QueueChoice(2);  // High Pass Order
    prompt.QueueChoice(1);  // "Flat": min EQ frequency only
    prompt.QueueChoice(3);  // Min EQ Frequency
    prompt.QueueChoice(2);  // 30 Hz
    prompt.QueueChoice(5);  // Classic fit: no -> yes
    prompt.QueueChoice(0);  // OK
    TargetSettings s{200, 0, 20, 20};
    ASSERT_TRUE(dialog.DoModal(s));
    EXPECT_EQ(s, (TargetSettings{160, 1, 20, 30, FitMethod::Classic}));
    auto calls = prompt.Calls();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front().text, kTargetDialogCaption);
    // Then the house curve's four fields and the limits' two switches.
    EXPECT_EQ(calls.front().choices.size(), 11u);
    EXPECT_EQ(calls.back().choices.size(), 12u);
    EXPECT_EQ(calls.back().choices[5], std::wstring(kClassicFitEntry) + L"yes");
}

TEST(ConsoleTargetDialog, CancelAndEndlessMenusDecline) {
    testing_support::ScriptedPrompt prompt;
    DocData d;
    ConsoleTargetDialog dialog(prompt, d);
    TargetSettings s{200, 0, 20, 20};
    prompt.QueueChoice(std::nullopt);
    EXPECT_FALSE(dialog.DoModal(s));
    for (int i = 0; i < 2 * ConsoleTargetDialog::kMaxRounds; ++i)
        prompt.QueueChoice(2);  // the order menu, then "Flat"... never OK
    EXPECT_FALSE(dialog.DoModal(s));
    EXPECT_EQ(s, (TargetSettings{200, 0, 20, 20}));
}

TEST(ConsoleTargetDialog, AutoDetectResetsTheHighPassAndDetectsTheCrossover) {
    testing_support::ScriptedPrompt prompt;
    DocData d;
    AddMeasurements(d);
    ConsoleTargetDialog dialog(prompt, d);
    prompt.QueueChoice(5);  // Auto Detect (OK, X-Over, Order, HP Freq, Min EQ, Auto Detect)
    prompt.QueueChoice(0);
    TargetSettings s{200, 4, 60, 50};
    ASSERT_TRUE(dialog.DoModal(s));
    EXPECT_TRUE(IsCandidateCrossover(s.crossover)) << s.crossover;
    EXPECT_EQ(s.hpOrder, 0);
    EXPECT_EQ(s.hpFreq, 20);
    EXPECT_EQ(s.minEqFreq, 20);
}

}  // namespace
