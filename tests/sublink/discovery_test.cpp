// Device discovery and the check-for-subwoofer logic against the simulated subwoofer.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "sim_fixture.h"
#include "sublink/Discovery.h"
#include "sublink/PlayDevice.h"
#include "support/ScriptedPrompt.h"

namespace {

using namespace simtest;
using namespace CUsbController;

const std::wstring kNotFound =
    L"No subwoofer was found.\r\n\r\nPlease double check the USB connection from your PC to the "
    L"subwoofer and that the subwoofer is connected to AC power.\r\nIt is also possible that the "
    L"device driver was not properly installed. To reinstall the device driver click "
    L"reinstall.\r\nIt is also possible that your subwoofer model is newer than this kit. "
    L"Installing new software from https://www.corvana.com/ will correct the issue.";

DriverSupport Driver(bool loaded) {
    return DriverSupport{[loaded] { return loaded; },
                         [](std::wstring& message) {
                             message = L"installer ran";
                             return true;
                         }};
}

class DiscoveryTest : public LineEndChannel {
protected:
    std::unique_ptr<CUsbProgrammer> channel = Channel();
    OpenAnyAvailableDeviceCallback open{L"Tessaline", channel.get()};
    CheckMinVersionCallback<> version;

    CCheckForUsbSubDlg Dialog(bool driverLoaded = true) {
        return CCheckForUsbSubDlg(L"Tessaline", &version, &open, Driver(driverLoaded));
    }
};

TEST_P(DiscoveryTest, WithoutTheDriverTheMessageHasNoCensusLines) {
    Add(Options(275));
    auto dialog = Dialog(false);
    EXPECT_FALSE(dialog.Check());
    EXPECT_EQ(dialog.State(), kStateNoDriver);
    EXPECT_EQ(dialog.Message(), kNotFound);
    EXPECT_TRUE(dialog.ReinstallVisible());
}

TEST_P(DiscoveryTest, BusyAndUnrecognisedDevicesAreCountedAndExplained) {
    Add(Options(275, {"busy"}));
    Add(Options(0x1FF));
    auto dialog = Dialog();
    EXPECT_FALSE(dialog.Check());
    EXPECT_EQ(dialog.State(), kStateNoDevice);
    EXPECT_EQ(dialog.Total(), 2u);
    EXPECT_EQ(dialog.Busy(), 1u);
    EXPECT_EQ(dialog.Unrecognised(), 1u);
    EXPECT_EQ(dialog.Message(),
              kNotFound +
                  L"\r\n\r\nNumber Of Corvana Devices Connected (total): 2\r\n\tIn Use By Other "
                  L"Applications: 1\r\n\tUnrecognized: 1"
                  L"\r\nSince there are some unrecognized devices it's possilbe that you are not "
                  L"running the most recent version of Tessaline. (Current: Tessaline Version "
                  L"0.1.0).\r\nPlease visit https://www.corvana.com/ to download the latest "
                  L"version of Tessaline"
                  L"\r\nSince there are some devices that are in use by other applications you "
                  L"should close all other running applications and try again.");
}

TEST_P(DiscoveryTest, ARecognisedSubwooferThatDoesNotAnswerIsNamed) {
    Add(Options(275, {"silent=V2"}));
    auto dialog = Dialog();
    EXPECT_FALSE(dialog.Check());
    EXPECT_EQ(dialog.State(), kStateNotOpened);
    EXPECT_FALSE(dialog.ReinstallVisible());
    EXPECT_EQ(dialog.Message(),
              L"Failed to find a valid USB Sub. If your USB Sub is connected via USB to the PC "
              L"please check that it is also connected to AC power and try again.\r\n\r\nThe "
              L"following known device(s) were connected but are not responding via usb (check "
              L"AC power to the device):\r\n\tKT1\r\n");
}

TEST_P(DiscoveryTest, AnUnreadableVersionCountsAsZeroAgainstTheMinimum) {
    Add(Options(0x114));  // minimum 1.02; its version reply does not parse
    auto dialog = Dialog();
    EXPECT_FALSE(dialog.Check());
    EXPECT_EQ(dialog.State(), kStateNotOpened);
    EXPECT_NE(dialog.Message().find(L"version 0.00."), std::wstring::npos);
    EXPECT_NE(dialog.Message().find(L"minimum required firmware version of: 1.02"),
              std::wstring::npos);
}

TEST_P(DiscoveryTest, APassedCheckLeavesTheSubwooferOpenInApplicationCode) {
    auto device = Add(Options(275, {}, Sim::SimMode::BootLoader));
    auto dialog = Dialog();
    ASSERT_TRUE(dialog.Check());
    EXPECT_EQ(dialog.State(), kStatePassed);
    EXPECT_EQ(dialog.Message(), L"No Error.");
    EXPECT_TRUE(channel->IsUsable());
    EXPECT_EQ(channel->Mode(), ChannelMode::Application);
    EXPECT_EQ(device->With([](Sim::SimFirmware& f) { return f.Mode(); }),
              Sim::SimMode::Application);
}

TEST(DiscoveryCallbackTest, WithoutAChannelEverythingFails) {
    OpenAnyAvailableDeviceCallback open(L"Tessaline", nullptr);
    std::wstring error;
    EXPECT_FALSE(open.Open(error));
    EXPECT_EQ(error, L"Internal Application error = 5B335190-F7E0-4326-A130-352EE05460FA");
    unsigned a = 0, b = 0, c = 0, d = 0;
    EXPECT_FALSE(open.Census(a, b, c, d));
    ModelVersion v;
    EXPECT_FALSE(open.ReadVersion(v));
    EXPECT_EQ(open.Model(), nullptr);
}

// The device check as the measurement runs it, with the dialog on message boxes.
class DeviceCheckTest : public LineEndChannel {
protected:
    testing_support::ScriptedPrompt prompt;
    UsbSubPlayDevice play{false, bus, &clock};

    DeviceCheckSetup CheckSetup() {
        DeviceCheckSetup setup;
        setup.driver = Driver(true);
        setup.makeWindow = [this] { return std::make_unique<PromptCheckForUsbSubWindow>(prompt); };
        return setup;
    }
};

TEST_P(DeviceCheckTest, PassesSilentlyAndTheFollowingOpenSendsNothing) {
    auto device = Add(Options(275));
    const BaseConfig* model = nullptr;
    ASSERT_TRUE(RunDeviceCheck(play.Channel(), model, CheckSetup()));
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->modelId, 275);
    EXPECT_TRUE(prompt.Calls().empty());

    const size_t commands = Log(*device).size();
    ASSERT_TRUE(play.Open());
    EXPECT_EQ(Log(*device).size(), commands);
}

TEST_P(DeviceCheckTest, RetryAfterPluggingInClosesTheDialogWithOk) {
    prompt.OnAsk([this](const testing_support::PromptCall&) {
        if (bus->Devices().empty())
            Add(Options(275));
    });
    prompt.QueueAnswer(Threading::MsgResult::Retry);
    const BaseConfig* model = nullptr;
    ASSERT_TRUE(RunDeviceCheck(play.Channel(), model, CheckSetup()));
    ASSERT_EQ(prompt.Calls().size(), 1u);
    EXPECT_EQ(prompt.Calls()[0].text, kNotFound);
    EXPECT_EQ(prompt.Calls()[0].caption, L"Tessaline");
    EXPECT_EQ(prompt.Calls()[0].buttons, Threading::MsgButtons::RetryCancel);
    ASSERT_NE(model, nullptr);
    EXPECT_TRUE(play.Channel().IsUsable());
}

TEST_P(DeviceCheckTest, CancelGivesUp) {
    prompt.QueueAnswer(Threading::MsgResult::Retry);
    prompt.QueueAnswer(Threading::MsgResult::Cancel);
    const BaseConfig* model = nullptr;
    EXPECT_FALSE(RunDeviceCheck(play.Channel(), model, CheckSetup()));
    EXPECT_EQ(prompt.Calls().size(), 2u);
    EXPECT_EQ(model, nullptr);
}

INSTANTIATE_LINE_ENDS(DiscoveryTest);
INSTANTIATE_LINE_ENDS(DeviceCheckTest);

#ifndef _WIN32
// The udev rule's instructions; the Windows installer is tested with its backend.
TEST(DriverInstallerTest, KeepsTheTextsOfAMissingInstaller) {
    std::wstring message;
    EXPECT_FALSE(RunDriverInstallerIn(L"", false, message));
    EXPECT_EQ(message,
              L"Unable to find the device driver installer.\r\nIt should be located at: "
              L"<InstallDir>\\USB Device Driver\\.\r\nWhere <InstallDir> is the installation "
              L"directory that you chose during installation.");

    const auto dir = std::filesystem::temp_directory_path() / "tessaline-driver-test";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir / "USB Device Driver");
    const auto rule = dir / "USB Device Driver" / "60-tessaline.rules";
    EXPECT_FALSE(RunDriverInstallerIn(dir.wstring(), true, message));
    EXPECT_EQ(message, rule.wstring() + L" does not exist");

    std::ofstream(rule) << "SUBSYSTEM==\"usb\"\n";
    EXPECT_TRUE(RunDriverInstallerIn(dir.wstring(), true, message));
    EXPECT_NE(message.find(rule.wstring()), std::wstring::npos);
    EXPECT_NE(message.find(L"udevadm"), std::wstring::npos);
    std::filesystem::remove_all(dir);
}
#endif

}  // namespace
