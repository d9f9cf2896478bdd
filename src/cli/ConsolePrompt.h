#pragma once
// Message boxes on the terminal. Questions are answered from a preset (--yes / --no) or read
// from the input; without a preset and without a terminal a question fails with a clear text
// instead of blocking or guessing. A question whose reading Ctrl-C interrupts gets the declining
// answer.

#include <iosfwd>
#include <mutex>
#include <optional>
#include <string>

#include "cli/ConsoleInterrupt.h"
#include "threading/Prompt.h"

namespace Threading {

enum class PresetAnswer { None, Yes, No };

class ConsolePrompt : public IPrompt {
public:
    // in, out and interrupts must outlive the prompt; interactive says whether in is a terminal.
    // A read that fails after a press of interrupts counts as cut by Ctrl-C; without interrupts
    // every failed read is the end of the input.
    ConsolePrompt(std::istream& in, std::ostream& out, bool interactive,
                  PresetAnswer preset = PresetAnswer::None,
                  const ConsoleInterrupts* interrupts = nullptr);

    MsgResult MessageBox(const std::wstring& text, const std::wstring& caption, MsgButtons buttons,
                         MsgIcon icon) override;
    std::optional<size_t> Choose(const std::wstring& prompt,
                                 const std::vector<std::wstring>& choices) override;
    // A whole number from lowest to highest typed in itself; an empty line cancels. --yes
    // answers lowest, --no cancels. An answer that is refused is asked again with the reason.
    std::optional<long> AskNumber(const std::wstring& prompt, long lowest, long highest);

    // A preset answers the same question this many times in a row, then declines it.
    static constexpr int kMaxPresetRepeats = 3;

    // Serialises terminal output of the prompt and of a progress display sharing the stream.
    std::mutex& TerminalLock() { return terminal_; }

private:
    // Shows cue and reads one trimmed line; none for an empty line or a read cut by Ctrl-C since
    // `interrupts` was taken. Raises the end of input. terminal_ held.
    std::optional<std::wstring> ReadAnswer(const std::wstring& prompt, const std::string& cue,
                                           int interrupts);
    int Presses() const { return interrupts_ ? interrupts_->Presses() : 0; }

    std::istream& in_;
    std::ostream& out_;
    bool interactive_;
    PresetAnswer preset_;
    const ConsoleInterrupts* interrupts_;
    std::wstring lastPresetText_;
    int repeats_ = 0;
    std::mutex terminal_;
};

}  // namespace Threading
