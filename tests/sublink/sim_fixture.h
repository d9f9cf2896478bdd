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

}  // namespace simtest
