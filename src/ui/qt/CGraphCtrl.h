#pragma once
// The graph window: paints a CGraph and forwards the wheel, the Up and Down keys and the
// rubber band to it. Frame, grid and labels are cached in a pixmap rebuilt on resize and zoom,
// the curves drawn over them in a second one rebuilt when the curves change too: a pointer move
// repaints the readout over the cached picture.

#include <QPixmap>
#include <QWidget>

#include "ui/graph/Graph.h"

namespace Graphing {

class CGraphCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CGraphCtrl(QWidget* parent = nullptr, Domain domain = Domain::Frequency,
                        XScale xScale = XScale::Log, YMode yMode = YMode::Level);

    CGraph& Graph() {
        EnsureLayout();
        return graph_;
    }
    const CGraph& Graph() const { return graph_; }

    // Not owned; asked for its curves when the picture is rebuilt (CurvesChanged, Redraw).
    void SetCurveSource(CGraphCtrlCurves* source);
    // The curve source's curves changed: redraw them.
    void CurvesChanged();
    // The title above the plot; also the control's accessible name.
    void SetTitle(const QString& title);
    void SetRanges(const Ranges& ranges);
    // Ranges to the curves, then repaint.
    void Rescale();
    // After the graph's settings or ranges were changed directly.
    void Redraw();

    QSize sizeHint() const override { return {640, 400}; }
    QSize minimumSizeHint() const override { return {240, 160}; }

signals:
    // Zoom, rubber band, Rescale or SetRanges changed the ranges.
    void RangesChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    PixelPoint ToDevice(const QPointF& p) const;
    // The plot follows the size even while hidden (no resize events then) and the screen.
    void EnsureLayout();
    void Relayout();
    void RebuildFrame();
    void RebuildCurves();
    void RangesMoved();

    CGraph graph_;
    QPixmap frame_;
    bool frameValid_ = false;
    QPixmap picture_;  // the frame with the curves
    bool curvesValid_ = false;
    // The source's curves as last drawn, for the readout.
    std::vector<Graphing::DrawEntry> drawn_;
    qreal layoutDpr_ = 1.0;
    bool hovering_ = false;
    PixelPoint hover_;
    int wheelDelta_ = 0;
};

}  // namespace Graphing
