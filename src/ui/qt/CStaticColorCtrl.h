#pragma once
// A solid colour swatch. It has no text: give it the accessible name of its label.

#include <QWidget>

#include "ui/graph/GraphTypes.h"

namespace CustomControls {

class CStaticColorCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CStaticColorCtrl(QWidget* parent = nullptr);

    void SetColor(Graphing::Color color);
    Graphing::Color GetColor() const { return color_; }

    QSize sizeHint() const override { return {40, 20}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Graphing::Color color_ = Graphing::Rgb(255, 0, 0);
};

}  // namespace CustomControls
