#pragma once
// The animated "working" bar: a row of rounded cells with a lit group bouncing from end to end.
// A tick repaints only the two cells that changed.

#include <QColor>
#include <QTimer>
#include <QWidget>

#include "ui/controls/StatusCells.h"

namespace CustomControls {

class CStatusCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CStatusCtrl(QWidget* parent = nullptr);

    void SetColors(const QColor& off, const QColor& on);
    void SetGap(int gap);
    void SetPeriod(int milliseconds);
    int Period() const { return timer_.interval(); }

    // Back to the first cell, repaint, and run the timer.
    void Start();
    void Stop();
    bool IsRunning() const { return timer_.isActive(); }
    const StatusCells& Cells() {
        EnsureLayout();
        return cells_;
    }
    QRect CellRect(int index) const;

    QSize sizeHint() const override { return {200, 18}; }

public slots:
    // One animation step (the timer's slot).
    void Tick();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // Cells are laid out for the current size; a hidden widget gets no resize events.
    void EnsureLayout();

    StatusCells cells_;
    QSize layoutSize_;
    QColor off_{210, 210, 210};
    QColor on_{40, 120, 220};
    int gap_ = 2;
    QTimer timer_;
};

}  // namespace CustomControls
