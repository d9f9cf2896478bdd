// File > Export and Tools > Microphone in the main window, headless.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <fstream>
#include <nlohmann/json.hpp>

#include "app/AppTestSupport.h"
#include "app/CMainFrame.h"
#include "app/CMicrophoneDlg.h"
#include "app/CTessalineApp.h"
#include "app/ModalAnswerer.h"
#include "app/SimulatedApp.h"
#include "measure/TextCalibration.h"

TEST(AppExport, MeasurementGraphAndEqualiserGoToTheChosenFiles) {
    TempDir dir;
    DocData data;
    data.name = L"KT1";
    data.results = {LevelCurve(-10), LevelCurve(-20), LevelCurve(-30)};
    const auto doc = dir.path / "room.CVD";
    WriteDocFile(doc, data);
    SimulatedApp simulated(doc);
    ASSERT_TRUE(simulated.app.Start());
    CMainFrame& frame = simulated.Frame();
    std::filesystem::path next;
    std::vector<std::filesystem::path> suggested;
    frame.SetFileDialog([&](bool save, const std::filesystem::path& suggestion) {
        EXPECT_TRUE(save);
        suggested.push_back(suggestion);
        return std::optional<std::filesystem::path>(next);
    });
    ModalAnswerer answerer;  // the curve and the size: the first offered

    next = dir.path / "average.txt";
    ASSERT_TRUE(frame.OnExportMeasurement());
    const auto back = Security::ReadTextCalibration(next);
    EXPECT_EQ(back.curve->Count(), 64);
    EXPECT_NEAR(back.curve->First()[0], -10.0, 0.0005);

    next = dir.path / "graph";
    ASSERT_TRUE(frame.OnExportGraph());
    const QImage image(QString::fromStdWString((dir.path / "graph.png").wstring()));
    ASSERT_FALSE(image.isNull());
    EXPECT_GE(image.width(), 200);

    next = dir.path / "eq.json";
    ASSERT_TRUE(frame.OnExportEqualiser());
    std::ifstream in(next);
    EXPECT_EQ(nlohmann::json::parse(in)["sections"].size(), 10u);
    EXPECT_EQ(suggested.front(), L"KT1 - Measured average.txt");
    EXPECT_EQ(answerer.dialogs.size(), 2u);  // curve and size
    EXPECT_TRUE(answerer.boxes.empty());

    // A picture that cannot be written names the file and the reason, as the texts do.
    for (const char* name : {"graph.png", "graph.svg"}) {
        next = dir.path / "missing" / name;
        EXPECT_FALSE(frame.OnExportGraph());
        ASSERT_FALSE(answerer.boxes.empty());
        EXPECT_EQ(answerer.boxes.back(),
                  QStringLiteral("Tessaline|The file \"") +
                      QString::fromStdWString(next.wstring()) +
                      QStringLiteral("\" could not be written: the folder does not exist."));
    }
}

TEST(AppExport, TheMicrophoneDialogRefusesABadFileByItsLineAndKeepsAGoodChoice) {
    TempDir dir;
    const auto bad = dir.path / "bad.txt", good = dir.path / "good.txt";
    const auto narrow = dir.path / "narrow.txt";
    std::ofstream(bad) << "20 0\n30 x\n";
    std::ofstream(narrow) << "20 0\n30 0.5\n";
    std::ofstream(good) << "* mic\n20 0\n500 0.5 4\n";
    AppOptions options;
    options.environment.simulate = true;
    AppSession session(options);
    const auto devices = session.RecordingDevices();
    ASSERT_EQ(devices.size(), 2u);
    CMicrophoneDlg dialog(devices, session.Microphone());
    EXPECT_EQ(dialog.Devices()->count(), 3);
    dialog.Devices()->setCurrentIndex(2);
    dialog.CalibrationFile()->setText(QString::fromStdWString(bad.wstring()));
    ModalAnswerer answerer;
    dialog.accept();
    ASSERT_EQ(answerer.boxes.size(), 1u);  // answered inside accept()
    EXPECT_TRUE(answerer.boxes[0].contains(QStringLiteral("\"bad.txt\": line 2")))
        << answerer.boxes[0].toStdString();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    dialog.CalibrationFile()->setText(QString::fromStdWString(narrow.wstring()));
    dialog.accept();
    ASSERT_EQ(answerer.boxes.size(), 2u);
    EXPECT_TRUE(answerer.boxes[1].contains(QStringLiteral("\"narrow.txt\": it covers 20 to 30 Hz")))
        << answerer.boxes[1].toStdString();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    dialog.CalibrationFile()->setText(QString::fromStdWString(good.wstring()));
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    session.Microphone() = dialog.Choice();
    EXPECT_EQ(session.Measure().microphone->device, devices[1]);
    EXPECT_EQ(session.Measure().microphone->textCalibration, good);
}

TEST(AppExport, TheMicrophoneChoiceIsKeptForTheNextRun) {
    ClearedSettings cleared;
    TempDir dir;
    const auto good = dir.path / "good.txt";
    std::ofstream(good) << "20 0\n500 0.5\n";
    const auto doc = EmptyDocument(dir.path);
    MicrophoneChoice chosen;
    {
        SimulatedApp simulated(doc);
        ASSERT_TRUE(simulated.app.Start());
        ModalAnswerer answerer;
        answerer.On(QStringLiteral("CMicrophoneDlg"), [&](QDialog& d) {
            auto& dialog = static_cast<CMicrophoneDlg&>(d);
            dialog.Devices()->setCurrentIndex(2);
            dialog.CalibrationFile()->setText(QString::fromStdWString(good.wstring()));
            dialog.accept();
        });
        QAction* microphone = MenuAction(simulated.Frame(), QStringLiteral("&Microphone..."));
        ASSERT_NE(microphone, nullptr);
        microphone->trigger();
        chosen = simulated.session.Microphone();
        ASSERT_EQ(chosen.textCalibration, good);
        ASSERT_FALSE(chosen.device.empty());
    }
    AppSession next(SimulatedOn(doc));
    QSettings settings(QStringLiteral("CorvanaElectronics"), QStringLiteral("Tessaline"));
    CMainFrame frame(Resources(Brand::Main), settings);
    frame.SetSession(&next);
    EXPECT_EQ(next.Microphone().device, chosen.device);
    EXPECT_EQ(next.Microphone().textCalibration, good);
}
