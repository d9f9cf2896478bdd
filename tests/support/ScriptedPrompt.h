#pragma once
// A prompt that answers from a queue and records every question, from any thread.

#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "threading/Prompt.h"

namespace testing_support {

struct PromptCall {
    std::wstring text;
    std::wstring caption;
    Threading::MsgButtons buttons = Threading::MsgButtons::Ok;
    Threading::MsgIcon icon = Threading::MsgIcon::None;
    bool isChoose = false;
    std::vector<std::wstring> choices;
};

class ScriptedPrompt : public Threading::IPrompt {
public:
    // Boxes with only an OK button are answered OK without using the queue. Other boxes take
    // the next queued answer; with none left they get the declining answer (No, Cancel or
    // Abort) and count as unexpected.
    void QueueAnswer(Threading::MsgResult answer);
    void QueueChoice(std::optional<size_t> choice);
    // Called, outside the prompt's lock, on the asking thread before each answer.
    void OnAsk(std::function<void(const PromptCall&)> hook);

    Threading::MsgResult MessageBox(const std::wstring& text, const std::wstring& caption,
                                    Threading::MsgButtons buttons,
                                    Threading::MsgIcon icon) override;
    std::optional<size_t> Choose(const std::wstring& prompt,
                                 const std::vector<std::wstring>& choices) override;

    std::vector<PromptCall> Calls() const;
    size_t CountOf(const std::wstring& text) const;
    size_t Unexpected() const;

private:
    mutable std::mutex lock_;
    std::deque<Threading::MsgResult> answers_;
    std::deque<std::optional<size_t>> choices_;
    std::vector<PromptCall> calls_;
    std::function<void(const PromptCall&)> hook_;
    size_t unexpected_ = 0;
};

}  // namespace testing_support
