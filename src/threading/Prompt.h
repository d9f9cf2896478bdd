#pragma once
// The user-prompt interface: modal message boxes and a pick-one-of-a-list dialog. The Qt dialogs,
// the console front-end and the scripted test double implement it. Steps never talk to windows.

#include <optional>
#include <string>
#include <vector>

namespace Threading {

enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class MsgIcon { None, Error, Warning, Information, Question };
enum class MsgResult { Ok, Cancel, Yes, No, Retry, Abort, Ignore };

class IPrompt {
public:
    virtual ~IPrompt() = default;
    // A modal message box; returns the button pressed.
    virtual MsgResult MessageBox(const std::wstring& text, const std::wstring& caption,
                                 MsgButtons buttons, MsgIcon icon) = 0;
    // A modal selection list; returns the chosen index, or nothing when cancelled.
    virtual std::optional<size_t> Choose(const std::wstring& prompt,
                                         const std::vector<std::wstring>& choices) = 0;
};

}  // namespace Threading
