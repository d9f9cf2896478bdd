#pragma once
// The built-in response tables of the two microphone families whose calibration files (versions
// 1 and 2) hold only the deviation of one microphone from its family.

#include "measure/Curve.h"

inline constexpr int kCalibrationTableRows = 281;

// Row k at 10 * 2^(k/25) Hz, level in dB and phase; nullptr for a version without a table.
CurvePtr CalibrationTableCurve(int version);
