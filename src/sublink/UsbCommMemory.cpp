// Memory addressing of the command channel: memory "h", region "s", word address "a", and the
// load, checksum and upload commands on one block.

#include "measure/Checksum.h"
#include "sublink/UsbComm.h"

namespace CUsbController {

namespace {
constexpr uint32_t kUnset = MemorySelection::kUnset;
bool CountSet(uint32_t v) {
    return v != 0 && v != kUnset;
}
}  // namespace

bool CUsbComm::QueryMemoryCount() {
    uint32_t count = 0;
    if (!RetriedQuery("G0", count))
        return false;
    cache_ = MemorySelection{};
    cache_.memoryCount = count;
    return true;
}

bool CUsbComm::SelectMemory(uint32_t n) {
    Snapshot s = TakeSnapshot();
    if (!CountSet(cache_.memoryCount) && !QueryMemoryCount())
        return false;
    if (n >= cache_.memoryCount)
        return false;
    cache_.memory = n;
    cache_.regionCount = cache_.wordCount = cache_.bytesPerWord = kUnset;
    cache_.region = 0;
    cache_.address = 0;
    if (Retried([&] { return SetAndVerify("h", "H", n); }))
        return true;
    Restore(s);
    return false;
}

bool CUsbComm::QueryLayout() {
    if (!CountSet(cache_.memoryCount) || cache_.memory >= cache_.memoryCount)
        return false;
    uint32_t words = 0, bits = 0, regions = 0;
    if (!RetriedQuery("G3", words) || !RetriedQuery("G4", bits) || !RetriedQuery("G2", regions))
        return false;
    uint32_t bytes = bits / 8;
    if (!CountSet(words) || !CountSet(regions) || !CountSet(bytes))
        return false;
    cache_.regionCount = regions;
    cache_.wordCount = words;
    cache_.bytesPerWord = bytes;
    return true;
}

bool CUsbComm::LayoutKnown() const {
    return CountSet(cache_.memoryCount) && cache_.memory < cache_.memoryCount &&
           CountSet(cache_.regionCount) && CountSet(cache_.wordCount) &&
           CountSet(cache_.bytesPerWord);
}

bool CUsbComm::SelectRegion(uint32_t n) {
    if (!LayoutKnown() || n >= cache_.regionCount)
        return false;
    Snapshot s = TakeSnapshot();
    cache_.region = n;
    if (Retried([&] { return SetAndVerify("s", "S", n); }))
        return true;
    Restore(s);
    return false;
}

bool CUsbComm::SelectAddress(uint32_t n) {
    if (!LayoutKnown() || n >= cache_.wordCount)
        return false;
    Snapshot s = TakeSnapshot();
    cache_.address = n;
    if (Retried([&] { return SetAndVerify("a", "A", n); }))
        return true;
    Restore(s);
    return false;
}

bool CUsbComm::SelectBlock(const MemoryBlock& block) {
    const MemorySelection& c = cache_;
    bool allSet = c.memoryCount != kUnset && c.memory != kUnset && c.regionCount != kUnset &&
                  c.region != kUnset && c.wordCount != kUnset && c.address != kUnset &&
                  c.bytesPerWord != kUnset;
    if (allSet && c.region < c.regionCount && c.address < c.wordCount && block.memory == c.memory &&
        block.region == c.region && uint64_t{c.wordCount} * c.bytesPerWord >= block.length &&
        WordAddress(block) == c.address)
        return true;
    return SelectMemory(block.memory) && QueryLayout() && SelectRegion(block.region) &&
           SelectAddress(WordAddress(block));
}

bool CUsbComm::QueryChecksum(const MemoryBlock& block, uint32_t& checksum) {
    if (!SelectBlock(block))
        return false;
    bool wholeRegion = block.offset == 0 &&
                       uint64_t{block.length} == uint64_t{cache_.wordCount} * cache_.bytesPerWord;
    std::string command = wholeRegion ? std::string("D") : "D" + Hex(WordCount(block));
    return RetriedQuery(command, checksum);
}

bool CUsbComm::LoadBlock(const MemoryBlock& block, uint32_t& checksum) {
    if (!SelectBlock(block))
        return false;
    if (!LoadRegion())
        return false;
    return QueryChecksum(block, checksum);
}

bool CUsbComm::LoadRegion() {
    std::string reply;
    return Retried([&] { return Transact("M", &reply) && !IsRefusal(reply); });
}

bool CUsbComm::UploadBlock(const MemoryBlock& block, const std::vector<uint8_t>& data) {
    if (!SelectBlock(block))
        return false;
    std::string command = "u" + Hex(WordCount(block));
    if (uint64_t{block.length} > uint64_t{cache_.wordCount} * cache_.bytesPerWord ||
        data.size() != block.length)
        return false;
    uint32_t sum = BlockChecksum(data.data(), data.size());
    if (!IsUsable())
        return false;
    if (trace_)
        Trace("usb> " + command + " +" + std::to_string(data.size()) + " bytes");
    std::vector<uint8_t> frame(command.begin(), command.end());
    frame.push_back(';');
    frame.insert(frame.end(), data.begin(), data.end());
    if (!WriteRaw(frame.data(), frame.size()))
        return false;
    uint8_t tail[4] = {static_cast<uint8_t>(sum), static_cast<uint8_t>(sum >> 8),
                       static_cast<uint8_t>(sum >> 16), static_cast<uint8_t>(sum >> 24)};
    if (!WriteRaw(tail, sizeof tail))
        return false;
    if (IsUsable())
        ReadReply(kReplyWait);
    uint32_t device = 0;
    return QueryChecksum(block, device) && device == sum;
}

}  // namespace CUsbController
