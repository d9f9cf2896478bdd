#include "app/QuickMeasureSession.h"

#include <cwchar>

#include "measure/Secure.h"
#include "measure/SecurityTexts.h"
#include "sublink/UiCheckWindow.h"
#include "threading/Errors.h"
#include "threading/RegisteredMessages.h"

using Threading::MsgButtons;
using Threading::MsgIcon;

namespace {

void Check(bool ok, const AudioSampler::IDevice& device) {
    if (!ok)
        throw tsl::wruntime_error(device.LastError());
}

}  // namespace

QuickMeasureSession::QuickMeasureSession(Threading::MessageBridge& bridge,
                                         Threading::WindowHandle window,
                                         MeasureEnvironment environment,
                                         std::function<Threading::IPrompt&()> windowPrompt)
    : bridge_(bridge),
      window_(window),
      environment_(std::move(environment)),
      ui_(bridge),
      prompt_(ui_, std::move(windowPrompt)),
      buffer_(std::make_shared<QuickSampleBuffer>()) {}

QuickMeasureSession::~QuickMeasureSession() {
    Close();
}

void QuickMeasureSession::Open() {
    if (closed_ || tasks_)
        return;
    progress_ = std::make_unique<CUsbController::MultiThreadedProgress>(window_, window_, bridge_);
    progress_->SetPrompt(&prompt_);
    tasks_ = std::make_unique<Threading::ThreadHandler<CQuickMeasure_Tasks, QuickMeasureTaskData>>(
        &prompt_);
    const Threading::WindowHandle h = window_;
    Threading::MessageBridge* bridge = &bridge_;
    const auto address = reinterpret_cast<std::uintptr_t>(buffer_.get());
    buffer_->SetNotify([bridge, h, address](std::int32_t available) {
        bridge->PostToWindow(h, Threading::Messages().UM_CURVE_READY, address, available);
    });
    buffer_->SetEnded([this, bridge, h](const std::wstring& text) {
        if (!endReported_.exchange(true))
            bridge->PostText(h, Threading::Messages().UM_PROC_TERMINATED, 0, text);
    });
}

bool QuickMeasureSession::Queue(int32_t allowed1, int32_t allowed2, int32_t busy, int32_t success,
                                int32_t failure,
                                void (CQuickMeasure_Tasks::*task)(QuickMeasureTaskData)) {
    const int32_t state = state_.load();
    if (!tasks_ || (state != allowed1 && state != allowed2))
        return false;
    state_.store(busy);
    tasks_->AddTask(task, this, {state, success, failure, &state_, progress_.get()});
    return true;
}

bool QuickMeasureSession::Connect() {
    return Queue(kQmDisconnected, kQmDisconnected, kQmConnecting, kQmConnected, kQmDisconnected,
                 &CQuickMeasure_Tasks::ConnectTask);
}

bool QuickMeasureSession::Disconnect() {
    return Queue(kQmConnected, kQmMeasuring, kQmDisconnecting, kQmDisconnected, kQmConnected,
                 &CQuickMeasure_Tasks::DisconnectTask);
}

bool QuickMeasureSession::Start() {
    return Queue(kQmConnected, kQmConnected, kQmStarting, kQmMeasuring, kQmConnected,
                 &CQuickMeasure_Tasks::StartTask);
}

bool QuickMeasureSession::Stop() {
    return Queue(kQmMeasuring, kQmMeasuring, kQmStopping, kQmConnected, kQmMeasuring,
                 &CQuickMeasure_Tasks::StopTask);
}

void QuickMeasureSession::Close() {
    if (closed_)
        return;
    closed_ = true;
    const int32_t before = state_.load();
    if (before != kQmDisconnected && progress_)
        progress_->Abort();
    // A task waiting for the user gets the declining answer; the running one is waited for.
    ui_.Cancel();
    tasks_.reset();
    ReleaseCapture();
    buffer_->SetNotify({});
    buffer_->SetEnded({});
    std::unique_ptr<SubConnection> connection = std::move(connection_);
    if (connection && (before == kQmMeasuring || state_.load() == kQmMeasuring))
        connection->PlayDevice().Stop();
    connection.reset();
}

CorrectionManagerPtr QuickMeasureSession::Correction() {
    std::lock_guard<std::mutex> g(correctionLock_);
    return correction_;
}

void QuickMeasureSession::TaskSucceeded(QuickMeasureTaskData data) {
    data.state->store(data.success);
    bridge_.PostToWindow(window_, Threading::Messages().UM_DONE, 0, 1);
}

void QuickMeasureSession::TaskFailed(QuickMeasureTaskData data) {
    data.state->store(data.failure);
    bridge_.PostToWindow(window_, Threading::Messages().UM_DONE, 0, 0);
}

void QuickMeasureSession::Status(const std::wstring& text) {
    if (progress_)
        progress_->SetStatus(text);
}

void QuickMeasureSession::ErrorBox(const std::wstring& text, const std::wstring& caption) {
    prompt_.MessageBox(text, caption, MsgButtons::Ok, MsgIcon::Error);
}

CorrectionManagerPtr QuickMeasureSession::LoadCorrection(CUsbController::UsbSubPlayDevice& play,
                                                         int32_t& version) {
    CurvePtr calibration;
    version = 1;
    const std::filesystem::path dir = environment_.calibrationDir.empty()
                                          ? Security::DefaultCalibrationDir()
                                          : environment_.calibrationDir;
    if (environment_.micSerial) {
        const std::wstring name = Security::CalibrationFileName(*environment_.micSerial);
        Security::CalibrationFile file = Security::ReadCalibrationFile(dir / name);
        Status(
            std::wstring(Security::kUsingFileFormat, std::wcslen(Security::kUsingFileFormat) - 2) +
            name);
        calibration = file.curve;
        version = file.version;
    } else {
        Security::Secure registry(dir, &prompt_);
        Security::LoadedCalibration loaded = Security::LoadCalibration(
            registry,
            [this, &play](const std::wstring& text) {
                play.SetLastError(text);
                if (text.rfind(L"Using calibration file", 0) == 0)
                    Status(text);
            },
            false);
        calibration = loaded.curve;
        version = loaded.version;
    }
    if (!calibration)
        throw tsl::wruntime_error(play.LastError());
    CorrectionManagerPtr manager = MakeCorrection(*calibration, version);
    if (!manager)
        throw tsl::wruntime_error(kInvalidCalibrationVersionText);
    return manager;
}

void QuickMeasureSession::ConnectTask(QuickMeasureTaskData data) {
    try {
        auto play =
            environment_.makePlayDevice
                ? environment_.makePlayDevice()
                : std::make_shared<CUsbController::UsbSubPlayDevice>(false, environment_.usb);
        if (!play)
            throw tsl::wruntime_error(kNoSubwooferFoundText);
        auto connection = std::make_unique<SubConnection>(play);
        Status(kCheckingText);
        CUsbController::DeviceCheckSetup check = environment_.deviceCheck;
        CUsbController::RouteCheckWindowToUi(
            check, prompt_, [this](const std::function<void()>& fn) { return ui_.Run(fn); });
        const CUsbController::BaseConfig* model = nullptr;
        if (!CUsbController::RunDeviceCheck(play->Channel(), model, check) || !model)
            throw tsl::wruntime_error(kNoSubwooferFoundText);
        connection->model = model;
        {
            std::lock_guard<std::mutex> g(correctionLock_);
            correction_.reset();
        }
        try {
            int32_t version = 1;
            CorrectionManagerPtr manager = LoadCorrection(*play, version);
            {
                std::lock_guard<std::mutex> g(correctionLock_);
                correction_ = std::move(manager);
            }
            calibrationVersion_ = version;
            connection_ = std::move(connection);
        } catch (const tsl::wruntime_error& e) {
            throw tsl::wruntime_error(L"Failed to load calibration file: \r\n" + e.wwhat() + L".");
        } catch (const std::exception&) {
            throw tsl::wruntime_error(L"Failed to load calibration file.");
        }
        Status(L"Connection established with unit");
        TaskSucceeded(data);
    } catch (const tsl::wruntime_error& e) {
        connection_.reset();
        Status(L"Error: " + e.wwhat());
        ErrorBox(e.wwhat(), L"Error");
        TaskFailed(data);
    }
}

void QuickMeasureSession::StartTask(QuickMeasureTaskData data) {
    try {
        if (!connection_ || !connection_->model)
            throw tsl::wruntime_error(kMustBeConnectedText);
        const std::wstring name = connection_->model->displayName;
        Status(L"Starting measurement for " + name);
        if (!recorder_) {
            AudioSampler::EnumeratorPtr enumerator =
                environment_.recorders ? environment_.recorders() : nullptr;
            if (!enumerator)
                throw tsl::wruntime_error(AudioSampler::EnumerationFailedText(
                    AudioSampler::ErrorText(AudioSampler::kAudioGenericFailure)));
            const std::wstring device =
                enumerator->FindDevice(AudioSampler::RecordingDeviceTokens());
            recorder_ = enumerator->OpenRecorder();
            if (!recorder_)
                throw tsl::wruntime_error(AudioSampler::DeviceNotAvailableText(device));
        }
        recorder_->SetInputLevel(AudioSampler::LevelForCalibrationVersion(calibrationVersion_));
        CUsbController::UsbSubPlayDevice& play = connection_->PlayDevice();
        Check(play.Open(), play);
        Check(play.Start(), play);
        try {
            endReported_ = false;
            recorder_->Start(buffer_);
        } catch (...) {
            play.Stop();
            throw;
        }
        Status(L"Measuring subwoofer: " + name);
        TaskSucceeded(data);
    } catch (const tsl::wruntime_error& e) {
        ReleaseCapture();
        ErrorBox(e.wwhat(), L"Error");
        TaskFailed(data);
    }
}

void QuickMeasureSession::StopTask(QuickMeasureTaskData data) {
    try {
        if (connection_)
            Check(connection_->PlayDevice().Stop(), connection_->PlayDevice());
        if (recorder_)
            recorder_->Stop();
        buffer_->Reset();
        Status(L"Measurement stopped");
        TaskSucceeded(data);
    } catch (const tsl::wruntime_error& e) {
        ErrorBox(e.wwhat(), L"error");
        TaskFailed(data);
    }
}

void QuickMeasureSession::DisconnectTask(QuickMeasureTaskData data) {
    try {
        Status(L"Disconnecting from unit");
        if (connection_)
            Check(connection_->PlayDevice().Stop(), connection_->PlayDevice());
        ReleaseCapture();
        connection_.reset();
        Status(L"Disconnected from unit");
        TaskSucceeded(data);
    } catch (const tsl::wruntime_error& e) {
        Status(L"Error disconnecting from unit, " + e.wwhat());
        ErrorBox(e.wwhat(), L"error");
        TaskFailed(data);
    }
}

void QuickMeasureSession::ReleaseCapture() {
    std::shared_ptr<AudioSampler::AudioRec> recorder = std::move(recorder_);
    if (recorder) {
        try {
            recorder->Stop();
        } catch (const std::exception&) {
            // The recorder goes either way.
        }
    }
    buffer_->Reset();
}
