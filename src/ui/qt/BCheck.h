#pragma once
// A check box bound to a boolean. On a click the variable follows the box; then, by mode, the
// parent gets the ordinary click (Clicked), a value-changed notification, or nothing.

#include <QCheckBox>

#include "ui/qt/CControlHelper.h"

namespace CustomControls {

class BCheck : public QCheckBox, public CControlHelper<BCheck> {
    Q_OBJECT
public:
    enum NotifyMode { kNotifyNone = 0, kNotifyClick = 1, kNotifyValueChanged = 2 };

    explicit BCheck(const QString& text, QWidget* parent = nullptr);

    // Binds to value (may be null) and ticks the box from it.
    void Attach(int controlId, bool* value, int mode);
    void SetMode(int mode) { mode_ = mode; }
    int Mode() const { return mode_; }
    // The bound variable when there is one, otherwise the box.
    bool Value() const;

signals:
    void ValueChanged(int controlId, QWidget* control);
    void Clicked(int controlId);

private:
    void OnClicked(bool checked);

    bool* bound_ = nullptr;
    bool cached_ = false;
    int mode_ = kNotifyNone;
};

}  // namespace CustomControls
