// The libusb transport on a machine where no subwoofer is attached, and the id lists.

#include <gtest/gtest.h>

#include "sublink/UsbComm.h"
#include "sublink/UsbIds.h"
#ifdef TESSALINE_HAVE_LIBUSB
#include "sublink/LibusbTransport.h"
#endif

using namespace CUsbController;

namespace {

TEST(UsbIdList, ParsesVendorProductPairs) {
    auto id = ParseUsbId("04d8:F00D");
    ASSERT_TRUE(id);
    EXPECT_EQ(id->vendor, 0x04D8);
    EXPECT_EQ(id->product, 0xF00D);
    EXPECT_FALSE(ParseUsbId("04d8"));
    EXPECT_FALSE(ParseUsbId("04d8:"));
    EXPECT_FALSE(ParseUsbId("12345:0001"));
    EXPECT_FALSE(ParseUsbId("-1:0001"));
    std::vector<UsbId> ids;
    EXPECT_TRUE(ParseUsbIdList("0001:0002,0003:0004,", ids));
    EXPECT_EQ(ids.size(), 2u);
    EXPECT_FALSE(ParseUsbIdList("0001:0002,zz:1", ids));
}

#ifdef TESSALINE_HAVE_LIBUSB
TEST(LibusbTransport, NoMatchingDeviceOpensNothing) {
    // An id no device carries (the reserved vendor id 0xFFFF).
    auto bus = std::make_shared<LibusbBus>(std::vector<UsbId>{{0xFFFF, 0xFFFE}});
    EXPECT_EQ(CountDevices(*bus), 0u);
    std::wstring status;
    PipePair pipes;
    EXPECT_FALSE(OpenDevice(*bus, 0, status, pipes));
    EXPECT_FALSE(status.empty());

    Threading::VirtualClock clock;
    CUsbComm channel(bus, &clock);
    EXPECT_FALSE(channel.OpenAnyDevice());
    unsigned total = 9, busy = 9, unrecognised = 9, recognised = 9;
    EXPECT_FALSE(channel.CensusDevices(total, busy, unrecognised, recognised));
    EXPECT_EQ(total + busy + unrecognised + recognised, 0u);
    EXPECT_FALSE(channel.IsOpen());
    EXPECT_EQ(clock.Elapsed(), Threading::IClock::Duration::zero());
}

TEST(LibusbTransport, WithoutIdsNothingIsASubwoofer) {
    LibusbBus bus({});
    EXPECT_EQ(CountDevices(bus), 0u);
}
#endif

}  // namespace
