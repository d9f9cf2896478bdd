#pragma once
// Deciphering of calibration files: XTEA with a key derived from the two serial numbers.

#include <array>
#include <cstddef>
#include <cstdint>

namespace Security {

using XteaKey = std::array<uint32_t, 4>;

// Halves of the unit and microphone serials, made distinct by increments, each mapped through
// the block checksum table.
XteaKey DeriveKey(uint32_t unitSerial, uint32_t micSerial);

// Deciphers one block of two words in place (32 cycles).
void DecipherBlock(uint32_t& y, uint32_t& z, const XteaKey& key);

// Deciphers `length` bytes (a whole number of 8-byte blocks, words little-endian) in place.
void DecipherBytes(uint8_t* bytes, size_t length, const XteaKey& key);

}  // namespace Security
