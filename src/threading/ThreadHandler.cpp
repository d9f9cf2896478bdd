#include "threading/ThreadHandler.h"

#include <cstdio>

namespace Threading {

const wchar_t kUnhandledExceptionText[] =
    L"Unhandled exception. Application termination is highly recommended.";

void ReportUnhandledException(IPrompt* prompt) noexcept {
    try {
        if (prompt != nullptr) {
            prompt->MessageBox(kUnhandledExceptionText, L"Error", MsgButtons::Ok, MsgIcon::Error);
            return;
        }
    } catch (...) {
        // The prompt itself failed; fall back to stderr below.
    }
    std::fprintf(stderr, "%s\n", tsl::ToUtf8(kUnhandledExceptionText).c_str());
}

}  // namespace Threading
