#include "sim/SimRoom.h"

#include <cmath>
#include <fstream>
#include <numbers>
#include <random>

#include <nlohmann/json.hpp>

#include "threading/Errors.h"

namespace Sim {

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
// Positions are generated on demand; a description cannot make the simulation keep more.
constexpr int kMaxPositions = 64;

using Complex = std::complex<double>;

// Analogue second-order sections evaluated at s = j 2 pi f.
Complex Resonance(const RoomMode& m, double f) {
    const Complex s(0.0, kTwoPi * f);
    const double w0 = kTwoPi * m.frequency;
    const double a = std::pow(10.0, m.gainDb / 20.0);
    const double bw = w0 / m.q;
    return (s * s + s * bw * a + w0 * w0) / (s * s + s * bw / a + w0 * w0);
}

Complex HighPass2(double f0, double q, double f) {
    const Complex s(0.0, kTwoPi * f);
    const double w0 = kTwoPi * f0;
    return s * s / (s * s + s * w0 / q + w0 * w0);
}

Complex LowPass2(double f0, double q, double f) {
    const Complex s(0.0, kTwoPi * f);
    const double w0 = kTwoPi * f0;
    return w0 * w0 / (s * s + s * w0 / q + w0 * w0);
}

double Number(const nlohmann::json& j, const char* key, double fallback, double lo, double hi) {
    if (!j.contains(key))
        return fallback;
    const auto& v = j.at(key);
    if (!v.is_number())
        throw tsl::wruntime_error(L"Simulated room: \"" + tsl::FromUtf8(key) +
                                  L"\" must be a number");
    const double x = v.get<double>();
    if (!(x >= lo && x <= hi))
        throw tsl::wruntime_error(L"Simulated room: \"" + tsl::FromUtf8(key) +
                                  L"\" is out of range");
    return x;
}

}  // namespace

SimRoomDescription DefaultRoom() {
    SimRoomDescription d;
    // Axial modes of a room of about 5 x 4 x 2.5 m, and a cancellation dip.
    d.modes = {
        {34.0, 8.0, 6.0}, {43.0, 5.0, 5.0}, {69.0, 4.0, 6.0}, {86.0, 3.0, 5.0}, {118.0, -6.0, 3.0}};
    return d;
}

SimRoomDescription ParseRoom(const std::string& text) {
    nlohmann::json j;
    try {
        j = nlohmann::json::parse(text);
    } catch (const nlohmann::json::exception& e) {
        throw tsl::wruntime_error(L"Simulated room: not valid JSON (" + tsl::FromUtf8(e.what()) +
                                  L")");
    }
    if (!j.is_object())
        throw tsl::wruntime_error(L"Simulated room: the description must be a JSON object");
    SimRoomDescription d = DefaultRoom();
    d.seed = static_cast<std::uint32_t>(Number(j, "seed", d.seed, 0, 4294967295.0));
    d.modeSpreadDb = Number(j, "modeSpreadDb", d.modeSpreadDb, 0, 20);
    d.frequencySpread = Number(j, "frequencySpread", d.frequencySpread, 0, 0.5);
    d.delayMs = Number(j, "delayMs", d.delayMs, 0, 300);
    d.delaySpreadMs = Number(j, "delaySpreadMs", d.delaySpreadMs, 0, 100);
    d.levelDb = Number(j, "levelDb", d.levelDb, -120, 0);
    d.noiseDb = Number(j, "noiseDb", d.noiseDb, -200, 0);
    d.subHighPass = Number(j, "subHighPass", d.subHighPass, 1, 200);
    d.subLowPass = Number(j, "subLowPass", d.subLowPass, 40, 1000);
    if (j.contains("modes")) {
        const auto& modes = j.at("modes");
        if (!modes.is_array() || modes.size() > 32)
            throw tsl::wruntime_error(L"Simulated room: \"modes\" must be a list of at most 32");
        d.modes.clear();
        for (const auto& m : modes) {
            if (!m.is_object())
                throw tsl::wruntime_error(L"Simulated room: each mode must be an object");
            RoomMode mode;
            mode.frequency = Number(m, "frequency", mode.frequency, 5, 1000);
            mode.gainDb = Number(m, "gainDb", mode.gainDb, -30, 30);
            mode.q = Number(m, "q", mode.q, 0.1, 50);
            d.modes.push_back(mode);
        }
    }
    return d;
}

SimRoomDescription LoadRoom(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw tsl::wruntime_error(L"Could not read the simulated room file '" +
                                  tsl::FromUtf8(path) + L"'");
    // A room is a few hundred bytes; refuse anything absurd before parsing it.
    constexpr std::streamsize kMaxBytes = 1 << 20;
    std::string buffer(static_cast<std::size_t>(kMaxBytes) + 1, '\0');
    in.read(buffer.data(), kMaxBytes + 1);
    if (in.gcount() > kMaxBytes)
        throw tsl::wruntime_error(L"Simulated room: the file '" + tsl::FromUtf8(path) +
                                  L"' is too large");
    buffer.resize(static_cast<std::size_t>(in.gcount()));
    return ParseRoom(buffer);
}

SimRoom::SimRoom(SimRoomDescription description) : description_(std::move(description)) {
    for (std::uint32_t index = 0; index < kMaxPositions; ++index) {
        std::mt19937 random(description_.seed * 2654435761u + index * 40503u + 1u);
        std::uniform_real_distribution<double> unit(-1.0, 1.0);
        Position pos;
        // The first position is the room as described; the others vary around it.
        const double spread = index == 0 ? 0.0 : 1.0;
        for (RoomMode m : description_.modes) {
            m.gainDb += spread * description_.modeSpreadDb * unit(random);
            m.frequency *= 1.0 + spread * description_.frequencySpread * unit(random);
            pos.modes.push_back(m);
        }
        pos.delaySeconds = (description_.delayMs +
                            spread * description_.delaySpreadMs * 0.5 * (1.0 + unit(random))) /
                           1000.0;
        positions_.push_back(std::move(pos));
    }
}

const SimRoom::Position& SimRoom::At(int position) const {
    const int p = ((position % kMaxPositions) + kMaxPositions) % kMaxPositions;
    return positions_[static_cast<std::size_t>(p)];
}

std::complex<double> SimRoom::Response(int position, double frequency) const {
    const Position& p = At(position);
    Complex h = std::polar(1.0, -kTwoPi * frequency * p.delaySeconds);
    for (const RoomMode& m : p.modes)
        h *= Resonance(m, frequency);
    return h;
}

std::complex<double> SimRoom::Subwoofer(double frequency) const {
    // A fourth-order Butterworth roll-off and the amplifier's second-order low-pass.
    return HighPass2(description_.subHighPass, 0.5412, frequency) *
           HighPass2(description_.subHighPass, 1.3066, frequency) *
           LowPass2(description_.subLowPass, 0.7071, frequency);
}

double SimRoom::LevelGain() const {
    return std::pow(10.0, description_.levelDb / 20.0);
}

double SimRoom::NoiseRms() const {
    return std::pow(10.0, description_.noiseDb / 20.0);
}

}  // namespace Sim
