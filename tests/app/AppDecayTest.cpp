// The Decay window, headless: its views over the graph, the position chooser and set switches,
// the table, and a document measured before the impulses were kept.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QTableWidget>
#include <QTest>
#include <cmath>

#include "app/CDecayDlg.h"
#include "document/DocData.h"
#include "measure/Curve.h"
#include "ui/qt/CGraphCtrl.h"

namespace {

// Positions whose impulse is a decaying 50 Hz tone (a different level each).
void FillImpulses(DocData& data, int positions) {
    for (int p = 0; p < positions; ++p) {
        data.measurements.push_back(std::make_shared<CCurve>());
        std::vector<float> h(Decay::kImpulseLength);
        for (size_t i = 0; i < h.size(); ++i) {
            const double t = static_cast<double>(i) / Decay::kImpulseRate;
            h[i] = static_cast<float>((1.0 + p) * std::exp(-t * 12.0) *
                                      std::sin(2.0 * 3.14159265358979 * 50.0 * t));
        }
        data.impulses.push_back(std::move(h));
    }
}

size_t CurveCount(Graphing::CGraphCtrl& graph) {
    return graph.Graph().CurveSource()->CurvesToDraw(graph.Graph()).size();
}

TEST(AppDecay, ViewsPositionsSwitchesAndTable) {
    DocData data;
    FillImpulses(data, 5);
    CDecayDlg dlg(data);
    dlg.show();
    EXPECT_TRUE(dlg.Message()->isHidden());
    // Opens on the waterfall: 21 slices of the average.
    EXPECT_EQ(dlg.ViewChooser()->currentText(), QStringLiteral("Waterfall"));
    EXPECT_EQ(CurveCount(*dlg.Graph()), 21u);
    EXPECT_TRUE(dlg.Graph()->accessibleName().contains(QStringLiteral("Waterfall")));
    // Without an equaliser or a re-measurement only the measured set is there.
    EXPECT_TRUE(dlg.SetSwitch(Exporting::DecaySet::Measured)->isEnabled());
    EXPECT_FALSE(dlg.SetSwitch(Exporting::DecaySet::Predicted)->isEnabled());
    EXPECT_FALSE(dlg.SetSwitch(Exporting::DecaySet::Verified)->isEnabled());

    // The table: eleven bands, the 50 Hz tone's T60 of 6.91 / 12 s in the measured column.
    ASSERT_EQ(dlg.Table()->rowCount(), 11);
    EXPECT_EQ(dlg.Table()->item(4, 0)->text(), QStringLiteral("50"));
    EXPECT_NEAR(dlg.Table()->item(4, 1)->text().toDouble(), 1000.0 * 6.908 / 12.0, 30.0);
    EXPECT_EQ(dlg.Table()->item(4, 2)->text(), QStringLiteral("-"));

    // The keyboard moves through the views; each has its own graph.
    dlg.ViewChooser()->setFocus();
    QTest::keyClick(dlg.ViewChooser(), Qt::Key_Home);
    EXPECT_EQ(dlg.Presenter().ViewIndex(), 0);
    EXPECT_EQ(CurveCount(*dlg.Graph()), 1u);
    EXPECT_EQ(dlg.Graph()->Graph().GetDomain(), Graphing::Domain::Time);
    QTest::keyClick(dlg.ViewChooser(), Qt::Key_Down);
    QTest::keyClick(dlg.ViewChooser(), Qt::Key_Down);
    EXPECT_EQ(dlg.ViewChooser()->currentText(), QStringLiteral("Group delay"));
    EXPECT_EQ(dlg.Graph()->Graph().GetDomain(), Graphing::Domain::Frequency);

    // A position of its own, and the measured set switched off.
    dlg.PositionChooser()->setCurrentIndex(3);
    EXPECT_EQ(dlg.Presenter().PositionIndex(), 3);
    EXPECT_TRUE(dlg.Graph()->accessibleName().contains(QStringLiteral("position 3")));
    dlg.SetSwitch(Exporting::DecaySet::Measured)->setChecked(false);
    EXPECT_EQ(CurveCount(*dlg.Graph()), 0u);
    EXPECT_EQ(dlg.ViewChooser()->accessibleName(), QStringLiteral("View"));
    EXPECT_EQ(dlg.PositionChooser()->accessibleName(), QStringLiteral("Position"));
}

TEST(AppDecay, ADocumentWithoutImpulsesSaysItPredatesThem) {
    DocData data;
    data.measurements.push_back(std::make_shared<CCurve>());
    CDecayDlg dlg(data);
    dlg.show();
    EXPECT_FALSE(dlg.Message()->isHidden());
    EXPECT_TRUE(dlg.Message()->text().contains(QStringLiteral("predates")));
    EXPECT_FALSE(dlg.ViewChooser()->isEnabled());
    EXPECT_EQ(dlg.Table()->rowCount(), 0);
}

}  // namespace
