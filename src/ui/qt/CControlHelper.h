#pragma once
// The part every bound control shares: its identifier and the value-changed notification to its
// parent (the counterpart of the registered message UM_VALUE_CHANGED: identifier and control).
// Control declares the signal ValueChanged(int controlId, QWidget* control).

namespace CustomControls {

template <typename Control>
class CControlHelper {
public:
    int ControlId() const { return controlId_; }
    void SetControlId(int id) { controlId_ = id; }

protected:
    void NotifyValueChanged() {
        Control& self = static_cast<Control&>(*this);
        emit self.ValueChanged(controlId_, &self);
    }

private:
    int controlId_ = 0;
};

}  // namespace CustomControls
