#pragma once
// The devices of a measurement in the simulated scene, its captures paced by a test's clock.

#include "sim/SimScene.h"
#include "threading/Clock.h"
#include "wizard/MeasureStep.h"

inline MeasureEnvironment SceneEnvironment(Sim::SimScene& scene, Threading::IClock* pace) {
    MeasureEnvironment env;
    env.usb = scene.Usb();
    env.recorders = scene.Recorders(pace);
    env.calibrationDir = scene.CalibrationDir();
    env.micSerial = scene.MicrophoneSerial();
    return env;
}
