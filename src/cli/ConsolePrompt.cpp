#include "cli/ConsolePrompt.h"
#include "threading/PromptAnswers.h"

#include <cstdio>
#include <cwctype>
#include <iostream>
#include <string>

#include "threading/Errors.h"

namespace Threading {

namespace {

struct Choice {
    MsgResult result;
    const wchar_t* label;
    wchar_t key;
};

std::vector<Choice> ChoicesFor(MsgButtons buttons) {
    switch (buttons) {
        case MsgButtons::Ok:
            return {{MsgResult::Ok, L"OK", L'o'}};
        case MsgButtons::OkCancel:
            return {{MsgResult::Ok, L"OK", L'o'}, {MsgResult::Cancel, L"Cancel", L'c'}};
        case MsgButtons::YesNo:
            return {{MsgResult::Yes, L"Yes", L'y'}, {MsgResult::No, L"No", L'n'}};
        case MsgButtons::YesNoCancel:
            return {{MsgResult::Yes, L"Yes", L'y'},
                    {MsgResult::No, L"No", L'n'},
                    {MsgResult::Cancel, L"Cancel", L'c'}};
        case MsgButtons::RetryCancel:
            return {{MsgResult::Retry, L"Retry", L'r'}, {MsgResult::Cancel, L"Cancel", L'c'}};
        case MsgButtons::AbortRetryIgnore:
            return {{MsgResult::Abort, L"Abort", L'a'},
                    {MsgResult::Retry, L"Retry", L'r'},
                    {MsgResult::Ignore, L"Ignore", L'i'}};
    }
    return {{MsgResult::Ok, L"OK", L'o'}};
}

// The answer a preset gives: the first button for --yes, the last one that declines for --no.
MsgResult PresetResult(MsgButtons buttons, PresetAnswer preset) {
    if (preset == PresetAnswer::Yes)
        return ChoicesFor(buttons).front().result;
    return DecliningResult(buttons);
}

const char* IconTag(MsgIcon icon) {
    switch (icon) {
        case MsgIcon::Error:
            return "[error] ";
        case MsgIcon::Warning:
            return "[warning] ";
        case MsgIcon::Information:
            return "[info] ";
        case MsgIcon::Question:
            return "[question] ";
        case MsgIcon::None:
            break;
    }
    return "";
}

// The text as it reads on a terminal: the "\n\r" pairs of the dialog texts become one line feed.
std::string TerminalText(const std::wstring& text) {
    std::wstring clean;
    clean.reserve(text.size());
    for (wchar_t c : text)
        if (c != L'\r')
            clean += c;
    return tsl::ToUtf8(clean);
}

std::wstring Trimmed(const std::string& line) {
    std::wstring w = tsl::FromUtf8(line);
    size_t b = 0, e = w.size();
    while (b < e && std::iswspace(static_cast<wint_t>(w[b])))
        ++b;
    while (e > b && std::iswspace(static_cast<wint_t>(w[e - 1])))
        --e;
    return w.substr(b, e - b);
}

// After a read that Ctrl-C interrupted, the input can be read again.
void ClearInterruptedRead(std::istream& in) {
    in.clear();
    if (&in == &std::cin)
        std::clearerr(stdin);
}

[[noreturn]] void NoTerminal(const std::wstring& question) {
    throw tsl::wruntime_error(L"Cannot ask \"" + question +
                              L"\": standard input is not a terminal. Answer with --yes or --no.");
}

}  // namespace

ConsolePrompt::ConsolePrompt(std::istream& in, std::ostream& out, bool interactive,
                             PresetAnswer preset, const ConsoleInterrupts* interrupts)
    : in_(in), out_(out), interactive_(interactive), preset_(preset), interrupts_(interrupts) {}

MsgResult ConsolePrompt::MessageBox(const std::wstring& text, const std::wstring& caption,
                                    MsgButtons buttons, MsgIcon icon) {
    std::lock_guard<std::mutex> g(terminal_);
    out_ << '\n' << IconTag(icon);
    if (!caption.empty())
        out_ << TerminalText(caption) << ": ";
    out_ << TerminalText(text) << '\n';
    std::vector<Choice> choices = ChoicesFor(buttons);
    if (choices.size() == 1) {
        out_.flush();
        return choices.front().result;
    }
    if (preset_ != PresetAnswer::None) {
        // Unattended, a question that keeps coming back (a retry prompt of a failure that does
        // not go away) would loop for ever; past a few repeats it is declined.
        repeats_ = text == lastPresetText_ ? repeats_ + 1 : 0;
        lastPresetText_ = text;
        PresetAnswer preset = repeats_ >= kMaxPresetRepeats ? PresetAnswer::No : preset_;
        if (preset != preset_)
            out_ << "(asked " << repeats_ << " times in a row; declining)\n";
        MsgResult r = PresetResult(buttons, preset);
        for (const auto& c : choices)
            if (c.result == r)
                out_ << "-> " << tsl::ToUtf8(c.label) << '\n';
        out_.flush();
        return r;
    }
    if (!interactive_)
        NoTerminal(text);
    const int interrupts = Presses();
    for (;;) {
        std::string menu;
        for (const auto& c : choices)
            menu += "[" + std::string(1, static_cast<char>(c.key)) + "]" +
                    tsl::ToUtf8(std::wstring(c.label).substr(1)) + " ";
        out_ << menu << "> " << std::flush;
        std::string line;
        if (!std::getline(in_, line)) {
            if (Presses() != interrupts) {
                ClearInterruptedRead(in_);
                out_ << '\n' << std::flush;
                return DecliningResult(buttons);
            }
            throw tsl::wruntime_error(L"No answer to \"" + text + L"\": end of input.");
        }
        std::wstring answer = Trimmed(line);
        if (answer.empty())
            continue;
        wchar_t key = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(answer[0])));
        for (const auto& c : choices)
            if (key == c.key)
                return c.result;
    }
}

std::optional<size_t> ConsolePrompt::Choose(const std::wstring& prompt,
                                            const std::vector<std::wstring>& choices) {
    std::lock_guard<std::mutex> g(terminal_);
    out_ << '\n' << TerminalText(prompt) << '\n';
    for (size_t i = 0; i < choices.size(); ++i)
        out_ << "  " << (i + 1) << ") " << TerminalText(choices[i]) << '\n';
    if (choices.empty())
        return std::nullopt;
    if (preset_ == PresetAnswer::Yes) {
        out_ << "-> 1\n" << std::flush;
        return 0;
    }
    if (preset_ == PresetAnswer::No) {
        out_ << "-> cancelled\n" << std::flush;
        return std::nullopt;
    }
    if (!interactive_)
        NoTerminal(prompt);
    const int interrupts = Presses();
    for (;;) {
        const std::optional<std::wstring> read =
            ReadAnswer(prompt, "number (empty line cancels)> ", interrupts);
        if (!read)
            return std::nullopt;
        const std::wstring& answer = *read;
        size_t n = 0;
        bool digits = answer.size() <= 6;
        for (wchar_t c : answer) {
            if (c < L'0' || c > L'9') {
                digits = false;
                break;
            }
            n = n * 10 + static_cast<size_t>(c - L'0');
        }
        if (digits && n >= 1 && n <= choices.size())
            return n - 1;
        out_ << "Please type a number from 1 to " << choices.size() << ".\n";
    }
}

std::optional<std::wstring> ConsolePrompt::ReadAnswer(const std::wstring& prompt,
                                                      const std::string& cue, int interrupts) {
    out_ << cue << std::flush;
    std::string line;
    if (!std::getline(in_, line)) {
        if (Presses() != interrupts) {
            ClearInterruptedRead(in_);
            out_ << '\n' << std::flush;
            return std::nullopt;
        }
        throw tsl::wruntime_error(L"No answer to \"" + prompt + L"\": end of input.");
    }
    std::wstring answer = Trimmed(line);
    if (answer.empty())
        return std::nullopt;
    return answer;
}

std::optional<long> ConsolePrompt::AskNumber(const std::wstring& prompt, long lowest,
                                             long highest) {
    std::lock_guard<std::mutex> g(terminal_);
    out_ << '\n' << TerminalText(prompt) << '\n';
    if (preset_ == PresetAnswer::Yes) {
        out_ << "-> " << lowest << '\n' << std::flush;
        return lowest;
    }
    if (preset_ == PresetAnswer::No) {
        out_ << "-> cancelled\n" << std::flush;
        return std::nullopt;
    }
    if (!interactive_)
        NoTerminal(prompt);
    const int interrupts = Presses();
    const std::string range = std::to_string(lowest) + " to " + std::to_string(highest);
    for (;;) {
        const std::optional<std::wstring> read =
            ReadAnswer(prompt, range + " (empty line cancels)> ", interrupts);
        if (!read)
            return std::nullopt;
        const std::wstring& answer = *read;
        long n = 0;
        bool digits = answer.size() <= 9;
        for (wchar_t c : answer) {
            if (c < L'0' || c > L'9') {
                digits = false;
                break;
            }
            n = n * 10 + (c - L'0');
        }
        if (!digits)
            out_ << '"' << tsl::ToUtf8(answer) << "\" is not a whole number; type one from "
                 << range << ".\n";
        else if (n < lowest || n > highest)
            out_ << n << " is out of range; type a number from " << range << ".\n";
        else
            return n;
    }
}

}  // namespace Threading
