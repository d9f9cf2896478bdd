#pragma once
// Synthetic captures for the impulse extraction tests: a room made of digital second-order
// sections and a delay, driven by the repeating test sweep and run to steady state, so that its
// exact frequency response is known in closed form.

#include <cmath>
#include <complex>
#include <cstddef>
#include <numbers>
#include <random>
#include <vector>

namespace synth {

inline constexpr int kN = 65536;
inline constexpr double kFs = 48000.0;
inline constexpr double kTwoPi = 2.0 * std::numbers::pi;

// The test sweep as the subwoofer generates it: bin 17 to bin 31569 of an N-point transform.
inline std::vector<double> Sweep(int n = kN, double fs = kFs) {
    const double f1 = 17.0 * fs / n;
    const double k = std::log(1857.0) / (n / fs);
    std::vector<double> x(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        x[static_cast<std::size_t>(i)] = std::sin(kTwoPi * f1 / k * (std::exp(k * i / fs) - 1.0));
    return x;
}

struct Biquad {
    double b0, b1, b2, a1, a2;

    std::complex<double> Response(double f, double fs) const {
        const std::complex<double> z1 = std::polar(1.0, -kTwoPi * f / fs);
        return (b0 + b1 * z1 + b2 * z1 * z1) / (1.0 + a1 * z1 + a2 * z1 * z1);
    }
};

// Audio-cookbook sections.
inline Biquad Peaking(double f0, double gainDb, double q, double fs = kFs) {
    const double a = std::pow(10.0, gainDb / 40.0);
    const double w = kTwoPi * f0 / fs;
    const double alpha = std::sin(w) / (2.0 * q);
    const double a0 = 1.0 + alpha / a;
    return {(1.0 + alpha * a) / a0, -2.0 * std::cos(w) / a0, (1.0 - alpha * a) / a0,
            -2.0 * std::cos(w) / a0, (1.0 - alpha / a) / a0};
}

inline Biquad HighPass(double f0, double q, double fs = kFs) {
    const double w = kTwoPi * f0 / fs;
    const double alpha = std::sin(w) / (2.0 * q);
    const double c = std::cos(w);
    const double a0 = 1.0 + alpha;
    return {(1.0 + c) / 2.0 / a0, -(1.0 + c) / a0, (1.0 + c) / 2.0 / a0, -2.0 * c / a0,
            (1.0 - alpha) / a0};
}

inline Biquad LowPass(double f0, double q, double fs = kFs) {
    const double w = kTwoPi * f0 / fs;
    const double alpha = std::sin(w) / (2.0 * q);
    const double c = std::cos(w);
    const double a0 = 1.0 + alpha;
    return {(1.0 - c) / 2.0 / a0, (1.0 - c) / a0, (1.0 - c) / 2.0 / a0, -2.0 * c / a0,
            (1.0 - alpha) / a0};
}

struct Room {
    std::vector<Biquad> sections;
    int delay = 0;  // samples
    double gain = 1.0;

    std::complex<double> Response(double f, double fs = kFs) const {
        std::complex<double> h = gain * std::polar(1.0, -kTwoPi * f * delay / fs);
        for (const Biquad& s : sections)
            h *= s.Response(f, fs);
        return h;
    }
};

// A subwoofer in a room: roll-off below 25 Hz, two room modes, a dip, and a steep low-pass
// at 150 Hz so that the top of the sweep is nearly silent.
inline Room TypicalRoom() {
    Room room;
    room.sections = {HighPass(25.0, 0.707),     Peaking(42.0, 6.0, 2.0), Peaking(95.0, 4.0, 2.5),
                     Peaking(160.0, -5.0, 2.0), LowPass(150.0, 0.707),   LowPass(150.0, 0.707)};
    room.delay = 300;
    room.gain = 0.5;
    return room;
}

struct CaptureOptions {
    int periods = 3;
    double noiseRms = 0.0;
    unsigned seed = 1;
    int start = 0;  // sweep sample at which the recording begins
};

// The room's steady-state response to the repeating sweep, recorded for some periods, with white
// Gaussian noise added.
inline std::vector<double> Capture(const Room& room, const CaptureOptions& options = {}) {
    const std::vector<double> sweep = Sweep();
    const int warmup = 4;
    const int total = warmup + options.periods + 1;
    std::vector<double> y(static_cast<std::size_t>(total) * kN);
    for (std::size_t i = 0; i < y.size(); ++i)
        y[i] = room.gain * sweep[i % kN];
    for (const Biquad& s : room.sections) {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
        for (double& v : y) {
            const double out = s.b0 * v + s.b1 * x1 + s.b2 * x2 - s.a1 * y1 - s.a2 * y2;
            x2 = x1;
            x1 = v;
            y2 = y1;
            y1 = out;
            v = out;
        }
    }
    std::mt19937 random(options.seed);
    std::normal_distribution<double> noise(0.0, options.noiseRms > 0 ? options.noiseRms : 1.0);
    std::vector<double> capture(static_cast<std::size_t>(options.periods) * kN);
    const std::size_t first = static_cast<std::size_t>(warmup) * kN + options.start - room.delay;
    for (std::size_t i = 0; i < capture.size(); ++i)
        capture[i] = y[first + i] + (options.noiseRms > 0 ? noise(random) : 0.0);
    return capture;
}

inline std::vector<double> Noise(std::size_t count, double rms, unsigned seed) {
    std::mt19937 random(seed);
    std::normal_distribution<double> noise(0.0, rms);
    std::vector<double> x(count);
    for (double& v : x)
        v = noise(random);
    return x;
}

inline double Db(double magnitude) {
    return 20.0 * std::log10(magnitude);
}

}  // namespace synth
