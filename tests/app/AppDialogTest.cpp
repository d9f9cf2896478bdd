// The steps' windows: pre-measurement, target customization, check-for-subwoofer and the
// wizard dialog with its boxes asked from the worker.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <thread>

#include "app/AppTestSupport.h"
#include "app/CCheckForUsbSubWnd.h"
#include "app/CPreMeasurementDlg.h"
#include "app/CTargetCustomizationDialog.h"
#include "app/CWizardDialog.h"
#include "app/ModalAnswerer.h"
#include "ui/qt/CSpinEditBox.h"
#include "wizard/ProcDialog.h"

namespace {

TEST(PreMeasurementDialog, TwelvePositionsShowBadValueAndSetTen) {
    CPreMeasurementDlg dialog(nullptr);
    std::vector<QString> boxes;
    dialog.Positions()->SetMessageBox([&](QWidget*, const QString& text, const QString& caption) {
        boxes.push_back(caption + QLatin1Char('|') + text);
    });
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Pre-Measurement Setup"));
    EXPECT_TRUE(
        dialog.Text()->toPlainText().startsWith(QStringLiteral("IMPORTANT!!\n\nIt is very")));
    EXPECT_TRUE(dialog.Text()->isReadOnly());
    dialog.show();
    dialog.Positions()->Edit()->setFocus();
    dialog.Positions()->Edit()->selectAll();
    QTest::keyClicks(dialog.Positions()->Edit(), QStringLiteral("12"));
    dialog.accept();
    EXPECT_EQ(boxes, std::vector<QString>{QStringLiteral("Error|Bad value")});
    EXPECT_EQ(dialog.PositionCount(), 10);
    EXPECT_EQ(dialog.Positions()->Edit()->text(), QStringLiteral("10"));
    EXPECT_TRUE(dialog.isVisible());  // the bad value keeps the dialog open
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Positions()->accessibleName(), QStringLiteral("Number Of Positions"));
    EXPECT_EQ(dialog.Positions()->toolTip(), QStringLiteral("From 5 to 10"));
}

// "Until settled" beside the count takes its place; Verify's count from 1 does not offer it.
TEST(PreMeasurementDialog, UntilSettledStandsBesideTheCount) {
    CCustomizeMeasurementProcDlg chosen, verify(1);
    {
        CPreMeasurementDlg dialog(nullptr);
        QTimer::singleShot(0, &dialog, [&] {
            QTest::mouseClick(dialog.UntilSettled(), Qt::LeftButton);
            EXPECT_FALSE(dialog.Positions()->isEnabled());
            dialog.accept();
        });
        ASSERT_TRUE(dialog.DoModal(chosen));
    }
    EXPECT_TRUE(chosen.UntilSettled());
    EXPECT_EQ(chosen.PositionCount(), kMaxPositions);
    CPreMeasurementDlg dialog(nullptr);
    QTimer::singleShot(0, &dialog, [&] {
        EXPECT_TRUE(dialog.UntilSettled()->isHidden());
        dialog.accept();
    });
    ASSERT_TRUE(dialog.DoModal(verify));
    EXPECT_FALSE(verify.UntilSettled());
}

class TargetDialog : public ::testing::Test {
protected:
    TargetDialog() : dialog(nullptr, data) {}
    ~TargetDialog() override { EXPECT_TRUE(answerer.boxes.empty()); }
    DocData data;
    CTargetCustomizationDialog dialog;
    ModalAnswerer answerer;  // a box here would be a fault
};

TEST_F(TargetDialog, FlatAndAutoEnableTheRightFields) {
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Target Customization"));
    dialog.SetSettings({200, SLOPE_FLAT, 40, 30});
    EXPECT_FALSE(dialog.HpFreq()->isEnabled());
    EXPECT_TRUE(dialog.MinEq()->isEnabled());
    EXPECT_EQ(dialog.Order()->Edit()->text(), QStringLiteral("Flat"));
    dialog.SetSettings({200, SLOPE_AUTO, 40, 30});
    EXPECT_FALSE(dialog.HpFreq()->isEnabled());
    EXPECT_FALSE(dialog.MinEq()->isEnabled());
    dialog.SetSettings({200, SLOPE_2ND, 40, 30});
    EXPECT_TRUE(dialog.HpFreq()->isEnabled());
    EXPECT_TRUE(dialog.MinEq()->isEnabled());
    EXPECT_TRUE(dialog.Crossover()->isEnabled());
    EXPECT_TRUE(dialog.Order()->isEnabled());

    // One step down from "1st Order" through the order's own buttons reaches "Flat".
    dialog.SetSettings({200, SLOPE_1ST, 40, 30});
    dialog.show();
    dialog.Order()->Edit()->setFocus();
    QTest::keyClick(dialog.Order()->Edit(), Qt::Key_Down);
    EXPECT_EQ(dialog.Settings().hpOrder, SLOPE_FLAT);
    EXPECT_FALSE(dialog.HpFreq()->isEnabled());
    EXPECT_TRUE(dialog.MinEq()->isEnabled());
}

TEST_F(TargetDialog, TheCrossoverLimitsBothFrequenciesAndOkTakesTheValuesBack) {
    dialog.SetSettings({160, SLOPE_2ND, 200, 240});
    EXPECT_EQ(dialog.HpFreq()->State().Rule().maximum, 160);
    EXPECT_EQ(dialog.MinEq()->State().Rule().maximum, 160);
    EXPECT_EQ(dialog.HpFreq()->Edit()->text(), QStringLiteral("160"));
    dialog.show();
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Settings(), (TargetSettings{160, SLOPE_2ND, 160, 160}));

    // Both frequencies take typed values and Backspace like the other spins; the order's
    // names do not.
    dialog.show();
    for (auto* spin : {dialog.HpFreq(), dialog.MinEq()}) {
        EXPECT_FALSE(spin->Edit()->isReadOnly());
        EXPECT_EQ(spin->Edit()->toolTip(), QStringLiteral("From 20 to 160"));
        spin->Edit()->setFocus();
        QTest::keyClick(spin->Edit(), Qt::Key_End);
        QTest::keyClick(spin->Edit(), Qt::Key_Backspace);
        QTest::keyClick(spin->Edit(), Qt::Key_Backspace);
        QTest::keyClicks(spin->Edit(), QStringLiteral("25"));
        dialog.ClassicFit()->setFocus();
    }
    EXPECT_TRUE(dialog.Order()->Edit()->isReadOnly());
    dialog.accept();
    EXPECT_EQ(dialog.Settings(), (TargetSettings{160, SLOPE_2ND, 125, 125}));
}

TEST_F(TargetDialog, TheClassicFitIsAChoiceOfItsOwn) {
    QCheckBox* classic = dialog.ClassicFit();
    EXPECT_EQ(classic->text(), QStringLiteral("Classic fit"));
    EXPECT_EQ(classic->accessibleName(), classic->text());
    EXPECT_FALSE(classic->isChecked());
    dialog.SetSettings({200, SLOPE_2ND, 40, 30, FitMethod::Classic});
    EXPECT_TRUE(classic->isChecked());
    dialog.show();
    classic->setFocus();
    QTest::keyClick(classic, Qt::Key_Space);
    EXPECT_EQ(dialog.Settings().fit, FitMethod::Refined);
    QTest::keyClick(classic, Qt::Key_Space);
    dialog.accept();
    EXPECT_EQ(dialog.Settings(), (TargetSettings{200, SLOPE_2ND, 40, 30, FitMethod::Classic}));
}

TEST_F(TargetDialog, AutoDetectFindsACrossoverFromTheTableAndResetsTheOrder) {
    data.measurements = {LevelCurve(-10)};
    dialog.SetSettings({200, SLOPE_3RD, 50, 60});
    dialog.AutoDetectButton()->click();
    const TargetSettings s = dialog.Settings();
    EXPECT_EQ(s.hpOrder, SLOPE_AUTO);
    EXPECT_EQ(s.hpFreq, 20);
    EXPECT_EQ(s.minEqFreq, 20);
    EXPECT_GE(s.crossover, 160);
    EXPECT_LE(s.crossover, 250);
    EXPECT_EQ(s.crossover % 5, 0);
    EXPECT_FALSE(dialog.MinEq()->isEnabled());
}

// With the program's bridge Auto Detect runs on the worker: the dialog takes no input but Cancel
// until the result is in.
TEST(TargetDialogWorker, AutoDetectRunsOnTheWorkerWhileTheDialogWaits) {
    Threading::MessageBridge bridge;
    bridge.Start();
    DocData data;
    data.measurements = {LevelCurve(-10)};
    CTargetCustomizationDialog dialog(nullptr, data, &bridge);
    dialog.SetSettings({200, SLOPE_3RD, 50, 60});
    dialog.AutoDetectButton()->click();
    EXPECT_FALSE(dialog.AutoDetectButton()->isEnabled());
    EXPECT_FALSE(dialog.OkButton()->isEnabled());
    EXPECT_FALSE(dialog.Crossover()->isEnabled());
    dialog.accept();
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    ASSERT_TRUE(RunUntil(
        [&] {
            bridge.Drain();
            return dialog.AutoDetectButton()->isEnabled();
        },
        60000));
    EXPECT_EQ(dialog.Settings().hpOrder, SLOPE_AUTO);
    EXPECT_EQ(dialog.Settings().crossover % 5, 0);
    EXPECT_TRUE(dialog.OkButton()->isEnabled());
    EXPECT_FALSE(dialog.MinEq()->isEnabled());
}

// Message boxes keep caption, icon and buttons; the selection list answers with the row chosen.
TEST(Prompt, BoxesAndTheCalibrationSelection) {
    QtPrompt prompt([] { return nullptr; });
    ModalAnswerer answerer;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    answerer.Boxes([&](const QString&) {
        icon = static_cast<QMessageBox*>(QApplication::activeModalWidget())->icon();
        return QMessageBox::No;
    });
    EXPECT_EQ(prompt.MessageBox(L"Are you sure you want to abort?", L"Tessaline",
                                Threading::MsgButtons::YesNo, Threading::MsgIcon::Question),
              Threading::MsgResult::No);
    EXPECT_EQ(icon, QMessageBox::Question);
    EXPECT_EQ(answerer.boxes,
              std::vector<QString>{QStringLiteral("Tessaline|Are you sure you want to abort?")});

    QString shownPrompt;
    answerer.On(QStringLiteral("CSelectionDlg"), [&](QDialog& d) {
        shownPrompt = d.findChild<QLabel*>()->text();
        d.findChild<QListWidget*>()->setCurrentRow(1);
        d.accept();
    });
    EXPECT_EQ(prompt.Choose(L"Select microphone serial number:",
                            {L"1234567", L"7654321, for unit with serial #: 42"}),
              std::optional<size_t>(1));
    EXPECT_EQ(shownPrompt, QStringLiteral("Select microphone serial number:"));
    answerer.On(QStringLiteral("CSelectionDlg"), [](QDialog& d) { d.reject(); });
    EXPECT_EQ(prompt.Choose(L"Select microphone serial number:", {L"1234567"}), std::nullopt);
}

TEST(CheckWindow, ShowsTheMessageAndHidesReinstallWhenADeviceDidNotOpen) {
    CCheckForUsbSubWnd window(nullptr);
    window.DrawCaption(L"Tessaline");
    window.DrawMessage(L"No subwoofer was found.\r\n\r\nPlease double check");
    window.ShowReinstall(false);
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Tessaline"));
    EXPECT_EQ(window.Message()->toPlainText(),
              QStringLiteral("No subwoofer was found.\n\nPlease double check"));
    EXPECT_TRUE(window.Reinstall()->isHidden());
    EXPECT_EQ(window.Retry()->accessibleName(), QStringLiteral("Retry"));
}

// A bridge drained by a 1 ms timer, as the application's, and the Qt wizard dialog over it.
struct QtWizard {
    QtWizard() {
        bridge.Start();
        drain.setInterval(1);
        QObject::connect(&drain, &QTimer::timeout, [this] { bridge.Drain(); });
        drain.start();
    }
    ~QtWizard() { bridge.Shutdown(); }
    std::unique_ptr<WizardDialog> Make(WizardController& controller) {
        DialogFactory factory = [this](const WizardDialogSetup& setup) {
            auto d = std::make_unique<CWizardDialog>(setup, nullptr);
            shown = d.get();
            return std::unique_ptr<WizardDialog>(std::move(d));
        };
        return controller.CreateDialog(factory, nullptr, L"Wizard", nullptr, nullptr, nullptr,
                                       nullptr);
    }
    Threading::MessageBridge bridge;
    QTimer drain;
    CWizardDialog* shown = nullptr;
};

// The wizard dialog runs a real step on its worker; the step's box is shown on the UI thread,
// modal over the dialog, with the step's name as caption.
TEST(WizardDialog, AStepsBoxRunsOnTheUiThreadAndEscapeAsksToAbort) {
    QtWizard wizard;

    std::atomic<bool> release{false};
    std::atomic<bool> escaped{false};
    QWidget* boxParent = nullptr;
    StepFunction step = [&](IProcDialog* progress, void*, void*) {
        progress->SetDisplayString(L"Measuring position 1");
        progress->SetDetail(L"Position 1 of 5");
        ShowStepMessage(progress, L"Please move the microphone to position 1, and then click OK.",
                        Threading::MsgButtons::OkCancel);
        while (!release.load())
            std::this_thread::yield();
        return true;
    };
    WizardController controller({WizardStep{step, L"Measure"}}, wizard.bridge);
    auto dialog = wizard.Make(controller);
    CWizardDialog* shown = wizard.shown;
    ModalAnswerer answerer;
    bool statusCovered = true;
    QString detail;
    answerer.Boxes([&](const QString& text) {
        if (text.startsWith(QStringLiteral("Please move"))) {
            QWidget* box = QApplication::activeModalWidget();
            boxParent = box->parentWidget();
            // The prompt leaves the status lines readable.
            QLabel* status = shown->StatusLabel();
            const QRect lines(
                status->mapToGlobal(QPoint(0, 0)),
                shown->DetailLabel()->mapToGlobal(QPoint(0, shown->DetailLabel()->height())));
            statusCovered = box->frameGeometry().intersects(lines);
            detail = shown->DetailLabel()->text();
        }
        if (text == QStringLiteral("Are you sure you want to abort?")) {
            release = true;  // the step ends while the question is open
            return QMessageBox::No;
        }
        return QMessageBox::Ok;
    });
    QTimer escape;
    escape.setInterval(5);
    QObject::connect(&escape, &QTimer::timeout, [&] {
        if (!escaped && shown && QApplication::activeModalWidget() == shown &&
            !answerer.boxes.empty()) {
            escaped = true;
            QTest::keyClick(shown, Qt::Key_Escape);
        }
    });
    escape.start();
    EXPECT_EQ(dialog->DoModal(), IDOK);
    ASSERT_EQ(answerer.boxes.size(), 2u);
    EXPECT_EQ(
        answerer.boxes[0],
        QStringLiteral("Measure|Please move the microphone to position 1, and then click OK."));
    EXPECT_EQ(answerer.boxes[1], QStringLiteral("Tessaline|Are you sure you want to abort?"));
    EXPECT_EQ(boxParent, shown);
    EXPECT_EQ(shown->windowTitle(), QStringLiteral("Measure"));
    EXPECT_FALSE(statusCovered);
    EXPECT_EQ(detail, QStringLiteral("Position 1 of 5"));
    EXPECT_EQ(shown->StatusLabel()->text(), QStringLiteral("Measuring position 1"));
    // A one-step wizard starts by itself: no Start button to look at.
    EXPECT_TRUE(shown->StartButton()->isHidden());
}

// While the abort question is open the step waits at its next question, which opens once the
// question is answered No; a question still open when the step ends closes with it.
TEST(WizardDialog, TheAbortQuestionHoldsTheStepsNextQuestionAndClosesWhenTheStepEnds) {
    QtWizard wizard;
    std::atomic<bool> measured{false}, asking{false}, finish{false};
    std::atomic<size_t> answered{0};  // position prompts whose answer reached the step
    StepFunction step = [&](IProcDialog* progress, void*, void*) {
        ShowStepMessage(progress, L"Please move the microphone to position 1, and then click OK.",
                        Threading::MsgButtons::OkCancel);
        ++answered;
        while (!measured.load())
            std::this_thread::yield();
        asking = true;
        if (ShowStepMessage(progress,
                            L"Please move the microphone to position 2, and then click OK.",
                            Threading::MsgButtons::OkCancel) != Threading::MsgResult::Ok)
            return false;
        ++answered;
        while (!finish.load())
            std::this_thread::yield();
        return true;
    };
    WizardController controller({WizardStep{step, L"Measure"}}, wizard.bridge);
    auto dialog = wizard.Make(controller);
    CWizardDialog* shown = wizard.shown;
    const QString abort = QStringLiteral("Are you sure you want to abort?");
    ModalAnswerer answerer;
    QPointer<QMessageBox> question;
    int questions = 0, heldTurns = 0;
    bool overlapped = false;
    answerer.Hold([&](QWidget& modal) {
        auto* box = qobject_cast<QMessageBox*>(&modal);
        if (box == nullptr || box->text() != abort)
            return false;
        if (question != box) {
            question = box;
            ++questions;
        }
        if (questions == 1) {
            measured = true;  // the step goes on to its next question, which has to wait
            return !asking || ++heldTurns < 50;
        }
        finish = true;  // the step ends while the second question is open
        return true;
    });
    answerer.Boxes([&](const QString& text) {
        if (text.contains(QStringLiteral("position 2")) && question && question->isVisible())
            overlapped = true;
        return text == abort ? QMessageBox::No : QMessageBox::Ok;
    });
    // Escape once after each position prompt's answer has reached the step (not merely after the
    // box was clicked: an Escape inside the closing box's loop would hold its answer back).
    size_t escapes = 0;
    QTimer escape;
    escape.setInterval(5);
    QObject::connect(&escape, &QTimer::timeout, [&] {
        if (shown && QApplication::activeModalWidget() == shown && escapes < answered.load()) {
            ++escapes;
            QTest::keyClick(shown, Qt::Key_Escape);
        }
    });
    escape.start();
    EXPECT_EQ(dialog->DoModal(), IDOK);
    EXPECT_EQ(questions, 2);
    EXPECT_EQ(heldTurns, 50);
    EXPECT_FALSE(overlapped);
    EXPECT_TRUE(question.isNull());  // closed with the step
    ASSERT_EQ(answerer.boxes.size(), 3u);
    EXPECT_EQ(answerer.boxes[1], QStringLiteral("Tessaline|") + abort);
    EXPECT_TRUE(answerer.boxes[2].contains(QStringLiteral("position 2")));
}

}  // namespace

namespace {

// The several-steps layout: both check boxes ticked, Start runs the first step and, with
// "Automatically proceed to the next step" ticked, the second follows and the dialog closes.
TEST(WizardDialog, TheSeveralStepsLayoutProceedsByItself) {
    QtWizard wizard;
    std::atomic<int> ran{0};
    StepFunction step = [&](IProcDialog*, void*, void*) {
        ++ran;
        return true;
    };
    WizardController controller({WizardStep{step, L"Measure"}, WizardStep{step, L"Calculate"}},
                                wizard.bridge);
    auto dialog = wizard.Make(controller);
    CWizardDialog* shown = wizard.shown;
    QStringList boxes;
    QTimer start;
    start.setInterval(5);
    QObject::connect(&start, &QTimer::timeout, [&] {
        if (QApplication::activeModalWidget() != shown || !shown->StartButton()->isEnabled())
            return;
        for (auto* box : shown->findChildren<QCheckBox*>())
            boxes << box->text() +
                         (box->isChecked() ? QStringLiteral(":on") : QStringLiteral(":off"));
        EXPECT_EQ(shown->StatusLabel()->text(), QStringLiteral("Press start to begin."));
        EXPECT_FALSE(shown->AbortButton()->isEnabled());
        shown->StartButton()->click();
    });
    start.start();
    EXPECT_EQ(dialog->DoModal(), IDOK);
    EXPECT_EQ(ran.load(), 2);
    EXPECT_EQ(boxes, (QStringList{QStringLiteral("Automatically proceed to the next step:on"),
                                  QStringLiteral("Save progress after each step:on")}));
    EXPECT_EQ(shown->windowTitle(), QStringLiteral("Calculate"));
}

}  // namespace
