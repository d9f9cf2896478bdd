#include "cli/ConsoleDialog.h"

#include <algorithm>
#include <optional>

#include "cli/ConsoleInterrupt.h"
#include "threading/Errors.h"
#include "threading/RegisteredMessages.h"

namespace {

std::string Line(const std::wstring& text) {
    std::wstring clean;
    for (wchar_t c : text)
        if (c != L'\r')
            clean += c;
    return tsl::ToUtf8(clean);
}

}  // namespace

ConsoleWizardDialog::ConsoleWizardDialog(const WizardDialogSetup& setup, Threading::IPrompt& prompt,
                                         std::ostream& out, bool terminal, Threading::IClock& clock,
                                         std::mutex* outputLock, bool askBeforeAbort,
                                         Threading::ConsoleInterrupts* interrupts)
    : WizardDialog(setup),
      prompt_(prompt),
      out_(out),
      terminal_(terminal),
      clock_(clock),
      outputLock_(outputLock),
      interrupts_(interrupts),
      askBeforeAbort_(askBeforeAbort) {}

Threading::IPrompt& ConsoleWizardDialog::DialogPrompt() {
    return confirming_ ? static_cast<Threading::IPrompt&>(confirmingPrompt_) : prompt_;
}

void ConsoleWizardDialog::HandleInterrupts(int base) {
    const int pressed = Presses() - base;
    if (pressed <= handled_ || aborted_)
        return;
    handled_ = pressed;
    if (askBeforeAbort_ && !asked_ && pressed == 1) {
        asked_ = true;
        OnAbort();
        // A Ctrl-C during the question confirms the abort.
        handled_ = Presses() - base;
        if (IsRunning() && handled_ < 2)
            return;
    }
    if (IsRunning()) {
        confirming_ = true;
        OnAbort();
        confirming_ = false;
    }
    aborted_ = !IsRunning();
}

std::intptr_t ConsoleWizardDialog::OnMessage(const Threading::WND_MSG& message) {
    // After an abort the step's end closes the dialog cancelled, without saving its result.
    if (aborted_ && message.message == Threading::Messages().UM_DONE) {
        EndDialog(IDCANCEL);
        return 0;
    }
    return WizardDialog::OnMessage(message);
}

int ConsoleWizardDialog::DoModal() {
    ended_ = false;
    result_ = IDCANCEL;
    aborted_ = asked_ = false;
    handled_ = 0;
    const int base = Presses();
    Bridge().Start();
    AttachWindow();
    {
        std::optional<InterruptScope> routed;
        if (interrupts_ != nullptr)
            routed.emplace(*interrupts_);
        OnInitDialog();
        while (!ended_) {
            HandleInterrupts(base);
            Bridge().WaitForMessage(clock_, std::chrono::milliseconds(50));
            Bridge().Drain();
        }
    }
    DetachWindow();
    CloseProgressLine();
    return result_;
}

void ConsoleWizardDialog::Write(const std::string& text) {
    std::unique_lock<std::mutex> g;
    if (outputLock_ != nullptr)
        g = std::unique_lock<std::mutex>(*outputLock_);
    out_ << text << std::flush;
}

void ConsoleWizardDialog::CloseProgressLine() {
    if (progressLineOpen_) {
        Write("\n");
        progressLineOpen_ = false;
    }
}

void ConsoleWizardDialog::DrawCaption(const std::wstring& caption) {
    if (caption == caption_)
        return;
    caption_ = caption;
    CloseProgressLine();
    Write("== " + Line(caption) + " ==\n");
}

void ConsoleWizardDialog::DrawEnable(int, bool) {}

void ConsoleWizardDialog::DrawCheck(int controlId, bool checked) {
    checks_[controlId] = checked;
}

bool ConsoleWizardDialog::IsChecked(int controlId) const {
    auto it = checks_.find(controlId);
    return it != checks_.end() && it->second;
}

void ConsoleWizardDialog::DrawStatus(const std::wstring& text) {
    CloseProgressLine();
    Write(Line(text) + "\n");
}

void ConsoleWizardDialog::DrawProgressRange(int32_t n) {
    range_ = n;
    lastPercent_ = -1;
}

void ConsoleWizardDialog::DrawProgressPos(int32_t n) {
    if (range_ <= 0)
        return;
    int64_t clamped = std::clamp<int64_t>(n, 0, range_);
    int percent = static_cast<int>(clamped * 100 / range_);
    // Off a terminal, one line per tenth keeps logs short.
    if (percent == lastPercent_ || (!terminal_ && percent / 10 == lastPercent_ / 10))
        return;
    lastPercent_ = percent;
    constexpr int kWidth = 30;
    int filled = percent * kWidth / 100;
    std::string bar = "[" + std::string(static_cast<size_t>(filled), '#') +
                      std::string(static_cast<size_t>(kWidth - filled), '.') + "] " +
                      std::to_string(percent) + "%";
    if (terminal_) {
        Write("\r" + bar);
        progressLineOpen_ = true;
    } else {
        Write(bar + "\n");
    }
}

void ConsoleWizardDialog::EndDialog(int result) {
    result_ = result;
    ended_ = true;
}

DialogFactory ConsoleDialogFactory(Threading::IPrompt& prompt, std::ostream& out, bool terminal,
                                   Threading::IClock& clock, std::mutex* outputLock,
                                   bool askBeforeAbort, Threading::ConsoleInterrupts* interrupts) {
    return [&prompt, &out, terminal, &clock, outputLock, askBeforeAbort,
            interrupts](const WizardDialogSetup& setup) -> std::unique_ptr<WizardDialog> {
        return std::make_unique<ConsoleWizardDialog>(setup, prompt, out, terminal, clock,
                                                     outputLock, askBeforeAbort, interrupts);
    };
}
