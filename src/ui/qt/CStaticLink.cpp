#include "ui/qt/CStaticLink.h"

#include <QApplication>
#include <QDesktopServices>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QUrl>

#include "ui/qt/QtColor.h"

namespace CustomControls {

CStaticLink::CStaticLink(const QString& text, QWidget* parent) : QLabel(text, parent) {
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    setAutoFillBackground(false);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setTextFormat(Qt::PlainText);
    UpdateLook();
}

void CStaticLink::SetTarget(const QString& target) {
    target_ = target;
    setAccessibleDescription(Target());
}

bool CStaticLink::Open() {
    const QString target = Target();
    const bool opened =
        opener_ ? opener_(target) : QDesktopServices::openUrl(QUrl::fromUserInput(target));
    if (!opened) {
        QApplication::beep();
        emit OpenFailed();
        return false;
    }
    visited_ = true;
    UpdateLook();
    return true;
}

void CStaticLink::UpdateLook() {
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, Graphing::ToQColor(CurrentColor()));
    setPalette(pal);
    update();
}

void CStaticLink::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        Open();
    }
    QLabel::mouseReleaseEvent(event);
}

void CStaticLink::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
        event->key() == Qt::Key_Space) {
        Open();
        event->accept();
        return;
    }
    QLabel::keyPressEvent(event);
}

}  // namespace CustomControls
