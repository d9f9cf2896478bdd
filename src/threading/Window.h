#pragma once
// Window handles of our own. A window (a Qt dialog, the console front-end, a test double)
// registers itself and gets a handle; messages are addressed to handles, so a message to a
// window that has gone away finds nothing and has no effect.

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace Threading {

// 0 is "no window"; as a message target it means the main window.
using WindowHandle = std::uint64_t;
inline constexpr WindowHandle kNoWindow = 0;

struct WND_MSG;

class IWindow {
public:
    virtual ~IWindow() = default;
    // Delivered synchronously on the UI thread. The record (and any text it carries) is freed
    // by the bridge after this returns.
    virtual std::intptr_t OnMessage(const WND_MSG& message) = 0;
};

// Registration and removal happen on the UI thread, as does delivery, so a window is never
// removed while a message is being delivered to it. Lookups are locked anyway so that workers
// may ask whether a handle is live.
class WindowRegistry {
public:
    // Handles are never reused.
    WindowHandle Register(IWindow* window);
    void Unregister(WindowHandle handle);
    bool IsWindow(WindowHandle handle) const;
    IWindow* Find(WindowHandle handle) const;

    void SetMainWindow(WindowHandle handle);
    WindowHandle MainWindow() const;

private:
    mutable std::mutex lock_;
    std::unordered_map<WindowHandle, IWindow*> windows_;
    WindowHandle next_ = 1;
    WindowHandle main_ = kNoWindow;
};

}  // namespace Threading
