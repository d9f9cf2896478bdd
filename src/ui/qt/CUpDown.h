#pragma once
// The up-down buttons of a spin. They never take the focus; the edit's arrow keys do the same.

#include <QWidget>

class QToolButton;

namespace CustomControls {

inline constexpr int kUpDownChildId = 1349;

class CUpDown : public QWidget {
    Q_OBJECT
public:
    explicit CUpDown(QWidget* parent = nullptr);

    // Enables each button only while it can move.
    void ShowPosition(int position, int maxPosition);
    void SetLabel(const QString& label);
    QToolButton* UpButton() const { return up_; }
    QToolButton* DownButton() const { return down_; }

signals:
    void Stepped(int delta);

private:
    QToolButton* up_;
    QToolButton* down_;
};

}  // namespace CustomControls
