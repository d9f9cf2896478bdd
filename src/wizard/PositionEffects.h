#pragma once
// Whether the equaliser helps every position: each position's level against the target over the
// fit band as measured and through the equaliser, and through an equaliser fitted to the other
// positions only (how a seat the fit never saw would fare).

#include <vector>

#include "document/DocData.h"

// A held-out figure this much worse (RMS) than the position as measured flags it.
inline constexpr double kHeldOutWorseDb = 1.0;

// One entry per measurement of a calculated document, in position order: the deviations from
// the target over the fit band, at the position's points, each about its own mean (the level
// is the level control's, the same at every position); a position is made worse when its
// RMS after the equaliser exceeds the one before, or the held-out one exceeds it by more than
// kHeldOutWorseDb, and then carries the frequency where that figure's deviation grows most.
// The held-out equalisers are fitted as Calculate fits (the document's fit, limits and band)
// to the power average of the other positions, against the document's target at its level;
// one position has no held-out figure. Empty without a calculation: no valid equaliser or
// target, an unknown model, or a missing measurement. The held-out fits run in parallel; the
// result does not depend on how many. Raises what the fit raises.
std::vector<PositionEffect> EvaluatePositionEffects(const DocData& doc);
