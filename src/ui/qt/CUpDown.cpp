#include "ui/qt/CUpDown.h"

#include <QToolButton>
#include <QVBoxLayout>

namespace CustomControls {

namespace {

QToolButton* MakeButton(QWidget* parent, Qt::ArrowType arrow) {
    auto* b = new QToolButton(parent);
    b->setArrowType(arrow);
    b->setAutoRepeat(true);
    b->setFocusPolicy(Qt::NoFocus);
    b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    b->setFixedWidth(16);
    return b;
}

}  // namespace

CUpDown::CUpDown(QWidget* parent)
    : QWidget(parent), up_(MakeButton(this, Qt::UpArrow)), down_(MakeButton(this, Qt::DownArrow)) {
    setProperty("controlId", kUpDownChildId);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(up_);
    layout->addWidget(down_);
    connect(up_, &QToolButton::clicked, this, [this] { emit Stepped(1); });
    connect(down_, &QToolButton::clicked, this, [this] { emit Stepped(-1); });
    SetLabel(QString());
}

void CUpDown::ShowPosition(int position, int maxPosition) {
    up_->setEnabled(position < maxPosition);
    down_->setEnabled(position > 0);
}

void CUpDown::SetLabel(const QString& label) {
    const QString prefix = label.isEmpty() ? QString() : label + QLatin1Char(' ');
    setAccessibleName(label);
    up_->setAccessibleName(prefix + tr("up"));
    down_->setAccessibleName(prefix + tr("down"));
}

}  // namespace CustomControls
