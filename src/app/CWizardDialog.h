#pragma once
// The wizard's progress dialog in Qt: it only draws. The logic is WizardDialog's; the bridge is
// drained by the application's 1 ms timer, which keeps running inside this dialog's modal loop,
// so the dialog never waits for the worker itself.

#include <QDialog>
#include <functional>
#include <memory>

#include "app/QtPrompt.h"
#include "wizard/WizardController.h"
#include "wizard/WizardDialog.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace CustomControls {
class BCheck;
}

class CWizardDialog : public QDialog, public WizardDialog {
    Q_OBJECT
public:
    // wrapPrompt (may be empty) puts a prompt around the dialog's message boxes (the
    // simulation's microphone mover).
    using PromptWrapper =
        std::function<std::unique_ptr<Threading::IPrompt>(Threading::IPrompt& inner)>;

    CWizardDialog(const WizardDialogSetup& setup, QWidget* parent,
                  const PromptWrapper& wrapPrompt = {});
    ~CWizardDialog() override;

    int DoModal() override;

    QPushButton* StartButton() const { return start_; }
    QPushButton* AbortButton() const { return abort_; }
    QLabel* StatusLabel() const { return status_; }
    QLabel* DetailLabel() const { return detail_; }
    QProgressBar* ProgressBar() const { return progress_; }

    // Enter, Escape and the close box ask to abort; the dialog closes only when the step ends.
    void accept() override { OnOK(); }
    void reject() override { OnCancel(); }

protected:
    Threading::IPrompt& DialogPrompt() override;
    void DrawCaption(const std::wstring& caption) override;
    void DrawEnable(int controlId, bool enabled) override;
    void DrawCheck(int controlId, bool checked) override;
    bool IsChecked(int controlId) const override;
    void DrawStatus(const std::wstring& text) override;
    void DrawDetail(const std::wstring& text) override;
    void DrawProgressRange(int32_t n) override;
    void DrawProgressPos(int32_t n) override;
    void EndDialog(int result) override;
    void CloseQuestion() override { prompt_.CloseOpen(); }

private:
    QWidget* Control(int controlId) const;

    QtPrompt prompt_;
    std::unique_ptr<Threading::IPrompt> wrapped_;
    QPushButton* start_;
    QPushButton* abort_;
    QLabel* status_;
    QLabel* detail_;
    QProgressBar* progress_;
    CustomControls::BCheck* autoProceed_ = nullptr;
    CustomControls::BCheck* saveEachStep_ = nullptr;
    bool ended_ = false;
    int result_ = IDCANCEL;
};

// The factory RunWizard uses: dialogs over the wizard's parent window, else over parent()
// (may be null: the active window).
DialogFactory QtWizardDialogFactory(std::function<QWidget*()> parent,
                                    CWizardDialog::PromptWrapper wrapPrompt = {});
