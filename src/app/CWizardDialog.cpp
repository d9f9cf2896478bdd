#include "app/CWizardDialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/qt/BCheck.h"

CWizardDialog::CWizardDialog(const WizardDialogSetup& setup, QWidget* parent,
                             const PromptWrapper& wrapPrompt)
    : QDialog(parent),
      WizardDialog(setup),
      prompt_([this] { return static_cast<QWidget*>(this); }, QtPrompt::Placement::BesideOwner) {
    if (wrapPrompt)
        wrapped_ = wrapPrompt(prompt_);
    setObjectName(QStringLiteral("CWizardDialog"));
    setWindowTitle(QString::fromStdWString(kTemplateCaption));
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    status_ = new QLabel(this);
    status_->setAlignment(Qt::AlignCenter);
    status_->setWordWrap(true);
    status_->setMinimumWidth(320);
    status_->setMinimumHeight(status_->fontMetrics().height() * 3);
    status_->setAccessibleName(QStringLiteral("Status"));
    // How far the step has come, under the status the step sets.
    detail_ = new QLabel(this);
    detail_->setObjectName(QStringLiteral("Detail"));
    detail_->setAlignment(Qt::AlignCenter);
    detail_->setWordWrap(true);
    detail_->setAccessibleName(QStringLiteral("Progress detail"));
    detail_->hide();
    progress_ = new QProgressBar(this);
    progress_->setTextVisible(false);
    progress_->setRange(0, 100);
    progress_->setValue(0);
    progress_->setAccessibleName(QStringLiteral("Progress"));
    layout->addWidget(status_);
    layout->addWidget(detail_);
    layout->addWidget(progress_);
    if (!OneStep()) {
        autoProceed_ = new CustomControls::BCheck(QString::fromStdWString(kAutoProceedText), this);
        saveEachStep_ =
            new CustomControls::BCheck(QString::fromStdWString(kSaveEachStepText), this);
        autoProceed_->setAccessibleName(autoProceed_->text());
        saveEachStep_->setAccessibleName(saveEachStep_->text());
        layout->addWidget(autoProceed_);
        layout->addWidget(saveEachStep_);
    }
    auto* buttons = new QHBoxLayout;
    start_ = new QPushButton(QString::fromStdWString(kStartText), this);
    abort_ = new QPushButton(QString::fromStdWString(kAbortStageText), this);
    start_->setAccessibleName(start_->text());
    abort_->setAccessibleName(abort_->text());
    start_->setAutoDefault(false);
    abort_->setAutoDefault(false);
    // A one-step wizard starts by itself: its Start button is never of use.
    start_->setVisible(!OneStep());
    buttons->addStretch();
    buttons->addWidget(start_);
    buttons->addWidget(abort_);
    layout->addLayout(buttons);
    connect(start_, &QPushButton::clicked, this, [this] { OnStart(); });
    connect(abort_, &QPushButton::clicked, this, [this] { OnAbort(); });
}

CWizardDialog::~CWizardDialog() = default;

Threading::IPrompt& CWizardDialog::DialogPrompt() {
    return wrapped_ ? *wrapped_ : prompt_;
}

int CWizardDialog::DoModal() {
    ended_ = false;
    result_ = IDCANCEL;
    AttachWindow();
    // Initialised from inside the modal loop, so that an immediate end is seen by it.
    QTimer::singleShot(0, this, [this] { OnInitDialog(); });
    if (!ended_)
        exec();
    DetachWindow();
    return result_;
}

QWidget* CWizardDialog::Control(int controlId) const {
    switch (controlId) {
        case IDC_START:
            return start_;
        case IDC_ABORT_STAGE:
            return abort_;
        case IDC_STATUS:
            return status_;
        case IDC_PROGRESS:
            return progress_;
        case IDC_AUTO_PROCEED:
            return autoProceed_;
        case IDC_SAVE_EACH_STEP:
            return saveEachStep_;
        default:
            return nullptr;
    }
}

void CWizardDialog::DrawCaption(const std::wstring& caption) {
    setWindowTitle(QString::fromStdWString(caption));
    setAccessibleName(windowTitle());
}

void CWizardDialog::DrawEnable(int controlId, bool enabled) {
    if (QWidget* w = Control(controlId))
        w->setEnabled(enabled);
}

void CWizardDialog::DrawCheck(int controlId, bool checked) {
    if (auto* box = qobject_cast<CustomControls::BCheck*>(Control(controlId)))
        box->setChecked(checked);
}

bool CWizardDialog::IsChecked(int controlId) const {
    auto* box = qobject_cast<CustomControls::BCheck*>(Control(controlId));
    return box != nullptr && box->Value();
}

void CWizardDialog::DrawStatus(const std::wstring& text) {
    status_->setText(DisplayText(text));
    status_->setAccessibleDescription(status_->text());
}

void CWizardDialog::DrawDetail(const std::wstring& text) {
    detail_->setText(DisplayText(text));
    detail_->setAccessibleDescription(detail_->text());
    detail_->setVisible(!text.empty());
}

void CWizardDialog::DrawProgressRange(int32_t n) {
    progress_->setRange(0, n > 0 ? n : 1);
    progress_->setValue(0);
}

void CWizardDialog::DrawProgressPos(int32_t n) {
    progress_->setValue(n);
}

void CWizardDialog::EndDialog(int result) {
    ended_ = true;
    result_ = result;
    QDialog::done(result == IDOK ? QDialog::Accepted : QDialog::Rejected);
}

DialogFactory QtWizardDialogFactory(std::function<QWidget*()> parent,
                                    CWizardDialog::PromptWrapper wrapPrompt) {
    return [parent = std::move(parent), wrapPrompt = std::move(wrapPrompt)](
               const WizardDialogSetup& setup) -> std::unique_ptr<WizardDialog> {
        QWidget* owner = dynamic_cast<QWidget*>(setup.parent);
        if (owner == nullptr && parent)
            owner = parent();
        if (owner == nullptr)
            owner = QApplication::activeWindow();
        return std::make_unique<CWizardDialog>(setup, owner, wrapPrompt);
    };
}
