#pragma once
// Runs an ordered list of steps, one at a time, on its own worker thread and reports the end of
// each step to the dialog with UM_DONE through the message bridge.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "threading/MessageBridge.h"
#include "threading/ThreadHandler.h"
#include "wizard/WizardStep.h"

class WizardDialog;
struct WizardDialogSetup;

// Builds the concrete dialog (Qt, console, test double) from the setup.
using DialogFactory = std::function<std::unique_ptr<WizardDialog>(const WizardDialogSetup&)>;

// The parameters of Start, in order.
struct WizardStartParameters {
    bool saveAfterStep = false;
    bool autoProceed = false;
    void* arg1 = nullptr;
    void* arg2 = nullptr;
    SaveCallback saveCallback = nullptr;
    void* saveData = nullptr;
};

class WizardController {
public:
    WizardController(std::vector<WizardStep> steps, Threading::MessageBridge& bridge);
    WizardController(const WizardController&) = delete;
    WizardController& operator=(const WizardController&) = delete;
    // Stops and joins the worker; a queued step is discarded.
    ~WizardController();

    // One step uses the one-step layout (template 133), more the several-steps one (132).
    std::unique_ptr<WizardDialog> CreateDialog(const DialogFactory& factory,
                                               Threading::IWindow* parentWindow, std::wstring title,
                                               void* arg1, void* arg2, SaveCallback saveCallback,
                                               void* saveData);

    // Throws std::runtime_error when already started.
    void Start(IProcDialog* progress, const WizardStartParameters& parameters);
    // UI thread. Throws std::runtime_error for an index past the last step.
    void RunStep(STEP step);
    // Worker thread.
    void ThreadBody(unsigned step);

    // Drops every step still waiting in the worker's queue.
    void ClearPendingTasks();
    void PostDone(std::intptr_t code);

    size_t StepCount() const { return steps_.size(); }
    const std::vector<WizardStep>& Steps() const { return steps_; }
    STEP Current() const { return current_.load(); }
    bool HasWorker() const { return worker_ != nullptr; }
    IProcDialog* Progress() const { return progress_; }
    const WizardStartParameters& Parameters() const { return parameters_; }
    Threading::MessageBridge& Bridge() const { return bridge_; }
    // The message shown for the last step that failed by raising ("<text>\n<step> failed."),
    // empty when none did.
    std::wstring FailureText() const;

private:
    void Finish(STEP step, bool succeeded);

    std::unique_ptr<Threading::UIThreadHandler<WizardController, unsigned>> worker_;
    IProcDialog* progress_ = nullptr;
    WizardStartParameters parameters_;
    std::vector<WizardStep> steps_;
    std::atomic<STEP> current_;
    Threading::MessageBridge& bridge_;
    mutable std::mutex failureLock_;
    std::wstring failure_;
};

// Runs the current step; a failure to queue it becomes UM_DONE with STEP_FAILED.
void RunNext(WizardController& controller);
