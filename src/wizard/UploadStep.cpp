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

// The failure text, and the cause and what the subwoofer now holds as one more line.
std::wstring WithCause(const wchar_t* failure, CUsbController::ChannelCause cause,
                       const wchar_t* holds) {
    // In the order of ChannelCause, from Disconnected on.
    static const wchar_t* const kCauses[] = {kDisconnectedCauseText, kNotVerifiedCauseText,
                                             kNoAnswerCauseText, kInUseCauseText,
                                             kUnknownModelCauseText};
    if (cause == CUsbController::ChannelCause::None)
        return failure;
    std::wstring text = std::wstring(failure) + L"\n" + kCauses[static_cast<size_t>(cause) - 1];
    if (holds != nullptr)
        text += std::wstring(L" ") + holds;
    return text;
}

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
    if (!image)
        throw tsl::wruntime_error(failure);
    if (!CUsbController::WriteEqualiser(channel, *image)) {
        const bool unknown = channel.holds == CUsbController::FlashHolds::Unknown;
        throw tsl::wruntime_error(
            WithCause(failure, channel.cause, unknown ? kHoldsUnknownText : kHoldsPreviousText));
    }
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
    if (progress)
        progress->SetDisplayString(kFindingSubwooferText);
    std::unique_ptr<CUsbController::CUsbProgrammer> channel = makeChannel ? makeChannel() : nullptr;
    if (!channel)
        throw tsl::wruntime_error(kNoSubwooferText);
    if (!channel->OpenAnyDevice() || channel->CurrentModel() == nullptr)
        throw tsl::wruntime_error(
            WithCause(kNoSubwooferText, CUsbController::OpenFailureCause(*channel), nullptr));
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
