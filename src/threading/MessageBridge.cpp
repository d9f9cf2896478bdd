#include "threading/MessageBridge.h"

#include <new>

namespace Threading {

const std::wstring& WND_MSG::Text() const {
    static const std::wstring empty;
    return text ? *text : empty;
}

MessageBridge::~MessageBridge() {
    Shutdown();
}

void MessageBridge::Start() {
    std::lock_guard<std::mutex> g(lock_);
    if (state_ == State::NotStarted)
        state_ = State::Running;
}

void MessageBridge::Shutdown() {
    std::deque<std::unique_ptr<WND_MSG>> dropped;
    {
        std::lock_guard<std::mutex> g(lock_);
        state_ = State::Stopped;
        dropped.swap(queue_);
    }
    posted_.notify_all();
}

MessageBridge::State MessageBridge::GetState() const {
    std::lock_guard<std::mutex> g(lock_);
    return state_;
}

int MessageBridge::Append(std::unique_ptr<WND_MSG> record) {
    {
        std::lock_guard<std::mutex> g(lock_);
        if (state_ == State::Stopped)
            return 0;
        queue_.push_back(std::move(record));
    }
    posted_.notify_all();
    return 0;
}

int MessageBridge::PostToWindow(WindowHandle hwnd, uint32_t message, std::uintptr_t wParam,
                                std::intptr_t lParam) {
    try {
        return Append(std::make_unique<WND_MSG>(hwnd, message, wParam, lParam));
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int MessageBridge::Post(std::unique_ptr<WND_MSG> record) {
    return record ? Append(std::move(record)) : 0;
}

namespace {

class PostedCall final : public WND_MSG {
public:
    explicit PostedCall(std::function<void()> fn) : fn_(std::move(fn)) {}
    bool RunCall() override {
        if (fn_)
            fn_();
        return true;
    }

private:
    std::function<void()> fn_;
};

}  // namespace

int MessageBridge::PostCall(std::function<void()> fn) {
    try {
        return Append(std::make_unique<PostedCall>(std::move(fn)));
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

int MessageBridge::PostText(WindowHandle hwnd, uint32_t message, std::uintptr_t wParam,
                            std::wstring text) {
    try {
        auto record = std::make_unique<WND_MSG>(hwnd, message, wParam, 0);
        record->text = std::make_unique<std::wstring>(std::move(text));
        record->lParam = reinterpret_cast<std::intptr_t>(record->text.get());
        return Append(std::move(record));
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

size_t MessageBridge::Drain() {
    size_t taken = 0;
    for (;;) {
        std::unique_ptr<WND_MSG> record;
        {
            std::lock_guard<std::mutex> g(lock_);
            if (queue_.empty())
                return taken;
            record = std::move(queue_.front());
            queue_.pop_front();
        }
        ++taken;
        if (record->RunCall())
            continue;
        if (record->hwnd == kNoWindow)
            record->hwnd = windows_.MainWindow();
        // A window that is gone finds nothing: the record is freed without effect.
        if (IWindow* window = windows_.Find(record->hwnd))
            window->OnMessage(*record);
    }
}

bool MessageBridge::WaitForMessage(IClock& clock, IClock::Duration timeout) {
    std::unique_lock<std::mutex> g(lock_);
    return clock.WaitFor(posted_, g, timeout, [this] {
        return !queue_.empty() || state_ == State::Stopped;
    }) && !queue_.empty();
}

size_t MessageBridge::Pending() const {
    std::lock_guard<std::mutex> g(lock_);
    return queue_.size();
}

}  // namespace Threading
