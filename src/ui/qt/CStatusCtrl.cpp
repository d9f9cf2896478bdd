#include "ui/qt/CStatusCtrl.h"

#include <qdrawutil.h>
#include <QPainter>
#include <algorithm>

namespace CustomControls {

namespace {

constexpr int kDefaultPeriodMs = 100;

}  // namespace

CStatusCtrl::CStatusCtrl(QWidget* parent) : QWidget(parent) {
    setAccessibleName(tr("Busy"));
    timer_.setInterval(kDefaultPeriodMs);
    connect(&timer_, &QTimer::timeout, this, &CStatusCtrl::Tick);
    EnsureLayout();
}

void CStatusCtrl::SetColors(const QColor& off, const QColor& on) {
    off_ = off;
    on_ = on;
    update();
}

void CStatusCtrl::SetGap(int gap) {
    gap_ = std::max(gap, 0);
    update();
}

void CStatusCtrl::SetPeriod(int milliseconds) {
    timer_.setInterval(std::max(milliseconds, 1));
}

void CStatusCtrl::Start() {
    EnsureLayout();
    cells_.Reset();
    update();
    timer_.start();
}

void CStatusCtrl::Stop() {
    timer_.stop();
}

void CStatusCtrl::EnsureLayout() {
    if (layoutSize_ != size()) {
        layoutSize_ = size();
        cells_.Layout(width(), height());
    }
}

QRect CStatusCtrl::CellRect(int index) const {
    const CustomControls::CellRect c = cells_.Cell(index, width(), height(), gap_);
    return {c.left, c.top, c.width, c.height};
}

void CStatusCtrl::Tick() {
    EnsureLayout();
    const auto [lit, dark] = cells_.Tick();
    update(CellRect(lit));
    update(CellRect(dark));
}

void CStatusCtrl::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    EnsureLayout();
}

void CStatusCtrl::paintEvent(QPaintEvent*) {
    EnsureLayout();
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(Qt::NoPen);
    for (int i = 0; i < cells_.Cells(); ++i) {
        const QRect r = CellRect(i);
        const qreal radius = std::min(r.width(), r.height()) / 4.0;
        p.setBrush(cells_.IsLit(i) ? on_ : off_);
        p.drawRoundedRect(r, radius, radius);
    }
    p.setRenderHint(QPainter::Antialiasing, false);
    qDrawShadePanel(&p, rect(), palette(), true, 1);
}

}  // namespace CustomControls
