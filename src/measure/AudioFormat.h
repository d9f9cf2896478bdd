#pragma once
// The one capture format of the measurement microphone (48000 Hz, 16-bit, mono), laid out as
// the extensible wave-format record and shared by pointer between the sink and the recorder.

#include <array>
#include <cstdint>
#include <memory>

namespace AudioSampler {

inline constexpr std::uint16_t kWaveFormatExtensible = 0xFFFE;
inline constexpr std::uint32_t kSpeakerFrontLeft = 1;
// {00000001-0000-0010-8000-00AA00389B71}, in the record's byte order.
inline constexpr std::array<std::uint8_t, 16> kPcmSubFormat{
    0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

struct CaptureFormat {
    std::uint16_t formatTag = kWaveFormatExtensible;
    std::uint16_t channels = 1;
    std::uint32_t samplesPerSec = 48000;
    std::uint32_t avgBytesPerSec = 96000;
    std::uint16_t blockAlign = 2;
    std::uint16_t bitsPerSample = 16;
    std::uint16_t extensionSize = 22;
    std::uint16_t validBitsPerSample = 16;
    std::uint32_t channelMask = kSpeakerFrontLeft;
    std::array<std::uint8_t, 16> subFormat = kPcmSubFormat;
};

using CaptureFormatPtr = std::shared_ptr<const CaptureFormat>;

inline CaptureFormatPtr MakeCaptureFormat() {
    return std::make_shared<const CaptureFormat>();
}

}  // namespace AudioSampler
