#include "threading/UiCall.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <vector>

#include "threading/PromptAnswers.h"

namespace Threading {

namespace {

struct CallState {
    bool started = false;
    bool done = false;
    bool deferred = false;   // held back by UiCaller::Hold, run or dropped by Release
    bool abandoned = false;  // the caller stopped waiting before the call started
    bool dropped = false;    // the bridge freed the record without running it
    std::exception_ptr failure;
};

struct Deferred {
    std::shared_ptr<CallState> state;
    const std::function<void()>* fn;  // valid while the caller waits
};

struct CallShared {
    std::mutex lock;
    std::condition_variable changed;
    bool cancelled = false;
    bool held = false;
    std::vector<Deferred> deferred;
};

// Runs one call on the UI thread unless its caller has stopped waiting.
void RunNow(CallShared& shared, CallState& state, const std::function<void()>* fn) {
    {
        std::lock_guard<std::mutex> g(shared.lock);
        if (state.abandoned || shared.cancelled)
            return;
        state.started = true;
    }
    std::exception_ptr failure;
    try {
        (*fn)();
    } catch (...) {
        failure = std::current_exception();
    }
    std::lock_guard<std::mutex> g(shared.lock);
    state.failure = failure;
    state.done = true;
    shared.changed.notify_all();
}

// The record carrying one call; freeing it unrun (and not held back) wakes the caller.
class CallRecord final : public WND_MSG {
public:
    CallRecord(std::shared_ptr<CallShared> shared, std::shared_ptr<CallState> state,
               const std::function<void()>& fn)
        : shared_(std::move(shared)), state_(std::move(state)), fn_(fn) {}

    ~CallRecord() override {
        std::lock_guard<std::mutex> g(shared_->lock);
        if (!state_->started && !state_->deferred) {
            state_->dropped = true;
            shared_->changed.notify_all();
        }
    }

    bool RunCall() override {
        {
            std::lock_guard<std::mutex> g(shared_->lock);
            if (shared_->held && !state_->abandoned && !shared_->cancelled) {
                state_->deferred = true;
                shared_->deferred.push_back({state_, &fn_});
                return true;
            }
        }
        RunNow(*shared_, *state_, &fn_);
        return true;
    }

private:
    std::shared_ptr<CallShared> shared_;
    std::shared_ptr<CallState> state_;
    const std::function<void()>& fn_;  // valid while the caller waits, which it does until
                                       // the call ran or was abandoned
};

}  // namespace

struct UiCaller::Shared : CallShared {};

UiCaller::UiCaller(MessageBridge& bridge, std::thread::id uiThread)
    : bridge_(bridge), uiThread_(uiThread), shared_(std::make_shared<Shared>()) {}

UiCaller::~UiCaller() {
    Cancel();
}

bool UiCaller::Run(const std::function<void()>& fn) {
    if (OnUiThread()) {
        fn();
        return true;
    }
    auto state = std::make_shared<CallState>();
    {
        std::lock_guard<std::mutex> g(shared_->lock);
        if (shared_->cancelled)
            return false;
    }
    bridge_.Post(std::make_unique<CallRecord>(shared_, state, fn));
    std::unique_lock<std::mutex> g(shared_->lock);
    // Waits for the user, however long that takes: no clock is involved.
    shared_->changed.wait(g, [&] {
        return state->done || state->dropped || (shared_->cancelled && !state->started);
    });
    if (!state->done) {
        state->abandoned = true;
        return false;
    }
    if (state->failure)
        std::rethrow_exception(state->failure);
    return true;
}

void UiCaller::Cancel() {
    std::lock_guard<std::mutex> g(shared_->lock);
    shared_->cancelled = true;
    shared_->changed.notify_all();
}

void UiCaller::Reset() {
    std::lock_guard<std::mutex> g(shared_->lock);
    shared_->cancelled = false;
}

void UiCaller::Hold() {
    std::lock_guard<std::mutex> g(shared_->lock);
    shared_->held = true;
}

void UiCaller::Release() {
    std::vector<Deferred> calls;
    {
        std::lock_guard<std::mutex> g(shared_->lock);
        shared_->held = false;
        calls.swap(shared_->deferred);
    }
    for (const Deferred& d : calls)
        RunNow(*shared_, *d.state, d.fn);
}

bool UiCaller::Cancelled() const {
    std::lock_guard<std::mutex> g(shared_->lock);
    return shared_->cancelled;
}

MsgResult UiPrompt::MessageBox(const std::wstring& text, const std::wstring& caption,
                               MsgButtons buttons, MsgIcon icon) {
    MsgResult result = DecliningResult(buttons);
    caller_.Run([&] { result = uiPrompt_().MessageBox(text, caption, buttons, icon); });
    return result;
}

std::optional<size_t> UiPrompt::Choose(const std::wstring& prompt,
                                       const std::vector<std::wstring>& choices) {
    std::optional<size_t> result;
    caller_.Run([&] { result = uiPrompt_().Choose(prompt, choices); });
    return result;
}

}  // namespace Threading
