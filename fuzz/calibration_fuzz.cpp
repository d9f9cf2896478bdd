// Feeds arbitrary bytes to the calibration file decoder, with the serials of the seed files.
// Inputs whose last byte is odd get a correct length field and checksum first, so that the
// deciphering and the checks behind the checksum are reached too.
#include <vector>

#include "FuzzTarget.h"
#include "measure/Checksum.h"
#include "measure/Secure.h"

TESSALINE_FUZZ_TARGET(calibration) {
    std::vector<uint8_t> bytes(data, data + size);
    if (size >= 12 && (data[size - 1] & 1)) {
        for (int i = 0; i < 4; ++i)
            bytes[4 + i] = static_cast<uint8_t>(size >> (8 * i));
        AppendChecksum(bytes.data(), bytes.size());
    }
    CCurve curve;
    int32_t version = 0;
    try {
        Security::DecodeCalibrationImage(std::move(bytes), 0x00010001, 1234, curve, version);
    } catch (const tsl::wruntime_error&) {
    }
    return 0;
}
