#pragma once
// Message boxes and the selection list as Qt dialogs, modal over an owner window. UI thread
// only; workers reach it through the wizard's UI-call hand-off.

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <functional>

#include "threading/Prompt.h"

class QWidget;

// Line ends as the texts carry them ("\r\n", "\n\r") shown as one line break.
QString DisplayText(const std::wstring& text);

class QtPrompt final : public Threading::IPrompt {
public:
    // owner gives the window the boxes are modal over, at the time of asking (may be null).
    // Beside the owner, boxes open below it (above when the screen has no room below) so that
    // they leave it readable; otherwise over its centre.
    enum class Placement { OverOwner, BesideOwner };
    explicit QtPrompt(std::function<QWidget*()> owner, Placement placement = Placement::OverOwner)
        : owner_(std::move(owner)), placement_(placement) {}

    Threading::MsgResult MessageBox(const std::wstring& text, const std::wstring& caption,
                                    Threading::MsgButtons buttons,
                                    Threading::MsgIcon icon) override;
    // The calibration selection dialog: the prompt over a list, OK and Cancel.
    std::optional<size_t> Choose(const std::wstring& prompt,
                                 const std::vector<std::wstring>& choices) override;

    // Closes the message box this prompt has open (the innermost), which then answers as if
    // declined. Nothing when none is open.
    void CloseOpen();

private:
    std::function<QWidget*()> owner_;
    Placement placement_;
    QPointer<QMessageBox> open_;
};

inline constexpr char kSelectionCaption[] = "Tessaline";
