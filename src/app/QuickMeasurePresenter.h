#pragma once
// The quick measurement's window without Qt: the buttons' states, the refusal of a command the
// state does not allow, the log, the analysis of each block the session announces (on a thread
// of its own, through the pure AnalyseQuickBlock) and the last three responses the graph shows.
// It owns the measuring session (devices and task states, QuickMeasureSession) and draws
// through IQuickMeasureWindow; the window only draws and forwards its buttons.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/QuickAnalysis.h"
#include "app/QuickMeasureSession.h"
#include "measure/CurveWriter.h"
#include "threading/MessageBridge.h"
#include "threading/ThreadHandler.h"

inline constexpr wchar_t kQuickMeasureCaption[] = L"Quick Measure";
inline constexpr wchar_t kBusyText[] = L"Busy, please wait";

enum class QuickButton { Connect, Disconnect, Start, Stop };

// What the presenter needs of its window; called on the UI thread only.
class IQuickMeasureWindow {
public:
    virtual ~IQuickMeasureWindow() = default;
    virtual void DrawEnable(QuickButton button, bool enabled) = 0;
    // Appends to the end of the log (the text carries its own line ends).
    virtual void AppendLog(const std::wstring& text) = 0;
    virtual void DrawProgressRange(int32_t n) = 0;
    virtual void DrawProgressPos(int32_t n) = 0;
    // The history changed: rescale the graph to its curves or keep its scale, and repaint.
    virtual void RedrawGraph(bool rescale) = 0;
    // The window's own message boxes.
    virtual Threading::IPrompt& WindowPrompt() = 0;
};

class QuickMeasurePresenter final : public Threading::IWindow, public Graphing::CGraphCtrlCurves {
public:
    // environment: as QuickMeasureSession takes it. Made and used on the UI thread (the thread
    // that drains bridge).
    QuickMeasurePresenter(IQuickMeasureWindow& window, Threading::MessageBridge& bridge,
                          MeasureEnvironment environment);
    ~QuickMeasurePresenter() override;
    QuickMeasurePresenter(const QuickMeasurePresenter&) = delete;
    QuickMeasurePresenter& operator=(const QuickMeasurePresenter&) = delete;

    // Opens the session (its progress object and task thread) and draws the buttons.
    void OnInitDialog();
    // Buttons. A command the state does not allow shows "Busy, please wait" and does nothing.
    void OnConnect();
    void OnDisconnect();
    void OnStart();
    void OnStop();
    // Stops whatever runs (the subwoofer's tone among it) and releases everything; the window
    // closes afterwards. Safe to call twice.
    void OnClose();
    void UpdateControls();

    // IWindow: the session's messages (UM_DONE, UM_SET_DISPLAY_STRING, UM_CURVE_READY,
    // UM_PROC_TERMINATED, the progress bar) and the analyses' results.
    std::intptr_t OnMessage(const Threading::WND_MSG& message) override;
    // CGraphCtrlCurves
    std::vector<Graphing::DrawEntry> CurvesToDraw(const Graphing::CGraph& graph) override;

    // Receives each new curve under the name "Measurement" (not owned; may be null).
    void SetWriter(CCurveWriter* writer) { writer_ = writer; }

    int32_t State() const { return session_->State(); }
    QuickMeasureSession& Session() { return *session_; }
    QuickSampleBuffer& Buffer() { return session_->Buffer(); }
    Threading::WindowHandle Handle() const { return hwnd_; }
    const QuickHistory& History() const { return history_; }
    const std::wstring& Log() const { return log_; }

private:
    struct AnalysisJob;
    // Draws the buttons after a command the session took; the busy box after one it refused.
    void Requested(bool queued);
    void OnCurveReady(std::uintptr_t buffer);
    void OnAnalysed(const CurvePtr& curve, uint64_t generation);
    void RunAnalysis(std::shared_ptr<AnalysisJob> job);
    void OnCaptureEnded(const Threading::WND_MSG& message);

    IQuickMeasureWindow& window_;
    Threading::MessageBridge& bridge_;
    Threading::WindowHandle hwnd_;
    std::unique_ptr<QuickMeasureSession> session_;
    std::unique_ptr<Threading::ThreadHandler<QuickMeasurePresenter, std::shared_ptr<AnalysisJob>>>
        analysis_;

    QuickHistory history_;
    std::vector<Graphing::GraphCurve> drawn_;
    std::wstring log_;
    CCurveWriter* writer_ = nullptr;
    bool analysing_ = false;
    uint64_t generation_ = 0;  // moves on at every Start and Stop; older results are dropped
    bool closed_ = false;
};
