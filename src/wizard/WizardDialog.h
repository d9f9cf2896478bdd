#pragma once
// The wizard dialog's logic, written once against abstract drawing operations. The Qt dialog,
// the console front-end and test doubles derive from it and only draw.

#include <mutex>
#include <optional>
#include <string>

#include "threading/MessageBridge.h"
#include "threading/UiCall.h"
#include "wizard/ProcDialog.h"
#include "wizard/WizardStep.h"

class WizardController;

inline constexpr int kSeveralStepsTemplate = 132;
inline constexpr int kOneStepTemplate = 133;

// Control ids of both dialog templates.
inline constexpr int IDC_START = 1031;
inline constexpr int IDC_ABORT_STAGE = 1032;
inline constexpr int IDC_STATUS = 1033;
inline constexpr int IDC_PROGRESS = 1034;
inline constexpr int IDC_AUTO_PROCEED = 1042;    // several-steps template only
inline constexpr int IDC_SAVE_EACH_STEP = 1043;  // several-steps template only

// Modal results.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Template texts the drawing side shows.
inline constexpr wchar_t kTemplateCaption[] = L"Set caption to application name";
inline constexpr wchar_t kStartText[] = L"Start";
inline constexpr wchar_t kAbortStageText[] = L"Abort stage";
inline constexpr wchar_t kAutoProceedText[] = L"Automatically proceed to the next step";
inline constexpr wchar_t kSaveEachStepText[] = L"Save progress after each step";

inline constexpr wchar_t kApplicationTitle[] = L"Tessaline";

struct WizardDialogSetup {
    WizardController* controller = nullptr;
    Threading::IWindow* parent = nullptr;
    std::wstring title;
    void* arg1 = nullptr;
    void* arg2 = nullptr;
    SaveCallback saveCallback = nullptr;
    void* saveData = nullptr;
    int templateId = kOneStepTemplate;
    Threading::MessageBridge* bridge = nullptr;  // null: the controller's
    std::wstring applicationTitle = kApplicationTitle;
};

class WizardDialog : public IProcDialog, public Threading::IWindow {
public:
    explicit WizardDialog(const WizardDialogSetup& setup);
    ~WizardDialog() override;

    // Shows the dialog and returns IDOK or IDCANCEL. The concrete dialog attaches its window,
    // calls OnInitDialog, delivers the bridge's messages until EndDialog, then detaches.
    virtual int DoModal() = 0;

    // IProcDialog
    uint32_t GetUserData() const override { return userData_.load(); }
    void SetUserData(uint32_t value) override { userData_.store(value); }
    Threading::WindowHandle GetHwnd() const override { return hwnd_.load(); }
    void SetDisplayString(const std::wstring& text) override;
    void SetDetail(const std::wstring& text) override;
    Threading::IWindow* GetWnd() override { return this; }
    void SetTitle(const std::wstring& title) override;
    std::wstring GetTitle() const override;
    void SetRange(int32_t n) override;
    void SetPos(int32_t n) override;
    // Boxes of DialogPrompt(), asked on the UI thread whichever thread asks.
    Threading::IPrompt& Prompt() final { return uiPrompt_; }
    bool OnUiThread(const std::function<void()>& fn) override { return ui_.Run(fn); }

    // IWindow: UM_DONE, UM_SET_DISPLAY_STRING and the progress-bar messages.
    std::intptr_t OnMessage(const Threading::WND_MSG& message) override;

    // Message handlers (UI thread).
    bool OnInitDialog();
    void OnStart();
    void OnAbort();
    void OnOK() { OnAbort(); }
    void OnCancel() { OnAbort(); }
    std::intptr_t OnDone(std::uintptr_t wParam, std::intptr_t code);
    std::intptr_t OnSetDisplayString(const Threading::WND_MSG& message);

    bool OneStep() const { return templateId_ == kOneStepTemplate; }
    int TemplateId() const { return templateId_; }
    bool IsRunning() const { return running_.load() != 0; }
    const std::wstring& Status() const { return status_; }
    const std::wstring& Detail() const { return detail_; }
    WizardController* Controller() const { return controller_; }
    Threading::IWindow* Parent() const { return parent_; }
    Threading::MessageBridge& Bridge() const { return *bridge_; }

protected:
    // The front-end's own message boxes; UI thread only.
    virtual Threading::IPrompt& DialogPrompt() = 0;

    // Window existence: registers with the bridge's window registry (UI thread).
    void AttachWindow();
    void DetachWindow();

    // Drawing, UI thread only.
    virtual void DrawCaption(const std::wstring& caption) = 0;
    virtual void DrawEnable(int controlId, bool enabled) = 0;
    virtual void DrawCheck(int controlId, bool checked) = 0;
    virtual bool IsChecked(int controlId) const = 0;
    virtual void DrawStatus(const std::wstring& text) = 0;
    // The line under the status; a front-end without one draws nothing.
    virtual void DrawDetail(const std::wstring& text) { (void)text; }
    virtual void DrawProgressRange(int32_t n) = 0;
    virtual void DrawProgressPos(int32_t n) = 0;
    // Ends the modal loop with result.
    virtual void EndDialog(int result) = 0;
    // Closes the abort question while it is open (its answer is then the declining one). A
    // front-end whose question cannot outlast the step needs nothing here.
    virtual void CloseQuestion() {}

    // The UI thread's own status changes.
    void SetStatus(const std::wstring& text);

private:
    void RunSaveCallback();

    WizardController* controller_;
    Threading::IWindow* parent_;
    Threading::MessageBridge* bridge_;
    int templateId_;
    std::wstring applicationTitle_;
    void* arg1_;
    void* arg2_;
    SaveCallback saveCallback_;
    void* saveData_;

    mutable std::mutex titleLock_;
    std::wstring title_;
    std::atomic<Threading::WindowHandle> hwnd_{Threading::kNoWindow};
    std::atomic<uint32_t> userData_{0};
    std::atomic<int32_t> running_{1};
    std::wstring status_;
    std::wstring detail_;
    // While the abort question is open the step waits at its next question, and the end of the
    // step is kept until the question has closed.
    bool asking_ = false;
    std::optional<std::intptr_t> doneWhileAsking_;
    // Made on the UI thread, with the dialog.
    Threading::UiCaller ui_;
    Threading::UiPrompt uiPrompt_;
};

// UM_SET_DISPLAY_STRING's wParam for the line under the status.
inline constexpr std::uintptr_t kDetailLine = 1;

// Status texts of the dialog.
inline constexpr wchar_t kPressStartText[] = L"Press start to begin.";
inline constexpr wchar_t kRunningText[] = L"Running...";
inline constexpr wchar_t kAbortingText[] = L"Aborting...";
inline constexpr wchar_t kNextStepText[] = L"Press start to start the next step.";
inline constexpr wchar_t kStepFailedText[] =
    L"The previous step failed.\n\rPress start to repeat the last step.";
inline constexpr wchar_t kAbortQuestion[] = L"Are you sure you want to abort?";
