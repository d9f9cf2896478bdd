#pragma once
// A scripted prompt: records message boxes and answers the selection dialog with a fixed index.

#include <optional>
#include <string>
#include <vector>

#include "threading/Prompt.h"

namespace testcal {

class FakePrompt : public Threading::IPrompt {
public:
    struct Box {
        std::wstring text, caption;
        Threading::MsgIcon icon;
    };

    std::optional<size_t> answer;
    std::vector<Box> boxes;
    std::wstring lastPrompt;
    std::vector<std::wstring> lastChoices;

    Threading::MsgResult MessageBox(const std::wstring& text, const std::wstring& caption,
                                    Threading::MsgButtons, Threading::MsgIcon icon) override {
        boxes.push_back({text, caption, icon});
        return Threading::MsgResult::Ok;
    }
    std::optional<size_t> Choose(const std::wstring& prompt,
                                 const std::vector<std::wstring>& choices) override {
        lastPrompt = prompt;
        lastChoices = choices;
        return answer;
    }
};

}  // namespace testcal
