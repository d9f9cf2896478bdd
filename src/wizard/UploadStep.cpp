#include "wizard/UploadStep.h"

#include <tuple>

#include "document/DocData.h"
#include "measure/Checksum.h"
#include "sublink/BaseConfig.h"
#include "sublink/UsbProgrammer.h"
#include "threading/Errors.h"
#include "wizard/CalculateFit.h"
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

uint32_t Checksum(const std::vector<uint8_t>& block) {
    return BlockChecksum(block.data(), block.size());
}

// Records what one step wrote into its subwoofer's history. Recording never fails the step: a
// history that cannot be written is told as a notice, as a damaged one moved aside is.
class Recorder {
public:
    Recorder(IProcDialog* progress, const History::Setup& setup,
             const CUsbController::BaseConfig& model)
        : progress_(progress), setup_(setup), model_(model) {}

    bool On() const { return !setup_.folder.empty(); }

    // A record of the kind with the subwoofer's model and the block written.
    History::Record Make(const char* kind, const std::vector<uint8_t>& block) const {
        History::Record r;
        r.date = History::Now();
        r.kind = kind;
        r.modelId = model_.modelId;
        r.modelName = model_.shortCode;
        r.checksum = Checksum(block);
        r.block = block;
        return r;
    }

    // After a write, successful or not: what the flash held before it, when that was neither
    // the erased block nor the image, and the history does not know it.
    void NoteFound(const CUsbController::CUsbProgrammer& channel,
                   const std::vector<uint8_t>& image) {
        if (!On() || !channel.heldBefore || *channel.heldBefore == Checksum(image))
            return;
        const std::optional<std::vector<uint8_t>> erased = BuildUploadImage({}, &model_, true);
        if (erased && *channel.heldBefore == Checksum(*erased))
            return;
        try {
            const History::Book book = History::Load(Path());
            Notify(book.notice);
            if (book.Knows(model_.modelId, *channel.heldBefore))
                return;
        } catch (const std::exception& e) {
            Notify(tsl::ExceptionText(e));
            return;
        }
        History::Record found = Make(History::kFound, {});
        found.checksum = *channel.heldBefore;
        pending_.push_back(std::move(found));
    }

    // Appends what is pending, then `written` when given, with the firmware read now.
    void Finish(CUsbController::CUsbProgrammer* channel, std::optional<History::Record> written) {
        if (!On())
            return;
        if (written)
            pending_.push_back(std::move(*written));
        if (pending_.empty())
            return;
        CUsbController::ModelVersion version;
        if (channel && channel->Mode() == CUsbController::ChannelMode::Application &&
            channel->ReadFirmwareVersion(version))
            for (History::Record& r : pending_)
                r.firmware = tsl::ToUtf8(CUsbController::FormatVersion(version));
        try {
            Notify(History::Append(Path(), pending_));
        } catch (const std::exception& e) {
            Notify(L"The history was not updated: " + tsl::ExceptionText(e));
        }
        pending_.clear();
    }

    // Asked on the UI thread, where the document lives.
    std::filesystem::path DocumentPath() const {
        std::filesystem::path path;
        if (!setup_.documentPath)
            return path;
        if (progress_)
            progress_->OnUiThread([&] { path = setup_.documentPath(); });
        else
            path = setup_.documentPath();
        return path;
    }

private:
    std::filesystem::path Path() const { return History::FilePath(setup_.folder, model_.modelId); }
    void Notify(const std::wstring& text) const {
        if (text.empty())
            return;
        if (setup_.notice)
            setup_.notice(text);
        else if (progress_)
            ShowStepMessage(progress_, text, Threading::MsgButtons::Ok,
                            Threading::MsgIcon::Warning);
    }

    IProcDialog* progress_;
    const History::Setup& setup_;
    const CUsbController::BaseConfig& model_;
    std::vector<History::Record> pending_;
};

// The figures the programs report for the document's equaliser.
History::FitFigures FitFiguresOf(const DocData& data) {
    History::FitFigures fit;
    if (const auto error = DeliveredFitError(data)) {
        fit.rmsDb = error->rmsDb;
        fit.maxDb = error->maxDb;
    }
    std::tie(fit.lowerHz, fit.upperHz) = FitLimits(data);
    fit.method = std::string(FitMethodName(data.fitMethod.value_or(kDefaultFitMethod)));
    return fit;
}

// Writes image through the opened channel, then returns the subwoofer to application code and
// sends "t0"; raises failure with the cause. The recorder, when given, notes what the flash held.
void WriteImage(CUsbController::CUsbProgrammer& channel, const std::vector<uint8_t>& image,
                const wchar_t* failure, Recorder* recorder) {
    const bool written = CUsbController::WriteEqualiser(channel, image);
    if (recorder)
        recorder->NoteFound(channel, image);
    if (!written) {
        if (recorder)
            recorder->Finish(nullptr, std::nullopt);
        const bool unknown = channel.holds == CUsbController::FlashHolds::Unknown;
        throw tsl::wruntime_error(
            WithCause(failure, channel.cause, unknown ? kHoldsUnknownText : kHoldsPreviousText));
    }
    if (channel.SwitchToApplication())
        channel.Transact("t0");
}

// The block written for the data (or the erase default); raises failure when there is none.
std::vector<uint8_t> ImageFor(CUsbController::CUsbProgrammer& channel, const DocData& data,
                              bool erase) {
    const wchar_t* failure = erase ? kEraseFailedText : kUploadFailedText;
    const CUsbController::BaseConfig* model = channel.CurrentModel();
    if (!channel.IsUsable() || model == nullptr)
        throw tsl::wruntime_error(failure);
    std::optional<std::vector<uint8_t>> image = BuildUploadImage(data.eq, model, erase);
    if (!image)
        throw tsl::wruntime_error(failure);
    return std::move(*image);
}

// Opens a fresh channel on any subwoofer; raises the no-subwoofer text with its cause.
std::unique_ptr<CUsbController::CUsbProgrammer> OpenSubwoofer(IProcDialog* progress,
                                                              const ChannelFactory& makeChannel) {
    if (progress)
        progress->SetDisplayString(kFindingSubwooferText);
    std::unique_ptr<CUsbController::CUsbProgrammer> channel = makeChannel ? makeChannel() : nullptr;
    if (!channel)
        throw tsl::wruntime_error(kNoSubwooferText);
    if (!channel->OpenAnyDevice() || channel->CurrentModel() == nullptr)
        throw tsl::wruntime_error(
            WithCause(kNoSubwooferText, CUsbController::OpenFailureCause(*channel), nullptr));
    return channel;
}

}  // namespace

ChannelFactory ChannelsOn(CUsbController::UsbEnvironment environment) {
    return [environment = std::move(environment)] {
        return std::make_unique<CUsbController::CUsbProgrammer>(environment);
    };
}

const CUsbController::BaseConfig& ConnectedModel(const ChannelFactory& makeChannel) {
    return *OpenSubwoofer(nullptr, makeChannel)->CurrentModel();
}

void WriteCoefficients(CUsbController::CUsbProgrammer& channel, const DocData& data, bool erase) {
    WriteImage(channel, ImageFor(channel, data, erase),
               erase ? kEraseFailedText : kUploadFailedText, nullptr);
}

bool UploadStep(IProcDialog* progress, DocData& data, uint32_t options,
                const ChannelFactory& makeChannel, const History::Setup& history) {
    const bool erase = (options & kOptionErase) != 0;
    if (!erase && !CanUpload(data))
        throw tsl::wruntime_error(kNothingToUploadText);
    // Declared first so that it outlives the channel that points to it.
    std::unique_ptr<StepProgress> shown;
    std::unique_ptr<CUsbController::CUsbProgrammer> channel = OpenSubwoofer(progress, makeChannel);
    if (!erase && channel->CurrentModel()->modelId != data.modelId)
        throw tsl::wruntime_error(kOtherModelText);
    if (progress) {
        shown = std::make_unique<StepProgress>(*progress);
        channel->progress = shown.get();
    }
    const std::vector<uint8_t> image = ImageFor(*channel, data, erase);
    Recorder recorder(progress, history, *channel->CurrentModel());
    WriteImage(*channel, image, erase ? kEraseFailedText : kUploadFailedText, &recorder);
    if (recorder.On()) {
        History::Record written = recorder.Make(erase ? History::kErase : History::kUpload, image);
        if (!erase) {
            written.eq = data.eq;
            written.documentPath = recorder.DocumentPath();
            written.fit = FitFiguresOf(data);
        }
        recorder.Finish(channel.get(), std::move(written));
    }
    return true;
}

bool RestoreStep(IProcDialog* progress, const History::Record& record, int number,
                 const ChannelFactory& makeChannel, const History::Setup& history) {
    if (record.block.empty())
        throw tsl::wruntime_error(kFoundOnlyText);
    if (Checksum(record.block) != record.checksum)
        throw tsl::wruntime_error(kDamagedRecordText);
    std::unique_ptr<StepProgress> shown;
    std::unique_ptr<CUsbController::CUsbProgrammer> channel = OpenSubwoofer(progress, makeChannel);
    if (channel->CurrentModel()->modelId != record.modelId)
        throw tsl::wruntime_error(kOtherModelText);
    if (progress) {
        shown = std::make_unique<StepProgress>(*progress);
        channel->progress = shown.get();
    }
    if (!channel->IsUsable())
        throw tsl::wruntime_error(kUploadFailedText);
    Recorder recorder(progress, history, *channel->CurrentModel());
    WriteImage(*channel, record.block, kUploadFailedText, &recorder);
    if (recorder.On()) {
        History::Record restored = recorder.Make(History::kRestore, record.block);
        restored.eq = record.eq;
        restored.documentPath = record.documentPath;
        restored.fit = record.fit;
        restored.restoredFrom = number;
        recorder.Finish(channel.get(), std::move(restored));
    }
    return true;
}

StepFunction MakeUploadStep(ChannelFactory makeChannel, History::Setup history) {
    return DocumentStep(L"Upload",
                        [makeChannel = std::move(makeChannel), history = std::move(history)](
                            IProcDialog* progress, DocData& data, uint32_t options) {
                            return UploadStep(progress, data, options, makeChannel, history);
                        });
}

StepFunction MakeRestoreStep(History::Record record, int number, ChannelFactory makeChannel,
                             History::Setup history) {
    return DocumentStep(L"Restore",
                        [record = std::move(record), number, makeChannel = std::move(makeChannel),
                         history = std::move(history)](IProcDialog* progress, DocData&, uint32_t) {
                            return RestoreStep(progress, record, number, makeChannel, history);
                        });
}
