#pragma once
// The hand-off of work to the UI thread: a worker asks the thread that drains the bridge to run
// a function (a message box, a dialog) and blocks until it has returned. Nothing on the UI
// thread waits for the worker, so no nested event loop is needed.

#include <functional>
#include <memory>
#include <thread>

#include "threading/MessageBridge.h"
#include "threading/Prompt.h"

namespace Threading {

class UiCaller {
public:
    // uiThread is the thread that drains bridge; calls made on it run at once.
    explicit UiCaller(MessageBridge& bridge, std::thread::id uiThread = std::this_thread::get_id());
    ~UiCaller();
    UiCaller(const UiCaller&) = delete;
    UiCaller& operator=(const UiCaller&) = delete;

    // Runs fn on the UI thread and returns once it has returned; an exception fn raises is
    // raised here. False when fn did not run: the caller was cancelled before the UI thread
    // took the call, or the bridge dropped it (shut down). A call already running is always
    // waited for.
    bool Run(const std::function<void()>& fn);

    // Calls not yet taken by the UI thread return false at once, and so do later ones, until
    // Reset. Any thread.
    void Cancel();
    void Reset();
    bool Cancelled() const;

    // UI thread: while held, calls that reach the UI thread wait (their callers with them) until
    // Release runs them, or return false when the caller is cancelled meanwhile.
    void Hold();
    void Release();

    bool OnUiThread() const { return std::this_thread::get_id() == uiThread_; }

private:
    struct Shared;
    MessageBridge& bridge_;
    std::thread::id uiThread_;
    std::shared_ptr<Shared> shared_;
};

// A prompt whose boxes always run on the UI thread, through caller; a box that cannot be shown
// (cancelled, bridge gone) gets the declining answer.
class UiPrompt final : public IPrompt {
public:
    // uiPrompt gives the prompt to ask on the UI thread, at the time of asking.
    UiPrompt(UiCaller& caller, std::function<IPrompt&()> uiPrompt)
        : caller_(caller), uiPrompt_(std::move(uiPrompt)) {}

    MsgResult MessageBox(const std::wstring& text, const std::wstring& caption, MsgButtons buttons,
                         MsgIcon icon) override;
    std::optional<size_t> Choose(const std::wstring& prompt,
                                 const std::vector<std::wstring>& choices) override;

private:
    UiCaller& caller_;
    std::function<IPrompt&()> uiPrompt_;
};

}  // namespace Threading
