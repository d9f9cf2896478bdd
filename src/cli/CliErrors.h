#pragma once
// The failures a command raises and its plain output, without the option parser.

#include <stdexcept>
#include <string>

namespace cli {

// Bad input found by a command (missing file, wrong format): printed as one line, exit 2.
class CliFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A malformed or out-of-range option value: printed as one line, exit 1 as for any usage error.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Writes text with a trailing line feed to stdout (UTF-8).
void PrintLine(const std::string& text);

}  // namespace cli
