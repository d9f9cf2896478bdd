#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>
#include <cmath>

#include "ui/qt/CGraphCtrl.h"
#include "ui/qt/QtColor.h"

using namespace Graphing;

namespace {

// A flat curve over the whole range with a spike one point wide in the middle.
CurveList SpikeCurve(Color color) {
    CurveList list;
    GraphCurve c;
    const int n = 32769;
    for (int i = 0; i < n; ++i) {
        c.x.push_back(20.0 * std::pow(50.0, i / double(n - 1)));
        c.y.push_back(-40.0);
    }
    c.y[n / 2] = -5.0;
    c.pen = {color, 1, PenStyle::Solid};
    list.curves.push_back(std::move(c));
    return list;
}

}  // namespace

TEST(GraphCtrl, PaintsTheSpikeToItsFullHeight) {
    CGraphCtrl ctrl;
    ctrl.resize(640, 400);
    CurveList curves = SpikeCurve(Rgb(200, 0, 0));
    ctrl.SetCurveSource(&curves);
    const QImage img = ctrl.grab().toImage();
    const CGraphMap& m = ctrl.Graph().Map();
    const double dpr = ctrl.devicePixelRatioF();
    // Somewhere in the spike's columns, near its top, the curve colour shows.
    const int column = m.XToPixel(curves.curves[0].x[32769 / 2]);
    const int top = m.YToPixel(-5.0);
    bool found = false;
    for (int x = column - 1; x <= column + 1 && !found; ++x) {
        const QColor c = img.pixelColor(int(x / dpr), int((top + 1) / dpr));
        found = c.red() > 150 && c.green() < 100 && c.blue() < 100;
    }
    EXPECT_TRUE(found);
    EXPECT_EQ(img.pixelColor(2, 2), ToQColor(kGraphBackground));
}

TEST(GraphCtrl, ArrowKeysAndWheelZoomAndAccessibleName) {
    CGraphCtrl ctrl;
    ctrl.resize(640, 400);
    EXPECT_EQ(ctrl.accessibleName(), QStringLiteral("Frequency Domain"));
    ctrl.SetTitle(QStringLiteral("Subwoofer"));
    EXPECT_EQ(ctrl.accessibleName(), QStringLiteral("Subwoofer"));
    EXPECT_EQ(ctrl.focusPolicy(), Qt::StrongFocus);

    QSignalSpy changed(&ctrl, &CGraphCtrl::RangesChanged);
    const Ranges start = ctrl.Graph().GetRanges();
    QTest::keyClick(&ctrl, Qt::Key_Up);
    const Ranges in = ctrl.Graph().GetRanges();
    EXPECT_GT(in.x0, start.x0);
    EXPECT_LT(in.y1 - in.y0, start.y1 - start.y0);
    QTest::keyClick(&ctrl, Qt::Key_Down);
    EXPECT_LT(ctrl.Graph().GetRanges().x0, in.x0);
    EXPECT_EQ(changed.count(), 2);

    // Two notches backwards in one event zoom out twice.
    const QPointF centre(ctrl.width() / 2.0, ctrl.height() / 2.0);
    const Ranges before = ctrl.Graph().GetRanges();
    QWheelEvent wheel(centre, ctrl.mapToGlobal(centre), QPoint(), QPoint(0, -240), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&ctrl, &wheel);
    const Ranges after = ctrl.Graph().GetRanges();
    EXPECT_NEAR(after.y1 - after.y0, (before.y1 - before.y0) * 1.1 * 1.1, 1e-6);
}

TEST(GraphCtrl, RubberBandZoomsAndRescaleReturns) {
    CGraphCtrl ctrl;
    ctrl.resize(640, 400);
    CurveList curves = SpikeCurve(Rgb(0, 0, 200));
    ctrl.SetCurveSource(&curves);
    const double dpr = ctrl.devicePixelRatioF();
    const CGraphMap& m = ctrl.Graph().Map();
    const QPoint a(int(m.XToPixel(50.0) / dpr), int(m.YToPixel(-10.0) / dpr));
    const QPoint b(int(m.XToPixel(200.0) / dpr), int(m.YToPixel(-45.0) / dpr));
    QSignalSpy changed(&ctrl, &CGraphCtrl::RangesChanged);
    QTest::mousePress(&ctrl, Qt::LeftButton, Qt::NoModifier, a);
    QTest::mouseMove(&ctrl, b);
    EXPECT_TRUE(ctrl.Graph().RubberBandActive());
    QTest::mouseRelease(&ctrl, Qt::LeftButton, Qt::NoModifier, b);
    EXPECT_EQ(changed.count(), 1);
    const Ranges r = ctrl.Graph().GetRanges();
    EXPECT_NEAR(r.x0, 50.0, 2.0);
    EXPECT_NEAR(r.x1, 200.0, 5.0);
    EXPECT_NEAR(r.y1, -10.0, 0.5);

    ctrl.Rescale();
    EXPECT_EQ(ctrl.Graph().GetRanges().x0, 20.0);
    EXPECT_EQ(ctrl.Graph().GetRanges().x1, 1000.0);
    EXPECT_EQ(changed.count(), 2);
}

// The curves are drawn once per change: a pointer move repaints from the cached picture, and
// CurvesChanged draws what the source holds now.
TEST(GraphCtrl, APointerMoveRepaintsWithoutAskingForTheCurves) {
    struct Counting : CurveList {
        int asked = 0;
        std::vector<DrawEntry> CurvesToDraw(const CGraph& graph) override {
            ++asked;
            return CurveList::CurvesToDraw(graph);
        }
    } curves;
    curves.curves = SpikeCurve(Rgb(200, 0, 0)).curves;
    CGraphCtrl ctrl;
    ctrl.resize(640, 400);
    ctrl.SetCurveSource(&curves);
    ctrl.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ctrl));
    const double dpr = ctrl.devicePixelRatioF();
    const CGraphMap& m = ctrl.Graph().Map();
    const QPoint spike(int(m.XToPixel(curves.curves[0].x[32769 / 2]) / dpr),
                       int((m.YToPixel(-5.0) + 1) / dpr));
    auto red = [&](const QImage& img) {
        for (int dx = -1; dx <= 1; ++dx) {
            const QColor c = img.pixelColor(spike.x() + dx, spike.y());
            if (c.red() > 150 && c.green() < 100 && c.blue() < 100)
                return true;
        }
        return false;
    };
    EXPECT_TRUE(red(ctrl.grab().toImage()));
    const int asked = curves.asked;
    QTest::mouseMove(&ctrl, QPoint(200, 200));
    EXPECT_TRUE(red(ctrl.grab().toImage()));
    EXPECT_EQ(curves.asked, asked);
    curves.curves[0].y[32769 / 2] = -40.0;
    ctrl.CurvesChanged();
    EXPECT_FALSE(red(ctrl.grab().toImage()));
    EXPECT_EQ(curves.asked, asked + 1);
}
