#pragma once
// The edit field of a spin. It accepts digits and a sign and keeps its last accepted text;
// in a dialog Enter commits the text and presses the default button and Escape cancels,
// elsewhere both move the focus to the spin's parent; the arrow and page keys step the spin.

#include <QLineEdit>

namespace CustomControls {

inline constexpr int kSpinEditChildId = 1335;

class CSpinEditBox : public QLineEdit {
    Q_OBJECT
public:
    explicit CSpinEditBox(QWidget* parent = nullptr);

    // The control's own rewrite; not reported as an edit.
    void SetAcceptedText(const QString& text);
    const QString& AcceptedText() const { return accepted_; }

signals:
    void Edited(const QString& text);
    void StepRequested(int delta);
    // Focus moved to another control of the window (not to another window or a popup).
    void LostFocus();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void OnTextEdited(const QString& text);
    void MoveFocusOut();

    QString accepted_;
};

}  // namespace CustomControls
