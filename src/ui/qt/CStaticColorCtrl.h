#pragma once
// A legend sample: a solid colour swatch, or with a pen the line itself (colour, width, style).
// It has no text: give it the accessible name of its label.

#include <QWidget>

#include "ui/graph/GraphTypes.h"

namespace CustomControls {

class CStaticColorCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CStaticColorCtrl(QWidget* parent = nullptr);

    void SetColor(Graphing::Color color);
    // Draws a line of the pen's width and style instead of the swatch.
    void SetPen(const Graphing::Pen& pen);
    bool DrawsLine() const { return line_; }
    const Graphing::Pen& LinePen() const { return pen_; }
    Graphing::Color GetColor() const { return color_; }

    QSize sizeHint() const override { return {40, 20}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Graphing::Color color_ = Graphing::Rgb(255, 0, 0);
    Graphing::Pen pen_;
    bool line_ = false;
};

}  // namespace CustomControls
