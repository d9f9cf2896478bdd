#include "ui/qt/CGraphCtrl.h"

#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFocusRect>
#include <QWheelEvent>
#include <cmath>

#include "ui/qt/QtGraphPainter.h"

namespace Graphing {

namespace {

constexpr int kWheelStep = 120;  // one notch

}  // namespace

CGraphCtrl::CGraphCtrl(QWidget* parent, Domain domain, XScale xScale, YMode yMode)
    : QWidget(parent), graph_(domain, xScale, yMode) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setAccessibleName(QString::fromStdWString(graph_.Title()));
    setAccessibleDescription(
        tr("Mouse wheel, Up and Down or + and - zoom; Left and Right pan; drag a rectangle to "
           "zoom into it."));
    Relayout();
}

void CGraphCtrl::SetCurveSource(CGraphCtrlCurves* source) {
    graph_.SetCurveSource(source);
    CurvesChanged();
}

void CGraphCtrl::CurvesChanged() {
    curvesValid_ = false;
    drawn_.clear();
    update();
}

void CGraphCtrl::SetTitle(const QString& title) {
    graph_.SetTitle(title.toStdWString());
    setAccessibleName(title);
    Redraw();
}

void CGraphCtrl::SetRanges(const Ranges& ranges) {
    graph_.SetRanges(ranges);
    RangesMoved();
}

void CGraphCtrl::Rescale() {
    graph_.Rescale();
    RangesMoved();
}

void CGraphCtrl::Redraw() {
    frameValid_ = false;
    curvesValid_ = false;
    drawn_.clear();
    update();
}

void CGraphCtrl::RangesMoved() {
    Redraw();
    emit RangesChanged();
}

PixelPoint CGraphCtrl::ToDevice(const QPointF& p) const {
    const qreal dpr = devicePixelRatioF();
    return {static_cast<int>(std::floor(p.x() * dpr)), static_cast<int>(std::floor(p.y() * dpr))};
}

void CGraphCtrl::EnsureLayout() {
    const qreal dpr = devicePixelRatioF();
    if (dpr != layoutDpr_ || graph_.ClientWidth() != static_cast<int>(width() * dpr) ||
        graph_.ClientHeight() != static_cast<int>(height() * dpr)) {
        Relayout();
    }
}

void CGraphCtrl::Relayout() {
    const qreal dpr = devicePixelRatioF();
    layoutDpr_ = dpr;
    const QFontMetricsF fm(font());
    graph_.Layout(static_cast<int>(width() * dpr), static_cast<int>(height() * dpr),
                  static_cast<int>(std::ceil(fm.averageCharWidth() * dpr)),
                  static_cast<int>(std::ceil(fm.height() * dpr)));
    frameValid_ = false;
    curvesValid_ = false;
}

void CGraphCtrl::RebuildFrame() {
    const qreal dpr = devicePixelRatioF();
    frame_ = QPixmap(QSize(graph_.ClientWidth(), graph_.ClientHeight()));
    frame_.setDevicePixelRatio(dpr);
    QPainter p(&frame_);
    QtGraphPainter painter(p, font(), dpr);
    graph_.DrawFrame(painter);
    frameValid_ = true;
    curvesValid_ = false;
}

void CGraphCtrl::RebuildCurves() {
    const qreal dpr = devicePixelRatioF();
    picture_ = frame_;
    QPainter p(&picture_);
    const Graphing::PixelRect plot = graph_.Map().Rect();
    p.setClipRect(QRectF(plot.left / dpr, plot.top / dpr, (plot.right - plot.left + 1) / dpr,
                         (plot.bottom - plot.top + 1) / dpr));
    QtGraphPainter painter(p, font(), dpr);
    // Kept for the readout: valid until the source reports a change.
    drawn_.clear();
    if (graph_.CurveSource() != nullptr)
        drawn_ = graph_.CurveSource()->CurvesToDraw(graph_);
    graph_.DrawCurves(painter, drawn_);
    curvesValid_ = true;
}

void CGraphCtrl::paintEvent(QPaintEvent*) {
    EnsureLayout();
    const qreal dpr = devicePixelRatioF();
    if (!frameValid_) {
        RebuildFrame();
    }
    if (!curvesValid_) {
        RebuildCurves();
    }
    QPainter p(this);
    p.drawPixmap(0, 0, picture_);
    QtGraphPainter painter(p, font(), dpr);
    if (graph_.RubberBandActive()) {
        const PixelRect r = graph_.RubberBand();
        p.setRenderHint(QPainter::Antialiasing, false);
        p.setPen(QPen(Qt::black, 0, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(
            QRectF(r.left / dpr, r.top / dpr, (r.right - r.left) / dpr, (r.bottom - r.top) / dpr));
    } else if (hovering_) {
        graph_.DrawReadout(painter, hover_, drawn_);
    }
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(1, 1, -1, -1);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
}

void CGraphCtrl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Relayout();
}

void CGraphCtrl::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        Relayout();
        update();
    }
}

void CGraphCtrl::wheelEvent(QWheelEvent* event) {
    EnsureLayout();
    wheelDelta_ += event->angleDelta().y();
    bool zoomed = false;
    while (std::abs(wheelDelta_) >= kWheelStep) {
        const bool in = wheelDelta_ > 0;
        wheelDelta_ += in ? -kWheelStep : kWheelStep;
        zoomed = graph_.ZoomAnchored(ToDevice(event->position()), in) || zoomed;
    }
    if (zoomed) {
        RangesMoved();
    }
    event->accept();
}

void CGraphCtrl::keyPressEvent(QKeyEvent* event) {
    EnsureLayout();
    bool moved = false;
    switch (event->key()) {
        case Qt::Key_Up:
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            moved = graph_.ZoomAtCentre(true);
            break;
        case Qt::Key_Down:
        case Qt::Key_Minus:
            moved = graph_.ZoomAtCentre(false);
            break;
        case Qt::Key_Left:
        case Qt::Key_Right:
            moved = graph_.Pan(event->key() == Qt::Key_Right ? 1 : -1);
            break;
        default:
            QWidget::keyPressEvent(event);
            return;
    }
    if (moved) {
        RangesMoved();
    }
    event->accept();
}

void CGraphCtrl::mousePressEvent(QMouseEvent* event) {
    EnsureLayout();
    if (event->button() == Qt::LeftButton) {
        graph_.BeginRubberBand(ToDevice(event->position()));
        update();
    }
    QWidget::mousePressEvent(event);
}

void CGraphCtrl::mouseMoveEvent(QMouseEvent* event) {
    EnsureLayout();
    const PixelPoint p = ToDevice(event->position());
    const bool inside = graph_.Map().Contains(p);
    setCursor(inside || graph_.RubberBandActive() ? Qt::CrossCursor : Qt::ArrowCursor);
    graph_.DragRubberBand(p);
    hovering_ = inside;
    hover_ = p;
    update();
}

void CGraphCtrl::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && graph_.RubberBandActive()) {
        if (graph_.EndRubberBand(ToDevice(event->position()))) {
            RangesMoved();
        } else {
            update();
        }
    }
    QWidget::mouseReleaseEvent(event);
}

void CGraphCtrl::leaveEvent(QEvent* event) {
    hovering_ = false;
    update();
    QWidget::leaveEvent(event);
}

}  // namespace Graphing
