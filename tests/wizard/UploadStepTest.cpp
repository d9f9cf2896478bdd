// The Upload and Erase step against the simulated subwoofer, and the gain of the two models
// that carry it in their last band.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "WizardFixture.h"
#include "sublink/UsbProgrammer.h"
#include "sublink/sim_fixture.h"
#include "support/RecordingProcDialog.h"
#include "wizard/CalculateStepConsole.h"
#include "wizard/Steps.h"
#include "wizard/UploadImage.h"

namespace {

using simtest::Options;

constexpr uint16_t kKettrin1 = 0x113;  // 224-byte equaliser block
constexpr uint16_t kKettrin2 = 0x114;  // 512-byte equaliser block
constexpr uint16_t kAvrel1 = 256;

EqResult Fitted(double gainDb) {
    EqResult eq;
    eq.gain = gainDb;
    eq.valid = 1;
    for (int i = 0; i < 10; ++i)
        eq.bands.push_back({1, 0.25, -0.5 + 0.02 * i, 0.5, 0.45, -0.95, 2});
    return eq;
}

int16_t Word(const std::vector<uint8_t>& block, size_t offset) {
    return static_cast<int16_t>(block[offset] | block[offset + 1] << 8);
}

class UploadStepTest : public simtest::SimChannel {
protected:
    std::shared_ptr<Sim::SimDevice> Plug(uint16_t model, std::vector<std::string> faults = {}) {
        auto device = std::make_shared<Sim::SimDevice>(Options(model, std::move(faults)));
        bus->Add(device);
        return device;
    }
    ChannelFactory Channels() {
        return [this] { return Channel(); };
    }
    std::wstring Failure(DocData& data, uint32_t options) {
        try {
            UploadStep(&progress, data, options, Channels());
        } catch (const std::exception& e) {
            return tsl::ExceptionText(e);
        }
        return L"";
    }
    static std::vector<uint8_t> Image(Sim::SimDevice& d) {
        return d.With([](Sim::SimFirmware& f) { return f.EqualiserImage(); });
    }
    static unsigned Uploads(Sim::SimDevice& d) {
        return d.With([](Sim::SimFirmware& f) { return f.UploadsDone(); });
    }

    testing_support::RecordingProcDialog progress;
    DocData data;
};

TEST_F(UploadStepTest, UploadWritesTheDocumentsBlockThenReturnsToApplicationAndSendsT0) {
    auto device = Plug(kKettrin1);
    data.modelId = kKettrin1;
    data.eq = Fitted(-4.5);
    const EqResult before = data.eq;
    ASSERT_TRUE(UploadStep(&progress, data, 0, Channels()));
    EXPECT_EQ(data.eq, before);
    // Another model's block carries no gain: exactly the document's bands.
    auto expected = BuildEqBlock(before, false, 224);
    ASSERT_TRUE(expected.has_value());
    EXPECT_EQ(Image(*device), *expected);
    auto log = Log(*device);
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), "t0");
    EXPECT_EQ(device->With([](Sim::SimFirmware& f) { return f.Mode(); }),
              Sim::SimMode::Application);  // The status line names each stage.
    const std::vector<std::wstring> stages = {
        kFindingSubwooferText, CUsbController::kBootLoaderStatusText,
        CUsbController::kWritingStatusText, CUsbController::kVerifyingStatusText};
    EXPECT_EQ(progress.Statuses(), stages);
}

TEST_F(UploadStepTest, AnotherModelIsRefusedBeforeAnythingIsWritten) {
    auto device = Plug(kKettrin2);
    const std::vector<uint8_t> before = Image(*device);
    data.modelId = kKettrin1;
    data.eq = Fitted(0.0);
    EXPECT_EQ(Failure(data, 0), kOtherModelText);
    EXPECT_EQ(Uploads(*device), 0u);
    EXPECT_EQ(Image(*device), before);
}

TEST_F(UploadStepTest, EraseWorksOnAnEmptyDocumentAndAnyModel) {
    for (uint16_t model : {kKettrin1, kKettrin2}) {
        bus = std::make_shared<Sim::SimBus>();
        auto device = Plug(model);
        DocData empty;
        ASSERT_TRUE(UploadStep(&progress, empty, kOptionErase, Channels())) << model;
        std::vector<uint8_t> image = Image(*device);
        ASSERT_FALSE(image.empty());
        EXPECT_TRUE(std::all_of(image.begin(), image.end(), [](uint8_t b) { return b == 0xFF; }));
        EXPECT_EQ(empty.eq, DocData().eq);
    }
}

TEST_F(UploadStepTest, FailuresCarryTheStepsTexts) {
    // Nothing fitted: refused before a subwoofer is looked for.
    EXPECT_EQ(Failure(data, 0), kNothingToUploadText);
    data.modelId = kKettrin1;
    data.eq = Fitted(0.0);
    EXPECT_EQ(Failure(data, 0), kNoSubwooferText);
    EXPECT_EQ(Failure(data, kOptionErase), kNoSubwooferText);
    auto device = Plug(kKettrin1);
    ASSERT_EQ(Failure(data, 0), L"");
    // The flash now differs from the erased block, so erasing has to store.
    device->With([](Sim::SimFirmware& f) {
        f.AddFault(simtest::F("refuse=m"));
        return 0;
    });
    const std::wstring refused =
        std::wstring(L"\n") + kNotVerifiedCauseText + L" " + kHoldsUnknownText;
    EXPECT_EQ(Failure(data, kOptionErase), kEraseFailedText + refused);
    data.eq.bands[0].c0 = 0.125;  // a different block, so the upload has to store too
    EXPECT_EQ(Failure(data, 0), kUploadFailedText + refused);
    data.eq.bands[3].c1 = 1.5;  // does not convert
    EXPECT_EQ(Failure(data, 0), kUploadFailedText);
}

// Under each fault the seed's text and one line: why, and what the subwoofer now holds.
TEST_F(UploadStepTest, FailuresAddTheCauseAndWhatTheSubwooferHolds) {
    data.modelId = kKettrin1;
    data.eq = Fitted(0.0);
    auto line = [](const wchar_t* cause, const wchar_t* holds) {
        return std::wstring(kUploadFailedText) + L"\n" + cause + L" " + holds;
    };
    struct Case {
        const char* fault;
        std::wstring expected;
    };
    const Case cases[] = {
        {"busy", std::wstring(kNoSubwooferText) + L"\n" + kInUseCauseText},
        {"unplug-at=b", line(kDisconnectedCauseText, kHoldsPreviousText)},
        {"unplug-at=m", line(kDisconnectedCauseText, kHoldsUnknownText)},
        {"silent=m", line(kNoAnswerCauseText, kHoldsUnknownText)},
        {"bad-store", line(kNotVerifiedCauseText, kHoldsUnknownText)},
    };
    for (const Case& c : cases) {
        bus = std::make_shared<Sim::SimBus>();
        Plug(kKettrin1, {c.fault});
        EXPECT_EQ(Failure(data, 0), c.expected) << c.fault;
    }
    bus = std::make_shared<Sim::SimBus>();
    Plug(0x1FF);  // a model no table knows
    EXPECT_EQ(Failure(data, 0), std::wstring(kNoSubwooferText) + L"\n" + kUnknownModelCauseText);
}

TEST_F(UploadStepTest, WritingThroughAChannelThatIsNotOpenFails) {
    auto channel = Channel();
    EXPECT_THROW(WriteCoefficients(*channel, data, false), tsl::wruntime_error);
}

TEST_F(UploadStepTest, TheLastBandOfModel256CarriesTheGain) {
    auto device = Plug(kAvrel1);
    data.modelId = kAvrel1;
    data.eq = Fitted(6.0);  // x 1.9953: one halving into the shift, x 0.9976 into the numerator
    ASSERT_TRUE(UploadStep(&progress, data, 0, Channels()));
    EXPECT_EQ(data.eq.gain, 6.0);
    std::vector<uint8_t> image = Image(*device);
    ASSERT_GE(image.size(), 160u);
    const size_t last = 9 * 16;
    const double rest = std::pow(10.0, 6.0 / 20.0) / 2.0;
    EXPECT_EQ(Word(image, last + 0), *ToQ15(0.25 * rest));
    EXPECT_EQ(Word(image, last + 2), *ToQ15((-0.5 + 0.18) * rest));
    EXPECT_EQ(Word(image, last + 4), *ToQ15(0.5 * rest));
    EXPECT_EQ(Word(image, last + 6), 1);
    // The other bands are untouched.
    EXPECT_EQ(Word(image, 8 * 16 + 4), *ToQ15(0.5));
    EXPECT_EQ(Word(image, 8 * 16 + 6), 2);
}

TEST(FoldGain, TheFoldedBandKeepsTheCascadesResponse) {
    // Numerator value = stored x 2^(1 - shift); times the linear gain it must be unchanged.
    auto overall = [](const EqResult& r) {
        const EqBand& b = r.bands.back();
        return b.c2 * std::pow(2.0, 1 - b.shift) * std::pow(10.0, r.gain / 20.0);
    };
    for (double gainDb : {-12.5, -6.0, -0.5, 0.0, 0.5, 6.0, 11.5, 18.0, 24.0}) {
        EqResult r = Fitted(gainDb);
        const double before = overall(r);
        FoldGainIntoLastBand(r);
        EXPECT_EQ(r.gain, 0.0);
        EXPECT_NEAR(overall(r), before, 1e-12) << gainDb;
        EXPECT_GE(r.bands.back().shift, 0) << gainDb;
        EXPECT_EQ(r.bands.front(), Fitted(gainDb).bands.front());
    }
}

TEST(FoldGain, ShiftNeverGoesNegativeAndTooMuchGainIsRefused) {
    EqResult r = Fitted(24.0);  // x 15.8: two halvings available, the rest too large
    FoldGainIntoLastBand(r);
    EXPECT_EQ(r.bands.back().shift, 0);
    EXPECT_FALSE(BuildEqBlock(r, false, 224).has_value());

    EqResult bad = Fitted(std::nan(""));
    FoldGainIntoLastBand(bad);
    EXPECT_FALSE(BuildEqBlock(bad, false, 224).has_value());
    EqResult huge = Fitted(1e300);
    FoldGainIntoLastBand(huge);
    EXPECT_FALSE(BuildEqBlock(huge, false, 224).has_value());

    EqResult none;
    none.gain = 6.0;
    FoldGainIntoLastBand(none);
    EXPECT_TRUE(none.bands.empty());
}

TEST(FoldGain, OnlyModels256And257TakeIt) {
    for (const CUsbController::BaseConfig* model : CUsbController::RegisteredModels())
        EXPECT_EQ(model->gainInLastBand, model->modelId == 256 || model->modelId == 257)
            << model->ClassName();
}

// Through the wizard: the step's name in the failure and no save after Erase.
class UploadWizardTest : public WizardTest {
protected:
    Threading::VirtualClock usbClock{std::chrono::milliseconds(30)};
    std::shared_ptr<Sim::SimBus> bus = std::make_shared<Sim::SimBus>();
    WizardStepTable Steps() {
        return StandardSteps({}, ConsoleTargetDialogFactory(), [this] {
            return std::make_unique<CUsbController::CUsbProgrammer>(bus, &usbClock);
        });
    }
};

TEST_F(UploadWizardTest, NoSubwooferFailsTheEraseWizardWithItsName) {
    EXPECT_FALSE(Run(kWizardUpload, kOptionErase, Steps()));
    EXPECT_EQ(prompt.CountOf(std::wstring(kNoSubwooferText) + L"\nErase failed."), 1u);
}

TEST_F(UploadWizardTest, UploadWizardSucceedsAndSaves) {
    bus->Add(std::make_shared<Sim::SimDevice>(Options(kKettrin1)));
    document.data.modelId = kKettrin1;
    document.data.eq = Fitted(0.0);
    EXPECT_TRUE(Run(kWizardUpload, 0, Steps()));
    EXPECT_EQ(document.saves, 1);
    EXPECT_EQ(document.data.eq, Fitted(0.0));
}

}  // namespace
