#include "wizard/TargetDetection.h"

#include "document/DocData.h"
#include "measure/Curve.h"
#include "threading/RegisteredMessages.h"

namespace {

const uint32_t& DetectedMessage() {
    static const uint32_t message = Threading::RegisterWindowMessage(L"UM_TARGET_DETECTED");
    return message;
}

// A detection's result on its way to the UI thread with the call that takes it.
struct DetectedRecord final : Threading::WND_MSG {
    DetectedRecord(Threading::WindowHandle h, std::optional<TargetSettings> r, TargetDetectDone d)
        : WND_MSG(h, DetectedMessage(), 0, 0), result(r), done(std::move(d)) {}
    std::optional<TargetSettings> result;
    TargetDetectDone done;
};

}  // namespace

struct TargetDetectWorker::Job {
    DocData data;  // the measurements only, copies of their own
    TargetSettings settings;
    TargetDetectDone done;
};

TargetDetectWorker::TargetDetectWorker(Threading::MessageBridge& bridge)
    : bridge_(bridge), hwnd_(bridge.Windows().Register(this)) {}

TargetDetectWorker::~TargetDetectWorker() {
    thread_.reset();
    bridge_.Windows().Unregister(hwnd_);
}

TargetDetector TargetDetectWorker::Detector(const DocData& data) {
    return [this, &data](const TargetSettings& settings, TargetDetectDone done) {
        Start(data, settings, std::move(done));
    };
}

void TargetDetectWorker::Start(const DocData& data, const TargetSettings& settings,
                               TargetDetectDone done) {
    auto job = std::make_shared<Job>();
    for (const CurvePtr& curve : data.measurements)
        job->data.measurements.push_back(curve ? std::make_shared<CCurve>(*curve) : nullptr);
    job->settings = settings;
    job->done = std::move(done);
    if (!thread_)
        thread_ =
            std::make_unique<Threading::ThreadHandler<TargetDetectWorker, std::shared_ptr<Job>>>();
    thread_->AddTask(&TargetDetectWorker::Run, this, std::move(job));
}

void TargetDetectWorker::Run(std::shared_ptr<Job> job) {
    std::optional<TargetSettings> result = job->settings;
    try {
        if (!AutoDetectTargetSettings(job->data, *result))
            result.reset();
    } catch (const std::exception&) {
        // Nothing detected: the dialog keeps its values and takes input again.
        result.reset();
    }
    bridge_.Post(std::make_unique<DetectedRecord>(hwnd_, result, std::move(job->done)));
}

std::intptr_t TargetDetectWorker::OnMessage(const Threading::WND_MSG& message) {
    if (message.message == DetectedMessage())
        if (const auto* record = dynamic_cast<const DetectedRecord*>(&message))
            if (record->done)
                record->done(record->result);
    return 0;
}
