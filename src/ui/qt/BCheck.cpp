#include "ui/qt/BCheck.h"

namespace CustomControls {

BCheck::BCheck(const QString& text, QWidget* parent) : QCheckBox(text, parent) {
    connect(this, &QCheckBox::clicked, this, &BCheck::OnClicked);
}

void BCheck::Attach(int controlId, bool* value, int mode) {
    SetControlId(controlId);
    bound_ = value;
    mode_ = mode;
    if (bound_ != nullptr) {
        cached_ = *bound_;
        setChecked(cached_);
    }
}

bool BCheck::Value() const {
    return bound_ != nullptr ? *bound_ : isChecked();
}

void BCheck::OnClicked(bool checked) {
    cached_ = checked;
    if (bound_ != nullptr) {
        *bound_ = checked;
    }
    if (mode_ == kNotifyClick) {
        emit Clicked(ControlId());
    } else if (mode_ == kNotifyValueChanged) {
        NotifyValueChanged();
    }
}

}  // namespace CustomControls
