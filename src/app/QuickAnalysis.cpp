#include "app/QuickAnalysis.h"

#include <algorithm>

#include "measure/Impulse.h"
#include "threading/Errors.h"

QuickSampleBuffer::QuickSampleBuffer(std::int32_t capacity)
    : format_(AudioSampler::MakeCaptureFormat()),
      data_(static_cast<std::size_t>(std::max<std::int32_t>(capacity, 1)), 0.0) {}

void QuickSampleBuffer::SetNotify(std::function<void(std::int32_t)> notify) {
    std::lock_guard<std::mutex> g(lock_);
    notify_ = std::move(notify);
}

void QuickSampleBuffer::SetEnded(std::function<void(const std::wstring&)> ended) {
    std::lock_guard<std::mutex> g(lock_);
    ended_ = std::move(ended);
}

template <class Convert>
AudioSampler::AudioResult QuickSampleBuffer::Append(std::int32_t count, Convert convert) {
    std::function<void(std::int32_t)> notify;
    std::int32_t available = 0;
    {
        std::lock_guard<std::mutex> g(lock_);
        const auto capacity = static_cast<std::int64_t>(data_.size());
        if (count <= 0 || count > capacity - (write_ - read_))
            return AudioSampler::kAudioOk;
        for (std::int32_t i = 0; i < count; ++i)
            data_[static_cast<std::size_t>((write_ + i) % capacity)] = convert(i);
        write_ += count;
        available = static_cast<std::int32_t>(write_ - read_);
        notify = notify_;
    }
    if (notify)
        notify(available);
    return AudioSampler::kAudioOk;
}

AudioSampler::AudioResult QuickSampleBuffer::DeliverDoubles(const double* values,
                                                            std::int32_t count, bool& done) {
    done = false;
    if (!values && count > 0)
        return AudioSampler::kAudioGenericFailure;
    return Append(count, [values](std::int32_t i) { return values[i]; });
}

AudioSampler::AudioResult QuickSampleBuffer::DeliverSamples(const std::int16_t* values,
                                                            std::int32_t frames, bool& done) {
    done = false;
    if (!values && frames > 0)
        return AudioSampler::kAudioGenericFailure;
    const std::ptrdiff_t stride = std::max<int>(format_->channels, 1);
    return Append(frames,
                  [values, stride](std::int32_t i) { return values[i * stride] / 65536.0; });
}

void QuickSampleBuffer::Reset() {
    std::lock_guard<std::mutex> g(lock_);
    read_ = 0;
    write_ = 0;
}

void QuickSampleBuffer::Ended(const std::wstring& text) {
    std::function<void(const std::wstring&)> ended;
    {
        std::lock_guard<std::mutex> g(lock_);
        ended = ended_;
    }
    if (ended)
        ended(text);
}

std::int32_t QuickSampleBuffer::Available() const {
    std::lock_guard<std::mutex> g(lock_);
    return static_cast<std::int32_t>(write_ - read_);
}

bool QuickSampleBuffer::Read(std::vector<double>& out, std::int32_t count, std::int32_t advance) {
    std::lock_guard<std::mutex> g(lock_);
    const auto capacity = static_cast<std::int64_t>(data_.size());
    if (count <= 0 || count > capacity || write_ - read_ < count)
        return false;
    out.resize(static_cast<std::size_t>(count));
    const auto start = static_cast<std::size_t>(read_ % capacity);
    const std::size_t first =
        std::min<std::size_t>(static_cast<std::size_t>(count), data_.size() - start);
    std::copy_n(data_.begin() + static_cast<std::ptrdiff_t>(start), first, out.begin());
    std::copy_n(data_.begin(), static_cast<std::size_t>(count) - first,
                out.begin() + static_cast<std::ptrdiff_t>(first));
    read_ += std::clamp<std::int32_t>(advance, 0, count);
    return true;
}

CurvePtr AnalyseQuickBlock(const std::vector<double>& samples,
                           const CCurveCorrectionManager* correction) {
    if (samples.size() < static_cast<std::size_t>(kQuickBlockSamples))
        return nullptr;
    QuickBlock block;
    block.samples = samples;
    block.impulseLength = kSweepLength;
    block.capturedCount = kQuickBlockSamples;
    block.sampleRate = kSweepRate;
    try {
        CurvePtr curve = QuickResponse(block);
        if (!curve)
            return nullptr;
        if (correction)
            ApplyCorrection(*correction, *curve);
        const SmoothingSettings& s = kMeasurementSmoothing;
        Smooth(*curve, s.fraction, s.pointsPerOctave, s.lowest, s.highest, s.normalise);
        return curve;
    } catch (const tsl::wruntime_error&) {
        // No curve this time; the next block is analysed as usual.
        return nullptr;
    }
}

Graphing::Color QuickHistory::ColourOf(std::uint32_t n) {
    switch (n % 3) {
        case 0:
            return Graphing::Rgb(204, 0, 0);
        case 1:
            return Graphing::Rgb(0, 204, 0);
        default:
            return Graphing::Rgb(0, 0, 204);
    }
}

bool QuickHistory::Add(CurvePtr curve) {
    bool trimmed = false;
    while (entries_.size() > kQuickHistory - 1) {
        entries_.pop_front();
        trimmed = true;
    }
    entries_.push_back({std::move(curve), ColourOf(counter_++)});
    return trimmed;
}

std::vector<Graphing::GraphCurve> QuickHistory::Curves(Graphing::Domain domain,
                                                       Graphing::YMode yMode, bool phase) const {
    const AxisKind kind =
        domain == Graphing::Domain::Frequency ? AxisKind::Frequency : AxisKind::Time;
    const int n = static_cast<int>(entries_.size());
    std::vector<Graphing::GraphCurve> curves;
    for (int e = 0; e < n; ++e) {
        const Entry& entry = entries_[static_cast<std::size_t>(e)];
        if (!entry.curve || entry.curve->Kind() != kind)
            continue;
        const CCurve& c = *entry.curve;
        Graphing::GraphCurve g;
        g.x.assign(c.X(), c.X() + c.Count());
        g.y.resize(static_cast<std::size_t>(c.Count()));
        for (int i = 0; i < c.Count(); ++i)
            g.y[static_cast<std::size_t>(i)] = phase ? PhaseAt(c, i)
                                               : yMode == Graphing::YMode::Level
                                                   ? LevelDbAt(c, i)
                                                   : MagnitudeAt(c, i);
        g.pen.color = entry.colour;
        g.pen.width = 8 - 2 * n + 2 * e;
        g.pen.style = Graphing::PenStyle::Solid;
        curves.push_back(std::move(g));
    }
    return curves;
}
