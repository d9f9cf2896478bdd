#include "sublink/Progress.h"

#include "threading/Errors.h"
#include "threading/RegisteredMessages.h"

namespace CUsbController {

namespace {
const wchar_t* const kDefaultCaption = L"VireonRoomCorrection";
}

Threading::WindowHandle Progress::HandleOf(Threading::IWindow*) {
    return Threading::kNoWindow;
}

Threading::WindowHandle Progress::GetHwnd() {
    Threading::IWindow* w = GetWnd();
    return w ? HandleOf(w) : Threading::kNoWindow;
}

void Progress::Abort() {
    SetStatus(L"Aborting...");
    aborted_ = 1;
}

bool Progress::IsAborted() const {
    return aborted_.load() != 0;
}

void Progress::CheckAbort() const {
    if (IsAborted())
        throw tsl::wruntime_error(L"User Abort");
}

std::wstring Progress::GetStatus() const {
    if (IsAborted())
        return L"User Aborted!";
    std::lock_guard<std::mutex> g(lock_);
    return status_;
}

void Progress::StoreStatus(const std::wstring& text) {
    std::lock_guard<std::mutex> g(lock_);
    status_ = text;
}

Threading::MsgResult Progress::MessageBox(const std::wstring& text, const std::wstring& caption,
                                          Threading::MsgButtons buttons) {
    if (!prompt_)
        return buttons == Threading::MsgButtons::YesNo ||
                       buttons == Threading::MsgButtons::YesNoCancel
                   ? Threading::MsgResult::Yes
                   : Threading::MsgResult::Ok;
    return prompt_->MessageBox(text, caption.empty() ? kDefaultCaption : caption, buttons,
                               Threading::MsgIcon::None);
}

MultiThreadedProgress::MultiThreadedProgress(Threading::WindowHandle statusWindow,
                                             Threading::WindowHandle progressBar,
                                             Threading::MessageBridge& bridge)
    : bridge_(bridge), statusWindow_(statusWindow), progressBar_(progressBar) {
    if (!IsAborted())
        bridge_.PostToWindow(progressBar_, Threading::PBM_SETRANGE32, 0, 0);
}

void MultiThreadedProgress::SetRange(uint32_t n) {
    if (IsAborted())
        return;
    range_ = n;
    position_ = 0;
    bridge_.PostToWindow(progressBar_, Threading::PBM_SETRANGE32, 0, static_cast<intptr_t>(n));
}

void MultiThreadedProgress::Step(uint32_t n) {
    if (IsAborted())
        return;
    position_ += n;
    bridge_.PostToWindow(progressBar_, Threading::PBM_SETPOS, position_.load(), 0);
}

void MultiThreadedProgress::SetStatus(const std::wstring& text) {
    if (IsAborted())
        return;
    StoreStatus(text);
    bridge_.PostText(statusWindow_, Threading::Messages().UM_SET_DISPLAY_STRING, 0, text);
}

Threading::IWindow* MultiThreadedProgress::GetWnd() {
    return bridge_.Windows().Find(statusWindow_);
}

}  // namespace CUsbController
