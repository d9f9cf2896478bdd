#pragma once
// The Upload and Erase wizards' step: connects to the subwoofer and writes either the
// document's equaliser or the erased block into its flash.

#include <cstdint>
#include <functional>
#include <memory>

#include "sublink/UsbEnvironment.h"

#include "wizard/History.h"
#include "wizard/WizardStep.h"

namespace CUsbController {
class BaseConfig;
class CUsbProgrammer;
}  // namespace CUsbController
struct DocData;
class IProcDialog;

// A fresh, closed command channel for one step.
using ChannelFactory = std::function<std::unique_ptr<CUsbController::CUsbProgrammer>()>;

// Channels on the environment's bus, clock and trace.
ChannelFactory ChannelsOn(CUsbController::UsbEnvironment environment);

// Options bit kOptionErase selects erasing. Returns true or raises the step's failure text; an
// upload of a document without a fitted equaliser is refused before any subwoofer is looked for.
// With a history folder the write is recorded there, after a record of what the subwoofer held
// before when the history does not know it.
bool UploadStep(IProcDialog* progress, DocData& data, uint32_t options,
                const ChannelFactory& makeChannel, const History::Setup& history = {});

// Writes the block of history record `number` (from 1) back into the subwoofer as an upload
// does (same model only, skipped when the flash holds it, verified) and records the restore.
bool RestoreStep(IProcDialog* progress, const History::Record& record, int number,
                 const ChannelFactory& makeChannel, const History::Setup& history = {});

// Writes a copy of the document's EQ result (or the erase default) through an opened channel,
// then returns the subwoofer to application code and sends "t0". The data is not changed.
void WriteCoefficients(CUsbController::CUsbProgrammer& channel, const DocData& data, bool erase);

// The model of the subwoofer connected now (the channel is closed again); raises the
// no-subwoofer text with its cause.
const CUsbController::BaseConfig& ConnectedModel(const ChannelFactory& makeChannel);

// The step for the wizard's table (arg1 the working DocData, arg2 the options word).
StepFunction MakeUploadStep(ChannelFactory makeChannel, History::Setup history = {});
// The upload step of a Restore wizard (kOptionRestore); the document is not used.
StepFunction MakeRestoreStep(History::Record record, int number, ChannelFactory makeChannel,
                             History::Setup history = {});

inline constexpr wchar_t kNoSubwooferText[] =
    L"Could not find a subwoofer.\nPlease check that you have connected the target subwoofer via "
    L"USB.";
inline constexpr wchar_t kOtherModelText[] =
    L"Error, can't upload results to a different subwoofer than what was used to make the "
    L"measurements";
inline constexpr wchar_t kNothingToUploadText[] =
    L"The document holds no equaliser to upload: measure and calculate first.";
inline constexpr wchar_t kUploadFailedText[] = L"Failed to upload results";
inline constexpr wchar_t kEraseFailedText[] = L"Failed to erase EQ coefficients";
inline constexpr wchar_t kFindingSubwooferText[] = L"Looking for the subwoofer";
inline constexpr wchar_t kFoundOnlyText[] =
    L"This record holds only the checksum of what the subwoofer held, not its equaliser, so it "
    L"cannot be written back.";
inline constexpr wchar_t kDamagedRecordText[] =
    L"This record's block does not match its checksum, so it is not written.";

// The line added to a failure: why, and what the subwoofer now holds.
inline constexpr wchar_t kDisconnectedCauseText[] =
    L"The subwoofer was disconnected during the write.";
inline constexpr wchar_t kNotVerifiedCauseText[] = L"The written data did not verify.";
inline constexpr wchar_t kNoAnswerCauseText[] = L"The subwoofer did not answer a command.";
inline constexpr wchar_t kInUseCauseText[] = L"The subwoofer is in use by another program.";
inline constexpr wchar_t kUnknownModelCauseText[] =
    L"The subwoofer is a model this program does not know.";
inline constexpr wchar_t kHoldsPreviousText[] =
    L"The subwoofer still holds its previous equaliser.";
inline constexpr wchar_t kHoldsUnknownText[] =
    L"What the subwoofer now holds is unknown: run Upload again.";
