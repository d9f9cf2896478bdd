#pragma once
// Device discovery: a silent check that a supported subwoofer is open in application code with
// acceptable firmware, and otherwise the check-for-subwoofer dialog that explains what is wrong
// and offers Retry, Reinstall and Cancel. The dialog logic knows nothing of USB (it works
// through OpenCommCallback) nor of windows (it draws through ICheckForUsbSubWindow).

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sublink/BaseConfig.h"
#include "sublink/ModelVersion.h"
#include "sublink/VersionCheck.h"

namespace Threading {
class IPrompt;
}

namespace CUsbController {

class CUsbComm;

class OpenCommCallback {
public:
    virtual ~OpenCommCallback() = default;
    virtual bool Open(std::wstring& error) = 0;
    virtual void Close() = 0;
    virtual bool Census(unsigned& total, unsigned& busy, unsigned& unrecognised,
                        unsigned& recognised) = 0;
    virtual bool ReadVersion(ModelVersion& version) = 0;
    virtual const BaseConfig* Model() = 0;
};

class OpenAnyAvailableDeviceCallback final : public OpenCommCallback {
public:
    // channel is not owned and may be null.
    OpenAnyAvailableDeviceCallback(std::wstring name, CUsbComm* channel)
        : name_(std::move(name)), channel_(channel) {}

    bool Open(std::wstring& error) override;
    void Close() override;
    bool Census(unsigned& total, unsigned& busy, unsigned& unrecognised,
                unsigned& recognised) override;
    bool ReadVersion(ModelVersion& version) override;
    const BaseConfig* Model() override;

private:
    std::wstring name_;
    CUsbComm* channel_;
};

// Check states; the Reinstall button is hidden only for kStateNotOpened.
inline constexpr int kStatePassed = 0;
inline constexpr int kStateNoDriver = 1;
inline constexpr int kStateNoDevice = 2;
inline constexpr int kStateNotOpened = 4;

inline constexpr int kCheckOk = 1;
inline constexpr int kCheckCancel = 2;
inline constexpr int kIdRetry = 1045;
inline constexpr int kIdReinstall = 1046;
inline constexpr int kIdMessage = 1025;
inline constexpr int kCheckDialogTemplate = 139;

// Texts of the messages that name the program.
struct DiscoveryTexts {
    std::wstring webPage = L"https://www.corvana.com/";
    std::wstring brand = L"Corvana";
    std::wstring programName = L"Tessaline";
    std::wstring programVersion = L"Tessaline Version 0.1.0";
};

// The platform side of the check: whether USB access works and how to (re)install it.
// Null functions: the driver counts as loaded and there is no installer.
struct DriverSupport {
    std::function<bool()> isLoaded;
    std::function<bool(std::wstring& message)> runInstaller;
    // The platform's driver check and installer (the libusb or the WinUSB backend).
    static DriverSupport Platform();
};

class CCheckForUsbSubDlg;

// What the dialog logic needs of its window. The GUI draws template 139; the console prints.
class ICheckForUsbSubWindow {
public:
    virtual ~ICheckForUsbSubWindow() = default;
    // Runs the dialog modally: calls dialog.OnInitDialog, then the button handlers, until
    // EndDialog; returns the result passed to it (kCheckOk or kCheckCancel).
    virtual int DoModal(CCheckForUsbSubDlg& dialog) = 0;
    virtual void DrawCaption(const std::wstring& caption) = 0;
    virtual void DrawMessage(const std::wstring& text) = 0;
    virtual void ShowReinstall(bool visible) = 0;
    virtual void MessageBox(const std::wstring& text, const std::wstring& caption) = 0;
    virtual void EndDialog(int result) = 0;
};

class CCheckForUsbSubDlg {
public:
    CCheckForUsbSubDlg(std::wstring caption, const CheckVersionCallback* versionCheck,
                       OpenCommCallback* open, DriverSupport driver = {},
                       DiscoveryTexts texts = {});

    // Runs the whole check; on failure the message is rebuilt for the state reached.
    bool Check();

    // Dialog handlers; window (not owned) becomes the dialog's window until it ends.
    void OnInitDialog(ICheckForUsbSubWindow& window);
    void OnRetry();
    void OnReinstall();
    void OnCancel();
    // Shows the dialog modally through window.
    int DoModal(ICheckForUsbSubWindow& window);

    const std::wstring& Caption() const { return caption_; }
    const std::wstring& Message() const { return message_; }
    int State() const { return state_; }
    bool ReinstallVisible() const { return state_ != kStateNotOpened; }
    unsigned Total() const { return total_; }
    unsigned Busy() const { return busy_; }
    unsigned Unrecognised() const { return unrecognised_; }
    unsigned Recognised() const { return recognised_; }

private:
    void BuildMessage();
    void UpdateReinstall();

    std::wstring caption_;
    std::wstring message_ = L"No Error.";
    std::wstring callbackError_;
    int state_ = kStateNoDriver;
    const CheckVersionCallback* versionCheck_;
    OpenCommCallback* open_;
    ICheckForUsbSubWindow* window_ = nullptr;
    unsigned total_ = 0, busy_ = 0, unrecognised_ = 0, recognised_ = 0;
    DriverSupport driver_;
    DiscoveryTexts texts_;
};

// Makes the window of one check dialog; null runs the check silently only.
using CheckWindowFactory = std::function<std::unique_ptr<ICheckForUsbSubWindow>()>;

// The dialog on message boxes: the message with Retry and Cancel (no Reinstall button; the
// installer instructions are part of the message on this platform anyway).
class PromptCheckForUsbSubWindow final : public ICheckForUsbSubWindow {
public:
    explicit PromptCheckForUsbSubWindow(Threading::IPrompt& prompt) : prompt_(prompt) {}

    int DoModal(CCheckForUsbSubDlg& dialog) override;
    void DrawCaption(const std::wstring& caption) override { caption_ = caption; }
    void DrawMessage(const std::wstring& text) override { message_ = text; }
    void ShowReinstall(bool) override {}
    // The next turn of the loop shows the rebuilt message; one box is enough.
    void MessageBox(const std::wstring&, const std::wstring&) override {}
    void EndDialog(int result) override;

private:
    Threading::IPrompt& prompt_;
    std::wstring caption_;
    std::wstring message_;
    bool ended_ = false;
    int result_ = 0;
};

struct DeviceCheckSetup {
    std::wstring applicationName = L"Tessaline";
    CheckWindowFactory makeWindow;  // null: no dialog, the silent check decides
    DriverSupport driver;
    DiscoveryTexts texts;
};

// The silent check, then the dialog when that fails. On success the channel is open on a
// supported subwoofer in application code and `model` is its model record.
bool RunDeviceCheck(CUsbComm& channel, const BaseConfig*& model, const DeviceCheckSetup& setup);

// The platform backend's driver check. Linux: libusb initialises and the USB device nodes can be
// read. Windows: WinUsb.sys is among the loaded drivers.
bool IsDriverLoaded();
// The platform backend's installer, below the program's folder in "USB Device Driver". Linux: the
// "installer" is the udev rule, whose installation is explained in message. Windows: dpinst.exe,
// run and waited for. The missing-installer texts are the same on both.
bool RunDriverInstaller(std::wstring& message);
// The same with the program's folder given (tests).
bool RunDriverInstallerIn(const std::wstring& directory, bool directoryFound,
                          std::wstring& message);

}  // namespace CUsbController
