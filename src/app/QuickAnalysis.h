#pragma once
// The pieces of the quick measurement that do not depend on the subwoofer: the circular sample
// buffer the capture thread fills, the analysis of one block into a curve, and the history of
// the last three curves that the graph shows.

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "measure/AudioCapture.h"
#include "measure/CorrectionManager.h"
#include "measure/Curve.h"
#include "ui/graph/Graph.h"
#include "ui/graph/GraphCurves.h"

// 2^21 samples: about 43 s at 48 kHz.
inline constexpr std::int32_t kQuickBufferSamples = 2097152;
// One analysis reads two sweep periods and then moves on by one.
inline constexpr std::int32_t kQuickBlockSamples = 131072;
inline constexpr std::int32_t kQuickAdvance = 65536;
inline constexpr std::size_t kQuickHistory = 3;

// The capture sink of the quick measurement: blocks are appended under the lock; a block that
// does not fit in the free space is dropped whole. After every append `notify` runs (on the
// capture thread) with the samples available; when the capture ends by itself `ended` runs with
// its text.
class QuickSampleBuffer final : public AudioSampler::BaseAudioCap {
public:
    explicit QuickSampleBuffer(std::int32_t capacity = kQuickBufferSamples);

    void SetNotify(std::function<void(std::int32_t available)> notify);
    void SetEnded(std::function<void(const std::wstring& text)> ended);

    AudioSampler::CaptureFormatPtr Format() const override { return format_; }
    AudioSampler::AudioResult DeliverDoubles(const double* values, std::int32_t count,
                                             bool& done) override;
    AudioSampler::AudioResult DeliverSamples(const std::int16_t* values, std::int32_t frames,
                                             bool& done) override;
    // Read and write positions 0.
    void Reset() override;
    void Ended(const std::wstring& text) override;

    std::int32_t Available() const;
    std::int32_t Capacity() const { return static_cast<std::int32_t>(data_.size()); }
    // Copies `count` samples at the read position into out and moves the read position on by
    // `advance`; false (nothing moved) when fewer than count are available.
    bool Read(std::vector<double>& out, std::int32_t count, std::int32_t advance);

private:
    template <class Convert>
    AudioSampler::AudioResult Append(std::int32_t count, Convert convert);

    AudioSampler::CaptureFormatPtr format_;
    mutable std::mutex lock_;
    std::vector<double> data_;
    std::int64_t read_ = 0;  // positions grow without bound; index modulo the capacity
    std::int64_t write_ = 0;
    std::function<void(std::int32_t)> notify_;
    std::function<void(const std::wstring&)> ended_;
};

// One analysis: the quick response of kQuickBlockSamples samples at 48 kHz, divided by the
// microphone correction when there is one, smoothed as a measurement position is. Null when the
// block gives no curve (the failures of the response are swallowed).
CurvePtr AnalyseQuickBlock(const std::vector<double>& samples,
                           const CCurveCorrectionManager* correction);

// The last three curves with their colours; the fourth removes the first.
class QuickHistory {
public:
    struct Entry {
        CurvePtr curve;
        Graphing::Color colour;
    };

    // The colour of counter value n: red, green, blue 204 in turn.
    static Graphing::Color ColourOf(std::uint32_t n);

    // Appends the curve; true when an older one had to go (the graph then keeps its scale).
    bool Add(CurvePtr curve);
    void Clear() { entries_.clear(); }
    const std::deque<Entry>& Entries() const { return entries_; }
    // Curves added since the history was made.
    std::uint32_t Added() const { return counter_; }

    // The graph's curves of its axis kind, oldest first: solid, widths 8 - 2n, 10 - 2n, ... up
    // to 6 for the newest; the level in dB in y mode Level, the magnitude otherwise, the phase
    // with the phase flag.
    std::vector<Graphing::GraphCurve> Curves(Graphing::Domain domain, Graphing::YMode yMode,
                                             bool phase) const;

private:
    std::deque<Entry> entries_;
    std::uint32_t counter_ = 0;
};
