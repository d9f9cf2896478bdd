#include "sublink/UsbProgrammer.h"

#include "measure/Checksum.h"

namespace CUsbController {

namespace {
bool TakeLayout(CUsbProgrammer& p) {
    if (!p.flashConfig && p.CurrentModel())
        p.flashConfig = p.CurrentModel()->flashConfig;
    return p.flashConfig != nullptr;
}
}  // namespace

bool WriteEqualiser(CUsbProgrammer& programmer, const std::vector<uint8_t>& image) {
    TakeLayout(programmer);
    if (!programmer.CurrentModel() || !programmer.flashConfig)
        return false;
    Progress* progress = programmer.progress;
    if (progress)
        progress->SetRange(3);
    const MemoryBlock& block = programmer.flashConfig->EqualiserBlock();
    if (image.size() != block.length)
        return false;
    if (progress)
        progress->Step(1);
    if (!programmer.SwitchToBootLoader())
        return false;
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
        return false;
    uint32_t sum = BlockChecksum(bytes.data(), bytes.size());
    uint32_t device = 0;
    if (programmer.LoadBlock(block, device) && device == sum)
        return true;  // the flash already holds these bytes
    const MemorySelection& c = programmer.Selection();
    bool wholeRegion =
        block.offset == 0 && uint64_t{block.length} == uint64_t{c.wordCount} * c.bytesPerWord;
    if (!wholeRegion && !programmer.LoadRegion())
        return false;
    if (!programmer.UploadBlock(block, bytes))
        return false;
    std::string reply;
    if (!programmer.RetriedTransact("m", &reply))
        return false;
    if (CUsbComm::IsRefusal(reply))
        return false;
    return programmer.LoadBlock(block, device) && device == sum;
}

}  // namespace CUsbController
