#include "app/CCheckForUsbSubWnd.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

CCheckForUsbSubWnd::CCheckForUsbSubWnd(QWidget* parent)
    : QDialog(parent), prompt_([this] { return static_cast<QWidget*>(this); }) {
    setObjectName(QStringLiteral("CCheckForUsbSubDlg"));
    message_ = new QPlainTextEdit(this);
    message_->setReadOnly(true);
    message_->setMinimumSize(480, 220);
    message_->setAccessibleName(QStringLiteral("Message"));
    message_->setTabChangesFocus(true);
    message_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    retry_ = new QPushButton(QStringLiteral("Retry"), this);
    reinstall_ = new QPushButton(QStringLiteral("Reinstall"), this);
    cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
    for (QPushButton* b : {retry_, reinstall_, cancel_})
        b->setAccessibleName(b->text());
    retry_->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(retry_);
    buttons->addWidget(reinstall_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(message_);
    layout->addLayout(buttons);
    connect(retry_, &QPushButton::clicked, this, [this] {
        if (dialog_)
            dialog_->OnRetry();
    });
    connect(reinstall_, &QPushButton::clicked, this, [this] {
        if (dialog_)
            dialog_->OnReinstall();
    });
    connect(cancel_, &QPushButton::clicked, this, &CCheckForUsbSubWnd::reject);
}

int CCheckForUsbSubWnd::DoModal(CUsbController::CCheckForUsbSubDlg& dialog) {
    dialog_ = &dialog;
    result_ = CUsbController::kCheckCancel;
    dialog.OnInitDialog(*this);
    exec();
    dialog_ = nullptr;
    return result_;
}

void CCheckForUsbSubWnd::DrawCaption(const std::wstring& caption) {
    setWindowTitle(QString::fromStdWString(caption));
    setAccessibleName(windowTitle());
}

void CCheckForUsbSubWnd::DrawMessage(const std::wstring& text) {
    message_->setPlainText(DisplayText(text));
}

void CCheckForUsbSubWnd::ShowReinstall(bool visible) {
    reinstall_->setVisible(visible);
}

void CCheckForUsbSubWnd::MessageBox(const std::wstring& text, const std::wstring& caption) {
    prompt_.MessageBox(text, caption, Threading::MsgButtons::Ok, Threading::MsgIcon::None);
}

void CCheckForUsbSubWnd::EndDialog(int result) {
    result_ = result;
    done(result == CUsbController::kCheckOk ? QDialog::Accepted : QDialog::Rejected);
}

void CCheckForUsbSubWnd::reject() {
    // Escape and the close box are Cancel.
    if (dialog_)
        dialog_->OnCancel();
    else
        QDialog::reject();
}

namespace {

// Made on the step's thread; the window itself is made on the UI thread when it is shown.
class DeferredCheckWindow final : public CUsbController::ICheckForUsbSubWindow {
public:
    int DoModal(CUsbController::CCheckForUsbSubDlg& dialog) override {
        CCheckForUsbSubWnd window(QApplication::activeModalWidget());
        window_ = &window;
        const int result = window.DoModal(dialog);
        window_ = nullptr;
        return result;
    }
    void DrawCaption(const std::wstring& caption) override {
        if (window_)
            window_->DrawCaption(caption);
    }
    void DrawMessage(const std::wstring& text) override {
        if (window_)
            window_->DrawMessage(text);
    }
    void ShowReinstall(bool visible) override {
        if (window_)
            window_->ShowReinstall(visible);
    }
    void MessageBox(const std::wstring& text, const std::wstring& caption) override {
        if (window_)
            window_->MessageBox(text, caption);
    }
    void EndDialog(int result) override {
        if (window_)
            window_->EndDialog(result);
    }

private:
    CCheckForUsbSubWnd* window_ = nullptr;
};

}  // namespace

CUsbController::CheckWindowFactory QtCheckWindowFactory() {
    return [] { return std::make_unique<DeferredCheckWindow>(); };
}
