#pragma once
// The simulated room: a few room modes and a delay per microphone position (seeded, so the same
// description always gives the same room), the subwoofer's own response, background noise and
// the acoustic level at the microphone. Described by a small JSON file or the built-in default;
// the file's keys are the field names below, and "modes" is a list of {"frequency", "gainDb", "q"}.

#include <complex>
#include <cstdint>
#include <string>
#include <vector>

namespace Sim {

struct RoomMode {
    double frequency = 50;  // Hz
    double gainDb = 6;
    double q = 4;
};

struct SimRoomDescription {
    std::uint32_t seed = 7;
    std::vector<RoomMode> modes;    // shared by every position, varied per position
    double modeSpreadDb = 3;        // per-position variation of each mode's gain
    double frequencySpread = 0.04;  // per-position relative variation of each mode's frequency
    double delayMs = 8;             // distance delay at the first position
    double delaySpreadMs = 4;       // per-position variation of the delay
    double levelDb = -24;     // acoustic level at the microphone, dB full scale, clear of clipping
    double noiseDb = -80;     // background noise RMS, dB full scale
    double subHighPass = 22;  // the subwoofer's own roll-off (Hz, 4th order)
    double subLowPass = 180;  // the subwoofer's own amplifier low-pass (Hz, 2nd order)
};

// The built-in room.
SimRoomDescription DefaultRoom();
// Reads a description; absent keys keep the default's values. Raises tsl::wruntime_error for a
// file that cannot be read or does not describe a room.
SimRoomDescription LoadRoom(const std::string& path);
SimRoomDescription ParseRoom(const std::string& json);

class SimRoom {
public:
    explicit SimRoom(SimRoomDescription description = DefaultRoom());

    const SimRoomDescription& Description() const noexcept { return description_; }
    // The room from the subwoofer to the microphone at a position (0-based, any value).
    std::complex<double> Response(int position, double frequency) const;
    // The subwoofer's own response, without its equaliser.
    std::complex<double> Subwoofer(double frequency) const;
    double LevelGain() const;  // the level as a linear factor
    double NoiseRms() const;   // linear, full scale 1

private:
    struct Position {
        std::vector<RoomMode> modes;
        double delaySeconds;
    };
    const Position& At(int position) const;

    SimRoomDescription description_;
    std::vector<Position> positions_;  // positions beyond the list repeat it
};

}  // namespace Sim
