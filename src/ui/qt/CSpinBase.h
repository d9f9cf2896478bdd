#pragma once
// The window part shared by every spin: an edit field and up-down buttons side by side, the
// value-changed signal and the "Bad value" report. The typed value logic is in CSpin.

#include <QWidget>
#include <functional>

#include "ui/qt/CControlHelper.h"

namespace CustomControls {

class CSpinEditBox;
class CUpDown;

inline constexpr char kBadValueText[] = "Bad value";
inline constexpr char kBadValueCaption[] = "Error";

class CSpinBase : public QWidget, public CControlHelper<CSpinBase> {
    Q_OBJECT
public:
    // Shows a message box owned by owner; the default is a modal error box.
    using MessageBoxHook =
        std::function<void(QWidget* owner, const QString& text, const QString& caption)>;

    // The label the spin stands for (its group box caption): the accessible name of the spin,
    // its edit and its buttons.
    void SetLabel(const QString& label);
    void SetMessageBox(MessageBoxHook hook) { messageBox_ = std::move(hook); }

    CSpinEditBox* Edit() const { return edit_; }
    CUpDown* UpDown() const { return upDown_; }

    // Commits the edit text as the dialog's data exchange does; false after "Bad value".
    virtual bool Validate() = 0;

signals:
    void ValueChanged(int controlId, QWidget* control);

protected:
    CSpinBase(QWidget* parent, bool textOnly);

    virtual void OnStep(int delta) = 0;
    virtual void OnEdited(const QString& text) = 0;
    virtual void OnEditLostFocus() = 0;

    void ShowText(const QString& text);
    void ShowPosition(int position, int maxPosition);
    // The values a typed text may take, as the tooltip and accessible description of an
    // editable spin (the range "Bad value" clamps to).
    void ShowRange(const QString& minimum, const QString& maximum);
    // "Bad value" after the event that caused it (a focus change is not interrupted by a modal
    // box), unless the window has closed meanwhile or Validate showed it first.
    void ReportBadValue();
    // The message box now, then the focus back into the edit with its whole text selected.
    void ShowBadValue();
    bool BadValuePending() const { return badPending_; }

private:
    CSpinEditBox* edit_;
    CUpDown* upDown_;
    MessageBoxHook messageBox_;
    bool badPending_ = false;
};

}  // namespace CustomControls
