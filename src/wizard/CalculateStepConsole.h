#pragma once
// The target customization dialog on the console: a menu of TargetPresenter's fields (those
// the chosen high-pass order uses), "Auto Detect", the classic fit's, cuts only's and the upper
// limit's switches, clearing the house curve file, OK and cancel,
// through the wizard's prompt. It runs on the step's worker, Auto Detect with it.

#include "threading/Prompt.h"
#include "wizard/CalculateStep.h"

class ConsoleTargetDialog : public ITargetDialog {
public:
    // prompt and data must outlive the dialog.
    ConsoleTargetDialog(Threading::IPrompt& prompt, const DocData& data);
    bool DoModal(TargetSettings& settings) override;

    // A menu that is never left (a preset answer choosing a setting again and again) ends as
    // a cancel after this many rounds.
    static constexpr int kMaxRounds = 100;

private:
    Threading::IPrompt& prompt_;
    const DocData& data_;
};

inline constexpr wchar_t kTargetDialogCaption[] = L"Target Customization";
// The menu entry that switches the classic fit on and off, followed by "yes" or "no".
inline constexpr wchar_t kClassicFitEntry[] = L"Classic fit: ";
// The limits' switches, followed by "yes" or "no", and the house curve file's entry.
inline constexpr wchar_t kCutsOnlyEntry[] = L"Cuts only: ";
inline constexpr wchar_t kFitUpperEntry[] = L"Fit's own upper limit: ";
inline constexpr wchar_t kHouseFileEntry[] = L"House curve file: ";

// Makes console dialogs over the owner's prompt.
TargetDialogFactory ConsoleTargetDialogFactory();
