#include "sublink/ByteQueue.h"

#include <algorithm>

namespace CUsbController {

CByteQueue::CByteQueue(Threading::IClock& clock) : clock_(clock) {}

void CByteQueue::Push(const uint8_t* bytes, size_t n) {
    if (n == 0)
        return;
    {
        std::lock_guard<std::mutex> g(lock_);
        size_t room = kCapacity - std::min(kCapacity, bytes_.size());
        size_t take = std::min(room, n);
        bytes_.insert(bytes_.end(), bytes, bytes + take);
        dropped_ += n - take;
        signalled_ = true;
    }
    cv_.notify_all();
}

bool CByteQueue::PopOne(uint8_t& byte) {
    std::lock_guard<std::mutex> g(lock_);
    if (bytes_.empty()) {
        signalled_ = false;
        return false;
    }
    byte = bytes_.front();
    bytes_.pop_front();
    return true;
}

size_t CByteQueue::Pop(uint8_t* buffer, size_t n) {
    std::lock_guard<std::mutex> g(lock_);
    size_t take = std::min(n, bytes_.size());
    std::copy_n(bytes_.begin(), take, buffer);
    bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(take));
    if (bytes_.empty())
        signalled_ = false;
    return take;
}

size_t CByteQueue::ReadExactly(uint8_t* buffer, size_t n) {
    size_t got = 0;
    while (got < n) {
        size_t now = Pop(buffer + got, n - got);
        got += now;
        if (got == n)
            break;
        if (now == 0 && !Wait(kQuietWait))
            break;
    }
    return got;
}

bool CByteQueue::Wait(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> l(lock_);
    bool woke = clock_.WaitFor(cv_, l, timeout, [this] { return signalled_; });
    signalled_ = false;
    return woke;
}

void CByteQueue::Signal() {
    {
        std::lock_guard<std::mutex> g(lock_);
        signalled_ = true;
    }
    cv_.notify_all();
}

size_t CByteQueue::Size() const {
    std::lock_guard<std::mutex> g(lock_);
    return bytes_.size();
}

size_t CByteQueue::Dropped() const {
    std::lock_guard<std::mutex> g(lock_);
    return dropped_;
}

void CByteQueue::Clear() {
    std::lock_guard<std::mutex> g(lock_);
    bytes_.clear();
    signalled_ = false;
}

}  // namespace CUsbController
