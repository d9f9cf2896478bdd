#include "ui/qt/CStaticColorCtrl.h"

#include <QPainter>

#include "ui/qt/QtColor.h"

namespace CustomControls {

CStaticColorCtrl::CStaticColorCtrl(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    SetColor(color_);
}

void CStaticColorCtrl::SetColor(Graphing::Color color) {
    color_ = color;
    setAccessibleDescription(Graphing::ToQColor(color).name());
    update();
}

void CStaticColorCtrl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QColor c = Graphing::ToQColor(color_);
    p.setPen(c);
    p.setBrush(c);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace CustomControls
