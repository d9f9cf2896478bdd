#pragma once
// The failures a command raises and its plain output, without the option parser.

#include <iosfwd>
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

// Writes text with a trailing line feed to out (UTF-8). Carriage returns are dropped: the
// system's texts end lines with "\n\r" for the windows, a terminal gets plain line feeds.
void PrintLine(std::ostream& out, const std::string& text);

}  // namespace cli
