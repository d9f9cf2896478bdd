#pragma once
// A command channel on a simulated bus in virtual time.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "sim/SimBus.h"
#include "sublink/UsbProgrammer.h"
#include "threading/Clock.h"

namespace simtest {

using namespace std::chrono_literals;

inline Sim::Fault F(const std::string& text) {
    auto f = Sim::ParseFault(text);
    EXPECT_TRUE(f.has_value()) << text;
    return f.value_or(Sim::Fault{});
}

inline Sim::SimOptions Options(uint16_t model, std::vector<std::string> faults = {},
                               Sim::SimMode mode = Sim::SimMode::Application) {
    Sim::SimOptions o;
    o.modelId = model;
    o.mode = mode;
    for (const auto& f : faults)
        o.faults.push_back(F(f));
    return o;
}

class SimChannel : public ::testing::Test {
protected:
    // The grace is how long a wait lingers in real time before virtual time jumps to its end.
    Threading::VirtualClock clock{std::chrono::milliseconds(30)};
    std::shared_ptr<Sim::SimBus> bus = std::make_shared<Sim::SimBus>();
    // What the subwoofers added with Add end their reply lines with: "\n" or "\r\n".
    std::string lineEnd = "\n";

    std::shared_ptr<Sim::SimDevice> Add(Sim::SimOptions options) {
        if (lineEnd == "\r\n")
            options.faults.push_back(F("crlf"));
        return bus->Add(std::move(options));
    }
    // What a raw reply carries before its line feed besides the text.
    std::string CR() const { return lineEnd == "\r\n" ? "\r" : ""; }

    std::unique_ptr<CUsbController::CUsbProgrammer> Channel() {
        return std::make_unique<CUsbController::CUsbProgrammer>(bus, &clock);
    }

    static std::vector<std::string> Log(Sim::SimDevice& d) {
        return d.With([](Sim::SimFirmware& f) { return f.Log(); });
    }
    static size_t Count(const std::vector<std::string>& log, const std::string& command) {
        return static_cast<size_t>(std::count(log.begin(), log.end(), command));
    }
    static bool Contains(const std::vector<std::string>& log, const std::string& command) {
        return Count(log, command) > 0;
    }
    std::chrono::milliseconds Elapsed() const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(clock.Elapsed());
    }
};

// A suite run against subwoofers of both line endings.
class LineEndChannel : public SimChannel, public ::testing::WithParamInterface<std::string> {
protected:
    void SetUp() override { lineEnd = GetParam(); }
};

inline std::string LineEndName(const ::testing::TestParamInfo<std::string>& info) {
    return info.param == "\r\n" ? "CRLF" : "LF";
}

#define INSTANTIATE_LINE_ENDS(suite) \
    INSTANTIATE_TEST_SUITE_P(LineEnds, suite, ::testing::Values("\n", "\r\n"), simtest::LineEndName)

}  // namespace simtest
