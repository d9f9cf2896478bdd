#pragma once
// The animated "working" bar's cells: a lit group of half the cells bouncing from end to end.

#include <utility>

namespace CustomControls {

struct CellRect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

class StatusCells {
public:
    // cells = width / (height * 2/3), lit = half of them; the group starts at 0.
    void Layout(int width, int height);
    // Moves the group one cell; returns the cell that lit up and the one that went dark.
    std::pair<int, int> Tick();
    void Reset() { position_ = 0; }
    void Hide() { position_ = -1; }

    int Cells() const { return cells_; }
    int Lit() const { return lit_; }
    int Position() const { return position_; }
    int Direction() const { return direction_; }
    bool IsLit(int cell) const {
        return position_ >= 0 && cell >= position_ && cell < position_ + lit_;
    }

    // Cell rectangles: equal widths, gap pixels between cells and at the ends, the row centred.
    CellRect Cell(int index, int width, int height, int gap) const;

private:
    int cells_ = 0;
    int lit_ = 0;
    int position_ = 0;
    int direction_ = 1;
};

}  // namespace CustomControls
