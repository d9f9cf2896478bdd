#include <gtest/gtest.h>

#include <climits>
#include <set>

#include "ui/controls/SpinState.h"
#include "ui/controls/StatusCells.h"

using namespace CustomControls;

TEST(Applicator, ParsesSignedIntegersInTheFieldsUnits) {
    const Applicator<int> a{5, 10, 1};
    EXPECT_EQ(a.Parse(L"12"), 12);
    EXPECT_EQ(a.Parse(L" -7 "), -7);
    EXPECT_EQ(a.Parse(L"+3"), 3);
    EXPECT_FALSE(a.Parse(L""));
    EXPECT_FALSE(a.Parse(L"-"));
    EXPECT_FALSE(a.Parse(L"1a"));
    EXPECT_FALSE(a.Parse(L"1.5"));
    EXPECT_EQ(a.Parse(L"99999999999999999999"), INT_MAX);
    EXPECT_EQ(a.Parse(L"-99999999999999999999"), INT_MIN);
    EXPECT_EQ(a.Parse(L"5", kTimes10), 50);
    EXPECT_EQ(a.Parse(L"5", kTimes100), 500);
    EXPECT_EQ(a.Format(50, kTimes10), L"5");
    EXPECT_EQ(a.Format(55, kTimes10), L"5.5");
    EXPECT_EQ(a.Format(-7), L"-7");
}

TEST(Applicator, PositionsCountIncrementsFromTheMinimum) {
    const Applicator<int> xover{160, 250, 5};
    EXPECT_EQ(xover.MaxPos(), 18);
    EXPECT_EQ(xover.ValueToPos(175), 3);
    EXPECT_EQ(xover.PosToValue(3), 175);
    EXPECT_EQ(xover.PosToValue(100), 250);
    EXPECT_EQ(xover.PosToValue(-1), 160);
    const Applicator<int> odd{20, 10, 0};  // reversed range, no increment: still safe
    EXPECT_EQ(odd.MaxPos(), 0);
    EXPECT_EQ(odd.PosToValue(5), 20);
}

TEST(SpinState, CommitClampsOutOfRangeAndUnparsableText) {
    int positions = 5;
    int working = 0;
    SpinState<int> s;
    s.Attach(&positions, {5, 10, 1}, 0, &working);
    EXPECT_FALSE(s.Commit(L"12"));
    EXPECT_EQ(positions, 10);
    EXPECT_EQ(working, 10);
    EXPECT_EQ(s.Text(), L"10");
    EXPECT_TRUE(s.Commit(L"7"));
    EXPECT_EQ(positions, 7);
    EXPECT_FALSE(s.Commit(L"abc"));  // counts as 0
    EXPECT_EQ(positions, 5);
}

TEST(SpinState, TypingMovesThePositionAndStepsContinueFromIt) {
    int v = 5;
    SpinState<int> s;
    s.Attach(&v, {5, 10, 1}, 0);
    EXPECT_TRUE(s.EditChanged(L"8"));
    EXPECT_TRUE(s.TextChanged());
    EXPECT_EQ(s.PendingPosition(), 3);
    EXPECT_EQ(v, 5);  // not stored before the commit
    EXPECT_FALSE(s.EditChanged(L"8x"));
    EXPECT_TRUE(s.EditChanged(L"12"));  // parses: committed (and refused) on focus loss
    EXPECT_EQ(s.PendingPosition(), 5);

    s.Attach(&v, {5, 10, 1}, 0);
    EXPECT_TRUE(s.Step(1));
    EXPECT_EQ(v, 6);
    EXPECT_TRUE(s.Step(100));
    EXPECT_EQ(v, 10);
    EXPECT_FALSE(s.Step(1));  // already at the top
    EXPECT_FALSE(s.TextChanged());
    s.SetFormatter([](int x) { return x == 10 ? std::wstring(L"ten") : std::wstring(); });
    EXPECT_EQ(s.Text(), L"ten");
}

TEST(StatusCells, LayoutAndBouncingGroup) {
    StatusCells c;
    c.Layout(200, 30);  // cells of 20 pixels
    EXPECT_EQ(c.Cells(), 10);
    EXPECT_EQ(c.Lit(), 5);
    std::set<int> seen;
    for (int i = 0; i < 40; ++i) {
        const int before = c.Position();
        const auto [lit, dark] = c.Tick();
        ASSERT_GE(c.Position(), 0);
        ASSERT_LE(c.Position(), c.Cells() - c.Lit());
        ASSERT_TRUE(c.IsLit(lit));
        ASSERT_FALSE(c.IsLit(dark));
        ASSERT_EQ(std::abs(c.Position() - before), 1);
        seen.insert(c.Position());
    }
    EXPECT_EQ(seen.size(), 6u);  // 0 ... 5, both ends reached

    const CellRect first = c.Cell(0, 200, 30, 2);
    const CellRect last = c.Cell(9, 200, 30, 2);
    EXPECT_EQ(first.top, 2);
    EXPECT_EQ(first.height, 26);
    EXPECT_EQ(first.left, 200 - (last.left + last.width));  // centred

    c.Layout(200, 0);  // no height: no cells, no division by zero
    EXPECT_EQ(c.Cells(), 0);
    EXPECT_EQ(c.Cell(0, 200, 0, 2).width, 0);
}
