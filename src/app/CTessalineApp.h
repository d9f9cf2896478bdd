#pragma once
// The application: the message bridge drained by a 1 ms timer on the UI thread, the one
// document, the main frame and its logic, the wizards' environment, and the start-up sequence.

#include <QObject>
#include <QSettings>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>

#include "app/AppOptions.h"
#include "app/AppSession.h"
#include "app/MainPresenter.h"
#include "app/QtPrompt.h"
#include "document/TessalineDoc.h"
#include "threading/MessageBridge.h"

class CMainFrame;

class CTessalineApp : public QObject {
    Q_OBJECT
public:
    // session (the devices) must outlive the application.
    CTessalineApp(const AppOptions& options, AppSession& session);
    ~CTessalineApp() override;

    // The start-up sequence up to the shown main window: the welcome dialog when no document
    // is named (anything but OK ends here, false, before any window), then the frame with the
    // document (a new one after the message when it cannot be opened), shown maximised; the
    // welcome choice runs once the event loop turns. False: the program ends.
    bool Start();

    // The steps' environment: the session's devices with this program's dialogs.
    WizardEnvironment Wizards();
    // File > History's Restore step for a record, on the session's devices.
    std::function<StepFunction(const History::Record&, int)> RestoreSteps();

    Threading::MessageBridge& Bridge() { return bridge_; }
    CTessalineDoc& Document() { return document_; }
    CMainFrame* Frame() const { return frame_.get(); }
    MainPresenter* Presenter() const { return presenter_.get(); }
    const BrandResources& Brand() const { return brand_; }
    // The welcome choice made at start-up, if the dialog was shown.
    std::optional<int> WelcomeChoice() const { return welcome_; }
    // Skips showing the frame (tests that only drive the logic).
    void SetShowFrame(bool show) { showFrame_ = show; }
    // Tools > Quick Measure: the live view, modal over the frame.
    void OpenQuickMeasure();

private:
    void RunWelcomeChoice();
    // Saves the simulated subwoofer's state now; a failure is shown.
    void SaveSimulation();

    AppOptions options_;
    AppSession& session_;
    const BrandResources& brand_;
    QSettings settings_;
    Threading::MessageBridge bridge_;
    QTimer drain_;
    QtPrompt prompt_;
    CTessalineDoc document_;
    std::unique_ptr<CMainFrame> frame_;
    Threading::WindowHandle frameHandle_ = Threading::kNoWindow;
    std::unique_ptr<MainPresenter> presenter_;
    std::optional<int> welcome_;
    bool showFrame_ = true;
};
