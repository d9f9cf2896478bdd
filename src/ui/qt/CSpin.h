#pragma once
// A numeric spin field bound to a variable (CSpin), and its text variant (CSpinText).

#include "ui/controls/SpinState.h"
#include "ui/qt/CSpinBase.h"
#include "ui/qt/CSpinEditBox.h"

namespace CustomControls {

template <typename V>
class CSpin : public CSpinBase {
public:
    explicit CSpin(QWidget* parent = nullptr) : CSpin(parent, false) {}

    // Binds the spin to value (read now, written on every change) and shows it.
    void Attach(int controlId, V* value, const Applicator<V>& rule, unsigned flags = 0,
                V* working = nullptr) {
        SetControlId(controlId);
        state_.Attach(value, rule, flags, working);
        Refresh();
    }
    // A new range; the value is read again from the bound variable.
    void SetRule(const Applicator<V>& rule) {
        state_.SetRule(rule);
        Refresh();
    }
    V Value() const { return state_.Value(); }
    const SpinState<V>& State() const { return state_; }

    // Also reports a bad value that a focus change committed but not yet shown.
    bool Validate() override {
        const bool good = state_.Commit(Edit()->text().toStdWString());
        Refresh();
        if (!good || BadValuePending()) {
            ShowBadValue();
            return false;
        }
        return true;
    }

protected:
    CSpin(QWidget* parent, bool textOnly) : CSpinBase(parent, textOnly) {}

    void OnStep(int delta) override {
        if (state_.Step(delta)) {
            Refresh();
            NotifyValueChanged();
        }
        Edit()->selectAll();
    }
    void OnEdited(const QString& text) override {
        if (state_.EditChanged(text.toStdWString())) {
            ShowPosition(state_.PendingPosition(), state_.MaxPosition());
        }
    }
    void OnEditLostFocus() override {
        if (state_.TextChanged()) {
            Commit();
        } else if (state_.RewritesEdit()) {
            ShowText(QString::fromStdWString(state_.Text()));
        }
        NotifyValueChanged();
    }

    void Refresh() {
        if (state_.RewritesEdit()) {
            ShowText(QString::fromStdWString(state_.Text()));
        }
        ShowPosition(state_.Position(), state_.MaxPosition());
        const Applicator<V>& rule = state_.Rule();
        ShowRange(QString::fromStdWString(rule.Format(rule.minimum, state_.Flags())),
                  QString::fromStdWString(rule.Format(rule.Top(), state_.Flags())));
    }

    void Commit() {
        const bool good = state_.Commit(Edit()->text().toStdWString());
        Refresh();
        if (!good) {
            ReportBadValue();
        }
    }

    SpinState<V> state_;
};

// Its numbers are typed as in CSpin; a variant that shows names instead (SpinTextBox) makes its
// edit read-only.
template <typename V>
class CSpinText : public CSpin<V> {
public:
    explicit CSpinText(QWidget* parent = nullptr) : CSpin<V>(parent, false) {}
};

extern template class CSpin<int>;
extern template class CSpinText<int>;

}  // namespace CustomControls
