#include "wizard/UploadStep.h"

#include "document/DocData.h"
#include "sublink/UsbProgrammer.h"
#include "threading/Errors.h"
#include "wizard/MainCommands.h"
#include "wizard/ProcDialog.h"
#include "wizard/RunWizard.h"
#include "wizard/UploadImage.h"

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

ChannelFactory ChannelsOn(CUsbController::UsbEnvironment environment) {
    return [environment = std::move(environment)] {
        return std::make_unique<CUsbController::CUsbProgrammer>(environment);
    };
}

void WriteCoefficients(CUsbController::CUsbProgrammer& channel, const DocData& data, bool erase) {
    const wchar_t* failure = erase ? kEraseFailedText : kUploadFailedText;
    const CUsbController::BaseConfig* model = channel.CurrentModel();
    if (!channel.IsUsable() || model == nullptr)
        throw tsl::wruntime_error(failure);
    const std::optional<std::vector<uint8_t>> image = BuildUploadImage(data.eq, model, erase);
    if (!image || !CUsbController::WriteEqualiser(channel, *image))
        throw tsl::wruntime_error(failure);
    if (channel.SwitchToApplication())
        channel.Transact("t0");
}

bool UploadStep(IProcDialog* progress, DocData& data, uint32_t options,
                const ChannelFactory& makeChannel) {
    const bool erase = (options & kOptionErase) != 0;
    if (!erase && !CanUpload(data))
        throw tsl::wruntime_error(kNothingToUploadText);
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
    return DocumentStep(L"Upload", [makeChannel = std::move(makeChannel)](
                                       IProcDialog* progress, DocData& data, uint32_t options) {
        return UploadStep(progress, data, options, makeChannel);
    });
}
