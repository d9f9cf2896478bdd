// The keyboard: Tab reaches every control of the main windows in reading order, and the arrow
// keys zoom the main window's graph within its limits.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <set>

#include "app/AppTestSupport.h"
#include "app/CAboutDlg.h"
#include "app/CCheckForUsbSubWnd.h"
#include "app/CCurveColorDialog.h"
#include "app/CMainFrame.h"
#include "app/CPreMeasurementDlg.h"
#include "app/CTSLView.h"
#include "app/CTargetCustomizationDialog.h"
#include "app/CTessalineApp.h"
#include "app/CWelcomeDlg.h"
#include "app/CWizardDialog.h"
#include "app/SimulatedApp.h"

namespace {

QString Name(const QWidget* w) {
    QString name = w->accessibleName();
    if (name.isEmpty())
        if (auto* b = qobject_cast<const QAbstractButton*>(w))
            name = b->text().remove(QLatin1Char('&'));
    return name.isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : name;
}

// The controls a user can give the focus to: shown, enabled, taking focus from Tab. Of a group
// of exclusive radio buttons Tab stops at the checked one (the arrows move inside the group).
std::set<QWidget*> Controls(QWidget& window) {
    std::set<QWidget*> controls;
    for (QWidget* w : window.findChildren<QWidget*>()) {
        auto* button = qobject_cast<QAbstractButton*>(w);
        if (w->isVisibleTo(&window) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus) &&
            w->focusProxy() == nullptr &&
            !(button && button->autoExclusive() && button->isCheckable() && !button->isChecked()))
            controls.insert(w);
    }
    return controls;
}

// The controls in the order Tab reaches them, from the one that has the focus round to it.
std::vector<QWidget*> TabCycle(QWidget& window) {
    window.show();
    QApplication::setActiveWindow(&window);
    QWidget* first = QApplication::focusWidget();
    std::vector<QWidget*> cycle;
    for (QWidget* w = first; w != nullptr && cycle.size() < 64;) {
        cycle.push_back(w);
        QTest::keyClick(w, Qt::Key_Tab);
        w = QApplication::focusWidget();
        if (w == first)
            break;
    }
    return cycle;
}

// Whether b comes after a when reading: on a lower row, or on the same row further right.
bool ReadsAfter(const QWidget* a, const QWidget* b) {
    const QRect ra(a->mapToGlobal(QPoint(0, 0)), a->size());
    const QRect rb(b->mapToGlobal(QPoint(0, 0)), b->size());
    const bool sameRow = rb.center().y() >= ra.top() && rb.center().y() <= ra.bottom();
    return sameRow ? rb.left() > ra.left() : rb.top() > ra.top();
}

// Every control once, each after the one before in reading order, except where the cycle wraps.
void ExpectTabReachesEveryControlInReadingOrder(QWidget& window) {
    const std::vector<QWidget*> cycle = TabCycle(window);
    QStringList names;
    int wraps = 0;
    for (size_t i = 0; i < cycle.size(); ++i) {
        names << Name(cycle[i]);
        wraps += !ReadsAfter(cycle[i], cycle[(i + 1) % cycle.size()]);
    }
    SCOPED_TRACE(window.objectName().toStdString() + ": " +
                 names.join(QStringLiteral(" > ")).toStdString());
    EXPECT_EQ(wraps, 1);
    EXPECT_EQ(std::set<QWidget*>(cycle.begin(), cycle.end()), Controls(window));
    EXPECT_EQ(std::set<QWidget*>(cycle.begin(), cycle.end()).size(), cycle.size());
}

TEST(Keyboard, TabReachesEveryControlOfTheDialogsInReadingOrder) {
    CWelcomeDlg welcome(QStringLiteral("Tessaline"), {});
    ExpectTabReachesEveryControlInReadingOrder(welcome);
    CPreMeasurementDlg preMeasurement(nullptr);
    ExpectTabReachesEveryControlInReadingOrder(preMeasurement);
    DocData data;
    CTargetCustomizationDialog target(nullptr, data);
    target.SetSettings({200, SLOPE_2ND, 40, 30});
    ExpectTabReachesEveryControlInReadingOrder(target);
    CCheckForUsbSubWnd check(nullptr);
    ExpectTabReachesEveryControlInReadingOrder(check);
    CCurveColorDialog colours({0, 0, 0});
    ExpectTabReachesEveryControlInReadingOrder(colours);
    CAboutDlg about(QStringLiteral("Tessaline"));
    ExpectTabReachesEveryControlInReadingOrder(about);

    // The wizard dialog in its several-steps layout, once it is ready to start.
    Threading::MessageBridge bridge;
    bridge.Start();
    StepFunction step = [](IProcDialog*, void*, void*) { return true; };
    WizardController controller({WizardStep{step, L"Measure"}, WizardStep{step, L"Calculate"}},
                                bridge);
    CWizardDialog* shown = nullptr;
    auto wizard = controller.CreateDialog(
        [&](const WizardDialogSetup& setup) -> std::unique_ptr<WizardDialog> {
            auto d = std::make_unique<CWizardDialog>(setup, nullptr);
            shown = d.get();
            return d;
        },
        nullptr, L"Wizard", nullptr, nullptr, nullptr, nullptr);
    bool checked = false;
    QTimer turn;
    turn.setInterval(1);
    QObject::connect(&turn, &QTimer::timeout, [&] {
        bridge.Drain();
        if (checked || QApplication::activeModalWidget() != shown ||
            !shown->StartButton()->isEnabled())
            return;
        checked = true;
        ExpectTabReachesEveryControlInReadingOrder(*shown);
        shown->StartButton()->click();
    });
    turn.start();
    EXPECT_EQ(wizard->DoModal(), IDOK);
    EXPECT_TRUE(checked);
    bridge.Shutdown();
}

TEST(Keyboard, TabReachesTheGraphWhoseArrowKeysZoomWithinTheLimits) {
    ClearedSettings cleared;
    TempDir dir;
    SimulatedApp simulated(EmptyDocument(dir.path));
    ASSERT_TRUE(simulated.app.Start());
    ExpectTabReachesEveryControlInReadingOrder(simulated.Frame());

    Graphing::CGraphCtrl* graph = simulated.Frame().View()->Graph();
    for (int i = 0; i < 8 && QApplication::focusWidget() != graph; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), graph);
    // In: each axis narrows until its span is no longer above its limit, then stays.
    for (int i = 0; i < 60; ++i)
        QTest::keyClick(graph, Qt::Key_Up);
    const Graphing::Ranges in = graph->Graph().GetRanges();
    EXPECT_LE(std::log10(in.x1 - in.x0), 2.5);
    EXPECT_GT(std::log10(in.x1 - in.x0), 2.4);
    EXPECT_LE(in.y1 - in.y0, 5.0);
    EXPECT_GT(in.y1 - in.y0, 4.0);
    EXPECT_GE(in.x0, 20.0);
    EXPECT_LE(in.x1, 1000.0);
    // Out: up to the limits and no further.
    for (int i = 0; i < 200; ++i)
        QTest::keyClick(graph, Qt::Key_Down);
    EXPECT_EQ(graph->Graph().GetRanges(), (Graphing::Ranges{20.0, 1000.0, -150.0, 150.0}));
}

}  // namespace
