#include "app/CTessalineApp.h"

#include <QApplication>

#include "app/AppText.h"
#include "app/CAboutDlg.h"
#include "app/CCheckForUsbSubWnd.h"
#include "app/CMainFrame.h"
#include "app/CPreMeasurementDlg.h"
#include "app/CQuickMeasureDlg.h"
#include "app/CTargetCustomizationDialog.h"
#include "app/CWelcomeDlg.h"
#include "app/CWizardDialog.h"
#include "measure/ImpulseFile.h"
#include "threading/Errors.h"
#include "wizard/Steps.h"

CTessalineApp::CTessalineApp(const AppOptions& options, AppSession& session)
    : options_(options),
      session_(session),
      brand_(Resources(options.brand)),
      settings_(QString::fromStdWString(brand_.organisation),
                QString::fromStdWString(brand_.application)),
      prompt_([] { return QApplication::activeWindow(); }),
      document_(&prompt_) {
    bridge_.Start();
    drain_.setInterval(1);
    connect(&drain_, &QTimer::timeout, this, [this] { bridge_.Drain(); });
    drain_.start();
}

CTessalineApp::~CTessalineApp() {
    drain_.stop();
    if (frameHandle_ != Threading::kNoWindow)
        bridge_.Windows().Unregister(frameHandle_);
    presenter_.reset();
    frame_.reset();
    bridge_.Shutdown();
}

WizardEnvironment CTessalineApp::Wizards() {
    MeasureEnvironment measure = session_.Measure();
    measure.preMeasurement = QtPreMeasurementDialog();
    measure.deviceCheck.makeWindow = QtCheckWindowFactory();
    measure.deviceCheck.applicationName = brand_.title;
    measure.deviceCheck.texts.programName = brand_.title;
    measure.deviceCheck.texts.programVersion = ProductVersionMessage(ProgramVersionText());
    // Asked on the UI thread when an upload is recorded.
    measure.history.documentPath = [this] { return document_.PathName(); };
    // From the step's thread to the window's: each position is drawn as it is measured.
    measure.positionMeasured = [this](const SettleProgress& progress) {
        bridge_.PostCall([this, progress] {
            if (presenter_)
                presenter_->PositionMeasured(progress);
        });
    };
    WizardEnvironment environment;
    environment.steps = StandardSteps(measure, QtTargetDialogFactory(bridge_));
    environment.bridge = &bridge_;
    AppSession* session = &session_;
    environment.makeDialog = QtWizardDialogFactory(
        [] { return QApplication::activeWindow(); },
        [session](Threading::IPrompt& inner) { return session->WrapPrompt(inner); });
    return environment;
}

std::function<StepFunction(const History::Record&, int)> CTessalineApp::RestoreSteps() {
    const MeasureEnvironment measure = session_.Measure();
    return
        [usb = measure.usb, history = measure.history](const History::Record& record, int number) {
            return MakeRestoreStep(record, number, ChannelsOn(usb), history);
        };
}

bool CTessalineApp::Start() {
    const QString title = QString::fromStdWString(brand_.title);
    if (options_.document.empty()) {
        CWelcomeDlg welcome(title, [title](QWidget* parent) { CAboutDlg(title, parent).exec(); });
        if (welcome.exec() != QDialog::Accepted)
            return false;
        welcome_ = welcome.Choice();
    }
    frame_ = std::make_unique<CMainFrame>(brand_, settings_);
    presenter_ = std::make_unique<MainPresenter>(document_, *frame_, Wizards(), brand_,
                                                 session_.Simulated());
    frameHandle_ = bridge_.Windows().Register(frame_.get());
    bridge_.Windows().SetMainWindow(frameHandle_);
    frame_->SetSession(&session_);
    presenter_->SetAfterWizard([this] { SaveSimulation(); });
    presenter_->SetRestoreStep(RestoreSteps());
    presenter_->SetImpulseReader(ReadImpulseFile);
    frame_->SetPresenter(presenter_.get());
    frame_->SetQuickMeasure([this] { OpenQuickMeasure(); });
    // A document that cannot be opened has said why; the window opens on a new one.
    if (!options_.document.empty())
        presenter_->OpenDocument(options_.document);
    if (showFrame_)
        frame_->showMaximized();
    if (welcome_)
        QTimer::singleShot(0, this, [this] { RunWelcomeChoice(); });
    return true;
}

void CTessalineApp::OpenQuickMeasure() {
    MeasureEnvironment environment = session_.QuickMeasure();
    environment.deviceCheck.makeWindow = QtCheckWindowFactory();
    environment.deviceCheck.applicationName = brand_.title;
    environment.deviceCheck.texts.programName = brand_.title;
    environment.deviceCheck.texts.programVersion = ProductVersionMessage(ProgramVersionText());
    std::optional<SimulatedMicrophone> microphone;
    if (session_.Simulated()) {
        AppSession* session = &session_;
        microphone = SimulatedMicrophone{[session](int p) { session->MoveMicrophone(p); },
                                         session_.MicrophonePosition(), kMaxPositions};
    }
    {
        CQuickMeasureDlg dialog(bridge_, std::move(environment), frame_.get(), microphone);
        dialog.exec();
    }
    SaveSimulation();
}

void CTessalineApp::SaveSimulation() {
    try {
        session_.Finish();
    } catch (const std::exception& e) {
        prompt_.MessageBox(L"The simulated subwoofer could not be saved.\n" + tsl::ExceptionText(e),
                           brand_.title, Threading::MsgButtons::Ok, Threading::MsgIcon::Error);
    }
}

void CTessalineApp::RunWelcomeChoice() {
    if (!frame_ || !welcome_)
        return;
    if (*welcome_ == kWelcomeMeasure)
        MeasureCommand(*presenter_);
    else
        presenter_->Open();
}
