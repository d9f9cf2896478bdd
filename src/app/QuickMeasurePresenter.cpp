#include "app/QuickMeasurePresenter.h"

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

}  // namespace

struct QuickMeasurePresenter::AnalysisJob {
    std::vector<double> samples;
    CorrectionManagerPtr correction;
    uint64_t generation = 0;
};

QuickMeasurePresenter::QuickMeasurePresenter(IQuickMeasureWindow& window,
                                             Threading::MessageBridge& bridge,
                                             MeasureEnvironment environment)
    : window_(window), bridge_(bridge), hwnd_(bridge.Windows().Register(this)) {
    session_ = std::make_unique<QuickMeasureSession>(
        bridge, hwnd_, std::move(environment),
        [this]() -> Threading::IPrompt& { return window_.WindowPrompt(); });
}

QuickMeasurePresenter::~QuickMeasurePresenter() {
    OnClose();
}

void QuickMeasurePresenter::OnInitDialog() {
    session_->Open();
    if (!analysis_ && !closed_)
        analysis_ = std::make_unique<
            Threading::ThreadHandler<QuickMeasurePresenter, std::shared_ptr<AnalysisJob>>>();
    UpdateControls();
}

void QuickMeasurePresenter::Requested(bool queued) {
    if (!queued) {
        window_.WindowPrompt().MessageBox(kBusyText, L"Error", MsgButtons::Ok, MsgIcon::Error);
        return;
    }
    UpdateControls();
}

void QuickMeasurePresenter::OnConnect() {
    Requested(session_->Connect());
}

void QuickMeasurePresenter::OnDisconnect() {
    Requested(session_->Disconnect());
}

void QuickMeasurePresenter::OnStart() {
    if (session_->State() == kQmConnected) {
        ++generation_;
        history_.Clear();
        window_.RedrawGraph(true);
    }
    Requested(session_->Start());
}

void QuickMeasurePresenter::OnStop() {
    if (session_->State() == kQmMeasuring)
        ++generation_;
    Requested(session_->Stop());
}

void QuickMeasurePresenter::OnClose() {
    if (closed_)
        return;
    closed_ = true;
    session_->Close();
    analysis_.reset();
    bridge_.Windows().Unregister(hwnd_);
}

void QuickMeasurePresenter::UpdateControls() {
    const int32_t state = session_->State();
    window_.DrawEnable(QuickButton::Connect, state == kQmDisconnected);
    window_.DrawEnable(QuickButton::Disconnect, state == kQmConnected || state == kQmMeasuring);
    window_.DrawEnable(QuickButton::Start, state == kQmConnected);
    window_.DrawEnable(QuickButton::Stop, state == kQmMeasuring);
}

std::intptr_t QuickMeasurePresenter::OnMessage(const Threading::WND_MSG& message) {
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

void QuickMeasurePresenter::OnCurveReady(std::uintptr_t buffer) {
    QuickSampleBuffer& own = session_->Buffer();
    if (buffer != reinterpret_cast<std::uintptr_t>(&own) || !analysis_ ||
        session_->State() != kQmMeasuring || analysing_)
        return;
    auto job = std::make_shared<AnalysisJob>();
    if (!own.Read(job->samples, kQuickBlockSamples, kQuickAdvance))
        return;
    job->correction = session_->Correction();
    job->generation = generation_;
    analysing_ = true;
    analysis_->AddTask(&QuickMeasurePresenter::RunAnalysis, this, std::move(job));
}

void QuickMeasurePresenter::RunAnalysis(std::shared_ptr<AnalysisJob> job) {
    CurvePtr curve = AnalyseQuickBlock(job->samples, job->correction.get());
    bridge_.Post(std::make_unique<AnalysedRecord>(hwnd_, std::move(curve), job->generation));
}

void QuickMeasurePresenter::OnAnalysed(const CurvePtr& curve, uint64_t generation) {
    analysing_ = false;
    if (curve && generation == generation_ && session_->State() == kQmMeasuring) {
        if (writer_)
            writer_->WriteNamedCurve(*curve, L"Measurement");
        const bool trimmed = history_.Add(curve);
        window_.RedrawGraph(!trimmed);
    }
    // Samples that arrived meanwhile are not announced again.
    OnCurveReady(reinterpret_cast<std::uintptr_t>(&session_->Buffer()));
}

void QuickMeasurePresenter::OnCaptureEnded(const Threading::WND_MSG& message) {
    if (!message.Text().empty())
        window_.WindowPrompt().MessageBox(message.Text(), kApplicationTitle, MsgButtons::Ok,
                                          MsgIcon::None);
    const int32_t state = session_->State();
    if (state == kQmConnected || state == kQmMeasuring)
        OnDisconnect();
}

std::vector<Graphing::DrawEntry> QuickMeasurePresenter::CurvesToDraw(
    const Graphing::CGraph& graph) {
    drawn_ = history_.Curves(graph.GetDomain(), graph.GetYMode(), graph.PhaseDisplay());
    std::vector<Graphing::DrawEntry> entries;
    entries.reserve(drawn_.size());
    for (const Graphing::GraphCurve& c : drawn_)
        entries.push_back({c.x, c.y, c.pen});
    return entries;
}
