// The quick measurement's window, headless, against the simulated subwoofer, room and
// microphone: opened from Tools, driven through its buttons, closed while measuring. The
// microphone's blocks come on a virtual clock, as fast as they are made.

#include <gtest/gtest.h>

#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

#include "app/AppTestSupport.h"
#include "app/CMainFrame.h"
#include "app/CQuickMeasureDlg.h"
#include "app/CTessalineApp.h"
#include "app/ModalAnswerer.h"
#include "app/SceneEnvironment.h"
#include "app/SimulatedApp.h"
#include "sim/SimScene.h"
#include "ui/qt/CGraphCtrl.h"

namespace {

TEST(QuickMeasureWindow, ToolsQuickMeasureOpensTheLiveViewWithEveryControlNamed) {
    TempDir dir;
    SimulatedApp simulated(EmptyDocument(dir.path));
    ASSERT_TRUE(simulated.app.Start());
    ModalAnswerer answerer;
    bool checked = false;
    answerer.On(QStringLiteral("CQuickMeasureDlg"), [&](QDialog& d) {
        auto& dialog = static_cast<CQuickMeasureDlg&>(d);
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Quick Measure"));
        QStringList names;
        for (int id : {IDC_QM_CONNECT, IDC_QM_DISCONNECT, IDC_QM_START, IDC_QM_STOP,
                       IDC_QM_AUTOSCALE, IDC_QM_CLOSE}) {
            QPushButton* b = dialog.Button(id);
            names << b->accessibleName();
            EXPECT_NE(b->focusPolicy() & Qt::TabFocus, 0);
            EXPECT_EQ(b->isEnabled(),
                      id == IDC_QM_CONNECT || id == IDC_QM_AUTOSCALE || id == IDC_QM_CLOSE)
                << id;
        }
        EXPECT_EQ(names,
                  (QStringList{"Connect", "Disconnect", "Start", "Stop", "Autoscale", "Close"}));
        EXPECT_FALSE(dialog.LogView()->accessibleName().isEmpty());
        EXPECT_FALSE(dialog.ProgressBar()->accessibleName().isEmpty());
        EXPECT_FALSE(dialog.Graph()->accessibleName().isEmpty());
        ASSERT_NE(dialog.MicrophonePosition(), nullptr);  // a simulation
        EXPECT_FALSE(dialog.MicrophonePosition()->accessibleName().isEmpty());
        checked = true;
        dialog.Button(IDC_QM_CLOSE)->click();
    });
    QAction* quick = MenuAction(simulated.Frame(), QStringLiteral("Quick Measure"));
    ASSERT_NE(quick, nullptr);
    quick->trigger();  // returns when the dialog has closed
    EXPECT_TRUE(checked);
    EXPECT_TRUE(answerer.boxes.empty());
}

class QuickMeasureLive : public ::testing::Test {
protected:
    QuickMeasureLive() {
        Sim::SceneOptions options;
        options.calibrationDir = dir.path;
        scene = std::make_unique<Sim::SimScene>(std::move(options));
        MeasureEnvironment env = SceneEnvironment(*scene, &pace);
        bridge.Start();
        drain.setInterval(1);
        QObject::connect(&drain, &QTimer::timeout, [this] { bridge.Drain(); });
        drain.start();
        Sim::SimAcoustics* acoustics = scene->Acoustics().get();
        dialog = std::make_unique<CQuickMeasureDlg>(
            bridge, std::move(env), nullptr,
            SimulatedMicrophone{[acoustics](int p) { acoustics->MoveTo(p); }, 0, 10});
        dialog->show();
    }
    ~QuickMeasureLive() override {
        dialog.reset();
        drain.stop();
        bridge.Shutdown();
    }

    bool ToneOn() {
        return scene->Device()->With([](Sim::SimFirmware& f) { return f.ToneOn(); });
    }
    QuickMeasurePresenter& Engine() { return dialog->Engine(); }
    // Clicks the button and waits until the state is reached and the buttons show it.
    bool Click(int id, int32_t until) {
        dialog->Button(id)->click();
        const int next = until == kQmDisconnected ? IDC_QM_CONNECT
                         : until == kQmConnected  ? IDC_QM_START
                                                  : IDC_QM_STOP;
        return RunUntil(
            [&] { return Engine().State() == until && dialog->Button(next)->isEnabled(); }, 60000);
    }
    size_t Curves() { return Engine().History().Added(); }
    const CurvePtr& Oldest() { return Engine().History().Entries().front().curve; }

    TempDir dir;
    Threading::VirtualClock pace;
    std::unique_ptr<Sim::SimScene> scene;
    Threading::MessageBridge bridge;
    QTimer drain;
    ModalAnswerer answerer;
    std::unique_ptr<CQuickMeasureDlg> dialog;
};

TEST_F(QuickMeasureLive, ThreeCurvesStayTheFourthKeepsTheScaleAndStopThenStartBeginsEmpty) {
    Engine().OnStart();  // disabled button; the request itself is refused
    EXPECT_EQ(answerer.boxes, (std::vector<QString>{"Error|Busy, please wait"}));
    ASSERT_TRUE(Click(IDC_QM_CONNECT, kQmConnected));
    EXPECT_FALSE(dialog->Button(IDC_QM_CONNECT)->isEnabled());
    EXPECT_TRUE(dialog->Button(IDC_QM_START)->isEnabled());
    ASSERT_TRUE(Click(IDC_QM_START, kQmMeasuring));
    EXPECT_TRUE(ToneOn());
    ASSERT_TRUE(RunUntil([&] { return Engine().History().Entries().size() == 3; }, 60000));
    const CurvePtr first = Oldest();
    const Graphing::Ranges ranges = dialog->Graph()->Graph().GetRanges();
    ASSERT_TRUE(RunUntil([&] { return Oldest() != first; }, 60000));
    EXPECT_EQ(Engine().History().Entries().size(), 3u);
    EXPECT_EQ(dialog->Graph()->Graph().GetRanges(), ranges);
    EXPECT_TRUE(dialog->LogView()->toPlainText().contains(QStringLiteral("Measuring subwoofer: ")));

    // The simulated microphone moves to another position: the room sounds different there.
    // The samples already buffered (at most the whole buffer) come first, then the analysis in
    // flight, the block being generated and the window that straddles the move.
    const CurvePtr here = Engine().History().Entries().back().curve;
    dialog->MicrophonePosition()->setValue(4);
    EXPECT_EQ(scene->Acoustics()->Position(), 3);
    const size_t moved = Curves();
    const size_t buffered = kQuickBufferSamples / kQuickAdvance;
    ASSERT_TRUE(RunUntil([&] { return Curves() > moved + buffered + 3; }, 60000));
    const CurvePtr there = Engine().History().Entries().back().curve;
    double largest = 0;
    for (int i = 0; i < there->Count(); ++i)
        if (there->X()[i] > 25 && there->X()[i] < 150)
            largest = std::max(largest, std::abs(LevelDbAt(*there, i) - LevelDbAt(*here, i)));
    EXPECT_GT(largest, 1.0);

    ASSERT_TRUE(Click(IDC_QM_STOP, kQmConnected));
    EXPECT_FALSE(ToneOn());
    EXPECT_EQ(Engine().Buffer().Available(), 0);
    dialog->Button(IDC_QM_START)->click();
    EXPECT_TRUE(Engine().History().Entries().empty());
    EXPECT_TRUE(dialog->Graph()->Graph().GetRanges() == dialog->Graph()->Graph().InitialRanges());
    ASSERT_TRUE(RunUntil([&] { return Engine().State() == kQmMeasuring; }, 60000));
    ASSERT_TRUE(RunUntil([&] { return !Engine().History().Entries().empty(); }, 60000));

    // Closing while measuring stops the subwoofer's tone.
    dialog->Button(IDC_QM_CLOSE)->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(ToneOn());
    EXPECT_EQ(answerer.boxes.size(), 1u);
}

}  // namespace
