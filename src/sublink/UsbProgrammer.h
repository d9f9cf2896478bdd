#pragma once
// The command channel that writes the equaliser into the subwoofer's flash through its boot
// loader, each step verified by checksum.

#include <cstdint>
#include <memory>
#include <vector>

#include "correction/EqResult.h"
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

// Builds the image (the erase image when `erase`), enters the boot loader and writes the image
// into the equaliser block. The subwoofer is left in its boot loader.
bool WriteEqualiser(CUsbProgrammer& programmer, bool erase, const EqResult& coefficients);

// Writes bytes (of the block's length) into one block unless the flash already holds them.
bool WriteBlock(CUsbProgrammer& programmer, const MemoryBlock& block,
                const std::vector<uint8_t>& bytes);

}  // namespace CUsbController
