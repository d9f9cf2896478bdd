#include "sim/SimMicrophone.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <numbers>

#include "measure/Checksum.h"
#include "measure/Xtea.h"
#include "threading/Errors.h"

namespace Sim {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
// The correction built from a version-3 file is the file's curve scaled by this many dB, so the
// file holds the capsule's response raised by as much.
constexpr double kVersion3ScaleDb = -22.3;
// Fine enough that a response resampled onto the file's axis keeps its narrow room modes.
constexpr int kCalibrationPoints = 1024;
constexpr double kCalibrationLow = 5.0;
constexpr double kCalibrationHigh = 24000.0;

void PutWord(std::vector<std::uint8_t>& b, std::size_t at, std::uint32_t w) {
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(w >> (8 * i));
}

std::uint32_t GetWord(const std::vector<std::uint8_t>& b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
           static_cast<std::uint32_t>(b[at + 2]) << 16 |
           static_cast<std::uint32_t>(b[at + 3]) << 24;
}

void PutDouble(std::vector<std::uint8_t>& b, std::size_t at, double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    PutWord(b, at, static_cast<std::uint32_t>(bits));
    PutWord(b, at + 4, static_cast<std::uint32_t>(bits >> 32));
}

// XTEA encipherment (32 cycles), the counterpart of the reader's decipherment.
void EncipherBlock(std::uint32_t& y, std::uint32_t& z, const Security::XteaKey& key) {
    std::uint32_t sum = 0;
    for (int i = 0; i < 32; ++i) {
        y += (((z << 4) ^ (z >> 5)) + z) ^ (sum + key[sum & 3]);
        sum += 0x9E3779B9u;
        z += (((y << 4) ^ (y >> 5)) + y) ^ (sum + key[(sum >> 11) & 3]);
    }
}

}  // namespace

SimMicrophone::SimMicrophone(SimMicrophoneOptions options) : options_(std::move(options)) {}

std::complex<double> SimMicrophone::Response(double frequency) const {
    // A capsule rolling off below 12 Hz with a broad presence of 2 dB around 70 Hz: smooth
    // enough for a third-octave correction to take out completely.
    const std::complex<double> s(0.0, kTwoPi * frequency);
    const double wl = kTwoPi * 12.0;
    const std::complex<double> rolloff = s * s / (s * s + s * wl / 0.7 + wl * wl);
    const double w0 = kTwoPi * 70.0;
    const double a = std::pow(10.0, 2.0 / 20.0);
    const double bw = w0 / 0.7;
    const std::complex<double> presence =
        (s * s + s * bw * a + w0 * w0) / (s * s + s * bw / a + w0 * w0);
    return rolloff * presence;
}

std::vector<std::uint8_t> SimMicrophone::CalibrationFile() const {
    constexpr std::uint32_t unit = 0;
    const std::uint32_t mic = options_.serial;
    const std::size_t e = kCalibrationPoints;
    std::vector<std::uint8_t> b(28 + 24 * e, 0);
    PutWord(b, 0, static_cast<std::uint32_t>(options_.calibrationVersion));
    PutWord(b, 4, static_cast<std::uint32_t>(b.size()));
    PutWord(b, 8, static_cast<std::uint32_t>(e));
    const double raise = std::pow(10.0, -kVersion3ScaleDb / 20.0);
    for (std::size_t i = 0; i < e; ++i) {
        const double f = kCalibrationLow * std::pow(kCalibrationHigh / kCalibrationLow,
                                                    static_cast<double>(i) / (e - 1));
        const std::complex<double> v = Response(f) * raise;
        PutDouble(b, 12 + 8 * i, f);
        PutDouble(b, 12 + 8 * e + 8 * i, v.real());
        PutDouble(b, 12 + 16 * e + 8 * i, v.imag());
    }
    PutWord(b, 12 + 24 * e, unit);
    PutWord(b, 16 + 24 * e, mic);
    PutWord(b, 20 + 24 * e, 0xA5A5A5A5u);
    const auto key = Security::DeriveKey(unit, mic);
    for (std::size_t at = 8; at + 8 <= b.size() - 4; at += 8) {
        std::uint32_t y = GetWord(b, at), z = GetWord(b, at + 4);
        EncipherBlock(y, z, key);
        PutWord(b, at, y);
        PutWord(b, at + 4, z);
    }
    AppendChecksum(b.data(), b.size());
    return b;
}

std::filesystem::path SimMicrophone::WriteCalibrationFile(
    const std::filesystem::path& folder) const {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const auto path = folder / (std::to_string(options_.serial) + "Corvana.cal");
    const std::vector<std::uint8_t> bytes = CalibrationFile();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    out.close();
    if (!out)
        throw tsl::wruntime_error(L"Could not write the simulated calibration file '" +
                                  path.wstring() + L"'");
    return path;
}

}  // namespace Sim
