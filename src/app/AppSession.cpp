#include "app/AppSession.h"

#include <iostream>

AppSession::AppSession(Env::Environment& environment) : environment_(environment) {}

AppSession::AppSession(const AppOptions& options, Env::Backends backends)
    : own_(std::make_unique<Env::Environment>(options.environment, std::move(backends), std::cerr)),
      environment_(*own_) {}

AppSession::~AppSession() = default;

MeasureEnvironment AppSession::Measure() const {
    MeasureEnvironment env = environment_.Measure();
    env.microphone = microphone_;
    env.calibrationUsed = [last = lastCalibration_](const CalibrationUsed& used) {
        std::lock_guard<std::mutex> hold(last->lock);
        last->used = used;
    };
    return env;
}

MeasureEnvironment AppSession::QuickMeasure(Threading::IClock* pace) const {
    MeasureEnvironment env = Measure();
    if (environment_.Simulated())
        env.recorders = environment_.Recorders(pace ? pace : &Threading::RealClock::Instance());
    return env;
}

std::optional<CalibrationUsed> AppSession::LastCalibration() const {
    std::lock_guard<std::mutex> hold(lastCalibration_->lock);
    return lastCalibration_->used;
}
