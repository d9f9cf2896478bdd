#include "wizard/WizardDialog.h"

#include <stdexcept>

#include <cstdio>

#include "threading/Errors.h"
#include "threading/RegisteredMessages.h"
#include "wizard/WizardController.h"

using Threading::MsgButtons;
using Threading::MsgIcon;
using Threading::MsgResult;

Threading::MsgResult ShowStepMessage(IProcDialog* progress, const std::wstring& text,
                                     Threading::MsgButtons buttons, Threading::MsgIcon icon) {
    if (progress == nullptr) {
        std::fprintf(stderr, "%s\n", tsl::ToUtf8(text).c_str());
        return MsgResult::Cancel;
    }
    return progress->Prompt().MessageBox(text, progress->GetTitle(), buttons, icon);
}

WizardDialog::WizardDialog(const WizardDialogSetup& setup)
    : controller_(setup.controller),
      parent_(setup.parent),
      bridge_(setup.bridge       ? setup.bridge
              : setup.controller ? &setup.controller->Bridge()
                                 : throw std::logic_error("a wizard dialog needs a bridge")),
      templateId_(setup.templateId),
      applicationTitle_(setup.applicationTitle),
      arg1_(setup.arg1),
      arg2_(setup.arg2),
      saveCallback_(setup.saveCallback),
      saveData_(setup.saveData),
      title_(setup.title),
      ui_(*bridge_),
      uiPrompt_(ui_, [this]() -> Threading::IPrompt& { return DialogPrompt(); }) {}

WizardDialog::~WizardDialog() {
    DetachWindow();
}

void WizardDialog::AttachWindow() {
    if (hwnd_.load() == Threading::kNoWindow)
        hwnd_.store(bridge_->Windows().Register(this));
}

void WizardDialog::DetachWindow() {
    Threading::WindowHandle h = hwnd_.exchange(Threading::kNoWindow);
    if (h != Threading::kNoWindow)
        bridge_->Windows().Unregister(h);
}

void WizardDialog::SetDisplayString(const std::wstring& text) {
    Threading::WindowHandle h = hwnd_.load();
    if (h != Threading::kNoWindow)
        bridge_->PostText(h, Threading::Messages().UM_SET_DISPLAY_STRING, 0, text);
}

void WizardDialog::SetDetail(const std::wstring& text) {
    Threading::WindowHandle h = hwnd_.load();
    if (h != Threading::kNoWindow)
        bridge_->PostText(h, Threading::Messages().UM_SET_DISPLAY_STRING, kDetailLine, text);
}

void WizardDialog::SetTitle(const std::wstring& title) {
    {
        std::lock_guard<std::mutex> g(titleLock_);
        title_ = title;
    }
    DrawCaption(title);
}

std::wstring WizardDialog::GetTitle() const {
    std::lock_guard<std::mutex> g(titleLock_);
    return title_;
}

void WizardDialog::SetRange(int32_t n) {
    Threading::WindowHandle h = hwnd_.load();
    if (h == Threading::kNoWindow)
        return;
    range_.store(n);
    position_.store(0);
    bridge_->PostToWindow(h, Threading::PBM_SETRANGE32, 0, n);
    SetPos(0);
}

void WizardDialog::SetPos(int32_t n) {
    Threading::WindowHandle h = hwnd_.load();
    if (h == Threading::kNoWindow)
        return;
    position_.store(n);
    bridge_->PostToWindow(h, Threading::PBM_SETPOS, static_cast<std::uintptr_t>(n), 0);
}

std::intptr_t WizardDialog::OnMessage(const Threading::WND_MSG& message) {
    const auto& m = Threading::Messages();
    if (message.message == m.UM_DONE)
        return OnDone(message.wParam, message.lParam);
    if (message.message == m.UM_SET_DISPLAY_STRING)
        return OnSetDisplayString(message);
    if (message.message == Threading::PBM_SETRANGE32) {
        DrawProgressRange(static_cast<int32_t>(message.lParam));
        return 0;
    }
    if (message.message == Threading::PBM_SETPOS) {
        DrawProgressPos(static_cast<int32_t>(message.wParam));
        return 0;
    }
    return 0;
}

void WizardDialog::SetStatus(const std::wstring& text) {
    status_ = text;
    DrawStatus(text);
}

bool WizardDialog::OnInitDialog() {
    DrawCaption(GetTitle());
    // Without steps nothing could ever close the dialog.
    if (controller_ == nullptr || controller_->StepCount() == 0) {
        EndDialog(IDCANCEL);
        return true;
    }
    if (!OneStep()) {
        DrawCheck(IDC_AUTO_PROCEED, true);
        DrawCheck(IDC_SAVE_EACH_STEP, true);
    }
    DrawEnable(IDC_ABORT_STAGE, false);
    SetStatus(kPressStartText);
    if (OneStep())
        OnStart();
    return true;
}

void WizardDialog::OnStart() {
    if (!OneStep()) {
        DrawEnable(IDC_AUTO_PROCEED, false);
        DrawEnable(IDC_SAVE_EACH_STEP, false);
    }
    DrawEnable(IDC_START, false);
    DrawEnable(IDC_ABORT_STAGE, true);
    SetStatus(kRunningText);
    detail_.clear();
    DrawDetail(detail_);
    ui_.Reset();
    if (controller_ == nullptr) {
        // Nothing to run: report the failure the way a step would.
        bridge_->PostToWindow(GetHwnd(), Threading::Messages().UM_DONE, 0, STEP_FAILED);
        return;
    }
    if (controller_->Progress() != nullptr) {
        RunNext(*controller_);
        return;
    }
    WizardStartParameters p;
    if (OneStep()) {
        p.saveAfterStep = true;
        p.autoProceed = false;
    } else {
        p.autoProceed = IsChecked(IDC_AUTO_PROCEED);
        p.saveAfterStep = IsChecked(IDC_SAVE_EACH_STEP);
    }
    p.arg1 = arg1_;
    p.arg2 = arg2_;
    if (p.saveAfterStep && saveCallback_ != nullptr) {
        p.saveCallback = saveCallback_;
        p.saveData = saveData_;
    } else {
        p.saveAfterStep = false;
    }
    controller_->Start(this, p);
}

void WizardDialog::OnAbort() {
    // Before the first start there is no step to abort.
    if (running_.load() == 0 || controller_ == nullptr || controller_->Progress() == nullptr)
        return;
    if (asking_)
        return;
    MsgResult answer = MsgResult::No;
    asking_ = true;
    ui_.Hold();
    try {
        answer = Prompt().MessageBox(kAbortQuestion, applicationTitle_, MsgButtons::YesNo,
                                     MsgIcon::Question);
    } catch (...) {
        // A question that cannot be asked is not a Yes.
    }
    asking_ = false;
    if (doneWhileAsking_) {
        // The step ended while the question was open: the question has closed unanswered.
        const std::intptr_t code = *doneWhileAsking_;
        doneWhileAsking_.reset();
        ui_.Release();
        OnDone(0, code);
        return;
    }
    if (answer != MsgResult::Yes) {
        ui_.Release();
        return;
    }
    DrawEnable(IDC_ABORT_STAGE, false);
    SetStatus(kAbortingText);
    // A step waiting to ask the user gets the declining answer instead.
    ui_.Cancel();
    ui_.Release();
    if (running_.exchange(0) != 0)
        controller_->ClearPendingTasks();
}

void WizardDialog::RunSaveCallback() {
    if (controller_ == nullptr)
        return;
    const WizardStartParameters& p = controller_->Parameters();
    if (!p.saveAfterStep || p.saveCallback == nullptr)
        return;
    try {
        p.saveCallback(p.saveData);
    } catch (const std::exception& e) {
        // The step's result stands; the user learns that the save did not happen.
        try {
            Prompt().MessageBox(tsl::ExceptionText(e), applicationTitle_, MsgButtons::Ok,
                                MsgIcon::Error);
        } catch (...) {
        }
    }
}

std::intptr_t WizardDialog::OnDone(std::uintptr_t, std::intptr_t code) {
    if (asking_) {
        doneWhileAsking_ = code;
        CloseQuestion();
        return 0;
    }
    if (OneStep()) {
        if (code == STEP_SUCCEEDED) {
            RunSaveCallback();
            if (controller_ != nullptr && controller_->Parameters().autoProceed)
                RunNext(*controller_);
            EndDialog(IDOK);
        } else {
            EndDialog(IDCANCEL);
        }
        return 0;
    }
    if (code == STEP_SUCCEEDED) {
        RunSaveCallback();
        if (controller_ == nullptr || controller_->Current() >= controller_->StepCount()) {
            EndDialog(IDOK);
        } else if (controller_->Parameters().autoProceed && IsRunning()) {
            // After an abort the next step waits for Start instead of running by itself.
            RunNext(*controller_);
        } else {
            SetStatus(kNextStepText);
            DrawEnable(IDC_START, true);
            DrawEnable(IDC_ABORT_STAGE, false);
        }
    } else if (code == STEP_FAILED) {
        SetStatus(kStepFailedText);
        DrawEnable(IDC_START, true);
        DrawEnable(IDC_ABORT_STAGE, false);
    }
    return 0;
}

std::intptr_t WizardDialog::OnSetDisplayString(const Threading::WND_MSG& message) {
    if (message.wParam == kDetailLine) {
        detail_ = message.Text();
        DrawDetail(detail_);
        return 0;
    }
    SetStatus(message.Text());
    return 0;
}
