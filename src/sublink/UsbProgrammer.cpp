#include "sublink/UsbProgrammer.h"

#include "measure/Checksum.h"

namespace CUsbController {

namespace {
bool TakeLayout(CUsbProgrammer& p) {
    if (!p.flashConfig && p.CurrentModel())
        p.flashConfig = p.CurrentModel()->flashConfig;
    return p.flashConfig != nullptr;
}
// A lost device is the cause whatever the command was.
bool Fail(CUsbProgrammer& p, ChannelCause cause) {
    p.cause = p.IsLost() ? ChannelCause::Disconnected : cause;
    return false;
}
}  // namespace

ChannelCause OpenFailureCause(CUsbProgrammer& programmer) {
    unsigned total = 0, busy = 0, unrecognised = 0, recognised = 0;
    programmer.CensusDevices(total, busy, unrecognised, recognised);
    if (busy > 0)
        return ChannelCause::InUse;
    return unrecognised > 0 ? ChannelCause::UnknownModel : ChannelCause::None;
}

bool WriteEqualiser(CUsbProgrammer& programmer, const std::vector<uint8_t>& image) {
    programmer.cause = ChannelCause::None;
    programmer.holds = FlashHolds::Previous;
    programmer.heldBefore.reset();
    TakeLayout(programmer);
    if (!programmer.CurrentModel() || !programmer.flashConfig)
        return Fail(programmer, ChannelCause::UnknownModel);
    Progress* progress = programmer.progress;
    if (progress)
        progress->SetRange(3);
    const MemoryBlock& block = programmer.flashConfig->EqualiserBlock();
    if (image.size() != block.length)
        return false;
    if (progress)
        progress->Step(1);
    if (progress)
        progress->SetStatus(kBootLoaderStatusText);
    if (!programmer.SwitchToBootLoader())
        return Fail(programmer, ChannelCause::NoAnswer);
    if (progress)
        progress->Step(1);
    if (!WriteBlock(programmer, block, image))
        return false;
    if (progress)
        progress->Step(1);
    return true;
}

bool WriteBlock(CUsbProgrammer& programmer, const MemoryBlock& block,
                const std::vector<uint8_t>& bytes) {
    if (!TakeLayout(programmer))
        return false;
    if (bytes.size() != block.length)
        return false;
    if (!programmer.SelectBlock(block))
        return Fail(programmer, ChannelCause::NoAnswer);
    uint32_t sum = BlockChecksum(bytes.data(), bytes.size());
    uint32_t device = 0;
    const bool loaded = programmer.LoadBlock(block, device);
    if (loaded)
        programmer.heldBefore = device;
    if (loaded && device == sum)
        return true;  // the flash already holds these bytes
    const MemorySelection& c = programmer.Selection();
    bool wholeRegion =
        block.offset == 0 && uint64_t{block.length} == uint64_t{c.wordCount} * c.bytesPerWord;
    if (!wholeRegion && !programmer.LoadRegion())
        return Fail(programmer, ChannelCause::NoAnswer);
    if (programmer.progress)
        programmer.progress->SetStatus(kWritingStatusText);
    if (!programmer.UploadBlock(block, bytes))
        return Fail(programmer, ChannelCause::NoAnswer);
    // From the store on, the flash may hold the old bytes, the new ones or neither.
    programmer.holds = FlashHolds::Unknown;
    std::string reply;
    if (!programmer.RetriedTransact("m", &reply))
        return Fail(programmer, ChannelCause::NoAnswer);
    if (CUsbComm::IsRefusal(reply))
        return Fail(programmer, ChannelCause::NotVerified);
    if (programmer.progress)
        programmer.progress->SetStatus(kVerifyingStatusText);
    if (!programmer.LoadBlock(block, device))
        return Fail(programmer, ChannelCause::NoAnswer);
    return device == sum || Fail(programmer, ChannelCause::NotVerified);
}

}  // namespace CUsbController
