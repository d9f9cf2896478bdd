// The transport rules every platform shares, exercised on simulated devices, and the receive
// queue.

#include <gtest/gtest.h>

#include "sim_fixture.h"
#include "sublink/ByteQueue.h"
#include "sublink/UsbTransport.h"

using namespace CUsbController;
using namespace simtest;

namespace {

class Transport : public SimChannel {};

TEST_F(Transport, CountsAndOpensInEnumerationOrder) {
    bus->Add(Options(275));
    bus->Add(Options(276));
    EXPECT_EQ(CountDevices(*bus), 2u);

    std::wstring status;
    PipePair pipes;
    auto second = OpenDevice(*bus, 1, status, pipes);
    ASSERT_TRUE(second);
    EXPECT_EQ(status, L"The WinUSB device has been initialized");
    EXPECT_EQ(pipes.in, 0x81);
    EXPECT_EQ(pipes.out, 0x01);
    uint16_t release = 0;
    ASSERT_TRUE(second->ReadReleaseNumber(release));
    EXPECT_EQ(release, 276);
    EXPECT_TRUE(second->CloseDevice());
}

TEST_F(Transport, NoDeviceMeansNothingOpens) {
    EXPECT_EQ(CountDevices(*bus), 0u);
    std::wstring status;
    PipePair pipes;
    EXPECT_FALSE(OpenDevice(*bus, 0, status, pipes));
    EXPECT_FALSE(status.empty());
    EXPECT_EQ(pipes.in, kNoPipe);
}

TEST_F(Transport, BulkOnlyInterfaceIsClosedAgain) {
    bus->Add(Options(275, {"bulk-only"}));
    std::wstring status;
    PipePair pipes;
    EXPECT_FALSE(OpenDevice(*bus, 0, status, pipes));
    // Closed again: a second open is refused for the same reason, not as a device in use.
    EXPECT_FALSE(OpenDevice(*bus, 0, status, pipes));
    EXPECT_EQ(status.find(L"used by another process"), std::wstring::npos);
}

TEST_F(Transport, BusyDeviceFailsToOpenWithTheSystemText) {
    bus->Add(Options(275, {"busy"}));
    std::wstring status;
    PipePair pipes;
    EXPECT_FALSE(OpenDevice(*bus, 0, status, pipes));
    EXPECT_NE(status.find(L"used by another process"), std::wstring::npos);
}

TEST_F(Transport, UnreadableDescriptorGivesNoReleaseNumber) {
    bus->Add(Options(275, {"no-descriptor"}));
    std::wstring status;
    PipePair pipes;
    auto device = OpenDevice(*bus, 0, status, pipes);
    ASSERT_TRUE(device);
    uint16_t release = 0;
    EXPECT_FALSE(device->ReadReleaseNumber(release));
    EXPECT_EQ(release, kNoReleaseNumber);
}

// A backend whose every call would be a fault if it were made.
class NeverCalled final : public IUsbDeviceBackend {
public:
    int calls = 0;
    int fileCloses = 0;
    UsbStatus Call() {
        ++calls;
        return UsbStatus::Ok();
    }
    UsbStatus OpenFile(const std::wstring&) override { return Call(); }
    void CloseFile() override { ++fileCloses; }
    UsbStatus InitializeInterface() override { return Call(); }
    UsbStatus FreeInterface() override { return Call(); }
    UsbStatus QueryInterfaceSettings(uint8_t&) override { return Call(); }
    UsbStatus QueryPipe(uint8_t, UsbPipeInfo&) override { return Call(); }
    UsbStatus SetPipeTimeout(uint8_t, uint32_t) override { return Call(); }
    UsbStatus ControlTransfer(const UsbSetupPacket&) override { return Call(); }
    UsbStatus GetDeviceDescriptor(uint8_t*, size_t, size_t&) override { return Call(); }
    UsbStatus WritePipe(uint8_t, const uint8_t*, size_t, size_t&) override { return Call(); }
    UsbStatus ReadPipe(uint8_t, uint8_t*, size_t, size_t&) override { return Call(); }
};

TEST(TransportDevice, UninitialisedHandleFailsWithoutAPlatformCall) {
    auto backend = std::make_unique<NeverCalled>();
    NeverCalled* raw = backend.get();
    CWinUsbDevice device(std::move(backend));
    EXPECT_FALSE(device.SendControl(0x80));
    EXPECT_EQ(device.LastError(), L"WinUsb handle has not been initialized");
    uint8_t buffer[kReadChunk];
    size_t got = 0;
    UsbError error;
    EXPECT_FALSE(device.ReadIn(0x81, buffer, got, error));
    EXPECT_FALSE(device.CloseDevice());
    EXPECT_EQ(device.LastError(), L"WinUsb handle has not been initialized");
    EXPECT_EQ(raw->calls, 0);
}

TEST(ByteQueueTest, ReadExactlyGivesUpAfterTheQuietTime) {
    Threading::VirtualClock clock(std::chrono::milliseconds(5));
    CByteQueue q(clock);
    const uint8_t bytes[] = {1, 2, 3};
    q.Push(bytes, 3);
    uint8_t out[8] = {};
    EXPECT_EQ(q.ReadExactly(out, 8), 3u);
    EXPECT_EQ(out[2], 3);
    EXPECT_GE(clock.Elapsed(), std::chrono::milliseconds(500));
    uint8_t b;
    EXPECT_FALSE(q.PopOne(b));
}

TEST(ByteQueueTest, DropsWhatExceedsItsCapacity) {
    Threading::VirtualClock clock;
    CByteQueue q(clock);
    std::vector<uint8_t> lots(CByteQueue::kCapacity + 10, 'x');
    q.Push(lots.data(), lots.size());
    EXPECT_EQ(q.Size(), CByteQueue::kCapacity);
    EXPECT_EQ(q.Dropped(), 10u);
}

}  // namespace
