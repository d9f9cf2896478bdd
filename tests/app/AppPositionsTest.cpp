// The positions panel, the spread and position curves, dropping a position, and Tools > Verify
// in the window, headless.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>

#include "app/AppTestSupport.h"
#include "app/CMainFrame.h"
#include "app/CPositionsPanel.h"
#include "app/CTSLView.h"
#include "app/CTessalineApp.h"
#include "app/ModalAnswerer.h"
#include "app/SimulatedApp.h"
#include "ui/qt/CStaticColorCtrl.h"
#include "wizard/Positions.h"

namespace {

// Six positions, one of them far from the others, with results and quality.
std::filesystem::path PositionsDocument(const TempDir& dir) {
    DocData data;
    data.name = L"KT1";
    data.measurements = {LevelCurve(-10),  LevelCurve(-11), LevelCurve(-10.5),
                         LevelCurve(-9.5), LevelCurve(-10), LevelCurve(-30)};
    data.positionQuality = {{50, 0.1}, {45, 0.2}, {48, 0.1}, {47, 0.3}, {49, 0.2}, {20, 1.0}};
    data.results = {LevelCurve(-14), LevelCurve(-20), LevelCurve(-21)};
    const auto path = dir.path / "room.CVD";
    WriteDocFile(path, data);
    return path;
}

int Count(const std::vector<QString>& texts, const QString& part) {
    int n = 0;
    for (const QString& t : texts)
        n += t.contains(part);
    return n;
}

TEST(AppPositions, PanelSpreadPositionCurvesAndDropping) {
    TempDir dir;
    SimulatedApp simulated(PositionsDocument(dir));
    CTessalineApp& app = simulated.app;
    ModalAnswerer answerer;
    ASSERT_TRUE(app.Start());
    CMainFrame& frame = *app.Frame();
    CPositionsPanel& panel = *frame.Positions();
    CTSLView& view = *frame.View();
    const Graphing::CGraph& graph = view.Graph()->Graph();

    ASSERT_EQ(panel.Table()->rowCount(), 6);
    EXPECT_EQ(panel.Table()->item(0, 1)->text(), QStringLiteral("50.0"));
    EXPECT_EQ(panel.Table()->item(5, 5)->text(), QStringLiteral("Yes"));
    EXPECT_EQ(panel.Table()->item(0, 5)->text(), QString());
    EXPECT_EQ(panel.Table()->item(0, 9)->text(), QStringLiteral("-"));  // not calculated here
    EXPECT_FALSE(view.VerifiedLegend()->isVisible());

    EXPECT_EQ(view.CurvesToDraw(graph).size(), 3u);
    // While a step has the data, the graph draws the document as it was.
    view.HoldDocument(true);
    DocData away;
    away.MoveFrom(app.Document().Data());
    view.Repaint();
    EXPECT_EQ(view.CurvesToDraw(graph).size(), 3u);
    app.Document().Data().MoveFrom(away);
    view.HoldDocument(false);
    panel.SpreadSwitch()->click();
    auto entries = view.CurvesToDraw(graph);
    ASSERT_EQ(entries.size(), 4u);
    ASSERT_FALSE(entries[0].yLow.empty());
    EXPECT_DOUBLE_EQ(entries[0].y[5], -9.5);
    EXPECT_DOUBLE_EQ(entries[0].yLow[5], -30.0);
    panel.PositionsSwitch()->click();
    EXPECT_EQ(view.CurvesToDraw(graph).size(), 10u);
    // Each position has its legend entry drawn as its line; the selected row's curve is drawn
    // last and wider.
    ASSERT_EQ(view.PositionSwatches().size(), 6u);
    EXPECT_EQ(view.PositionSwatches()[0]->accessibleName(), QStringLiteral("Position 1"));
    EXPECT_NE(view.PositionSwatches()[0]->LinePen().color,
              view.PositionSwatches()[5]->LinePen().color);
    EXPECT_TRUE(view.Swatch(1)->DrawsLine());
    EXPECT_EQ(view.Swatch(1)->LinePen().style, Graphing::PenStyle::Dot);
    panel.Table()->selectRow(2);
    EXPECT_EQ(view.CurvesToDraw(graph).back().pen.width, 3);
    EXPECT_EQ(view.PositionSwatches()[2]->LinePen().width, 3);
    panel.Table()->setCurrentCell(-1, -1);
    EXPECT_EQ(view.CurvesToDraw(graph).back().pen.width, 4);  // the last result curve again

    // Asked first; afterwards nothing is selected, so a second click cannot drop another.
    EXPECT_FALSE(panel.DropButton()->isEnabled());
    EXPECT_FALSE(frame.UndoAction()->isEnabled());
    panel.Table()->selectRow(5);
    ASSERT_TRUE(panel.DropButton()->isEnabled());
    panel.DropButton()->click();
    const DocData& d = app.Document().Data();
    EXPECT_EQ(Count(answerer.boxes, QStringLiteral("|Drop position 6?")), 1);
    ASSERT_EQ(d.measurements.size(), 5u);
    EXPECT_EQ(d.positionQuality.size(), 5u);
    EXPECT_NEAR(LevelDbAt(*d.results[0], 5), -10.17, 0.05);  // the far position is gone
    EXPECT_EQ(panel.Table()->rowCount(), 5);
    EXPECT_EQ(panel.Table()->currentRow(), -1);
    EXPECT_FALSE(panel.DropButton()->isEnabled());
    EXPECT_TRUE(frame.UndoAction()->isEnabled());
    EXPECT_EQ(frame.UndoAction()->text(), QStringLiteral("&Undo Drop Position 6"));

    // Five positions are the fewest a measurement has: refused, with the reason.
    panel.Table()->selectRow(0);
    panel.DropButton()->click();
    EXPECT_EQ(Count(answerer.boxes,
                    QStringLiteral("Position 1 cannot be dropped: a measurement needs at least 5 "
                                   "positions and the document holds 5.")),
              1);
    EXPECT_EQ(d.measurements.size(), 5u);

    // Edit > Undo brings the dropped position back, once.
    frame.UndoAction()->trigger();
    EXPECT_EQ(d.measurements.size(), 6u);
    EXPECT_EQ(panel.Table()->rowCount(), 6);
    EXPECT_FALSE(frame.UndoAction()->isEnabled());
    EXPECT_TRUE(app.Document().IsModified());
    EXPECT_TRUE(frame.windowTitle().startsWith(QStringLiteral("room.CVD* - ")));
}

TEST(AppPositions, VerifyInTheToolsMenuKeepsTheReMeasuredCurveAndReports) {
    TempDir dir;
    const auto path = PositionsDocument(dir);
    SimulatedApp simulated(path);
    CTessalineApp& app = simulated.app;
    ModalAnswerer answerer;  // one position: the pre-measurement dialog starts at 1
    ASSERT_TRUE(app.Start());
    QAction* verify = MenuAction(*app.Frame(), QStringLiteral("&Verify"));
    ASSERT_NE(verify, nullptr);
    verify->trigger();
    ASSERT_TRUE(RunUntil([&] {
        for (const QString& b : answerer.boxes)
            if (b.contains(QStringLiteral("Re-measured at 1 position,")))
                return QApplication::activeModalWidget() == nullptr;
        return false;
    }));
    const DocData& d = app.Document().Data();
    ASSERT_TRUE(d.verified);
    EXPECT_EQ(d.measurements.size(), 6u);
    EXPECT_EQ(d.results.size(), 3u);
    EXPECT_TRUE(app.Frame()->View()->VerifiedLegend()->isVisible());
    EXPECT_EQ(app.Frame()->View()->CurvesToDraw(app.Frame()->View()->Graph()->Graph()).size(), 4u);
    DocData saved;
    ReadDocFile(path, saved);
    EXPECT_TRUE(saved.verified);
}

}  // namespace
