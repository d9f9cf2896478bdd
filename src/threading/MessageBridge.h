#pragma once
// The UI message bridge: a queue of window messages that any thread may append to and that the
// UI thread delivers, in posting order, synchronously to their target windows. The GUI drains
// it from a 1 ms timer; the console front-end drains it from its own loop.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "threading/Clock.h"
#include "threading/Window.h"

namespace Threading {

// One queued window message. Parameters are pointer-sized so that lParam can carry an address.
struct WND_MSG {
    WND_MSG() = default;
    WND_MSG(WindowHandle h, uint32_t m, std::uintptr_t w, std::intptr_t l)
        : hwnd(h), message(m), wParam(w), lParam(l) {}
    virtual ~WND_MSG() = default;
    WND_MSG(const WND_MSG&) = delete;
    WND_MSG& operator=(const WND_MSG&) = delete;

    // A record that is a call to run on the UI thread runs it here and returns true; a window
    // message returns false and is delivered to its window.
    virtual bool RunCall() { return false; }

    // The text carried by a text message (UM_SET_DISPLAY_STRING), empty otherwise.
    const std::wstring& Text() const;

    WindowHandle hwnd = kNoWindow;  // kNoWindow: the main window, resolved at delivery
    uint32_t message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    uint32_t reserved = 0;
    // Owned by the record, so it is freed whether or not the target window still exists.
    std::unique_ptr<std::wstring> text;
};

class MessageBridge {
public:
    enum class State { NotStarted, Running, Stopped };

    MessageBridge() = default;
    MessageBridge(const MessageBridge&) = delete;
    MessageBridge& operator=(const MessageBridge&) = delete;
    ~MessageBridge();

    WindowRegistry& Windows() { return windows_; }

    // Messages posted before start-up are kept and delivered by the first drain.
    void Start();
    // Frees every message still queued; later posts are dropped.
    void Shutdown();
    State GetState() const;

    // Appends one message; returns 0 (timer delivery). Nothing is posted when memory runs out
    // or after shut-down.
    int PostToWindow(WindowHandle hwnd, uint32_t message, std::uintptr_t wParam,
                     std::intptr_t lParam);
    // Appends any record (a call record among them); dropped after shut-down.
    int Post(std::unique_ptr<WND_MSG> record);
    // Appends a call that the UI thread runs at delivery; nothing waits for it. Dropped after
    // shut-down, as any record.
    int PostCall(std::function<void()> fn);
    // Appends a message whose lParam is the address of a copy of text owned by the record.
    int PostText(WindowHandle hwnd, uint32_t message, std::uintptr_t wParam, std::wstring text);

    // Delivers every queued message, including those appended by receivers meanwhile. UI
    // thread only. Returns the number of records taken from the queue.
    size_t Drain();

    // Waits until a message is queued or the time-out passes; true when one is queued.
    bool WaitForMessage(IClock& clock, IClock::Duration timeout);
    size_t Pending() const;

private:
    int Append(std::unique_ptr<WND_MSG> record);

    mutable std::mutex lock_;
    std::condition_variable posted_;
    std::deque<std::unique_ptr<WND_MSG>> queue_;
    State state_ = State::NotStarted;
    WindowRegistry windows_;
};

}  // namespace Threading
