#pragma once
// The check-for-subwoofer dialog's window: the message, Retry, Reinstall and Cancel. The logic
// is CCheckForUsbSubDlg's; on Linux Reinstall explains how to install the udev rule.

#include <QDialog>

#include "app/QtPrompt.h"
#include "sublink/Discovery.h"

class QPlainTextEdit;
class QPushButton;

class CCheckForUsbSubWnd : public QDialog, public CUsbController::ICheckForUsbSubWindow {
    Q_OBJECT
public:
    explicit CCheckForUsbSubWnd(QWidget* parent);

    int DoModal(CUsbController::CCheckForUsbSubDlg& dialog) override;
    void DrawCaption(const std::wstring& caption) override;
    void DrawMessage(const std::wstring& text) override;
    void ShowReinstall(bool visible) override;
    void MessageBox(const std::wstring& text, const std::wstring& caption) override;
    void EndDialog(int result) override;
    void reject() override;

    QPlainTextEdit* Message() const { return message_; }
    QPushButton* Retry() const { return retry_; }
    QPushButton* Reinstall() const { return reinstall_; }
    QPushButton* CancelButton() const { return cancel_; }

private:
    CUsbController::CCheckForUsbSubDlg* dialog_ = nullptr;
    QtPrompt prompt_;
    QPlainTextEdit* message_;
    QPushButton* retry_;
    QPushButton* reinstall_;
    QPushButton* cancel_;
    int result_ = CUsbController::kCheckCancel;
};

// Windows over the active modal window (the wizard dialog, whose worker waits meanwhile).
CUsbController::CheckWindowFactory QtCheckWindowFactory();
