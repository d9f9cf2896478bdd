// The libusb transport against an emulated USB device: the simulated subwoofer's firmware
// answers libusb's usbdevfs calls through umockdev. Runs under umockdev-wrapper.

#include <gtest/gtest.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>

#include "correction/EqResult.h"
#include "sim/SimFirmware.h"
#include "sublink/LibusbTransport.h"
#include "sublink/UsbProgrammer.h"
#include "threading/Clock.h"
#include "threading/Errors.h"

using namespace CUsbController;

namespace {

constexpr uint16_t kVendor = 0x1209;
constexpr uint16_t kProduct = 0x7e57;

// Device descriptor (release number 0x0113, model KT1), then one configuration with one
// interface of an interrupt IN (0x81) and an interrupt OUT (0x01) endpoint.
constexpr const char* kDescriptors =
    "12010002000000080912577e13010102000109022000010100803209040000"
    "02ff0000000705810308000107050103080001";
const uint8_t kDeviceDescriptor[18] = {0x12, 0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x08, 0x09,
                                       0x12, 0x57, 0x7e, 0x13, 0x01, 0x01, 0x02, 0x00, 0x01};

// The usbdevfs side of one emulated subwoofer. Called on umockdev's handler thread.
class EmulatedSubwoofer {
public:
    Sim::SimFirmware firmware;
    std::mutex lock;

    static gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
        return static_cast<EmulatedSubwoofer*>(self)->Handle(client);
    }

    ~EmulatedSubwoofer() {
        for (auto* d : pendingIn_)
            umockdev_ioctl_data_unref(d);
        for (auto* d : done_)
            umockdev_ioctl_data_unref(d);
    }

private:
    static usbdevfs_urb* Urb(UMockdevIoctlData* d) {
        return reinterpret_cast<usbdevfs_urb*>(d->data);
    }

    // Completes waiting IN transfers from what the firmware has to send (or with the loss).
    void ServeIn() {
        while (!pendingIn_.empty()) {
            usbdevfs_urb* urb = Urb(pendingIn_.front());
            if (firmware.Unplugged()) {
                urb->status = -ENODEV;
                urb->actual_length = 0;
            } else {
                std::vector<uint8_t> packet;
                if (!firmware.NextPacket(packet))
                    return;
                size_t n = std::min<size_t>(packet.size(), static_cast<size_t>(urb->buffer_length));
                std::memcpy(urb->buffer, packet.data(), n);
                urb->actual_length = static_cast<int>(n);
                urb->status = 0;
            }
            done_.push_back(pendingIn_.front());
            pendingIn_.pop_front();
        }
    }

    gboolean Handle(UMockdevIoctlClient* client) {
        std::lock_guard<std::mutex> g(lock);
        unsigned long request = umockdev_ioctl_client_get_request(client);
        UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
        switch (request) {
            case USBDEVFS_GET_CAPABILITIES: {
                UMockdevIoctlData* d =
                    umockdev_ioctl_data_resolve(arg, 0, sizeof(guint32), nullptr);
                *reinterpret_cast<guint32*>(d->data) =
                    USBDEVFS_CAP_NO_PACKET_SIZE_LIM | USBDEVFS_CAP_REAP_AFTER_DISCONNECT;
                umockdev_ioctl_data_unref(d);
                umockdev_ioctl_client_complete(client, 0, 0);
                return TRUE;
            }
            case USBDEVFS_GETDRIVER:
            case USBDEVFS_IOCTL:  // no kernel driver to detach
                umockdev_ioctl_client_complete(client, -1, ENODATA);
                return TRUE;
            case USBDEVFS_CLAIMINTERFACE:
            case USBDEVFS_RELEASEINTERFACE:
            case USBDEVFS_SETINTERFACE:
            case USBDEVFS_CLEAR_HALT:
            case USBDEVFS_RESET:
                umockdev_ioctl_client_complete(client, firmware.Unplugged() ? -1 : 0,
                                               firmware.Unplugged() ? ENODEV : 0);
                return TRUE;
            case USBDEVFS_SUBMITURB:
                return Submit(client, arg);
            case USBDEVFS_REAPURB:
            case USBDEVFS_REAPURBNDELAY: {
                ServeIn();
                if (done_.empty()) {
                    umockdev_ioctl_client_complete(client, -1,
                                                   firmware.Unplugged() ? ENODEV : EAGAIN);
                    return TRUE;
                }
                UMockdevIoctlData* urb = done_.front();
                done_.pop_front();
                UMockdevIoctlData* ptr =
                    umockdev_ioctl_data_resolve(arg, 0, sizeof(gpointer), nullptr);
                umockdev_ioctl_data_set_ptr(ptr, 0, urb);
                umockdev_ioctl_data_unref(ptr);
                umockdev_ioctl_data_unref(urb);
                umockdev_ioctl_client_complete(client, 0, 0);
                return TRUE;
            }
            case USBDEVFS_DISCARDURB: {
                auto address = reinterpret_cast<gulong>(*reinterpret_cast<void**>(arg->data));
                for (auto it = pendingIn_.begin(); it != pendingIn_.end(); ++it) {
                    if ((*it)->client_addr != address)
                        continue;
                    Urb(*it)->status = -ENOENT;
                    Urb(*it)->actual_length = 0;
                    done_.push_back(*it);
                    pendingIn_.erase(it);
                    umockdev_ioctl_client_complete(client, 0, 0);
                    return TRUE;
                }
                umockdev_ioctl_client_complete(client, -1, EINVAL);
                return TRUE;
            }
            default:
                umockdev_ioctl_client_complete(client, -1, ENOTTY);
                return TRUE;
        }
    }

    gboolean Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
        if (firmware.Unplugged()) {
            umockdev_ioctl_client_complete(client, -1, ENODEV);
            return TRUE;
        }
        UMockdevIoctlData* urbData =
            umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
        usbdevfs_urb* urb = Urb(urbData);
        // One process: the transfer buffer is directly addressable.
        auto* buffer = static_cast<uint8_t*>(urb->buffer);
        urb->status = 0;
        urb->actual_length = 0;
        if (urb->type == USBDEVFS_URB_TYPE_CONTROL && urb->buffer_length >= 8) {
            uint8_t type = buffer[0], req = buffer[1];
            uint16_t value = static_cast<uint16_t>(buffer[2] | buffer[3] << 8);
            uint16_t length = static_cast<uint16_t>(buffer[6] | buffer[7] << 8);
            if (type == 0xC0 && req == 0) {
                firmware.Control(value);
            } else if (type == 0x80 && req == 6 && value == 0x0100) {
                size_t n = std::min<size_t>({sizeof kDeviceDescriptor, length,
                                             static_cast<size_t>(urb->buffer_length - 8)});
                std::memcpy(buffer + 8, kDeviceDescriptor, n);
                urb->actual_length = static_cast<int>(n);
            } else {
                urb->status = -EPIPE;
            }
            done_.push_back(urbData);
        } else if (urb->endpoint == 0x01) {
            firmware.Receive(buffer, static_cast<size_t>(urb->buffer_length));
            urb->actual_length = urb->buffer_length;
            done_.push_back(urbData);
        } else if (urb->endpoint == 0x81) {
            pendingIn_.push_back(urbData);
        } else {
            umockdev_ioctl_data_unref(urbData);
            umockdev_ioctl_client_complete(client, -1, EINVAL);
            return TRUE;
        }
        ServeIn();
        umockdev_ioctl_client_complete(client, 0, 0);
        return TRUE;
    }

    std::deque<UMockdevIoctlData*> pendingIn_;
    std::deque<UMockdevIoctlData*> done_;
};

class UmockdevTransport : public ::testing::Test {
protected:
    void SetUp() override {
        const char* preload = std::getenv("LD_PRELOAD");
        if (!preload || !std::strstr(preload, "umockdev-preload"))
            GTEST_SKIP() << "needs umockdev-wrapper";
        testbed_ = umockdev_testbed_new();
        handler_ = umockdev_ioctl_base_new();
        g_signal_connect(handler_, "handle-ioctl", G_CALLBACK(EmulatedSubwoofer::OnIoctl), &sub);
        ASSERT_TRUE(
            umockdev_testbed_attach_ioctl(testbed_, "/dev/bus/usb/001/002", handler_, nullptr));
        std::string device = std::string(
                                 "P: /devices/usb1/1-1\n"
                                 "N: bus/usb/001/002\n"
                                 "E: SUBSYSTEM=usb\n"
                                 "E: DEVTYPE=usb_device\n"
                                 "E: DEVNAME=/dev/bus/usb/001/002\n"
                                 "E: BUSNUM=001\n"
                                 "E: DEVNUM=002\n"
                                 "A: busnum=1\\n\n"
                                 "A: devnum=2\\n\n"
                                 "A: speed=12\\n\n"
                                 "A: bConfigurationValue=1\\n\n"
                                 "H: descriptors=") +
                             kDescriptors + "\n";
        ASSERT_TRUE(umockdev_testbed_add_from_string(testbed_, device.c_str(), nullptr));
    }
    void TearDown() override {
        if (handler_)
            g_object_unref(handler_);
        if (testbed_)
            g_object_unref(testbed_);
    }

    EmulatedSubwoofer sub;
    Threading::VirtualClock clock{std::chrono::milliseconds(200)};
    UMockdevTestbed* testbed_ = nullptr;
    UMockdevIoctlBase* handler_ = nullptr;
};

EqResult Coefficients() {
    EqResult r;
    r.valid = 1;
    for (int i = 0; i < 10; ++i)
        r.bands.push_back({1, 0.25, -0.5 + 0.01 * i, 0.5, 0.45, -0.95, 1});
    return r;
}

TEST_F(UmockdevTransport, CensusHandshakeWriteAndUnplugThroughLibusb) {
    auto bus = std::make_shared<LibusbBus>(std::vector<UsbId>{{kVendor, kProduct}});
    ASSERT_TRUE(bus->Start()) << tsl::ToUtf8(bus->InitError());
    EXPECT_EQ(CountDevices(*bus), 1u);

    {
        std::wstring status;
        PipePair pipes;
        auto device = OpenDevice(*bus, 0, status, pipes);
        ASSERT_TRUE(device) << tsl::ToUtf8(status);
        uint16_t release = 0;
        EXPECT_TRUE(device->ReadReleaseNumber(release)) << tsl::ToUtf8(device->LastError());
        EXPECT_EQ(release, 0x113);
    }
    CUsbProgrammer channel(bus, &clock);
    unsigned total, busy, unrecognised, recognised;
    EXPECT_TRUE(channel.CensusDevices(total, busy, unrecognised, recognised));
    EXPECT_EQ(recognised, 1u);

    ASSERT_TRUE(channel.OpenAnyDevice());
    ASSERT_NE(channel.CurrentModel(), nullptr);
    EXPECT_EQ(channel.CurrentModel()->modelId, 0x113);
    ASSERT_TRUE(WriteEqualiser(channel, BuildEqBlock(Coefficients(), false, 224).value()));
    {
        std::lock_guard<std::mutex> g(sub.lock);
        EXPECT_EQ(sub.firmware.EqualiserImage(), BuildEqBlock(Coefficients(), false, 224).value());
        sub.firmware.Unplug();
    }
    EXPECT_FALSE(channel.Transact("V0"));
    for (int i = 0; i < 50 && !channel.IsLost(); ++i)
        channel.ReadReply(CUsbComm::kReplyWait);
    EXPECT_TRUE(channel.IsLost());
    channel.CloseChannel();
}

}  // namespace
