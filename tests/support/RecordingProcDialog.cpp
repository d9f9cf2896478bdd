#include "support/RecordingProcDialog.h"

namespace testing_support {

void RecordingProcDialog::SetDisplayString(const std::wstring& text) {
    std::lock_guard<std::mutex> g(lock_);
    statuses_.push_back(text);
}

void RecordingProcDialog::SetDetail(const std::wstring& text) {
    std::lock_guard<std::mutex> g(lock_);
    details_.push_back(text);
}

void RecordingProcDialog::SetTitle(const std::wstring& title) {
    std::lock_guard<std::mutex> g(lock_);
    title_ = title;
}

std::wstring RecordingProcDialog::GetTitle() const {
    std::lock_guard<std::mutex> g(lock_);
    return title_;
}

void RecordingProcDialog::SetRange(int32_t n) {
    range_.store(n);
    SetPos(0);
}

void RecordingProcDialog::SetPos(int32_t n) {
    position_.store(n);
    std::lock_guard<std::mutex> g(lock_);
    positions_.push_back(n);
}

std::vector<std::wstring> RecordingProcDialog::Statuses() const {
    std::lock_guard<std::mutex> g(lock_);
    return statuses_;
}

std::vector<std::wstring> RecordingProcDialog::Details() const {
    std::lock_guard<std::mutex> g(lock_);
    return details_;
}

std::vector<int32_t> RecordingProcDialog::Positions() const {
    std::lock_guard<std::mutex> g(lock_);
    return positions_;
}

}  // namespace testing_support
