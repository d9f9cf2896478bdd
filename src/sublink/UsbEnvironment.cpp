#include <mutex>

#include "sublink/UsbEnvironment.h"
#include "sublink/UsbTrace.h"

namespace CUsbController {

namespace {
std::mutex& EnvLock() {
    static std::mutex lock;
    return lock;
}
std::shared_ptr<IUsbBus>& BusSlot() {
    static std::shared_ptr<IUsbBus> bus;
    return bus;
}
Threading::IClock*& ClockSlot() {
    static Threading::IClock* clock = nullptr;
    return clock;
}
UsbTraceSink& TraceSlot() {
    static UsbTraceSink sink;
    return sink;
}
}  // namespace

std::shared_ptr<IUsbBus> DefaultUsbBus() {
    std::lock_guard<std::mutex> g(EnvLock());
    if (!BusSlot())
        BusSlot() = std::make_shared<EmptyUsbBus>();
    return BusSlot();
}

void SetDefaultUsbBus(std::shared_ptr<IUsbBus> bus) {
    std::lock_guard<std::mutex> g(EnvLock());
    BusSlot() = std::move(bus);
}

Threading::IClock& DefaultUsbClock() {
    std::lock_guard<std::mutex> g(EnvLock());
    return ClockSlot() ? *ClockSlot() : Threading::RealClock::Instance();
}

void SetDefaultUsbClock(Threading::IClock* clock) {
    std::lock_guard<std::mutex> g(EnvLock());
    ClockSlot() = clock;
}

void SetUsbTrace(UsbTraceSink sink) {
    std::lock_guard<std::mutex> g(EnvLock());
    TraceSlot() = std::move(sink);
}

bool UsbTraceEnabled() {
    std::lock_guard<std::mutex> g(EnvLock());
    return static_cast<bool>(TraceSlot());
}

void UsbTrace(const std::string& line) {
    UsbTraceSink sink;
    {
        std::lock_guard<std::mutex> g(EnvLock());
        sink = TraceSlot();
    }
    if (sink)
        sink(line);
}

}  // namespace CUsbController
