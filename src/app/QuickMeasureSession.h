#pragma once
// The quick measurement's devices and their states: Connect, Disconnect, Start and Stop run one
// at a time on the task thread, the capture thread fills the sample buffer. The session tells
// its window everything through the bridge: the end of each task (UM_DONE), status lines and
// progress, each block the buffer has for an analysis (UM_CURVE_READY, wParam the buffer's
// address) and the end of a capture that stopped by itself (UM_PROC_TERMINATED).

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "app/QuickAnalysis.h"
#include "sublink/Progress.h"
#include "threading/MessageBridge.h"
#include "threading/ThreadHandler.h"
#include "threading/UiCall.h"
#include "wizard/MeasureStep.h"

// The connection states.
enum QuickState : int32_t {
    kQmDisconnected = 0,
    kQmConnecting = 1,
    kQmConnected = 2,
    kQmDisconnecting = 3,
    kQmStarting = 4,
    kQmStopping = 5,
    kQmMeasuring = 6,
};

struct QuickMeasureTaskData {
    int32_t before = 0;
    int32_t success = 0;
    int32_t failure = 0;
    std::atomic<int32_t>* state = nullptr;
    CUsbController::Progress* progress = nullptr;
};

// The task set: the state word and the operations the task thread runs.
class CQuickMeasure_Tasks {
public:
    virtual ~CQuickMeasure_Tasks() = default;
    virtual void TaskSucceeded(QuickMeasureTaskData data) = 0;
    virtual void TaskFailed(QuickMeasureTaskData data) = 0;
    virtual void ConnectTask(QuickMeasureTaskData data) = 0;
    virtual void DisconnectTask(QuickMeasureTaskData data) = 0;
    virtual void StartTask(QuickMeasureTaskData data) = 0;
    virtual void StopTask(QuickMeasureTaskData data) = 0;

    int32_t State() const { return state_.load(); }

protected:
    std::atomic<int32_t> state_{kQmDisconnected};
};

class QuickMeasureSession final : public CQuickMeasure_Tasks {
public:
    // environment: the subwoofer's bus, the recorders, the calibration folder and the check
    // window, as the Measure step has them. window receives the messages; windowPrompt gives,
    // on the UI thread, the prompt the tasks' boxes are asked on. Made and used on the UI
    // thread (the thread that drains bridge).
    QuickMeasureSession(Threading::MessageBridge& bridge, Threading::WindowHandle window,
                        MeasureEnvironment environment,
                        std::function<Threading::IPrompt&()> windowPrompt);
    ~QuickMeasureSession() override;
    QuickMeasureSession(const QuickMeasureSession&) = delete;
    QuickMeasureSession& operator=(const QuickMeasureSession&) = delete;

    // Makes the progress object and the task thread.
    void Open();
    // Each queues its task when the state allows it and returns false otherwise (nothing runs).
    bool Connect();
    bool Disconnect();
    bool Start();
    bool Stop();
    // Stops whatever runs (the subwoofer's tone among it) and releases every device; a task
    // waiting for the user gets the declining answer. Safe to call twice.
    void Close();

    QuickSampleBuffer& Buffer() { return *buffer_; }
    // The microphone correction of the connection, for an analysis; any thread.
    CorrectionManagerPtr Correction();

    // CQuickMeasure_Tasks
    void TaskSucceeded(QuickMeasureTaskData data) override;
    void TaskFailed(QuickMeasureTaskData data) override;
    void ConnectTask(QuickMeasureTaskData data) override;
    void DisconnectTask(QuickMeasureTaskData data) override;
    void StartTask(QuickMeasureTaskData data) override;
    void StopTask(QuickMeasureTaskData data) override;

private:
    bool Queue(int32_t allowed1, int32_t allowed2, int32_t busy, int32_t success, int32_t failure,
               void (CQuickMeasure_Tasks::*task)(QuickMeasureTaskData));
    void Status(const std::wstring& text);
    void ErrorBox(const std::wstring& text, const std::wstring& caption);
    CorrectionManagerPtr LoadCorrection(CUsbController::UsbSubPlayDevice& play, int32_t& version);
    // Stops the recorder, forgets it and empties the buffer.
    void ReleaseCapture();

    Threading::MessageBridge& bridge_;
    Threading::WindowHandle window_;
    MeasureEnvironment environment_;
    Threading::UiCaller ui_;
    Threading::UiPrompt prompt_;
    std::unique_ptr<CUsbController::MultiThreadedProgress> progress_;
    std::unique_ptr<Threading::ThreadHandler<CQuickMeasure_Tasks, QuickMeasureTaskData>> tasks_;

    // The devices belong to the task thread, and to Close once that thread has ended. The
    // correction is also read by the UI thread for each analysis, under its lock.
    std::unique_ptr<SubConnection> connection_;
    std::shared_ptr<AudioSampler::AudioRec> recorder_;
    int32_t calibrationVersion_ = 1;
    std::mutex correctionLock_;
    CorrectionManagerPtr correction_;

    std::shared_ptr<QuickSampleBuffer> buffer_;
    std::atomic<bool> endReported_{false};
    bool closed_ = false;
};

// Failure texts of the tasks.
inline constexpr wchar_t kMustBeConnectedText[] =
    L"Must be connected to a unit before starting the audio sampling";
inline constexpr wchar_t kInvalidCalibrationVersionText[] = L"Invalid calibration file version";
