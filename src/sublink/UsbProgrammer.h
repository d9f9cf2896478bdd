#pragma once
// The command channel that writes the equaliser into the subwoofer's flash through its boot
// loader, each step verified by checksum.

#include <cstdint>
#include <memory>
#include <vector>

#include "sublink/Progress.h"
#include "sublink/UsbComm.h"

namespace CUsbController {

class CUsbProgrammer : public CUsbComm {
public:
    using CUsbComm::CUsbComm;
    ~CUsbProgrammer() override = default;

    Progress* progress = nullptr;                  // not owned; may be null
    const BaseFlashConfig* flashConfig = nullptr;  // taken from the current model when needed
};

// Enters the boot loader and writes image (of the equaliser block's length) into the equaliser
// block. The subwoofer is left in its boot loader.
bool WriteEqualiser(CUsbProgrammer& programmer, const std::vector<uint8_t>& image);

// Writes bytes (of the block's length) into one block unless the flash already holds them.
bool WriteBlock(CUsbProgrammer& programmer, const MemoryBlock& block,
                const std::vector<uint8_t>& bytes);

}  // namespace CUsbController
