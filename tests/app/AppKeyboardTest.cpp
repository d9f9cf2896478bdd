// The keyboard: Tab reaches every control of the main windows in reading order and leaves the
// Positions table, mnemonics are unique within each window and each menu, Enter and Escape
// close the dialogs from their fields, and the arrow keys zoom the main window's graph within
// its limits. File > History's dialog from the keyboard.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <cmath>
#include <functional>
#include <map>
#include <set>

#include "app/AppTestSupport.h"
#include "app/CAboutDlg.h"
#include "app/CCheckForUsbSubWnd.h"
#include "app/CCurveColorDialog.h"
#include "app/CHistoryDlg.h"
#include "app/CMainFrame.h"
#include "app/CMicrophoneDlg.h"
#include "app/CPreMeasurementDlg.h"
#include "app/CTSLView.h"
#include "app/CTargetCustomizationDialog.h"
#include "app/CTessalineApp.h"
#include "app/CWelcomeDlg.h"
#include "app/CWizardDialog.h"
#include "app/SimulatedApp.h"
#include "ui/qt/CSpinEditBox.h"

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

// The main window's dialogs and the steps' simple ones, each in turn.
void ForEachDialog(const std::function<void(QWidget&)>& check) {
    CWelcomeDlg welcome(QStringLiteral("Tessaline"), {});
    check(welcome);
    CPreMeasurementDlg preMeasurement(nullptr);
    check(preMeasurement);
    DocData data;
    CTargetCustomizationDialog target(nullptr, data);
    target.SetSettings({200, SLOPE_2ND, 40, 30});
    check(target);
    CCheckForUsbSubWnd usb(nullptr);
    check(usb);
    CCurveColorDialog colours({0, 0, 0});
    check(colours);
    CAboutDlg about(QStringLiteral("Tessaline"));
    check(about);
}

TEST(Keyboard, TabReachesEveryControlOfTheDialogsInReadingOrder) {
    ForEachDialog(ExpectTabReachesEveryControlInReadingOrder);

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
    EXPECT_EQ(graph->Graph().GetRanges(),
              (Graphing::Ranges{
                  20.0, 1000.0, -150.0,
                  150.0}));  // + zooms in, Right pans to higher frequencies, - zooms out again.
    QTest::keyClick(graph, Qt::Key_Plus);
    const double x0 = graph->Graph().GetRanges().x0;
    EXPECT_GT(x0, 20.0);
    QTest::keyClick(graph, Qt::Key_Right);
    EXPECT_GT(graph->Graph().GetRanges().x0, x0);
    QTest::keyClick(graph, Qt::Key_Minus);
    EXPECT_LT(graph->Graph().GetRanges().x1 - graph->Graph().GetRanges().x0, 980.0 + 1e-9);
}

// The letter after a single '&'; 0 for none.
QChar Mnemonic(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&'))
            continue;
        if (text[i + 1] != QLatin1Char('&'))
            return text[i + 1].toLower();
        ++i;
    }
    return QChar();
}

// Every mnemonic of the window's buttons, labels, group boxes and menu bar once; each menu's
// items among themselves.
void ExpectUniqueMnemonics(QWidget& window) {
    std::vector<std::pair<QString, std::vector<QString>>> scopes(1);
    scopes[0].first = window.objectName();
    for (QWidget* w : window.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&window) && !w->isWindow())
            continue;
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            scopes[0].second.push_back(b->text());
        else if (auto* l = qobject_cast<QLabel*>(w))
            scopes[0].second.push_back(l->text());
        else if (auto* g = qobject_cast<QGroupBox*>(w))
            scopes[0].second.push_back(g->title());
        else if (auto* bar = qobject_cast<QMenuBar*>(w))
            for (QAction* menu : bar->actions()) {
                scopes[0].second.push_back(menu->text());
                if (menu->menu()) {
                    scopes.push_back({menu->text(), {}});
                    for (QAction* a : menu->menu()->actions())
                        scopes.back().second.push_back(a->text().section(QLatin1Char('\t'), 0, 0));
                }
            }
    }
    for (const auto& [scope, texts] : scopes) {
        std::map<QChar, QString> seen;
        for (const QString& text : texts) {
            const QChar m = Mnemonic(text);
            if (m.isNull())
                continue;
            const auto [it, fresh] = seen.emplace(m, text);
            EXPECT_TRUE(fresh) << scope.toStdString() << ": " << text.toStdString() << " and "
                               << it->second.toStdString();
        }
    }
}

TEST(Keyboard, MnemonicsAreUniqueInEveryWindow) {
    ClearedSettings cleared;
    TempDir dir;
    SimulatedApp simulated(EmptyDocument(dir.path));
    ASSERT_TRUE(simulated.app.Start());
    ExpectUniqueMnemonics(simulated.Frame());
    ForEachDialog(ExpectUniqueMnemonics);
    CMicrophoneDlg microphone({L"Card"}, MicrophoneChoice{});
    ExpectUniqueMnemonics(microphone);
    CHistoryDlg history([](IHistoryView& view) {
        return std::make_unique<HistoryPresenter>(view, std::filesystem::path(), 0, nullptr);
    });
    ExpectUniqueMnemonics(history);
}

TEST(Keyboard, EnterAndEscapeCloseTheDialogsFromTheirFieldsAboutOpensOnOk) {
    {
        DocData data;
        CTargetCustomizationDialog target(nullptr, data);
        target.show();
        QApplication::setActiveWindow(&target);
        QWidget* field = target.findChild<CustomControls::CSpinEditBox*>();
        ASSERT_NE(field, nullptr);
        field->setFocus();
        QTest::keyClick(field, Qt::Key_Escape);
        EXPECT_EQ(target.result(), QDialog::Rejected);
        EXPECT_FALSE(target.isVisible());
    }
    {
        CPreMeasurementDlg preMeasurement(nullptr);
        preMeasurement.show();
        QApplication::setActiveWindow(&preMeasurement);
        QWidget* field = preMeasurement.findChild<CustomControls::CSpinEditBox*>();
        ASSERT_NE(field, nullptr);
        field->setFocus();
        QTest::keyClick(field, Qt::Key_Return);
        EXPECT_EQ(preMeasurement.result(), QDialog::Accepted);
    }
    CAboutDlg about(QStringLiteral("Tessaline"));
    about.show();
    QApplication::setActiveWindow(&about);
    auto* ok = qobject_cast<QPushButton*>(QApplication::focusWidget());
    ASSERT_NE(ok, nullptr);
    EXPECT_TRUE(ok->isDefault());
    QTest::keyClick(ok, Qt::Key_Return);
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

TEST(Keyboard, TabLeavesThePositionsTable) {
    ClearedSettings cleared;
    TempDir dir;
    SimulatedApp simulated(EmptyDocument(dir.path));
    ASSERT_TRUE(simulated.app.Start());
    auto* table = simulated.Frame().findChild<QTableWidget*>(QStringLiteral("PositionsTable"));
    ASSERT_NE(table, nullptr);
    table->setRowCount(2);
    table->setFocus(Qt::TabFocusReason);
    QTest::keyClick(table, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), table);
}

// The records of the document's model are listed; the arrow keys select one, and Restore (on
// for a record that holds a block, off for one found in the subwoofer) writes it back.
TEST(Keyboard, HistoryListsTheRecordsAndRestoresTheSelectedOne) {
    TempDir dir;
    History::Record found, upload;
    found.kind = History::kFound;
    found.modelId = upload.modelId = 275;
    found.checksum = 0x0BADF00D;
    upload.kind = History::kUpload;
    upload.documentPath = dir.path / "room.CVD";
    upload.block = {1, 2, 3};
    upload.checksum = 0x12345678;
    History::Append(History::FilePath(dir.path, 276), {upload});
    History::Append(History::FilePath(dir.path, 275), {found, upload});
    std::vector<int> restored;
    CHistoryDlg dialog([&](IHistoryView& view) {
        return std::make_unique<HistoryPresenter>(view, dir.path, 275,
                                                  [&](const History::Record& r, int n) {
                                                      EXPECT_EQ(r.checksum, 0x12345678u);
                                                      restored.push_back(n);
                                                      return true;
                                                  });
    });
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    EXPECT_EQ(dialog.Subwoofers()->count(), 2);
    EXPECT_TRUE(dialog.Subwoofers()->currentText().endsWith(QStringLiteral("(275)")));
    QTreeWidget* records = dialog.Records();
    ASSERT_EQ(records->topLevelItemCount(), 2);
    EXPECT_EQ(records->topLevelItem(0)->text(2), QStringLiteral("Found in the subwoofer"));
    EXPECT_EQ(records->topLevelItem(1)->text(3), QStringLiteral("room.CVD"));
    EXPECT_EQ(records->topLevelItem(1)->text(4), QStringLiteral("12345678"));
    EXPECT_EQ(records->accessibleName(), QStringLiteral("Records"));
    EXPECT_FALSE(dialog.RestoreButton()->isEnabled());
    records->setFocus();
    QTest::keyClick(records, Qt::Key_Home);
    EXPECT_EQ(records->currentItem(), records->topLevelItem(0));
    EXPECT_FALSE(dialog.RestoreButton()->isEnabled());
    QTest::keyClick(records, Qt::Key_Down);
    ASSERT_TRUE(dialog.RestoreButton()->isEnabled());
    EXPECT_EQ(dialog.RestoreButton()->text(), QStringLiteral("R&estore"));
    dialog.RestoreButton()->setFocus();
    QTest::keyClick(dialog.RestoreButton(), Qt::Key_Space);
    EXPECT_EQ(restored, std::vector<int>{2});
    EXPECT_TRUE(dialog.Notice()->text().startsWith(QStringLiteral("Record 2 has been written")));
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
}

}  // namespace
