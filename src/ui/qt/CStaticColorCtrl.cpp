#include "ui/qt/CStaticColorCtrl.h"

#include <QPainter>
#include <QPen>

#include "ui/graph/Graph.h"
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

void CStaticColorCtrl::SetPen(const Graphing::Pen& pen) {
    pen_ = pen;
    line_ = true;
    SetColor(pen.color);
}

void CStaticColorCtrl::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QColor c = Graphing::ToQColor(color_);
    if (line_) {
        p.fillRect(rect(), Graphing::ToQColor(Graphing::kGraphBackground));
        QPen pen(c, pen_.width,
                 pen_.style == Graphing::PenStyle::Dot ? Qt::DotLine : Qt::SolidLine);
        pen.setCapStyle(Qt::FlatCap);
        p.setPen(pen);
        const int y = height() / 2;
        p.drawLine(2, y, width() - 3, y);
        return;
    }
    p.setPen(c);
    p.setBrush(c);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace CustomControls
