#include "wizard/WizardController.h"

#include <stdexcept>

#include "threading/Errors.h"
#include "threading/RegisteredMessages.h"
#include "wizard/ProcDialog.h"
#include "wizard/WizardDialog.h"

WizardController::WizardController(std::vector<WizardStep> steps, Threading::MessageBridge& bridge)
    : steps_(std::move(steps)), current_(steps_.empty() ? ~STEP{0} : STEP{0}), bridge_(bridge) {}

WizardController::~WizardController() {
    worker_.reset();
}

std::unique_ptr<WizardDialog> WizardController::CreateDialog(const DialogFactory& factory,
                                                             Threading::IWindow* parentWindow,
                                                             std::wstring title, void* arg1,
                                                             void* arg2, SaveCallback saveCallback,
                                                             void* saveData) {
    WizardDialogSetup setup;
    setup.controller = this;
    setup.bridge = &bridge_;
    setup.parent = parentWindow;
    setup.title = std::move(title);
    setup.arg1 = arg1;
    setup.arg2 = arg2;
    setup.saveCallback = saveCallback;
    setup.saveData = saveData;
    setup.templateId = steps_.size() == 1 ? kOneStepTemplate : kSeveralStepsTemplate;
    setup.bridge = &bridge_;
    if (!factory)
        throw std::runtime_error("WizardController::CreateDialog called without a dialog factory");
    return factory(setup);
}

void WizardController::Start(IProcDialog* progress, const WizardStartParameters& parameters) {
    if (worker_ || progress_)
        throw std::runtime_error("Start called on already runing Wizard");
    progress_ = progress;
    parameters_ = parameters;
    worker_ = std::make_unique<Threading::UIThreadHandler<WizardController, unsigned>>(
        progress ? &progress->Prompt() : nullptr);
    try {
        RunStep(current_.load());
    } catch (...) {
        PostDone(STEP_FAILED);
    }
}

void WizardController::RunStep(STEP step) {
    if (step >= steps_.size())
        throw std::runtime_error(
            "void WizardControler::RunStep(STEP step) called with invalid step");
    if (!worker_ || !progress_)
        throw std::runtime_error("WizardController::RunStep called before Start");
    progress_->SetTitle(steps_[step].name);
    worker_->AddTask(&WizardController::ThreadBody, this, step);
}

void WizardController::ThreadBody(unsigned step) {
    if (step >= steps_.size()) {
        Finish(step, false);
        return;
    }
    const WizardStep& current = steps_[step];
    bool succeeded = false;
    try {
        if (!current.function)
            throw tsl::wruntime_error(L"This step is not available.");
        succeeded = current.function(progress_, parameters_.arg1, parameters_.arg2);
    } catch (const std::exception& e) {
        succeeded = false;
        const std::wstring text = tsl::ExceptionText(e) + L"\n" + current.name + L" failed.";
        {
            std::lock_guard<std::mutex> g(failureLock_);
            failure_ = text;
        }
        try {
            ShowStepMessage(progress_, text, Threading::MsgButtons::Ok, Threading::MsgIcon::Error);
        } catch (...) {
            // The failure is still reported below.
        }
    } catch (...) {
        // Not a message-carrying exception. Report it here, while the dialog that owns the
        // prompt is certainly still open, and end the step as failed so the dialog closes.
        succeeded = false;
        {
            std::lock_guard<std::mutex> g(failureLock_);
            failure_ = L"Unhandled exception.\n" + current.name + L" failed.";
        }
        Threading::ReportUnhandledException(progress_ ? &progress_->Prompt() : nullptr);
    }
    Finish(step, succeeded);
}

std::wstring WizardController::FailureText() const {
    std::lock_guard<std::mutex> g(failureLock_);
    return failure_;
}

void WizardController::Finish(STEP step, bool succeeded) {
    if (!succeeded) {
        ClearPendingTasks();
    } else {
        current_.store(step + 1);
    }
    PostDone(succeeded ? STEP_SUCCEEDED : STEP_FAILED);
}

void WizardController::ClearPendingTasks() {
    if (worker_)
        worker_->ClearTasks();
}

void WizardController::PostDone(std::intptr_t code) {
    Threading::WindowHandle hwnd = progress_ ? progress_->GetHwnd() : Threading::kNoWindow;
    bridge_.PostToWindow(hwnd, Threading::Messages().UM_DONE, 0, code);
}

void RunNext(WizardController& controller) {
    try {
        controller.RunStep(controller.Current());
    } catch (...) {
        controller.PostDone(STEP_FAILED);
    }
}
