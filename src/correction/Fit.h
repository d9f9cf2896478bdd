#pragma once
// The room equaliser fit: a cascade of second-order sections whose magnitude, times one free
// overall gain, approximates the correction target / measurement inside the fit band. Sections
// are grown one at a time where the error is largest, refined by Levenberg-Marquardt under
// stability and Q limits, and finally rearranged for fixed-point execution.

#include "correction/EqResult.h"
#include "correction/FitMethod.h"
#include "correction/FitState.h"

#include <memory>
#include <vector>

class CCurve;

struct FitOutcome {
    EqResult eq;
    std::shared_ptr<CCurve> calculated;  // the averaged measurement through the equaliser
    double rmsDb = 0.0;                  // the fit's own error over the fit points, dB
    double maxDb = 0.0;
    double error = 0.0;  // the error the fit minimises (FitError) at its result
};

// The whole fit on curves: sections at fsEq Hz fitted between low and high Hz so that
// averaged, equalised, follows target placed at levelDb; the target is then scaled to that
// level (the fit may change the averaged curve's storage format, not its values). The refined
// method runs RefineSections after the section fit. The correction is limited to boostLimit
// above unity (LimitBoost). Raises tsl::wruntime_error for values no fit can use.
FitOutcome FitEqualizerCurves(CCurve& averaged, CCurve& target, int fsEq, int sections, double low,
                              double high, double levelDb, FitMethod method,
                              double boostLimit = kSeedBoostLimit);

// The section fit; returns the final error. Leaves the best parameters, their residuals and
// gain in the state, and the fit band's indices and range.
double FitSections(EqFitState& state, CCurve& averaged, double low, double high, double levelDb);

// The refinement after FitSections, from its best parameters: the same error minimised with
// every pole and zero pair kept stable, within the Q limit and with its angle inside the band;
// then a section that changes the response by less than 0.1 dB over the band is placed again
// where the error is largest, while that lowers the error, and then every section in turn, all
// within a fixed budget of solver iterations; its solves and passes end where they stall. The
// best parameters are replaced only by ones of lower error. Returns the final error; the state
// is left as FitSections leaves it.
double RefineSections(EqFitState& state);

// One bounded local solve of the refinement from params (in/out), iterationLimit solver
// iterations unless it converges first (it does not stop where it merely stalls); pairs outside
// the bounds, and identity pairs, are held. Returns the error at the result. Needs the fit
// points and the band of FitSections in the state.
double RefineLocal(EqFitState& state, std::vector<double>& params, int iterationLimit);

// Sum of squared residuals of the first paramCount / 4 sections; with 0 every q is 1. Updates
// q, e and the gain of every point.
double FitError(EqFitState& state, const double* params, int paramCount);

// Marquardt-damped Gauss-Newton over the first paramCount parameters. Returns the iterations
// used, or kSingularSystem when the damped normal equations are singular; error holds the last
// accepted error.
inline constexpr int kSingularSystem = -2;
int LevenbergMarquardt(EqFitState& state, int paramCount, double* params, double& error,
                       int iterationLimit, double tolerance);

// a += row^T row for each of count consecutive rows of n values, upper triangle only (k >= j
// of a row-major n x n a), each element summed in row order.
void AddRowProducts(double* a, const double* rows, int count, int n);

// Solves the n x n row-major system m x = rhs by Householder QR; false when singular. m and
// rhs are overwritten.
bool SolveHouseholder(int n, double* m, double* rhs, double* x);

// Writes the initial parameters of section k (1-based) into params: a peak or dip where the
// residual is largest between the fit points lowIndex and highIndex.
void AddSection(EqFitState& state, int k, double* params, int lowIndex, int highIndex);

// Reflects the roots of 1 + c1 z^-1 + c2 z^-2 into the unit circle; true when they moved.
bool StabilizePair(double& c1, double& c2);

// Pulls back complex pole and zero pairs whose Q exceeds the frequency-dependent limit; true
// when any pair was changed.
bool LimitSectionQ(int sectionCount, double* params, int fsEq, double qBase);

// Removes sections whose poles (or, failing that, zeros) lie outside [omegaLow, omegaHigh];
// later sections move down and the freed tail becomes identity sections. Returns the remaining
// count.
int PruneSections(int sectionCount, double* params, int fsEq, double omegaLow, double omegaHigh);

// Turns the best parameters into the section arrays: pole-zero pairing, section order, peak
// scaling and the overall gain in 0.5 dB steps.
void FinalizeCascade(EqFitState& state);

// The band record of section index of the finished cascade.
EqBand GetBand(const EqFitState& state, int index);

// out = averaged with every magnitude multiplied by the finished equaliser's response.
void ApplyEqualizer(const EqFitState& state, CCurve& out, const CCurve& averaged);
