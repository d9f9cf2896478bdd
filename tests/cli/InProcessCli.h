#pragma once
// Runs tessaline-cli's command line in this process through the commands' library, in a fresh
// folder per test: string streams, no terminal, the simulated scene or a USB bus without devices.

#include <memory>
#include <mutex>
#include <sstream>
#include <streambuf>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "cli/CliRunner.h"
#include "sublink/UsbEnvironment.h"

namespace testsupport {

// Text that several threads may write at once, as the USB trace and the progress share stderr.
class SharedText final : public std::streambuf {
public:
    std::string Text() {
        std::lock_guard<std::mutex> hold(lock_);
        return text_;
    }

protected:
    int_type overflow(int_type c) override {
        if (!traits_type::eq_int_type(c, traits_type::eof())) {
            std::lock_guard<std::mutex> hold(lock_);
            text_.push_back(traits_type::to_char_type(c));
        }
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        std::lock_guard<std::mutex> hold(lock_);
        text_.append(s, static_cast<size_t>(n));
        return n;
    }

private:
    std::mutex lock_;
    std::string text_;
};

// Cli() runs the command line (words split at spaces) with an empty input that is no terminal,
// so any prompt not answered by options fails instead of waiting. Without --simulate the
// commands see a USB bus without devices and no microphone.
class InProcessCliTest : public CliFolderTest {
protected:
    using CliFolderTest::CliFolderTest;

    CliRun Cli(const std::string& args) {
        std::vector<std::string> words{"tessaline-cli"};
        std::istringstream split(args);
        for (std::string word; split >> word;)
            words.push_back(word);
        std::vector<const char*> argv;
        for (const std::string& word : words)
            argv.push_back(word.c_str());
        std::istringstream in;
        SharedText out, err;
        std::ostream outStream(&out), errStream(&err);
        cli::Program program;
        program.version = "0.0.0.0";
        program.backends.usbBus = [](std::vector<CUsbController::UsbId>) {
            return std::make_shared<CUsbController::EmptyUsbBus>();
        };
        CliRun r;
        r.code = cli::RunCommandLine(static_cast<int>(argv.size()), argv.data(),
                                     cli::Io{in, outStream, errStream, false, false}, program);
        r.out = out.Text();
        r.err = err.Text();
        return r;
    }
};
}  // namespace testsupport
