#include "ui/qt/QtGraphPainter.h"

#include <QPen>
#include <QPolygonF>
#include <algorithm>

#include "ui/qt/QtColor.h"

namespace Graphing {

namespace {

// A box wide and tall enough for any label, positioned by the anchor.
constexpr qreal kBox = 2000.0;
// Segments per drawn piece of a wide curve.
constexpr qsizetype kWideStrokePiece = 16;

QPen LinePen(LineKind kind) {
    switch (kind) {
        case LineKind::MajorGrid:
            return QPen(QColor(190, 190, 180), 0, Qt::SolidLine);
        case LineKind::MinorGrid:
            return QPen(QColor(215, 215, 205), 0, Qt::DotLine);
        case LineKind::Frame:
        case LineKind::Mark:
            break;
    }
    return QPen(Qt::black, 0, Qt::SolidLine);
}

}  // namespace

QtGraphPainter::QtGraphPainter(QPainter& painter, const QFont& font, qreal devicePixelRatio)
    : painter_(painter), font_(font), titleFont_(font), scale_(1.0 / devicePixelRatio) {
    titleFont_.setBold(true);
}

void QtGraphPainter::Fill(const PixelRect& rect, Color color) {
    const QPointF topLeft = Logical({rect.left, rect.top});
    const QPointF bottomRight = Logical({rect.right, rect.bottom});
    painter_.fillRect(QRectF(topLeft, bottomRight), ToQColor(color));
}

void QtGraphPainter::Line(PixelPoint from, PixelPoint to, LineKind kind) {
    painter_.setRenderHint(QPainter::Antialiasing, false);
    painter_.setPen(LinePen(kind));
    painter_.drawLine(Logical(from), Logical(to));
}

void QtGraphPainter::Text(PixelPoint anchor, TextAnchor how, const std::wstring& text,
                          TextKind kind) {
    painter_.setFont(kind == TextKind::Title ? titleFont_ : font_);
    painter_.setPen(kind == TextKind::Readout ? QColor(0, 0, 128) : QColor(Qt::black));
    const QPointF a = Logical(anchor);
    QRectF box;
    int flags = 0;
    switch (how) {
        case TextAnchor::TopCenter:
            box = QRectF(a.x() - kBox / 2, a.y(), kBox, kBox);
            flags = Qt::AlignHCenter | Qt::AlignTop;
            break;
        case TextAnchor::Center:
            box = QRectF(a.x() - kBox / 2, a.y() - kBox / 2, kBox, kBox);
            flags = Qt::AlignCenter;
            break;
        case TextAnchor::RightCenter:
            box = QRectF(a.x() - kBox, a.y() - kBox / 2, kBox, kBox);
            flags = Qt::AlignRight | Qt::AlignVCenter;
            break;
    }
    painter_.drawText(box, flags, QString::fromStdWString(text));
}

void QtGraphPainter::Polyline(std::span<const PixelPoint> points, const Pen& pen) {
    polygon_.resize(static_cast<qsizetype>(points.size()));
    QPointF* out = polygon_.data();
    for (const PixelPoint& p : points) {
        *out++ = Logical(p);
    }
    const bool wide = pen.width > 1 && pen.style == PenStyle::Solid;
    painter_.setRenderHint(QPainter::Antialiasing, true);
    if (!wide) {
        painter_.setPen(QPen(ToQColor(pen.color), pen.width,
                             pen.style == PenStyle::Dot ? Qt::DotLine : Qt::SolidLine, Qt::RoundCap,
                             Qt::RoundJoin));
        painter_.drawPolyline(polygon_);
        return;
    }
    // The outline of a long wide stroke is slow to fill, round joins most of all. Short pieces
    // with bevel joins and square caps (which cover the joins between pieces) look the same at
    // these widths and draw several times faster.
    painter_.setPen(
        QPen(ToQColor(pen.color), pen.width, Qt::SolidLine, Qt::SquareCap, Qt::BevelJoin));
    const qsizetype n = polygon_.size();
    for (qsizetype i = 0; i + 1 < n; i += kWideStrokePiece) {
        painter_.drawPolyline(polygon_.constData() + i,
                              static_cast<int>(std::min(kWideStrokePiece + 1, n - i)));
    }
}

void QtGraphPainter::Band(std::span<const PixelPoint> outline, Color color) {
    QPolygonF polygon;
    polygon.reserve(static_cast<qsizetype>(outline.size()));
    for (const PixelPoint& p : outline)
        polygon.append(Logical(p));
    QColor shade = ToQColor(color);
    shade.setAlpha(56);
    painter_.setRenderHint(QPainter::Antialiasing, true);
    painter_.setPen(Qt::NoPen);
    painter_.setBrush(shade);
    painter_.drawPolygon(polygon);
    painter_.setBrush(Qt::NoBrush);
}

}  // namespace Graphing
