#pragma once
// The graph's drawing operations on a QPainter. The graph works in device pixels; the painter
// draws in logical ones, so every coordinate is divided by the device pixel ratio.

#include <QFont>
#include <QPainter>

#include "ui/graph/GraphPainter.h"

namespace Graphing {

class QtGraphPainter : public IGraphPainter {
public:
    QtGraphPainter(QPainter& painter, const QFont& font, qreal devicePixelRatio);

    void Fill(const PixelRect& rect, Color color) override;
    void Line(PixelPoint from, PixelPoint to, LineKind kind) override;
    void Text(PixelPoint anchor, TextAnchor how, const std::wstring& text, TextKind kind) override;
    void Polyline(std::span<const PixelPoint> points, const Pen& pen) override;
    void Band(std::span<const PixelPoint> outline, Color color) override;

private:
    QPointF Logical(PixelPoint p) const { return {p.x * scale_, p.y * scale_}; }

    QPainter& painter_;
    QFont font_;
    QFont titleFont_;
    qreal scale_;
    QPolygonF polygon_;
};

}  // namespace Graphing
