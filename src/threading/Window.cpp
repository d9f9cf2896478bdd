#include "threading/Window.h"

namespace Threading {

WindowHandle WindowRegistry::Register(IWindow* window) {
    if (window == nullptr)
        return kNoWindow;
    std::lock_guard<std::mutex> g(lock_);
    WindowHandle handle = next_++;
    windows_.emplace(handle, window);
    return handle;
}

void WindowRegistry::Unregister(WindowHandle handle) {
    std::lock_guard<std::mutex> g(lock_);
    windows_.erase(handle);
    if (main_ == handle)
        main_ = kNoWindow;
}

bool WindowRegistry::IsWindow(WindowHandle handle) const {
    return Find(handle) != nullptr;
}

IWindow* WindowRegistry::Find(WindowHandle handle) const {
    std::lock_guard<std::mutex> g(lock_);
    auto it = windows_.find(handle);
    return it == windows_.end() ? nullptr : it->second;
}

void WindowRegistry::SetMainWindow(WindowHandle handle) {
    std::lock_guard<std::mutex> g(lock_);
    main_ = handle;
}

WindowHandle WindowRegistry::MainWindow() const {
    std::lock_guard<std::mutex> g(lock_);
    return main_;
}

}  // namespace Threading
