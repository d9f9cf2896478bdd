#pragma once
// A seeded corpus of rooms for the equaliser fit: ordinary rooms, hard ones with deep nulls and
// tall peaks, and rooms whose high-pass and crossover the target step has to find. Each room is
// measured at five positions whose modes move a little, with seeded ripple.

#include <cstdint>
#include <random>
#include <vector>

#include "fit_support.h"

namespace fittest {

enum class CorpusKind { Ordinary, Hard, Detection };

struct CorpusRoom {
    CorpusKind kind;
    Room room;
    uint32_t seed;
};

inline constexpr uint16_t kCorpusModel = 0x113;
inline constexpr int kCorpusPositions = 5;

namespace corpus_detail {

// Uniform in [lo, hi) from the generator's standard output, so every library draws the same.
inline double Uniform(std::mt19937& random, double lo, double hi) {
    return lo + (hi - lo) * (static_cast<double>(random()) / 4294967296.0);
}

inline CorpusRoom MakeRoom(CorpusKind kind, uint32_t seed) {
    std::mt19937 random(seed);
    Room room{Uniform(random, 18.0, 26.0), false, 200.0, {}, Uniform(random, -8.0, 4.0)};
    const int modes = 4 + static_cast<int>(Uniform(random, 0.0, 3.0));
    for (int i = 0; i < modes; ++i) {
        const double f0 = 28.0 * std::pow(2.0, Uniform(random, 0.0, 2.4));
        const double q = Uniform(random, 3.0, 9.0);
        double gain = Uniform(random, 3.0, 9.0) * (i % 3 == 2 ? -1.0 : 1.0);
        if (kind == CorpusKind::Hard && i == 0)
            gain = Uniform(random, 12.0, 15.0);
        if (kind == CorpusKind::Hard && i == 2)
            gain = -Uniform(random, 13.0, 20.0);
        room.modes.push_back({f0, gain, q});
    }
    if (kind == CorpusKind::Detection) {
        room.highPassHz = Uniform(random, 28.0, 36.0);
        room.fourthOrder = true;
        room.crossoverHz = Uniform(random, 0.0, 1.0) < 0.5 ? 165.0 : 240.0;
    }
    return {kind, room, seed};
}

}  // namespace corpus_detail

// 6 ordinary, 6 hard and 4 detection rooms.
inline std::vector<CorpusRoom> FitCorpus() {
    std::vector<CorpusRoom> rooms;
    for (uint32_t i = 0; i < 16; ++i) {
        const CorpusKind kind = i < 6    ? CorpusKind::Ordinary
                                : i < 12 ? CorpusKind::Hard
                                         : CorpusKind::Detection;
        rooms.push_back(corpus_detail::MakeRoom(kind, 1000 + i));
    }
    return rooms;
}

// The room's five measured positions.
inline std::vector<CurvePtr> CorpusMeasurements(const CorpusRoom& c) {
    std::mt19937 random(c.seed * 7919u);
    std::vector<CurvePtr> out;
    for (int pos = 0; pos < kCorpusPositions; ++pos) {
        Room room = c.room;
        for (RoomMode& m : room.modes) {
            m.gainDb *= 0.8 + 0.1 * pos;
            m.f0 *= 1.0 + 0.015 * (pos - 2);
        }
        CurvePtr curve = Measurement(room);
        for (int i = 0; i < curve->Count(); ++i)
            curve->First()[i] *= 1.0 + 0.03 * (corpus_detail::Uniform(random, 0.0, 1.0) - 0.5);
        out.push_back(curve);
    }
    return out;
}

}  // namespace fittest
