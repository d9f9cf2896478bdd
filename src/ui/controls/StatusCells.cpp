#include "ui/controls/StatusCells.h"

namespace CustomControls {

void StatusCells::Layout(int width, int height) {
    const int cellWidth = height * 2 / 3;
    cells_ = cellWidth > 0 && width > 0 ? width / cellWidth : 0;
    lit_ = cells_ / 2;
    position_ = 0;
}

std::pair<int, int> StatusCells::Tick() {
    const int old = position_;
    position_ += direction_;
    if (position_ >= cells_ - lit_) {
        direction_ = -direction_;
    }
    if (position_ <= 0) {
        direction_ = -direction_;
    }
    if (position_ > old) {
        return {old + lit_, old};
    }
    return {position_, old + lit_ - 1};
}

CellRect StatusCells::Cell(int index, int width, int height, int gap) const {
    if (cells_ <= 0) {
        return {};
    }
    const int w = (width - gap * (cells_ + 1)) / cells_;
    const int row = cells_ * w + (cells_ + 1) * gap;
    const int left = (width - row) / 2 + gap + index * (w + gap);
    return {left, gap, w > 0 ? w : 0, height - 2 * gap > 0 ? height - 2 * gap : 0};
}

}  // namespace CustomControls
