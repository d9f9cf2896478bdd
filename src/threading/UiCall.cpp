#include "threading/UiCall.h"

#include <condition_variable>
#include <exception>
#include <mutex>

#include "threading/PromptAnswers.h"

namespace Threading {

struct UiCaller::Shared {
    std::mutex lock;
    std::condition_variable changed;
    bool cancelled = false;
};

namespace {

struct CallState {
    bool started = false;
    bool done = false;
    bool abandoned = false;  // the caller stopped waiting before the call started
    bool dropped = false;    // the bridge freed the record without running it
    std::exception_ptr failure;
};

// The record carrying one call; freeing it unrun wakes the caller.
class CallRecord final : public WND_MSG {
public:
    CallRecord(std::shared_ptr<void> shared, std::mutex& lock, std::condition_variable& changed,
               const bool& cancelled, std::shared_ptr<CallState> state,
               const std::function<void()>& fn)
        : shared_(std::move(shared)),
          lock_(lock),
          changed_(changed),
          cancelled_(cancelled),
          state_(std::move(state)),
          fn_(fn) {}

    ~CallRecord() override {
        std::lock_guard<std::mutex> g(lock_);
        if (!state_->started) {
            state_->dropped = true;
            changed_.notify_all();
        }
    }

    bool RunCall() override {
        {
            std::lock_guard<std::mutex> g(lock_);
            if (state_->abandoned || cancelled_)
                return true;
            state_->started = true;
        }
        std::exception_ptr failure;
        try {
            fn_();
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard<std::mutex> g(lock_);
        state_->failure = failure;
        state_->done = true;
        changed_.notify_all();
        return true;
    }

private:
    std::shared_ptr<void> shared_;  // keeps lock_, changed_ and cancelled_ alive
    std::mutex& lock_;
    std::condition_variable& changed_;
    const bool& cancelled_;
    std::shared_ptr<CallState> state_;
    const std::function<void()>& fn_;  // valid while the caller waits, which it does until
                                       // the call ran or was abandoned
};

}  // namespace

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
    bridge_.Post(std::make_unique<CallRecord>(shared_, shared_->lock, shared_->changed,
                                              shared_->cancelled, state, fn));
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
