#pragma once
// The exceptions that carry the final text the user sees. They live in namespace tsl because
// the standard namespace may not be extended.

#include <stdexcept>
#include <string>

namespace tsl {

std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

// A runtime error with a wide message.
class wruntime_error : public std::runtime_error {
public:
    explicit wruntime_error(std::wstring message)
        : std::runtime_error(ToUtf8(message)), message_(std::move(message)) {}
    const std::wstring& wwhat() const noexcept { return message_; }

private:
    std::wstring message_;
};

// A message with a numeric code that selects a longer advisory text.
class TCodedException : public wruntime_error {
public:
    TCodedException(int code, std::wstring message)
        : wruntime_error(std::move(message)), code_(code) {}
    int code() const noexcept { return code_; }

private:
    int code_;
};

// A wide runtime error whose text is made from a platform result code.
class HrException : public wruntime_error {
public:
    HrException(long result, std::wstring message)
        : wruntime_error(std::move(message)), result_(result) {}
    long result() const noexcept { return result_; }

private:
    long result_;
};

// The wide text of any exception: wwhat() for ours, the UTF-8 what() otherwise.
std::wstring ExceptionText(const std::exception& e);

}  // namespace tsl
