#include "sublink/Discovery.h"

#include "sublink/UsbComm.h"
#include "threading/Prompt.h"

namespace CUsbController {

namespace {

const wchar_t* const kNoErrorText = L"No Error.";
const wchar_t* const kNoChannelText =
    L"Internal Application error = 5B335190-F7E0-4326-A130-352EE05460FA";
const wchar_t* const kBadStateText =
    L"Internal Application error = 441BAD5D-7EDF-48fe-9A62-3606FB8E5542";
const wchar_t* const kOpenFailedText =
    L"Failed to find a valid USB Sub. If your USB Sub is connected via USB to the PC please check "
    L"that it is also connected to AC power and try again.\r\n\r\n";
const wchar_t* const kNotRespondingText =
    L"The following known device(s) were connected but are not responding via usb (check AC "
    L"power to the device):\r\n";

std::wstring NotFoundText(const DiscoveryTexts& t) {
    return L"No subwoofer was found.\r\n\r\nPlease double check the USB connection from your PC "
           L"to the subwoofer and that the subwoofer is connected to AC power.\r\nIt is also "
           L"possible that the device driver was not properly installed. To reinstall the device "
           L"driver click reinstall.\r\nIt is also possible that your subwoofer model is newer "
           L"than this kit. Installing new software from " +
           t.webPage + L" will correct the issue.";
}

}  // namespace

// ---- the callback on a command channel ----

bool OpenAnyAvailableDeviceCallback::Open(std::wstring& error) {
    error.clear();
    if (channel_ == nullptr) {
        error = kNoChannelText;
        return false;
    }
    std::vector<std::wstring> names;
    if (channel_->OpenAnyDevice(&names))
        return true;
    error = kOpenFailedText;
    if (!names.empty()) {
        error += kNotRespondingText;
        for (const auto& name : names)
            error += L"\t" + name + L"\r\n";
    }
    return false;
}

void OpenAnyAvailableDeviceCallback::Close() {
    if (channel_ != nullptr)
        channel_->CloseChannel();
}

bool OpenAnyAvailableDeviceCallback::Census(unsigned& total, unsigned& busy, unsigned& unrecognised,
                                            unsigned& recognised) {
    if (channel_ == nullptr)
        return false;
    return channel_->CensusDevices(total, busy, unrecognised, recognised);
}

bool OpenAnyAvailableDeviceCallback::ReadVersion(ModelVersion& version) {
    if (channel_ == nullptr)
        return false;
    return channel_->SwitchToApplication() && channel_->ReadFirmwareVersion(version);
}

const BaseConfig* OpenAnyAvailableDeviceCallback::Model() {
    return channel_ != nullptr ? channel_->CurrentModel() : nullptr;
}

// ---- the dialog's logic ----

CCheckForUsbSubDlg::CCheckForUsbSubDlg(std::wstring caption,
                                       const CheckVersionCallback* versionCheck,
                                       OpenCommCallback* open, DriverSupport driver,
                                       DiscoveryTexts texts)
    : caption_(std::move(caption)),
      versionCheck_(versionCheck),
      open_(open),
      driver_(std::move(driver)),
      texts_(std::move(texts)) {}

bool CCheckForUsbSubDlg::Check() {
    message_ = kNoErrorText;
    total_ = busy_ = unrecognised_ = recognised_ = 0;
    state_ = kStateNoDriver;
    const bool driverLoaded = driver_.isLoaded ? driver_.isLoaded() : true;
    if (driverLoaded && open_ != nullptr) {
        state_ = kStateNoDevice;
        if (open_->Census(total_, busy_, unrecognised_, recognised_) && recognised_ > 0) {
            state_ = kStateNotOpened;
            callbackError_ = kNoErrorText;
            if (open_->Open(callbackError_)) {
                bool versionOk = true;
                if (versionCheck_ != nullptr) {
                    callbackError_.clear();
                    // An unreadable version stays 0.00, so a model with a minimum fails.
                    ModelVersion version;
                    open_->ReadVersion(version);
                    versionOk = versionCheck_->Check(version, open_->Model(), callbackError_);
                }
                if (versionOk) {
                    state_ = kStatePassed;
                    return true;
                }
            }
        }
    }
    BuildMessage();
    UpdateReinstall();
    return false;
}

void CCheckForUsbSubDlg::BuildMessage() {
    switch (state_) {
        case kStateNoDriver:
        case kStateNoDevice:
            message_ = NotFoundText(texts_);
            if (total_ > 0) {
                message_ += L"\r\n\r\nNumber Of " + texts_.brand + L" Devices Connected (total): " +
                            std::to_wstring(total_) + L"\r\n\tIn Use By Other Applications: " +
                            std::to_wstring(busy_) + L"\r\n\tUnrecognized: " +
                            std::to_wstring(unrecognised_);
            }
            if (unrecognised_ > 0) {
                message_ +=
                    L"\r\nSince there are some unrecognized devices it's possilbe that "
                    L"you are not running the most recent version of " +
                    texts_.programName + L". (Current: " + texts_.programVersion +
                    L").\r\nPlease visit " + texts_.webPage +
                    L" to download the latest version of " + texts_.programName;
            }
            if (busy_ > 0) {
                message_ +=
                    L"\r\nSince there are some devices that are in use by other "
                    L"applications you should close all other running applications and "
                    L"try again.";
            }
            break;
        case kStateNotOpened:
            message_ = callbackError_;
            break;
        default:
            message_ = kBadStateText;
            break;
    }
}

void CCheckForUsbSubDlg::UpdateReinstall() {
    if (window_ != nullptr)
        window_->ShowReinstall(ReinstallVisible());
}

void CCheckForUsbSubDlg::OnInitDialog(ICheckForUsbSubWindow& window) {
    window_ = &window;
    window.DrawCaption(caption_);
    window.ShowReinstall(ReinstallVisible());
    window.DrawMessage(message_);
}

void CCheckForUsbSubDlg::OnRetry() {
    if (Check()) {
        if (window_ != nullptr)
            window_->EndDialog(kCheckOk);
        return;
    }
    if (window_ != nullptr) {
        window_->DrawMessage(message_);
        window_->MessageBox(message_, caption_);
    }
}

void CCheckForUsbSubDlg::OnReinstall() {
    std::wstring text;
    const bool installed = driver_.runInstaller ? driver_.runInstaller(text) : false;
    // The Linux installer cannot run itself; its instructions come back as text to show.
    if ((!installed || !text.empty()) && window_ != nullptr)
        window_->MessageBox(text, caption_);
    if (Check() && window_ != nullptr)
        window_->EndDialog(kCheckOk);
}

void CCheckForUsbSubDlg::OnCancel() {
    if (window_ != nullptr)
        window_->EndDialog(kCheckCancel);
}

int CCheckForUsbSubDlg::DoModal(ICheckForUsbSubWindow& window) {
    const int result = window.DoModal(*this);
    window_ = nullptr;
    return result;
}

// ---- the dialog on message boxes ----

int PromptCheckForUsbSubWindow::DoModal(CCheckForUsbSubDlg& dialog) {
    ended_ = false;
    result_ = kCheckCancel;
    dialog.OnInitDialog(*this);
    while (!ended_) {
        const auto answer = prompt_.MessageBox(
            message_, caption_, Threading::MsgButtons::RetryCancel, Threading::MsgIcon::Warning);
        if (answer == Threading::MsgResult::Retry)
            dialog.OnRetry();
        else
            dialog.OnCancel();
    }
    return result_;
}

void PromptCheckForUsbSubWindow::EndDialog(int result) {
    ended_ = true;
    result_ = result;
}

// ---- the entry of the measurement ----

bool RunDeviceCheck(CUsbComm& channel, const BaseConfig*& model, const DeviceCheckSetup& setup) {
    model = nullptr;
    OpenAnyAvailableDeviceCallback open(setup.applicationName, &channel);
    CheckMinVersionCallback<> versionCheck;
    CCheckForUsbSubDlg dialog(setup.applicationName, &versionCheck, &open, setup.driver,
                              setup.texts);
    bool passed = dialog.Check();
    if (!passed && setup.makeWindow) {
        if (auto window = setup.makeWindow())
            passed = dialog.DoModal(*window) == kCheckOk;
    }
    if (!passed)
        return false;
    model = channel.CurrentModel();
    // A passed check without a model would leave the measurement without its analysis band.
    return model != nullptr;
}

}  // namespace CUsbController
