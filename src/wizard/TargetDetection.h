#pragma once
// The target dialog's Auto Detect on a worker thread of its own, so the window stays responsive
// while the crossover is searched for. Made, used and destroyed on the UI thread (the thread that
// drains the bridge); each result comes back there as a message.

#include <cstdint>
#include <memory>

#include "threading/MessageBridge.h"
#include "threading/ThreadHandler.h"
#include "wizard/TargetPresenter.h"

class TargetDetectWorker final : public Threading::IWindow {
public:
    explicit TargetDetectWorker(Threading::MessageBridge& bridge);
    // Waits for a detection that runs; a result not yet delivered is dropped.
    ~TargetDetectWorker() override;
    TargetDetectWorker(const TargetDetectWorker&) = delete;
    TargetDetectWorker& operator=(const TargetDetectWorker&) = delete;

    // The detector over data's measurements, copied at each start (data must outlive it).
    TargetDetector Detector(const DocData& data);
    void Start(const DocData& data, const TargetSettings& settings, TargetDetectDone done);

    // IWindow: the results.
    std::intptr_t OnMessage(const Threading::WND_MSG& message) override;

private:
    struct Job;
    void Run(std::shared_ptr<Job> job);

    Threading::MessageBridge& bridge_;
    Threading::WindowHandle hwnd_;
    std::unique_ptr<Threading::ThreadHandler<TargetDetectWorker, std::shared_ptr<Job>>> thread_;
};
