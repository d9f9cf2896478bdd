#pragma once
// The quick measurement's logic: connect to the subwoofer, let it play its sweep continuously,
// analyse the microphone's samples over and over and keep the last three responses. Connect,
// Disconnect, Start and Stop run one at a time on the task thread; the capture thread fills the
// sample buffer; each analysis runs on a thread of its own and hands its curve to the UI
// thread. The window only draws: it implements IQuickMeasureWindow and forwards its buttons.

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "app/QuickAnalysis.h"
#include "measure/CurveWriter.h"
#include "sublink/Progress.h"
#include "threading/MessageBridge.h"
#include "threading/ThreadHandler.h"
#include "threading/UiCall.h"
#include "wizard/MeasureStep.h"

// Controls of the dialog.
inline constexpr int IDC_QM_CLOSE = 1;
inline constexpr int IDC_QM_START = 1089;
inline constexpr int IDC_QM_STOP = 1090;
inline constexpr int IDC_QM_CONNECT = 1091;
inline constexpr int IDC_QM_AUTOSCALE = 1092;
inline constexpr int IDC_QM_DISCONNECT = 1093;
inline constexpr int IDC_QM_LOG = 1094;
inline constexpr int IDC_QM_PROGRESS = 1095;
inline constexpr int IDC_QM_GRAPH = 1030;
inline constexpr int kQuickMeasureTemplate = 148;

inline constexpr wchar_t kQuickMeasureCaption[] = L"Quick Measure";
inline constexpr wchar_t kBusyText[] = L"Busy, please wait";

// What the engine needs of its window; called on the UI thread only.
class IQuickMeasureWindow {
public:
    virtual ~IQuickMeasureWindow() = default;
    virtual void DrawEnable(int controlId, bool enabled) = 0;
    // Appends to the end of the log (the text carries its own line ends).
    virtual void AppendLog(const std::wstring& text) = 0;
    virtual void DrawProgressRange(int32_t n) = 0;
    virtual void DrawProgressPos(int32_t n) = 0;
    // The history changed: rescale the graph to its curves or keep its scale, and repaint.
    virtual void RedrawGraph(bool rescale) = 0;
    // The window's own message boxes.
    virtual Threading::IPrompt& WindowPrompt() = 0;
};

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
    virtual void UpdateControls() = 0;

    int32_t State() const { return state_.load(); }

protected:
    std::atomic<int32_t> state_{kQmDisconnected};
};

class QuickMeasure final : public CQuickMeasure_Tasks,
                           public Threading::IWindow,
                           public Graphing::CGraphCtrlCurves {
public:
    // environment: the subwoofer's bus, the recorders, the calibration folder and the check
    // window, as the Measure step has them. Made and used on the UI thread (the thread that
    // drains bridge).
    QuickMeasure(IQuickMeasureWindow& window, Threading::MessageBridge& bridge,
                 MeasureEnvironment environment);
    ~QuickMeasure() override;
    QuickMeasure(const QuickMeasure&) = delete;
    QuickMeasure& operator=(const QuickMeasure&) = delete;

    // Registers the window, makes the progress object and the task thread.
    void OnInitDialog();
    // Buttons. A command the state does not allow shows "Busy, please wait" and does nothing.
    void OnConnect();
    void OnDisconnect();
    void OnStart();
    void OnStop();
    // Stops whatever runs (the subwoofer's tone among it) and releases everything; the window
    // closes afterwards. Safe to call twice.
    void OnClose();

    // CQuickMeasure_Tasks
    void TaskSucceeded(QuickMeasureTaskData data) override;
    void TaskFailed(QuickMeasureTaskData data) override;
    void ConnectTask(QuickMeasureTaskData data) override;
    void DisconnectTask(QuickMeasureTaskData data) override;
    void StartTask(QuickMeasureTaskData data) override;
    void StopTask(QuickMeasureTaskData data) override;
    void UpdateControls() override;

    // IWindow: UM_DONE, UM_SET_DISPLAY_STRING, UM_CURVE_READY, UM_PROC_TERMINATED, the
    // progress bar and the analyses' results.
    std::intptr_t OnMessage(const Threading::WND_MSG& message) override;
    // CGraphCtrlCurves
    std::vector<Graphing::DrawEntry> CurvesToDraw(const Graphing::CGraph& graph) override;

    // Receives each new curve under the name "Measurement" (not owned; may be null).
    void SetWriter(CCurveWriter* writer) { writer_ = writer; }

    Threading::WindowHandle Handle() const { return hwnd_; }
    const QuickHistory& History() const { return history_; }
    QuickSampleBuffer& Buffer() { return *buffer_; }
    const std::wstring& Log() const { return log_; }

private:
    struct AnalysisJob;
    void Queue(int32_t allowed1, int32_t allowed2, int32_t busy, int32_t success, int32_t failure,
               void (CQuickMeasure_Tasks::*task)(QuickMeasureTaskData));
    void Status(const std::wstring& text);
    void ErrorBox(const std::wstring& text, const std::wstring& caption);
    void OnCurveReady(std::uintptr_t buffer);
    void OnAnalysed(const CurvePtr& curve, uint64_t generation);
    void RunAnalysis(std::shared_ptr<AnalysisJob> job);
    void OnCaptureEnded(const Threading::WND_MSG& message);
    // Stops the recorder, forgets it and empties the buffer.
    void ReleaseCapture();

    IQuickMeasureWindow& window_;
    Threading::MessageBridge& bridge_;
    MeasureEnvironment environment_;
    Threading::WindowHandle hwnd_ = Threading::kNoWindow;
    Threading::UiCaller ui_;
    Threading::UiPrompt prompt_;
    std::unique_ptr<CUsbController::MultiThreadedProgress> progress_;
    std::unique_ptr<Threading::ThreadHandler<CQuickMeasure_Tasks, QuickMeasureTaskData>> tasks_;
    std::unique_ptr<Threading::ThreadHandler<QuickMeasure, std::shared_ptr<AnalysisJob>>> analysis_;

    // The devices belong to the task thread, and to OnClose once that thread has ended. The
    // correction is also read by the UI thread for each analysis, under its lock.
    std::unique_ptr<SubConnection> connection_;
    std::shared_ptr<AudioSampler::AudioRec> recorder_;
    int32_t calibrationVersion_ = 1;
    std::mutex correctionLock_;
    CorrectionManagerPtr correction_;

    std::shared_ptr<QuickSampleBuffer> buffer_;
    std::atomic<bool> endReported_{false};
    QuickHistory history_;
    std::vector<Graphing::GraphCurve> drawn_;
    std::wstring log_;
    CCurveWriter* writer_ = nullptr;
    bool analysing_ = false;
    uint64_t generation_ = 0;  // moves on at every Start and Stop; older results are dropped
    bool closed_ = false;
};

// Failure texts of the tasks.
inline constexpr wchar_t kMustBeConnectedText[] =
    L"Must be connected to a unit before starting the audio sampling";
inline constexpr wchar_t kInvalidCalibrationVersionText[] = L"Invalid calibration file version";
