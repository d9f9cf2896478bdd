#include "ui/qt/CSpinBase.h"

#include <QHBoxLayout>
#include <QMessageBox>
#include <QPointer>

#include "ui/qt/CSpinEditBox.h"
#include "ui/qt/CUpDown.h"

namespace CustomControls {

CSpinBase::CSpinBase(QWidget* parent, bool textOnly)
    : QWidget(parent), edit_(new CSpinEditBox(this)), upDown_(new CUpDown(this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(edit_, 1);
    layout->addWidget(upDown_);
    edit_->setReadOnly(textOnly);
    setFocusProxy(edit_);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    connect(upDown_, &CUpDown::Stepped, this, [this](int delta) { OnStep(delta); });
    connect(edit_, &CSpinEditBox::StepRequested, this, [this](int delta) { OnStep(delta); });
    connect(edit_, &CSpinEditBox::Edited, this, [this](const QString& text) { OnEdited(text); });
    connect(edit_, &CSpinEditBox::LostFocus, this, [this] { OnEditLostFocus(); });
}

void CSpinBase::SetLabel(const QString& label) {
    setAccessibleName(label);
    edit_->setAccessibleName(label);
    upDown_->SetLabel(label);
}

void CSpinBase::ShowText(const QString& text) {
    edit_->SetAcceptedText(text);
}

void CSpinBase::ShowPosition(int position, int maxPosition) {
    upDown_->ShowPosition(position, maxPosition);
}

void CSpinBase::ShowRange(const QString& minimum, const QString& maximum) {
    if (edit_->isReadOnly()) {
        return;
    }
    const QString range = QStringLiteral("From %1 to %2").arg(minimum, maximum);
    for (QWidget* w : {static_cast<QWidget*>(this), static_cast<QWidget*>(edit_)}) {
        w->setToolTip(range);
        w->setAccessibleDescription(range);
    }
}

void CSpinBase::ReportBadValue() {
    badPending_ = true;
    QPointer<CSpinBase> self(this);
    QMetaObject::invokeMethod(
        this,
        [self] {
            if (self && self->badPending_ && self->isVisible()) {
                self->ShowBadValue();
            }
        },
        Qt::QueuedConnection);
}

void CSpinBase::ShowBadValue() {
    badPending_ = false;
    const QString text = QString::fromLatin1(kBadValueText);
    const QString caption = QString::fromLatin1(kBadValueCaption);
    QWidget* owner = parentWidget() != nullptr ? parentWidget() : this;
    QPointer<CSpinBase> self(this);
    if (messageBox_) {
        messageBox_(owner, text, caption);
    } else {
        QMessageBox::critical(owner, caption, text);
    }
    if (self) {
        edit_->setFocus(Qt::OtherFocusReason);
        edit_->selectAll();
    }
}

}  // namespace CustomControls
