#include "support/ScriptedPrompt.h"

#include "threading/PromptAnswers.h"

using Threading::MsgButtons;
using Threading::MsgResult;

namespace testing_support {

namespace {

MsgResult Declining(MsgButtons buttons) {
    return Threading::DecliningResult(buttons);
}

}  // namespace

void ScriptedPrompt::QueueAnswer(MsgResult answer) {
    std::lock_guard<std::mutex> g(lock_);
    answers_.push_back(answer);
}

void ScriptedPrompt::QueueChoice(std::optional<size_t> choice) {
    std::lock_guard<std::mutex> g(lock_);
    choices_.push_back(choice);
}

void ScriptedPrompt::OnAsk(std::function<void(const PromptCall&)> hook) {
    std::lock_guard<std::mutex> g(lock_);
    hook_ = std::move(hook);
}

MsgResult ScriptedPrompt::MessageBox(const std::wstring& text, const std::wstring& caption,
                                     MsgButtons buttons, Threading::MsgIcon icon) {
    PromptCall call{text, caption, buttons, icon, false, {}};
    std::function<void(const PromptCall&)> hook;
    MsgResult answer = MsgResult::Ok;
    {
        std::lock_guard<std::mutex> g(lock_);
        calls_.push_back(call);
        hook = hook_;
        if (buttons == MsgButtons::Ok) {
            answer = MsgResult::Ok;
        } else if (!answers_.empty()) {
            answer = answers_.front();
            answers_.pop_front();
        } else {
            answer = Declining(buttons);
            ++unexpected_;
        }
    }
    if (hook)
        hook(call);
    return answer;
}

std::optional<size_t> ScriptedPrompt::Choose(const std::wstring& prompt,
                                             const std::vector<std::wstring>& choices) {
    PromptCall call{prompt, L"", MsgButtons::Ok, Threading::MsgIcon::None, true, choices};
    std::function<void(const PromptCall&)> hook;
    std::optional<size_t> answer;
    {
        std::lock_guard<std::mutex> g(lock_);
        calls_.push_back(call);
        hook = hook_;
        if (!choices_.empty()) {
            answer = choices_.front();
            choices_.pop_front();
        } else {
            ++unexpected_;
        }
    }
    if (hook)
        hook(call);
    return answer;
}

std::vector<PromptCall> ScriptedPrompt::Calls() const {
    std::lock_guard<std::mutex> g(lock_);
    return calls_;
}

size_t ScriptedPrompt::CountOf(const std::wstring& text) const {
    std::lock_guard<std::mutex> g(lock_);
    size_t n = 0;
    for (const auto& c : calls_)
        n += c.text == text ? 1 : 0;
    return n;
}

size_t ScriptedPrompt::Unexpected() const {
    std::lock_guard<std::mutex> g(lock_);
    return unexpected_;
}

}  // namespace testing_support
