// The refinement after the section fit: the same error minimised over the same sections by a
// Levenberg-Marquardt solve whose bounds are the Q limit and the fit band (FitBoundedModel.h),
// so no clip after the solver undoes its progress. Sections that do next to nothing are placed
// again where the error is largest, then every section in turn, within a fixed budget of solver
// iterations; a result replaces the section fit's only when its error is lower. The search runs
// whatever the error (how much a section placed again can gain does not follow from how small
// the error already is), and stops where it stalls: a solve whose last steps gain next to
// nothing, a pass whose placements only return to where they were. Everything is
// deterministic: the same fit points give the same sections.

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "correction/Fit.h"
#include "correction/FitBoundedModel.h"

namespace {

using fit_refine::BoundedModel;
using fit_refine::PairVar;

constexpr double kQBase = 16.0;
// A section whose response spans less than this over the fit band is placed again.
constexpr double kWeakSectionDb = 0.1;
// Solver iterations of the first solve, of each solve after a section was placed again, and of
// the whole refinement; a solve also ends when a step gains less than the tolerance.
constexpr int kLocalIterations = 150;
constexpr int kReseedIterations = 60;
constexpr int kIterationBudget = 2400;
constexpr double kTolerance = 1e-12;
// A section placed again is solved to the end only when after the first iterations its error is
// within this factor of the best so far.
constexpr int kProbeIterations = 10;
constexpr double kPromising = 1.5;
// A search solve ends when its last kStallSteps accepted steps together lowered the error by
// less than this share of it.
constexpr int kStallSteps = 5;
constexpr double kStallGain = 1e-5;
// Weak sections are placed again, and passes repeated, only while each lowers the error by more
// than this share of it; less means it found the optimum it started from again (a placement
// that does is still kept).
constexpr double kProgress = 1e-6;

// The cascade at one point of the variables: its parameters, the magnitudes of every section at
// every fit point, their products, the least-squares gain and the error.
struct Evaluation {
    std::vector<double> x, params, derivatives;
    std::vector<double> mags;  // points x sections
    std::vector<double> q;
    double gain = 0.0;
    double error = 0.0;
};

// As FitError computes it, without touching the state.
void Evaluate(const EqFitState& state, const BoundedModel& model, Evaluation& ev) {
    model.Params(ev.x, ev.params, ev.derivatives);
    const size_t n = state.points.size();
    const int sections = state.sections;
    ev.mags.resize(n * static_cast<size_t>(sections));
    ev.q.resize(n);
    double sumRq = 0.0;
    double sumQq = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const FitPoint& p = state.points[i];
        double* m = ev.mags.data() + i * static_cast<size_t>(sections);
        double q = 1.0;
        for (int k = 0; k < sections; ++k) {
            m[k] = SectionMagnitude(p, ev.params.data() + kSectionParams * k);
            q *= m[k];
        }
        ev.q[i] = q;
        sumRq += p.r * q;
        sumQq += q * q;
    }
    ev.gain = sumQq > 0.0 ? sumRq / sumQq : 0.0;
    double error = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double e = ev.gain * ev.q[i] - state.points[i].r;
        error += e * e;
    }
    ev.error = error;
}

// The Jacobian of the residuals with respect to the variables at ev (points x variables), its
// normal matrix a = J^T J and b = -J^T e. The gain's own change is taken into account to first
// order: every column is projected off the model magnitudes, along which the least-squares gain
// absorbs any change.
void NormalEquations(const EqFitState& state, const BoundedModel& model, const Evaluation& ev,
                     std::vector<double>& jacobian, std::vector<double>& a,
                     std::vector<double>& b) {
    const int sections = state.sections;
    const int m = model.Count();
    const size_t mm = static_cast<size_t>(m);
    const size_t n = state.points.size();
    const std::vector<PairVar>& pairs = model.Pairs();
    jacobian.assign(n * mm, 0.0);
    std::vector<double> after(static_cast<size_t>(sections) + 1);
    std::vector<double> dq(ev.params.size());
    std::vector<double> qdq(mm, 0.0);
    double qq = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const FitPoint& p = state.points[i];
        const double* mags = ev.mags.data() + i * static_cast<size_t>(sections);
        after[sections] = 1.0;
        for (int k = sections - 1; k >= 0; --k)
            after[k] = after[k + 1] * mags[k];
        double before = 1.0;
        for (int k = 0; k < sections; ++k) {
            const double* s = ev.params.data() + kSectionParams * k;
            const double rest = before * after[k + 1];
            const double nr = 1.0 + s[0] * p.cos1 + s[1] * p.cos2;
            const double ni = s[0] * p.nsin1 + s[1] * p.nsin2;
            const double dr = 1.0 + s[2] * p.cos1 + s[3] * p.cos2;
            const double di = s[2] * p.nsin1 + s[3] * p.nsin2;
            const double num = nr * nr + ni * ni;
            const double den = dr * dr + di * di;
            // d|H|/db = (Re N dRe + Im N dIm) / (|N| |D|); d|H|/da = -|H| (...) / |D|^2.
            const double zeroScale = (num > 0.0 && den > 0.0) ? rest / std::sqrt(num * den) : 0.0;
            const double poleScale = den > 0.0 ? -rest * mags[k] / den : 0.0;
            double* d = dq.data() + kSectionParams * k;
            d[0] = zeroScale * (nr * p.cos1 + ni * p.nsin1);
            d[1] = zeroScale * (nr * p.cos2 + ni * p.nsin2);
            d[2] = poleScale * (dr * p.cos1 + di * p.nsin1);
            d[3] = poleScale * (dr * p.cos2 + di * p.nsin2);
            before *= mags[k];
        }
        double* row = jacobian.data() + i * mm;
        for (size_t j = 0; j < pairs.size(); ++j) {
            const double* t = ev.derivatives.data() + 4 * j;
            const double g1 = dq[pairs[j].param];
            const double g2 = dq[pairs[j].param + 1];
            row[pairs[j].var] = g1 * t[0] + g2 * t[2];
            row[pairs[j].var + 1] = g1 * t[1] + g2 * t[3];
        }
        const double q = ev.q[i];
        qq += q * q;
        for (size_t j = 0; j < mm; ++j)
            qdq[j] += q * row[j];
    }
    a.assign(mm * mm, 0.0);
    b.assign(mm, 0.0);
    const double g = ev.gain;
    for (size_t j = 0; j < mm; ++j)
        qdq[j] = qq > 0.0 ? qdq[j] / qq : 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double q = ev.q[i];
        const double e = g * q - state.points[i].r;
        double* row = jacobian.data() + i * mm;
        for (size_t j = 0; j < mm; ++j) {
            row[j] = g * (row[j] - q * qdq[j]);
            b[j] -= row[j] * e;
        }
    }
    AddRowProducts(a.data(), jacobian.data(), static_cast<int>(n), m);
    for (size_t j = 0; j < mm; ++j)
        for (size_t k = j + 1; k < mm; ++k)
            a[k * mm + j] = a[j * mm + k];
}

// Sum of x[j] y[j] for j below n, in four interleaved partial sums.
double Dot(const double* x, const double* y, size_t n) {
    double s0 = 0.0, s1 = 0.0, s2 = 0.0, s3 = 0.0;
    size_t j = 0;
    for (; j + 4 <= n; j += 4) {
        s0 += x[j] * y[j];
        s1 += x[j + 1] * y[j + 1];
        s2 += x[j + 2] * y[j + 2];
        s3 += x[j + 3] * y[j + 3];
    }
    for (; j < n; ++j)
        s0 += x[j] * y[j];
    return (s0 + s1) + (s2 + s3);
}

// Solves (a + lambda diag) x = b - a s over the open variables, s being the steps already set
// for the others; false when the damped matrix is not positive definite.
bool SolveDamped(int m, const std::vector<double>& a, const std::vector<double>& b,
                 const std::vector<char>& open, double lambda, std::vector<double>& x) {
    std::vector<int> idx;
    for (int j = 0; j < m; ++j)
        if (open[j])
            idx.push_back(j);
    const int k = static_cast<int>(idx.size());
    if (k == 0)
        return true;
    const size_t mm = static_cast<size_t>(m);
    const size_t kk = static_cast<size_t>(k);
    double largest = 0.0;
    for (int j : idx)
        largest = std::max(largest, a[static_cast<size_t>(j) * mm + j]);
    if (!(largest > 0.0) || !std::isfinite(largest))
        return false;
    // Cholesky factor, lower triangle row by row, with the reciprocals of its diagonal.
    std::vector<double> l(kk * kk, 0.0);
    std::vector<double> inverse(kk);
    for (size_t r = 0; r < kk; ++r) {
        const double* lr = l.data() + r * kk;
        for (size_t c = 0; c <= r; ++c) {
            double v = a[static_cast<size_t>(idx[r]) * mm + idx[c]];
            if (r == c)
                v += lambda * std::max(v, 1e-12 * largest);
            v -= Dot(lr, l.data() + c * kk, c);
            if (r == c) {
                if (!(v > 0.0) || !std::isfinite(v))
                    return false;
                l[r * kk + r] = std::sqrt(v);
                inverse[r] = 1.0 / l[r * kk + r];
            } else {
                l[r * kk + c] = v * inverse[c];
            }
        }
    }
    std::vector<double> y(kk);
    for (size_t r = 0; r < kk; ++r) {
        double v = b[idx[r]];
        for (int j = 0; j < m; ++j)
            if (!open[j] && x[j] != 0.0)
                v -= a[static_cast<size_t>(idx[r]) * mm + j] * x[j];
        v -= Dot(l.data() + r * kk, y.data(), r);
        y[r] = v * inverse[r];
    }
    for (size_t r = kk; r-- > 0;) {
        double v = y[r];
        for (size_t j = r + 1; j < kk; ++j)
            v -= l[j * kk + r] * y[j];
        y[r] = v * inverse[r];
    }
    for (size_t r = 0; r < kk; ++r)
        x[idx[r]] = y[r];
    return true;
}

// The damped step within the bounds: the held variables do not move, a variable whose step
// would cross a bound stops on it and the others are solved again for what remains.
bool BoundedStep(const BoundedModel& model, const std::vector<double>& x,
                 const std::vector<double>& a, const std::vector<double>& b,
                 const std::vector<char>& free, double lambda, std::vector<double>& step) {
    const int m = model.Count();
    std::vector<char> open = free;
    step.assign(static_cast<size_t>(m), 0.0);
    for (int pass = 0; pass <= m; ++pass) {
        if (!SolveDamped(m, a, b, open, lambda, step))
            return false;
        bool crossed = false;
        for (int j = 0; j < m; ++j) {
            const double to = x[j] + step[j];
            if (open[j] && (to < model.Lower(j) || to > model.Upper(j))) {
                open[j] = 0;
                step[j] = std::clamp(to, model.Lower(j), model.Upper(j)) - x[j];
                crossed = true;
            }
        }
        if (!crossed)
            break;
    }
    return true;
}

// Levenberg-Marquardt over the model's variables within their bounds: a variable on a bound
// that the gradient pushes outward is held for the step. Only steps that lower the error are
// taken. With stall, the solve also ends when its last kStallSteps steps gained less than
// kStallGain of the error. Returns the parameters reached.
std::vector<double> SolveBounded(const EqFitState& state, const BoundedModel& model,
                                 int iterationLimit, bool stall, int& used) {
    used = 0;
    Evaluation current;
    current.x = model.X();
    Evaluate(state, model, current);
    const int m = model.Count();
    if (m == 0)
        return current.params;
    const size_t mm = static_cast<size_t>(m);
    Evaluation trial;
    std::vector<double> jacobian, a, b, step;
    std::vector<char> free(mm);
    double lambda = 1e-3;
    double grow = 2.0;
    bool normalsReady = false;
    std::vector<double> accepted;  // the error after each step taken
    for (int iteration = 0; iteration < iterationLimit; ++iteration) {
        used = iteration + 1;
        if (!normalsReady) {
            NormalEquations(state, model, current, jacobian, a, b);
            bool any = false;
            for (int j = 0; j < m; ++j) {
                const bool outLow = current.x[j] <= model.Lower(j) && b[j] < 0.0;
                const bool outHigh = current.x[j] >= model.Upper(j) && b[j] > 0.0;
                free[j] = !(outLow || outHigh);
                any = any || free[j];
            }
            if (!any)
                break;
            normalsReady = true;
        }
        bool solved = BoundedStep(model, current.x, a, b, free, lambda, step);
        if (solved) {
            trial.x = current.x;
            for (int j = 0; j < m; ++j)
                trial.x[j] = std::clamp(current.x[j] + step[j], model.Lower(j), model.Upper(j));
            Evaluate(state, model, trial);
        }
        if (solved && trial.error < current.error) {
            // The linear model's promise for the step against what it gave.
            double predicted = 0.0;
            for (size_t j = 0; j < mm; ++j) {
                double ad = 0.0;
                for (size_t k = 0; k < mm; ++k)
                    ad += a[j * mm + k] * step[k];
                predicted += step[j] * (2.0 * b[j] - ad);
            }
            const double gained = current.error - trial.error;
            const double ratio = predicted > 0.0 ? gained / predicted : 0.5;
            std::swap(current, trial);
            normalsReady = false;
            lambda *= std::max(1.0 / 3.0, 1.0 - std::pow(2.0 * ratio - 1.0, 3.0));
            lambda = std::max(lambda, 1e-12);
            grow = 2.0;
            if (gained <= kTolerance * current.error)
                break;
            accepted.push_back(current.error);
            const size_t steps = accepted.size();
            if (stall && steps > kStallSteps &&
                accepted[steps - 1 - kStallSteps] - current.error <= kStallGain * current.error)
                break;
            continue;
        }
        lambda *= grow;
        grow *= 2.0;
        if (lambda > 1e16)
            break;
    }
    return current.params;
}

// How much section k changes the response over the fit band, in dB from its lowest level to
// its highest.
double SectionSpanDb(const EqFitState& state, const double* section) {
    double lowest = HUGE_VAL;
    double highest = -HUGE_VAL;
    for (int i = state.lowIndex; i <= state.highIndex; ++i) {
        const double m = SectionMagnitude(state.points[i], section);
        const double db = 20.0 * std::log10(std::max(m, 1e-40));
        lowest = std::min(lowest, db);
        highest = std::max(highest, db);
    }
    return highest - lowest;
}

// The sections in order of increasing span, the first of equal spans first.
std::vector<int> ByIncreasingSpan(const EqFitState& state, const std::vector<double>& params) {
    std::vector<int> order(static_cast<size_t>(state.sections));
    std::vector<double> spans(order.size());
    for (int k = 0; k < state.sections; ++k) {
        order[k] = k;
        spans[k] = SectionSpanDb(state, params.data() + kSectionParams * k);
    }
    std::stable_sort(order.begin(), order.end(), [&](int x, int y) { return spans[x] < spans[y]; });
    return order;
}

// Local solves within a budget of solver iterations shared by all of them.
class Search {
public:
    // With stall, every solve ends where it stalls (SolveBounded).
    Search(EqFitState& state, int budget, bool stall)
        : state_(state), left_(budget), stall_(stall) {}

    bool Exhausted() const { return left_ <= 0; }

    // One bounded solve from params (in/out) of at most limit iterations; the error at the
    // result, with its residuals and gain left in the state.
    double Local(std::vector<double>& params, int limit) {
        const BoundedModel model(state_, params);
        int used = 0;
        params = SolveBounded(state_, model, std::max(1, std::min(limit, left_)), stall_, used);
        left_ -= used;
        return FitError(state_, params.data(), static_cast<int>(params.size()));
    }

    // Section k (0-based) placed again where the error is largest, that of all sections
    // (moved) or of the others (replaced), then solved.
    double Reseed(std::vector<double>& params, int k, int limit, bool moved = false) {
        const int count = static_cast<int>(params.size());
        if (moved)
            FitError(state_, params.data(), count);
        std::fill_n(params.begin() + kSectionParams * k, kSectionParams, 0.0);
        if (!moved)
            FitError(state_, params.data(), count);
        AddSection(state_, k + 1, params.data(), state_.lowIndex, state_.highIndex);
        LimitSectionQ(1, params.data() + kSectionParams * k, state_.fsEq, kQBase);
        return Local(params, limit);
    }

private:
    EqFitState& state_;
    int left_;
    bool stall_;
};

}  // namespace

double RefineLocal(EqFitState& state, std::vector<double>& params, int iterationLimit) {
    return Search(state, iterationLimit, false).Local(params, iterationLimit);
}

double RefineSections(EqFitState& state) {
    const int paramCount = state.ParamCount();
    const double seedError = FitError(state, state.best.data(), paramCount);
    if (state.points.empty())
        return seedError;
    Search search(state, kIterationBudget, true);
    std::vector<double> params = state.best;
    double error = search.Local(params, kLocalIterations);

    // A section that hardly changes the response is placed again where the error is largest,
    // while that lowers the error.
    while (!search.Exhausted()) {
        int weakest = -1;
        double weakestSpan = kWeakSectionDb;
        for (int k = 0; k < state.sections; ++k) {
            const double span = SectionSpanDb(state, params.data() + kSectionParams * k);
            if (span < weakestSpan) {
                weakestSpan = span;
                weakest = k;
            }
        }
        if (weakest < 0)
            break;
        std::vector<double> trial = params;
        const double trialError = search.Reseed(trial, weakest, kReseedIterations);
        if (!(trialError < error))
            break;
        const bool stalled = error - trialError <= kProgress * trialError;
        params = std::move(trial);
        error = trialError;
        if (stalled)
            break;
    }

    // Then every section in turn, from the one that does least: moved to where the error is
    // largest, or failing that replaced by one placed where the others leave the largest error;
    // kept where that lowers the error, and again while a pass lowers it.
    for (bool lowered = true; lowered && !search.Exhausted();) {
        lowered = false;
        const double passStart = error;
        for (int k : ByIncreasingSpan(state, params)) {
            if (search.Exhausted())
                break;
            for (bool moved : {true, false}) {
                std::vector<double> trial = params;
                double trialError = search.Reseed(trial, k, kProbeIterations, moved);
                if (trialError < kPromising * error)
                    trialError = search.Local(trial, kReseedIterations - kProbeIterations);
                if (trialError < error) {
                    params = std::move(trial);
                    error = trialError;
                    lowered = true;
                    break;
                }
            }
        }
        lowered = lowered && passStart - error > kProgress * error;
    }

    if (error < seedError)
        state.best = std::move(params);
    return FitError(state, state.best.data(), paramCount);
}
