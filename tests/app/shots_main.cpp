// tessaline-shots OUT_DIR: pictures of every window of the program, offscreen, against the
// simulated subwoofer: the welcome dialog, a wizard asking for a microphone position, the graph
// while the positions are measured, the main window after the whole Measure chain and with its
// positions panel (positions shown, one selected), a failed upload's box, the quick
// measurement's live view, the dialogs of the steps and of the main window, and the Decay
// window's waterfall as measured and as predicted.

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QHeaderView>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <cstdio>

#include "app/AppTestSupport.h"
#include "app/CAboutDlg.h"
#include "app/CCheckForUsbSubWnd.h"
#include "app/CCurveColorDialog.h"
#include "app/CDecayDlg.h"
#include "app/CMainFrame.h"
#include "app/CPositionsPanel.h"
#include "app/CPreMeasurementDlg.h"
#include "app/CQuickMeasureDlg.h"
#include "app/CTargetCustomizationDialog.h"
#include "app/CTessalineApp.h"
#include "app/CWelcomeDlg.h"
#include "app/ModalAnswerer.h"
#include "app/SimulatedApp.h"
#include "threading/Errors.h"
#include "wizard/MainCommands.h"
#include "wizard/UploadStep.h"

namespace {

QString outDir;

void Save(QWidget& w, const char* name) {
    const QString path = outDir + QLatin1Char('/') + QLatin1String(name) + QStringLiteral(".png");
    w.grab().save(path);
    std::printf("%s\n", path.toLocal8Bit().constData());
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication qt(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: tessaline-shots OUT_DIR\n");
        return 1;
    }
    outDir = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(outDir);
    QTemporaryDir work;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, work.path());

    AppOptions options;
    options.environment.simulate = true;
    AppSession session(options);
    CTessalineApp app(options, session);
    ModalAnswerer answerer;
    bool welcomeTaken = false, promptTaken = false;
    answerer.On(QStringLiteral("CWelcomeDlg"), [&](QDialog& d) {
        if (!welcomeTaken)
            Save(d, "welcome");
        welcomeTaken = true;
        d.accept();
    });
    answerer.On(QStringLiteral("CCustomizeMeasurementProcDlg"), [&](QDialog& d) {
        Save(d, "pre-measurement");
        d.accept();
    });
    answerer.Boxes([&](const QString& text) {
        // The graph while Measure runs: the three positions measured so far and their average.
        if (text.startsWith(QStringLiteral("Please move the microphone to position 4")))
            Save(*app.Frame(), "measuring");
        if (!promptTaken && text.startsWith(QStringLiteral("Please move"))) {
            promptTaken = true;
            QWidget* box = QApplication::activeModalWidget();
            Save(*box, "position-prompt");
            Save(*box->parentWidget(), "wizard");
        }
        return QMessageBox::Ok;
    });
    if (!app.Start())
        return 2;
    const auto document = std::filesystem::path(work.path().toStdString()) / "room.CVD";
    app.Frame()->SetFileDialog(
        [&](bool, const std::filesystem::path&) { return std::optional(document); });
    app.Frame()->resize(1100, 650);
    if (!RunUntil([&] {
            return answerer.boxes.size() > 5 && QApplication::activeModalWidget() == nullptr;
        }))
        return 3;
    Save(*app.Frame(), "main-window");

    // The positions panel below the graph, with the spread shaded.
    CPositionsPanel* positions = app.Frame()->Positions();
    positions->show();
    positions->SpreadSwitch()->setChecked(true);
    app.Frame()->resize(1100, 820);
    // Room for the five rows and the settle line under them.
    QTableWidget* table = positions->Table();
    const int rows = table->verticalHeader()->length() + table->horizontalHeader()->height();
    app.Frame()->resizeDocks({positions}, {rows + positions->fontMetrics().height() * 6},
                             Qt::Vertical);
    QApplication::processEvents();
    Save(*app.Frame(), "positions");
    // Each position's curve in its own shade, the selected one on top and wider.
    positions->PositionsSwitch()->setChecked(true);
    positions->Table()->selectRow(1);
    QApplication::processEvents();
    Save(*app.Frame(), "positions-selected");
    positions->Table()->setCurrentCell(-1, -1);
    positions->PositionsSwitch()->setChecked(false);
    positions->SpreadSwitch()->setChecked(false);
    positions->hide();
    app.Frame()->resize(1100, 650);

    // The live view after the upload: the equalised room at the last position.
    bool quickTaken = false;
    answerer.On(QStringLiteral("CQuickMeasureDlg"), [&](QDialog& dialog) {
        if (quickTaken)
            return;
        quickTaken = true;
        auto& quick = static_cast<CQuickMeasureDlg&>(dialog);
        quick.Button(IDC_QM_CONNECT)->click();
        RunUntil([&] { return quick.Button(IDC_QM_START)->isEnabled(); }, 60000);
        quick.Button(IDC_QM_START)->click();
        RunUntil([&] { return quick.Engine().History().Entries().size() == 3; }, 60000);
        Save(quick, "quick-measure");
        quick.Button(IDC_QM_CLOSE)->click();
    });
    for (QAction* menu : app.Frame()->menuBar()->actions())
        for (QAction* action : menu->menu()->actions())
            if (action->text() == QStringLiteral("Quick Measure"))
                action->trigger();
    if (!quickTaken)
        return 4;

    // Upload to a subwoofer whose store does not verify: the step's text and the cause.
    {
        AppOptions faulty = SimulatedOn(document);
        faulty.environment.simFaults = {"bad-store"};
        AppSession faultySession(faulty);
        CTessalineApp failing(faulty, faultySession);
        bool failureTaken = false;
        answerer.Boxes([&](const QString& text) {
            if (!failureTaken && text.startsWith(DisplayText(kUploadFailedText))) {
                failureTaken = true;
                Save(*QApplication::activeModalWidget(), "upload-failed");
            }
            return QMessageBox::Ok;
        });
        if (!failing.Start())
            return 5;
        failing.Frame()->resize(1100, 650);
        failing.Frame()->StripButton(IDC_UPLOAD)->click();
        if (!failureTaken)
            return 6;
    }

    CTargetCustomizationDialog target(nullptr, app.Document().Data());
    const DocData& d = app.Document().Data();
    TargetSettings shown{d.crossover, d.hpOrder, d.hpFreq, d.minEqFreq};
    shown.house.shelfDb = 4.0;  // the house curve group in use
    target.SetSettings(shown);
    target.show();
    Save(target, "target");
    CCheckForUsbSubWnd check(nullptr);
    CUsbController::OpenAnyAvailableDeviceCallback none(L"Tessaline", nullptr);
    CUsbController::CCheckForUsbSubDlg logic(L"Tessaline", nullptr, &none);
    logic.Check();
    check.DrawCaption(logic.Caption());
    check.DrawMessage(logic.Message());
    check.ShowReinstall(logic.ReinstallVisible());
    check.show();
    Save(check, "check-for-subwoofer");
    CCurveColorDialog colours(d.colours);
    colours.show();
    Save(colours, "colours");
    CAboutDlg about(QStringLiteral("Tessaline"));
    about.show();
    Save(about, "about");
    // The waterfall of the measurement, then as predicted through the equaliser.
    CDecayDlg decay(d);
    decay.show();
    QApplication::processEvents();
    Save(decay, "decay-measured");
    decay.SetSwitch(Exporting::DecaySet::Measured)->setChecked(false);
    QApplication::processEvents();
    Save(decay, "decay-predicted");
    return 0;
}
