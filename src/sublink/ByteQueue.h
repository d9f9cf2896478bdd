#pragma once
// The receive queue of a command channel: the reader thread pushes what arrives on the IN pipe,
// the owner thread takes replies out. An auto-reset event wakes a waiting reader of the queue.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>

#include "threading/Clock.h"

namespace CUsbController {

class CByteQueue {
public:
    // Bytes beyond this are dropped: a device that never stops sending cannot exhaust memory.
    static constexpr size_t kCapacity = 1 << 20;
    static constexpr std::chrono::milliseconds kQuietWait{500};

    explicit CByteQueue(Threading::IClock& clock);

    void Push(const uint8_t* bytes, size_t n);
    // The oldest byte, or false (and the event reset) when the queue is empty.
    bool PopOne(uint8_t& byte);
    size_t Pop(uint8_t* buffer, size_t n);
    // Gathers n bytes; waits at most 500 ms between attempts that got nothing. Returns the count
    // gathered, n on success.
    size_t ReadExactly(uint8_t* buffer, size_t n);
    // Waits for the event (auto-reset) for at most `timeout`.
    bool Wait(std::chrono::milliseconds timeout);
    // Wakes a waiter without data (the event only); used when the device is lost.
    void Signal();

    size_t Size() const;
    size_t Dropped() const;
    void Clear();

private:
    Threading::IClock& clock_;
    mutable std::mutex lock_;
    std::condition_variable cv_;
    bool signalled_ = false;
    std::deque<uint8_t> bytes_;
    size_t dropped_ = 0;
};

}  // namespace CUsbController
