#pragma once
// The 32-bit block checksum of calibration files, the upload command and the equaliser image:
// polynomial 0x04C11DB7, most significant bit first, register initialised to 0xFFFFFFFF, final
// register XOR-ed with 0x04C11DB7.

#include <cstddef>
#include <cstdint>

std::uint32_t BlockChecksum(const std::uint8_t* bytes, std::size_t length);
// Stores the checksum of the first length - 4 bytes in the last 4, least significant byte first.
// False (buffer unchanged) when length < 4.
bool AppendChecksum(std::uint8_t* buffer, std::size_t length);
