#include "app/QuickMeasure.h"

#include <cwchar>

#include "measure/Impulse.h"
#include "measure/Secure.h"
#include "measure/SecurityTexts.h"
#include "sublink/UiCheckWindow.h"
#include "threading/Errors.h"
#include "threading/RegisteredMessages.h"
#include "wizard/WizardDialog.h"

using Threading::MsgButtons;
using Threading::MsgIcon;

namespace {

const uint32_t& AnalysedMessage() {
    static const uint32_t message = Threading::RegisterWindowMessage(L"UM_QUICK_ANALYSED");
    return message;
}

// The curve of one analysis, on its way to the UI thread.
struct AnalysedRecord final : Threading::WND_MSG {
    AnalysedRecord(Threading::WindowHandle h, CurvePtr c, uint64_t g)
        : WND_MSG(h, AnalysedMessage(), 0, 0), curve(std::move(c)), generation(g) {}
    CurvePtr curve;
    uint64_t generation;
};

void Check(bool ok, const AudioSampler::IDevice& device) {
    if (!ok)
        throw tsl::wruntime_error(device.LastError());
}

}  // namespace

struct QuickMeasure::AnalysisJob {
    std::vector<double> samples;
    CorrectionManagerPtr correction;
    uint64_t generation = 0;
};

QuickMeasure::QuickMeasure(IQuickMeasureWindow& window, Threading::MessageBridge& bridge,
                           MeasureEnvironment environment)
    : window_(window),
      bridge_(bridge),
      environment_(std::move(environment)),
      ui_(bridge),
      prompt_(ui_, [this]() -> Threading::IPrompt& { return window_.WindowPrompt(); }),
      buffer_(std::make_shared<QuickSampleBuffer>()) {}

QuickMeasure::~QuickMeasure() {
    OnClose();
}

void QuickMeasure::OnInitDialog() {
    if (hwnd_ == Threading::kNoWindow)
        hwnd_ = bridge_.Windows().Register(this);
    progress_ = std::make_unique<CUsbController::MultiThreadedProgress>(hwnd_, hwnd_, bridge_);
    progress_->SetPrompt(&prompt_);
    tasks_ = std::make_unique<Threading::ThreadHandler<CQuickMeasure_Tasks, QuickMeasureTaskData>>(
        &prompt_);
    analysis_ =
        std::make_unique<Threading::ThreadHandler<QuickMeasure, std::shared_ptr<AnalysisJob>>>();
    const Threading::WindowHandle h = hwnd_;
    Threading::MessageBridge* bridge = &bridge_;
    const auto address = reinterpret_cast<std::uintptr_t>(buffer_.get());
    buffer_->SetNotify([bridge, h, address](std::int32_t available) {
        bridge->PostToWindow(h, Threading::Messages().UM_CURVE_READY, address, available);
    });
    buffer_->SetEnded([this, bridge, h](const std::wstring& text) {
        if (!endReported_.exchange(true))
            bridge->PostText(h, Threading::Messages().UM_PROC_TERMINATED, 0, text);
    });
    UpdateControls();
}

void QuickMeasure::Queue(int32_t allowed1, int32_t allowed2, int32_t busy, int32_t success,
                         int32_t failure, void (CQuickMeasure_Tasks::*task)(QuickMeasureTaskData)) {
    const int32_t state = state_.load();
    if (!tasks_ || (state != allowed1 && state != allowed2)) {
        window_.WindowPrompt().MessageBox(kBusyText, L"Error", MsgButtons::Ok, MsgIcon::Error);
        return;
    }
    state_.store(busy);
    tasks_->AddTask(task, this, {state, success, failure, &state_, progress_.get()});
    UpdateControls();
}

void QuickMeasure::OnConnect() {
    Queue(kQmDisconnected, kQmDisconnected, kQmConnecting, kQmConnected, kQmDisconnected,
          &CQuickMeasure_Tasks::ConnectTask);
}

void QuickMeasure::OnDisconnect() {
    Queue(kQmConnected, kQmMeasuring, kQmDisconnecting, kQmDisconnected, kQmConnected,
          &CQuickMeasure_Tasks::DisconnectTask);
}

void QuickMeasure::OnStart() {
    if (state_.load() == kQmConnected) {
        ++generation_;
        history_.Clear();
        window_.RedrawGraph(true);
    }
    Queue(kQmConnected, kQmConnected, kQmStarting, kQmMeasuring, kQmConnected,
          &CQuickMeasure_Tasks::StartTask);
}

void QuickMeasure::OnStop() {
    if (state_.load() == kQmMeasuring)
        ++generation_;
    Queue(kQmMeasuring, kQmMeasuring, kQmStopping, kQmConnected, kQmMeasuring,
          &CQuickMeasure_Tasks::StopTask);
}

void QuickMeasure::OnClose() {
    if (closed_)
        return;
    closed_ = true;
    const int32_t before = state_.load();
    if (before != kQmDisconnected && progress_)
        progress_->Abort();
    // A task waiting for the user gets the declining answer; the running one is waited for.
    ui_.Cancel();
    tasks_.reset();
    analysis_.reset();
    ReleaseCapture();
    buffer_->SetNotify({});
    buffer_->SetEnded({});
    std::unique_ptr<SubConnection> connection = std::move(connection_);
    if (connection && (before == kQmMeasuring || state_.load() == kQmMeasuring))
        connection->PlayDevice().Stop();
    connection.reset();
    if (hwnd_ != Threading::kNoWindow)
        bridge_.Windows().Unregister(hwnd_);
    hwnd_ = Threading::kNoWindow;
}

void QuickMeasure::UpdateControls() {
    const int32_t state = state_.load();
    window_.DrawEnable(IDC_QM_CONNECT, state == kQmDisconnected);
    window_.DrawEnable(IDC_QM_DISCONNECT, state == kQmConnected || state == kQmMeasuring);
    window_.DrawEnable(IDC_QM_START, state == kQmConnected);
    window_.DrawEnable(IDC_QM_STOP, state == kQmMeasuring);
}

void QuickMeasure::TaskSucceeded(QuickMeasureTaskData data) {
    data.state->store(data.success);
    bridge_.PostToWindow(hwnd_, Threading::Messages().UM_DONE, 0, 1);
}

void QuickMeasure::TaskFailed(QuickMeasureTaskData data) {
    data.state->store(data.failure);
    bridge_.PostToWindow(hwnd_, Threading::Messages().UM_DONE, 0, 0);
}

void QuickMeasure::Status(const std::wstring& text) {
    if (progress_)
        progress_->SetStatus(text);
}

void QuickMeasure::ErrorBox(const std::wstring& text, const std::wstring& caption) {
    prompt_.MessageBox(text, caption, MsgButtons::Ok, MsgIcon::Error);
}

void QuickMeasure::ConnectTask(QuickMeasureTaskData data) {
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
            CurvePtr calibration;
            int32_t version = 1;
            const std::filesystem::path dir = environment_.calibrationDir.empty()
                                                  ? Security::DefaultCalibrationDir()
                                                  : environment_.calibrationDir;
            if (environment_.micSerial) {
                const std::wstring name = Security::CalibrationFileName(*environment_.micSerial);
                Security::CalibrationFile file = Security::ReadCalibrationFile(dir / name);
                Status(std::wstring(Security::kUsingFileFormat,
                                    std::wcslen(Security::kUsingFileFormat) - 2) +
                       name);
                calibration = file.curve;
                version = file.version;
            } else {
                Security::Secure registry(dir, &prompt_);
                Security::LoadedCalibration loaded = Security::LoadCalibration(
                    registry,
                    [this, &play](const std::wstring& text) {
                        play->SetLastError(text);
                        if (text.rfind(L"Using calibration file", 0) == 0)
                            Status(text);
                    },
                    false);
                calibration = loaded.curve;
                version = loaded.version;
            }
            if (!calibration)
                throw tsl::wruntime_error(play->LastError());
            CorrectionManagerPtr manager = MakeCorrection(*calibration, version);
            if (!manager)
                throw tsl::wruntime_error(kInvalidCalibrationVersionText);
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

void QuickMeasure::StartTask(QuickMeasureTaskData data) {
    try {
        if (!connection_ || !connection_->model)
            throw tsl::wruntime_error(kMustBeConnectedText);
        const std::wstring name = connection_->model->displayName;
        Status(L"Starting measurement for " + name);
        if (!recorder_) {
            if (!environment_.recorders)
                throw tsl::wruntime_error(AudioSampler::EnumerationFailedText(
                    AudioSampler::ErrorText(AudioSampler::kAudioGenericFailure)));
            AudioSampler::EnumeratorPtr enumerator = environment_.recorders();
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

void QuickMeasure::StopTask(QuickMeasureTaskData data) {
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

void QuickMeasure::DisconnectTask(QuickMeasureTaskData data) {
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

void QuickMeasure::ReleaseCapture() {
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

std::intptr_t QuickMeasure::OnMessage(const Threading::WND_MSG& message) {
    const auto& m = Threading::Messages();
    if (message.message == m.UM_DONE) {
        UpdateControls();
    } else if (message.message == m.UM_SET_DISPLAY_STRING) {
        const std::wstring line = message.Text() + L"\r\n";
        log_ += line;
        window_.AppendLog(line);
    } else if (message.message == m.UM_CURVE_READY) {
        OnCurveReady(message.wParam);
    } else if (message.message == m.UM_PROC_TERMINATED) {
        OnCaptureEnded(message);
    } else if (message.message == AnalysedMessage()) {
        if (const auto* record = dynamic_cast<const AnalysedRecord*>(&message))
            OnAnalysed(record->curve, record->generation);
    } else if (message.message == Threading::PBM_SETRANGE32) {
        window_.DrawProgressRange(static_cast<int32_t>(message.lParam));
    } else if (message.message == Threading::PBM_SETPOS) {
        window_.DrawProgressPos(static_cast<int32_t>(message.wParam));
    }
    return 0;
}

void QuickMeasure::OnCurveReady(std::uintptr_t buffer) {
    if (buffer != reinterpret_cast<std::uintptr_t>(buffer_.get()) || !analysis_ ||
        state_.load() != kQmMeasuring || analysing_)
        return;
    auto job = std::make_shared<AnalysisJob>();
    if (!buffer_->Read(job->samples, kQuickBlockSamples, kQuickAdvance))
        return;
    {
        std::lock_guard<std::mutex> g(correctionLock_);
        job->correction = correction_;
    }
    job->generation = generation_;
    analysing_ = true;
    analysis_->AddTask(&QuickMeasure::RunAnalysis, this, std::move(job));
}

void QuickMeasure::RunAnalysis(std::shared_ptr<AnalysisJob> job) {
    CurvePtr curve = AnalyseQuickBlock(job->samples, job->correction.get());
    bridge_.Post(std::make_unique<AnalysedRecord>(hwnd_, std::move(curve), job->generation));
}

void QuickMeasure::OnAnalysed(const CurvePtr& curve, uint64_t generation) {
    analysing_ = false;
    if (curve && generation == generation_ && state_.load() == kQmMeasuring) {
        if (writer_)
            writer_->WriteNamedCurve(*curve, L"Measurement");
        const bool trimmed = history_.Add(curve);
        window_.RedrawGraph(!trimmed);
    }
    // Samples that arrived meanwhile are not announced again.
    OnCurveReady(reinterpret_cast<std::uintptr_t>(buffer_.get()));
}

void QuickMeasure::OnCaptureEnded(const Threading::WND_MSG& message) {
    if (!message.Text().empty())
        window_.WindowPrompt().MessageBox(message.Text(), kApplicationTitle, MsgButtons::Ok,
                                          MsgIcon::None);
    const int32_t state = state_.load();
    if (state == kQmConnected || state == kQmMeasuring)
        OnDisconnect();
}

std::vector<Graphing::DrawEntry> QuickMeasure::CurvesToDraw(const Graphing::CGraph& graph) {
    drawn_ = history_.Curves(graph.GetDomain(), graph.GetYMode(), graph.PhaseDisplay());
    std::vector<Graphing::DrawEntry> entries;
    entries.reserve(drawn_.size());
    for (const Graphing::GraphCurve& c : drawn_)
        entries.push_back({c.x, c.y, c.pen});
    return entries;
}
