// The whole Measure chain in the window against the simulated subwoofer, room and microphone:
// "Start a new measurement" in the welcome dialog, every dialog answered as a user would.

#include <gtest/gtest.h>

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/AppTestSupport.h"
#include "app/CCheckForUsbSubWnd.h"
#include "app/CMainFrame.h"
#include "app/CPositionsPanel.h"
#include "app/CTSLView.h"
#include "app/CTessalineApp.h"
#include "app/ModalAnswerer.h"
#include "app/SimulatedApp.h"
#include "measure/Secure.h"
#include "sim/SimFirmware.h"
#include "sim/SimState.h"
#include "wizard/History.h"
#include "wizard/MainCommands.h"
#include "wizard/UploadStep.h"

namespace {

int Count(const std::vector<QString>& texts, const QString& part) {
    int n = 0;
    for (const QString& t : texts)
        n += t.contains(part);
    return n;
}

TEST(AppMeasure, TheWelcomeChoiceRunsMeasureCalculateAndUploadAndSavesTheDocument) {
    TempDir dir;
    AppOptions options;
    options.environment.simulate = true;
    options.environment.simState = dir.path / "sub.json";
    AppSession session(options);
    CTessalineApp app(options, session);
    ModalAnswerer answerer;  // OK to the welcome, the setup, the prompts and the boxes
    // At the last position's prompt: the four positions measured so far drawn in the graph, the
    // wizard's lines saying how far it is and how settled, the same in the Positions panel.
    size_t drawnPositions = 0;
    QString detail, settle;
    answerer.Boxes([&](const QString& text) {
        if (text.startsWith(QStringLiteral("Please move the microphone to position 5"))) {
            drawnPositions = app.Frame()->View()->PositionSwatches().size();
            auto* wizard =
                qobject_cast<CWizardDialog*>(QApplication::activeModalWidget()->parent());
            detail = wizard ? wizard->DetailLabel()->text() : QString();
            settle = app.Frame()->Positions()->SettleLabel()->text();
        }
        return QMessageBox::Ok;
    });
    ASSERT_TRUE(app.Start());
    ASSERT_EQ(app.WelcomeChoice(), 0);
    const auto out = dir.path / "room.CVD";
    int asked = 0;
    app.Frame()->SetFileDialog([&](bool save, const std::filesystem::path&) {
        EXPECT_TRUE(save);
        ++asked;
        return std::optional<std::filesystem::path>(out);
    });
    const QString success = DisplayText(kUploadSuccessText);
    ASSERT_TRUE(RunUntil([&] {
        return Count(answerer.boxes, success) > 0 && QApplication::activeModalWidget() == nullptr;
    })) << answerer.boxes.size()
        << " boxes";

    EXPECT_EQ(answerer.dialogs,
              (std::vector<QString>{QStringLiteral("CWelcomeDlg"),
                                    QStringLiteral("CCustomizeMeasurementProcDlg")}));
    EXPECT_EQ(Count(answerer.boxes, QStringLiteral("Please move the microphone to position")), 5);
    EXPECT_EQ(Count(answerer.boxes,
                    QStringLiteral("Measure|Please move the microphone to position 5, and then "
                                   "click OK.")),
              1);
    EXPECT_EQ(Count(answerer.boxes, QStringLiteral("Tessaline|") + success), 1);
    EXPECT_EQ(asked, 1);  // the untitled document is named once, at the first save
    EXPECT_EQ(drawnPositions, 4u);
    EXPECT_TRUE(detail.startsWith(QStringLiteral("Position 5 of 5\n"))) << detail.toStdString();
    EXPECT_FALSE(settle.isEmpty());
    EXPECT_TRUE(detail.endsWith(settle)) << settle.toStdString();

    DocData saved;
    ReadDocFile(out, saved);
    EXPECT_EQ(saved.measurements.size(), 5u);
    EXPECT_EQ(saved.results.size(), 3u);
    EXPECT_EQ(saved.eq.valid, 1);
    EXPECT_EQ(app.Frame()->windowTitle(), QStringLiteral("room.CVD - Tessaline (simulation)"));
    EXPECT_EQ(app.Frame()->View()->Graph()->Graph().Title(), L"KT1");
    EXPECT_EQ(app.Document().Data().results.size(), 3u);
    const auto calibration = session.LastCalibration();
    ASSERT_TRUE(calibration);
    EXPECT_EQ(calibration->kind, CalibrationKind::BrandFile);
    EXPECT_EQ(calibration->file, Security::CalibrationFileName(saved.micSerial));

    // Uploading the saved document to a subwoofer whose store does not verify: the box keeps
    // the step's text and adds the cause, and the graph keeps drawing the document meanwhile.
    AppOptions faulty = SimulatedOn(out);
    faulty.environment.simFaults = {"bad-store"};
    AppSession faultySession(faulty);
    CTessalineApp again(faulty, faultySession);
    ModalAnswerer answers;
    size_t drawnDuringStep = 0;
    answers.Boxes([&](const QString&) {
        CTSLView& view = *again.Frame()->View();
        drawnDuringStep = view.CurvesToDraw(view.Graph()->Graph()).size();
        return QMessageBox::Ok;
    });
    ASSERT_TRUE(again.Start());
    again.Frame()->StripButton(IDC_UPLOAD)->click();
    const QString cause = QString::fromWCharArray(kNotVerifiedCauseText);
    ASSERT_TRUE(RunUntil([&] {
        return Count(answers.boxes, cause) > 0 && QApplication::activeModalWidget() == nullptr;
    }));
    EXPECT_EQ(Count(answers.boxes, DisplayText(kUploadFailedText) + QLatin1Char('\n') + cause), 1);
    EXPECT_EQ(drawnDuringStep, 3u);
}

// Upload and Erase in the window are recorded, the upload with the document's path; writing the
// upload back from the history (File > History's Restore) puts its block into the flash again.
TEST(AppMeasure, UploadAndEraseAreRecordedAndTheUploadIsRestored) {
    TempDir dir;
    DocData data;
    data.modelId = 275;
    data.eq.valid = 1;
    data.eq.bands.clear();
    for (int i = 0; i < 10; ++i)
        data.eq.bands.push_back({1, 0.25, -0.5 + 0.02 * i, 0.5, 0.45, -0.95, 1});
    const auto doc = dir.path / "room.CVD";
    WriteDocFile(doc, data);
    AppOptions options = SimulatedOn(doc);
    options.environment.simState = dir.path / "sub.json";
    options.environment.historyDir = dir.path / "history";
    AppSession session(options);
    CTessalineApp app(options, session);
    ModalAnswerer answerer;
    ASSERT_TRUE(app.Start());
    ASSERT_TRUE(UploadCommand(*app.Presenter()));
    ASSERT_TRUE(EraseCommand(*app.Presenter()));
    const auto file = History::FilePath(dir.path / "history", 275);
    const History::Book book = History::Load(file);
    ASSERT_EQ(book.records.size(), 2u);
    EXPECT_EQ(book.records[0].kind, History::kUpload);
    EXPECT_EQ(book.records[0].documentPath, doc);
    EXPECT_EQ(book.records[1].kind, History::kErase);

    ASSERT_TRUE(app.Presenter()->RestoreRecord(book.records[0], 1));
    const auto state = Sim::LoadState((dir.path / "sub.json").string());
    ASSERT_TRUE(state);
    Sim::SimFirmware firmware(Sim::SimOptions{});
    Sim::ApplyState(*state, firmware);
    EXPECT_EQ(firmware.EqualiserImage(), book.records[0].block);
    EXPECT_EQ(History::Load(file).records.back().kind, History::kRestore);
    EXPECT_EQ(Count(answerer.boxes, QStringLiteral("Restore failed")), 0);
}

// Escape at a position prompt: the open document keeps its measurements, the graph its curves,
// and the next Measure still warns before replacing them.
TEST(AppMeasure, ACancelledMeasureLeavesTheOpenDocumentAsItWas) {
    TempDir dir;
    DocData data;
    data.name = L"KT1";
    data.results = {LevelCurve(-10), LevelCurve(-20), LevelCurve(-30)};
    data.measurements = {LevelCurve(-10)};
    const auto path = dir.path / "room.CVD";
    WriteDocFile(path, data);
    SimulatedApp simulated(path);
    ASSERT_TRUE(simulated.app.Start());
    CMainFrame& frame = simulated.Frame();
    ModalAnswerer answerer;
    const QString overwrite = DisplayText(kMeasureOverwriteQuestion);
    answerer.Boxes([&](const QString& text) {
        if (text == overwrite)
            return Count(answerer.boxes, overwrite) == 1 ? QMessageBox::Yes : QMessageBox::No;
        if (text.startsWith(QStringLiteral("Please move the microphone to position 1")))
            return QMessageBox::Cancel;
        return QMessageBox::NoButton;
    });
    frame.StripButton(IDC_MEASURE)->click();  // returns when the chain has stopped
    const DocData& d = simulated.app.Document().Data();
    EXPECT_EQ(
        Count(answerer.boxes, QStringLiteral("Measure|") + DisplayText(kMeasurementFailedText)), 1);
    EXPECT_EQ(d.results.size(), 3u);
    EXPECT_EQ(d.measurements.size(), 1u);
    EXPECT_EQ(d.name, L"KT1");
    EXPECT_FALSE(simulated.app.Document().IsModified());
    EXPECT_EQ(frame.View()->CurvesToDraw(frame.View()->Graph()->Graph()).size(), 3u);
    frame.StripButton(IDC_MEASURE)->click();
    EXPECT_EQ(Count(answerer.boxes, overwrite), 2);
    EXPECT_EQ(d.results.size(), 3u);
}

}  // namespace

namespace {

// The check-for-subwoofer window runs on the UI thread while the step waits: Retry shows the
// rebuilt message, Cancel ends the measurement with its message and nothing in the document.
TEST(AppMeasure, ABusySubwooferShowsTheCheckWindowAndCancelEndsTheChain) {
    AppOptions options;
    options.environment.simFaults = {"busy"};
    AppSession session(options);
    CTessalineApp app(options, session);
    ModalAnswerer answerer;
    QString message;
    bool reinstallShown = false;
    int turns = 0;
    answerer.On(QStringLiteral("CCheckForUsbSubDlg"), [&](QDialog& d) {
        auto& window = static_cast<CCheckForUsbSubWnd&>(d);
        message = window.Message()->toPlainText();
        reinstallShown = window.Reinstall()->isVisible();
        (turns++ == 0 ? window.Retry() : window.CancelButton())->click();
    });
    ASSERT_TRUE(app.Start());
    app.Frame()->SetFileDialog([](bool, const std::filesystem::path&) {
        ADD_FAILURE() << "nothing to save";
        return std::optional<std::filesystem::path>();
    });
    const QString failed = DisplayText(kNoSubwooferFoundText);
    ASSERT_TRUE(RunUntil(
        [&] {
            return Count(answerer.boxes, failed) > 0 &&
                   QApplication::activeModalWidget() == nullptr;
        },
        15000))
        << [&] {
               std::string all;
               for (const auto& b : answerer.boxes)
                   all += b.toStdString() + "\n";
               for (const auto& b : answerer.dialogs)
                   all += b.toStdString() + "\n";
               return all;
           }();
    EXPECT_TRUE(message.startsWith(QStringLiteral("No subwoofer was found.")));
    EXPECT_TRUE(reinstallShown);
    EXPECT_GE(turns, 2);
    EXPECT_EQ(Count(answerer.boxes, QStringLiteral("Tessaline|No subwoofer was found.")),
              1);  // Retry
    EXPECT_EQ(Count(answerer.boxes, QStringLiteral("Measure|") + failed), 1);
    EXPECT_TRUE(app.Document().Data().results.empty());
    EXPECT_TRUE(app.Document().PathName().empty());
}

}  // namespace
