#pragma once
// The command channel that writes the equaliser into the subwoofer's flash through its boot
// loader, each step verified by checksum.

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "sublink/Progress.h"
#include "sublink/UsbComm.h"

namespace CUsbController {

// The progress status while the equaliser is written.
inline constexpr wchar_t kBootLoaderStatusText[] = L"Starting the boot loader";
inline constexpr wchar_t kWritingStatusText[] = L"Writing the equaliser";
inline constexpr wchar_t kVerifyingStatusText[] = L"Verifying";

// Why the last write or open failed; None after a success.
enum class ChannelCause { None, Disconnected, NotVerified, NoAnswer, InUse, UnknownModel };
// What the equaliser block holds after a failed write: the equaliser it held before, or
// unknown once a store was sent.
enum class FlashHolds { Previous, Unknown };

class CUsbProgrammer : public CUsbComm {
public:
    using CUsbComm::CUsbComm;
    ~CUsbProgrammer() override = default;

    Progress* progress = nullptr;                  // not owned; may be null
    const BaseFlashConfig* flashConfig = nullptr;  // taken from the current model when needed
    // Kept for the step that reports the failure; reset when a write begins.
    ChannelCause cause = ChannelCause::None;
    FlashHolds holds = FlashHolds::Previous;
    // The device's checksum of the block before the last write, when it could be read.
    std::optional<uint32_t> heldBefore;
};

// After a failed open: the subwoofer is in use by another program or of a model this program
// does not know (None when no subwoofer is connected). Closes the channel.
ChannelCause OpenFailureCause(CUsbProgrammer& programmer);

// Enters the boot loader and writes image (of the equaliser block's length) into the equaliser
// block. The subwoofer is left in its boot loader.
bool WriteEqualiser(CUsbProgrammer& programmer, const std::vector<uint8_t>& image);

// Writes bytes (of the block's length) into one block unless the flash already holds them.
bool WriteBlock(CUsbProgrammer& programmer, const MemoryBlock& block,
                const std::vector<uint8_t>& bytes);

}  // namespace CUsbController
