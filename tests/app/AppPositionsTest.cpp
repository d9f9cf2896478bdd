// The positions panel, the spread and position curves, dropping a position, and Tools > Verify
// in the window, headless.

#include <gtest/gtest.h>

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
#include "wizard/Positions.h"

namespace {

// Three positions, one of them far from the others, with results and quality.
std::filesystem::path PositionsDocument(const TempDir& dir) {
    DocData data;
    data.name = L"KT1";
    data.measurements = {LevelCurve(-10), LevelCurve(-11), LevelCurve(-30)};
    data.positionQuality = {{50, 0.1}, {45, 0.2}, {20, 1.0}};
    data.results = {LevelCurve(-14), LevelCurve(-20), LevelCurve(-21)};
    const auto path = dir.path / "room.CVD";
    WriteDocFile(path, data);
    return path;
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

    ASSERT_EQ(panel.Table()->rowCount(), 3);
    EXPECT_EQ(panel.Table()->item(0, 1)->text(), QStringLiteral("50.0"));
    EXPECT_EQ(panel.Table()->item(2, 5)->text(), QStringLiteral("Yes"));
    EXPECT_EQ(panel.Table()->item(0, 5)->text(), QString());
    EXPECT_FALSE(view.VerifiedLegend()->isVisible());

    EXPECT_EQ(view.CurvesToDraw(graph).size(), 3u);
    panel.SpreadSwitch()->click();
    auto entries = view.CurvesToDraw(graph);
    ASSERT_EQ(entries.size(), 4u);
    ASSERT_FALSE(entries[0].yLow.empty());
    EXPECT_DOUBLE_EQ(entries[0].y[5], -10.0);
    EXPECT_DOUBLE_EQ(entries[0].yLow[5], -30.0);
    panel.PositionsSwitch()->click();
    EXPECT_EQ(view.CurvesToDraw(graph).size(), 7u);

    EXPECT_FALSE(panel.DropButton()->isEnabled());
    panel.Table()->selectRow(2);
    ASSERT_TRUE(panel.DropButton()->isEnabled());
    panel.DropButton()->click();
    ASSERT_TRUE(RunUntil([&] { return QApplication::activeModalWidget() == nullptr; }, 30000));
    const DocData& d = app.Document().Data();
    ASSERT_EQ(d.measurements.size(), 2u);
    EXPECT_EQ(d.positionQuality.size(), 2u);
    EXPECT_NEAR(LevelDbAt(*d.results[0], 5), -10.5, 0.1);  // the far position is gone
    EXPECT_EQ(panel.Table()->rowCount(), 2);
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
    EXPECT_EQ(d.measurements.size(), 3u);
    EXPECT_EQ(d.results.size(), 3u);
    EXPECT_TRUE(app.Frame()->View()->VerifiedLegend()->isVisible());
    EXPECT_EQ(app.Frame()->View()->CurvesToDraw(app.Frame()->View()->Graph()->Graph()).size(), 4u);
    DocData saved;
    ReadDocFile(path, saved);
    EXPECT_TRUE(saved.verified);
}

}  // namespace
