#pragma once
// Test doubles for the capture tests: a clock whose time-outs happen one at a time on the
// test's command, and a recorder that plays a prepared signal into the sink.

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "measure/AudioRec.h"
#include "threading/Clock.h"
#include "threading/Errors.h"

namespace audiotest {

// WaitUntil returns at once when the predicate holds; otherwise it times out only when the
// test calls Tick, which returns once a waiter has taken the tick.
class TickClock final : public Threading::IClock {
public:
    TimePoint Now() const override {
        std::lock_guard<std::mutex> g(lock_);
        return now_;
    }
    void SleepFor(Duration d) override {
        std::lock_guard<std::mutex> g(lock_);
        now_ += d;
    }
    bool WaitUntil(std::condition_variable& cv, std::unique_lock<std::mutex>& lock,
                   TimePoint deadline, const std::function<bool()>& pred) override {
        for (;;) {
            if (pred())
                return true;
            {
                std::lock_guard<std::mutex> g(lock_);
                if (ticks_ > 0) {
                    --ticks_;
                    ++taken_;
                    if (deadline > now_)
                        now_ = deadline;
                    break;
                }
            }
            cv.wait_for(lock, std::chrono::milliseconds(1));
        }
        return pred();
    }
    // Lets one waiter time out and waits (bounded) until it has.
    bool Tick() {
        unsigned long want;
        {
            std::lock_guard<std::mutex> g(lock_);
            ++ticks_;
            want = taken_ + 1;
        }
        for (int i = 0; i < 2000000; ++i) {
            {
                std::lock_guard<std::mutex> g(lock_);
                if (taken_ >= want)
                    return true;
            }
            std::this_thread::yield();
        }
        return false;
    }

private:
    mutable std::mutex lock_;
    TimePoint now_{};
    int ticks_ = 0;
    unsigned long taken_ = 0;
};

// Streams its samples into the sink on Start, from the calling thread.
class FakeRecorder final : public AudioSampler::AudioRec {
public:
    explicit FakeRecorder(std::vector<std::int16_t> samples) : samples_(std::move(samples)) {}
    void SetInputLevelDb(float) override {}
    void SetInputVolume(float) override {}
    void SetInputLevel(std::int32_t level) override { levels.push_back(level); }
    void Record(const std::shared_ptr<AudioSampler::BaseAudioCap>& sink) override {
        Start(sink);
        Stop();
    }
    void Start(const std::shared_ptr<AudioSampler::BaseAudioCap>& sink) override {
        ++starts;
        if (failStart)
            throw tsl::wruntime_error(AudioSampler::StartStreamingFailedText(L"fake"));
        bool done = false;
        for (std::size_t at = 0; at < samples_.size() && !done; at += 480) {
            const auto n =
                static_cast<std::int32_t>(std::min<std::size_t>(480, samples_.size() - at));
            sink->DeliverSamples(samples_.data() + at, n, done);
        }
    }
    void Stop() override { ++stops; }

    std::vector<std::int32_t> levels;
    int starts = 0, stops = 0;
    bool failStart = false;

private:
    std::vector<std::int16_t> samples_;
};

class FakeEnumerator final : public AudioSampler::AudioRecEnumerator {
public:
    FakeEnumerator(std::vector<std::wstring> names, std::shared_ptr<FakeRecorder> recorder)
        : names_(std::move(names)), recorder_(std::move(recorder)) {}
    std::vector<std::wstring> DeviceNames() override { return names_; }
    std::wstring FindDevice(const std::vector<std::wstring>& accepted) override {
        return names_[static_cast<std::size_t>(AudioSampler::ChooseDevice(names_, accepted))];
    }
    std::shared_ptr<AudioSampler::AudioRec> OpenRecorder() override { return recorder_; }

private:
    std::vector<std::wstring> names_;
    std::shared_ptr<FakeRecorder> recorder_;
};

}  // namespace audiotest
