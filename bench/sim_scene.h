#pragma once
// The simulator's built-in room measured as the Measure step does it, in virtual time: five
// captures of the subwoofer's tone through the room and the simulated microphone, its
// calibration file read back into a microphone correction, and the five measured responses.
// Built once per process and shared by the benchmarks.

#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "measure/AudioDevice.h"
#include "measure/CorrectionManager.h"
#include "measure/Impulse.h"
#include "sim/SimMicrophone.h"
#include "sublink/BaseConfig.h"

namespace bench {

struct SimScene {
    static constexpr int kPositions = 5;

    std::vector<std::vector<double>> captures;  // 3 x 65536 samples per position
    std::shared_ptr<AudioSampler::CorrectionParam> correction;
    std::vector<CurvePtr> measurements;
    std::uint16_t modelId = 0;
    double bandLow = 20;
    double bandHigh = 350;

    // The extraction context of one position, as the Measure step builds it.
    ImpulseContext Context(int position) const {
        ImpulseContext context;
        context.smoothing = kMeasurementSmoothing;
        context.correction = correction;
        context.bandLow = bandLow;
        context.bandHigh = bandHigh;
        context.capture = std::make_shared<CaptureBlock>();
        context.capture->samples = captures[static_cast<std::size_t>(position)];
        context.capture->capturedCount = static_cast<std::int32_t>(3 * kSweepLength);
        context.capture->subwooferMode = true;
        return context;
    }

    static const SimScene& Get() {
        static const SimScene scene = Build();
        return scene;
    }

private:
    static void Send(Sim::SimDevice& device, const std::string& text) {
        device.With([&](Sim::SimFirmware& f) {
            f.Receive(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
            std::vector<std::uint8_t> packet;
            while (f.NextPacket(packet)) {
            }
        });
    }

    static SimScene Build() {
        SimScene s;
        Threading::VirtualClock clock{std::chrono::milliseconds(20)};
        auto subwoofer = std::make_shared<Sim::SimDevice>();
        auto acoustics = std::make_shared<Sim::SimAcoustics>(subwoofer, Sim::SimRoom(),
                                                             Sim::SimMicrophone(), clock);
        subwoofer->With([&](Sim::SimFirmware& f) {
            s.modelId = f.Model()->modelId;
            s.bandLow = f.Model()->lowerHz;
            s.bandHigh = f.Model()->upperHz;
        });
        const auto dir = std::filesystem::temp_directory_path() /
                         ("tessaline-bench-mic-" + std::to_string(::getpid()));
        const auto path = acoustics->Microphone().WriteCalibrationFile(dir);
        s.correction = AudioSampler::LoadCorrectionFile(
            path, 0, Fft(*SweepReference(kSweepLength, kSweepRate)));
        std::filesystem::remove_all(dir);

        Send(*subwoofer, "t2;");
        for (int p = 0; p < kPositions; ++p) {
            acoustics->MoveTo(p);
            AudioSampler::WaveReccordDevice device(clock, acoustics->EnumeratorFactory());
            device.SetInputLevel(AudioSampler::LevelForCalibrationVersion(3));
            CurvePtr curve;
            if (!device.Open() || !device.Start() || !device.Result(curve) || !curve)
                throw std::runtime_error("simulated capture failed");
            device.Stop();
            s.captures.emplace_back(curve->First(), curve->First() + 3 * kSweepLength);
        }
        Send(*subwoofer, "t0;");
        for (int p = 0; p < kPositions; ++p) {
            ImpulseContext context = s.Context(p);
            s.measurements.push_back(MeasureResponse(context));
        }
        return s;
    }
};

}  // namespace bench
