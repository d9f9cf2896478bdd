#include "ui/qt/CSpinEditBox.h"

#include <QDialog>
#include <QFocusEvent>
#include <QKeyEvent>
#include <algorithm>

namespace CustomControls {

namespace {

constexpr int kPageSteps = 10;

bool Acceptable(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        const bool sign = i == 0 && (c == QLatin1Char('-') || c == QLatin1Char('+'));
        if (!sign && !c.isDigit()) {
            return false;
        }
    }
    return true;
}

}  // namespace

CSpinEditBox::CSpinEditBox(QWidget* parent) : QLineEdit(parent) {
    setProperty("controlId", kSpinEditChildId);
    connect(this, &QLineEdit::textEdited, this, &CSpinEditBox::OnTextEdited);
}

void CSpinEditBox::SetAcceptedText(const QString& text) {
    accepted_ = text;
    setText(text);
}

void CSpinEditBox::OnTextEdited(const QString& text) {
    if (!Acceptable(text)) {
        const int cursor = cursorPosition();
        setText(accepted_);
        setCursorPosition(std::max(cursor - 1, 0));
        return;
    }
    accepted_ = text;
    emit Edited(text);
}

void CSpinEditBox::MoveFocusOut() {
    QWidget* spin = parentWidget();
    QWidget* target =
        spin != nullptr && spin->parentWidget() != nullptr ? spin->parentWidget() : spin;
    if (target != nullptr) {
        target->setFocus(Qt::OtherFocusReason);
    }
}

void CSpinEditBox::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            if (qobject_cast<QDialog*>(window()) != nullptr) {
                // Enter commits the typed value first; the dialog then presses its default
                // button or cancels.
                if (event->key() != Qt::Key_Escape) {
                    emit LostFocus();
                }
                event->ignore();
                return;
            }
            MoveFocusOut();
            event->accept();
            return;
        case Qt::Key_Up:
        case Qt::Key_Down:
            emit StepRequested(event->key() == Qt::Key_Up ? 1 : -1);
            event->accept();
            return;
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
            emit StepRequested(event->key() == Qt::Key_PageUp ? kPageSteps : -kPageSteps);
            event->accept();
            return;
        case Qt::Key_Backspace:
            // Handled here so that the result goes through the same check as typing.
            if (!isReadOnly()) {
                if (hasSelectedText()) {
                    del();
                } else {
                    backspace();
                }
                OnTextEdited(text());
            }
            event->accept();
            return;
        default:
            QLineEdit::keyPressEvent(event);
    }
}

void CSpinEditBox::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    if (event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason) {
        emit LostFocus();
    }
}

}  // namespace CustomControls
