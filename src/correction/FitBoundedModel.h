#pragma once
// The section parameters as the refinement varies them: each pole or zero pair through
// variables whose bounds are the fit's limits. A complex pair is varied through the logarithm
// of its natural frequency and the position of its Q between the lowest Q that keeps its angle
// inside the fit band and the Q limit at that frequency; real poles through the logarithms of
// their decay rates, real zeros directly within [-1, 1]. Every point inside the bounds is a
// stable cascade within the Q limit whose pairs stay in the band.

#include <vector>

#include "correction/FitState.h"

namespace fit_refine {

enum class PairKind {
    Held,       // not varied: an identity pair, or one the section fit left outside the bounds
    Resonance,  // log natural frequency, position of Q between its bounds (0 to 1)
    RealPoles,  // two real poles e^(-d): log d each
    RealZeros,  // two real zeros in [-1, 1]
};

struct PairVar {
    PairKind kind = PairKind::Held;
    int param = 0;  // index of the pair's c1 in the parameter vector
    int var = 0;    // index of its first variable
};

struct Bounds {
    int fsEq = 0;
    double omegaLow = 0.0;  // lowest angle of a pair and lowest decay rate of a real pole
    double omegaHigh = 0.0;
    double lnW0Min = 0.0;  // natural frequencies of a resonance
    double lnW0Max = 0.0;
};

class BoundedModel {
public:
    // The variables of params (4 per section) within the limits of the state's fit band.
    BoundedModel(const EqFitState& state, const std::vector<double>& params);

    int Count() const { return static_cast<int>(x_.size()); }
    const std::vector<double>& X() const { return x_; }
    double Lower(int i) const { return lower_[static_cast<size_t>(i)]; }
    double Upper(int i) const { return upper_[static_cast<size_t>(i)]; }
    const std::vector<PairVar>& Pairs() const { return pairs_; }

    // The parameter vector at x, and d(c1, c2) / d(v0, v1) of every varied pair (4 values
    // each, row by row).
    void Params(const std::vector<double>& x, std::vector<double>& params,
                std::vector<double>& derivatives) const;

private:
    Bounds bounds_;
    std::vector<double> base_;
    std::vector<PairVar> pairs_;
    std::vector<double> x_, lower_, upper_;
};

}  // namespace fit_refine
