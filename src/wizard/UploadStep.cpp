#include "wizard/UploadStep.h"

#include <cmath>

#include "document/DocData.h"
#include "sublink/UsbProgrammer.h"
#include "threading/Errors.h"
#include "wizard/ProcDialog.h"
#include "wizard/RunWizard.h"

namespace {

// The programmer's progress shown on the wizard's progress bar and status line.
class StepProgress : public CUsbController::Progress {
public:
    explicit StepProgress(IProcDialog& dialog) : dialog_(dialog) {}
    void SetRange(uint32_t n) override { dialog_.SetRange(static_cast<int32_t>(n)); }
    void Step(uint32_t n) override { dialog_.OffsetPos(static_cast<int32_t>(n)); }
    void SetStatus(const std::wstring& text) override {
        StoreStatus(text);
        dialog_.SetDisplayString(text);
    }
    Threading::IWindow* GetWnd() override { return dialog_.GetWnd(); }
    Threading::WindowHandle GetHwnd() override { return dialog_.GetHwnd(); }

private:
    IProcDialog& dialog_;
};

}  // namespace

ChannelFactory DefaultChannelFactory() {
    return [] { return std::make_unique<CUsbController::CUsbProgrammer>(); };
}

bool TakesGainInLastBand(uint16_t modelId) {
    return modelId == 256 || modelId == 257;
}

// The stored gain is dB, so it reaches these models as the linear factor 10^(dB/20), in both
// directions, as the calculated curve assumes. Each halving of a factor above 1 lowers the last
// band's shift (doubling its numerator scale 2^(1 - shift)) but never below 0, which the
// firmware cannot express; what remains multiplies c0..c2, and a numerator pushed outside
// [-1, 1] fails the block's conversion, so the upload is refused rather than clipped. The
// other models' block has no place for a gain: their level is set on the subwoofer itself.
void FoldGainIntoLastBand(EqResult& result) {
    if (result.bands.empty())
        return;
    EqBand& last = result.bands.back();
    double factor = std::pow(10.0, result.gain / 20.0);
    if (!std::isfinite(factor))
        factor = std::nan("");  // refused by the block's conversion
    while (factor > 1.0 && last.shift > 0) {
        factor /= 2.0;
        last.shift -= 1;
    }
    last.c0 *= factor;
    last.c1 *= factor;
    last.c2 *= factor;
    result.gain = 0.0;
}

void WriteCoefficients(CUsbController::CUsbProgrammer& channel, const DocData& data, bool erase) {
    const wchar_t* failure = erase ? kEraseFailedText : kUploadFailedText;
    const CUsbController::BaseConfig* model = channel.CurrentModel();
    if (!channel.IsUsable() || model == nullptr)
        throw tsl::wruntime_error(failure);
    const size_t bands = model->eqBandCount > 0 ? static_cast<size_t>(model->eqBandCount) : 0;
    EqResult copy = erase ? EraseDefault(bands) : data.eq;
    if (TakesGainInLastBand(model->modelId))
        FoldGainIntoLastBand(copy);
    if (!CUsbController::WriteEqualiser(channel, erase, copy))
        throw tsl::wruntime_error(failure);
    if (channel.SwitchToApplication())
        channel.Transact("t0");
}

bool UploadStep(IProcDialog* progress, DocData& data, uint32_t options,
                const ChannelFactory& makeChannel) {
    const bool erase = (options & kOptionErase) != 0;
    // Declared first so that it outlives the channel that points to it.
    std::unique_ptr<StepProgress> shown;
    std::unique_ptr<CUsbController::CUsbProgrammer> channel = makeChannel ? makeChannel() : nullptr;
    if (!channel || !channel->OpenAnyDevice() || channel->CurrentModel() == nullptr)
        throw tsl::wruntime_error(kNoSubwooferText);
    if (!erase && channel->CurrentModel()->modelId != data.modelId)
        throw tsl::wruntime_error(kOtherModelText);
    if (progress) {
        shown = std::make_unique<StepProgress>(*progress);
        channel->progress = shown.get();
    }
    WriteCoefficients(*channel, data, erase);
    return true;
}

StepFunction MakeUploadStep(ChannelFactory makeChannel) {
    return [makeChannel = std::move(makeChannel)](IProcDialog* progress, void* arg1,
                                                  void* arg2) -> bool {
        auto* data = static_cast<DocData*>(arg1);
        const auto* options = static_cast<const uint32_t*>(arg2);
        if (data == nullptr)
            throw tsl::wruntime_error(L"The Upload step has no document.");
        return UploadStep(progress, *data, options ? *options : 0, makeChannel);
    };
}
