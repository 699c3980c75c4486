#include "analysis/sweep/continuation/continuation_run.h"

#include <Eigen/Dense>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <optional>

#include "core/model_evaluator.h"
#include "core/numbers.h"

namespace kalvora {
namespace {

using Matrix = Eigen::MatrixXd;
using Vector = Eigen::VectorXd;
using RowMajor = Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>;

constexpr int kMaximumPeriod = 64;
// Newton's method converges quadratically near a branch; a corrector that needs more than this
// is far from it, and a shorter step is the cure.
constexpr int kCorrectorIterations = 10;
// Steps of an easy correction, after which the step may grow again.
constexpr int kEasyCorrection = 3;
// Near a branch point the bordered system is nearly singular and Newton's method slows down to
// linear: locating one takes more.
constexpr int kLocatingIterations = 40;
constexpr int kSecantIterations = 100;
constexpr int kStartIterations = 60;
// The largest turn of the tangent in one step (about 25 degrees): a sharper turn means the step
// jumped across a bend, or onto another branch.
constexpr double kMinimumCosine = 0.9;
// The step halves at most this often below the largest step before a branch is given up.
constexpr int kStepHalvings = 16;

constexpr int kTests = 5;
constexpr std::array<SpecialKind, kTests> kTestKinds = {
    SpecialKind::Fold, SpecialKind::PeriodDoubling, SpecialKind::NeimarkSacker, SpecialKind::Hopf,
    SpecialKind::BranchPoint};

double MaxNorm(const Vector& v) {
    return v.size() == 0 ? 0.0 : v.cwiseAbs().maxCoeff();
}

std::string Number(double value) {
    return FormatGeneral(value, 10);
}

// The equations followed: G(x, p) = F^p(x) - x of a map, f(x) of a flow, with their derivatives.
class BranchEquations {
  public:
    BranchEquations(ModelEvaluator& model, bool flow, int parameter)
        : derivatives_(MakeModelDerivatives(model)),
          n_(derivatives_.variables()),
          flow_(flow),
          parameter_(parameter),
          fx_(n_),
          dp_(n_),
          step_(static_cast<std::size_t>(n_) * n_) {}

    int variables() const { return n_; }
    bool flow() const { return flow_; }
    DerivativeMethod method() const { return derivatives_.method(); }

    // G(u) with u = (x, parameter); jacobian [G_x | G_p] (n x n+1); linearisation D(F^p) or Df.
    bool evaluate(int period, const Vector& u, Vector& g, Matrix& jacobian, Matrix& linearisation) {
        derivatives_.setParameter(parameter_, u[n_]);
        Vector x = u.head(n_);
        linearisation.setIdentity(n_, n_);
        Vector byParameter = Vector::Zero(n_);
        const int steps = flow_ ? 1 : period;
        for (int k = 0; k < steps; ++k) {
            if (!derivatives_.jacobian(x.data(), fx_.data(), step_.data()) ||
                !derivatives_.parameterDerivative(x.data(), parameter_, fx_.data(), dp_.data())) {
                return false;
            }
            const Eigen::Map<const RowMajor> step(step_.data(), n_, n_);
            // The chain rule through the iterates: d F^k / dp = Df d F^(k-1) / dp + df / dp.
            byParameter = (step * byParameter).eval() + dp_;
            linearisation = (step * linearisation).eval();
            x = fx_;
        }
        jacobian.resize(n_, n_ + 1);
        jacobian.leftCols(n_) = linearisation;
        jacobian.col(n_) = byParameter;
        if (flow_) {
            g = x;
        } else {
            g = x - u.head(n_);
            jacobian.leftCols(n_) -= Matrix::Identity(n_, n_);
        }
        return g.allFinite() && jacobian.allFinite();
    }

    // G(u) alone.
    bool residual(int period, const Vector& u, Vector& g) {
        derivatives_.setParameter(parameter_, u[n_]);
        Vector x = u.head(n_);
        const int steps = flow_ ? 1 : period;
        for (int k = 0; k < steps; ++k) {
            if (!derivatives_.values(x.data(), fx_.data())) {
                return false;
            }
            x = fx_;
        }
        g = flow_ ? x : Vector(x - u.head(n_));
        return g.allFinite();
    }

    // The state after steps of the map, or of Kutta's third-order step h for a flow.
    bool run(Vector& u, int steps, double h) {
        derivatives_.setParameter(parameter_, u[n_]);
        Vector x = u.head(n_);
        std::vector<double> jacobian(step_.size());
        for (int k = 0; k < steps; ++k) {
            const bool ok = flow_ ? RungeKuttaStepJacobian(derivatives_, h, x.data(), fx_.data(),
                                                           jacobian.data())
                                  : derivatives_.values(x.data(), fx_.data());
            if (!ok) {
                return false;
            }
            x = fx_;
        }
        u.head(n_) = x;
        return true;
    }

  private:
    ModelDerivatives derivatives_;
    int n_;
    bool flow_;
    int parameter_;
    Vector fx_;
    Vector dp_;
    std::vector<double> step_;
};

// A point of a branch with what the tests and the next step need.
struct State {
    Vector u;  // variables, then the parameter
    Vector tangent;
    Matrix jacobian;
    Matrix linearisation;
    std::vector<std::complex<double>> eigenvalues;
    bool stable = false;
    std::array<double, kTests> tests{};
};

void SortEigenvalues(std::vector<std::complex<double>>& values, bool flow) {
    std::stable_sort(values.begin(), values.end(), [flow](const auto& a, const auto& b) {
        const double ka = flow ? a.real() : std::abs(a);
        const double kb = flow ? b.real() : std::abs(b);
        if (ka != kb) {
            return ka > kb;
        }
        return a.imag() > b.imag();
    });
}

// The pair of eigenvalues that makes a Neimark-Sacker test (mu_i mu_j - 1) or a Hopf test
// (l_i + l_j) vanish: nearest zero. A real pair there is a neutral saddle, which the same test
// function passes through without any bifurcation.
bool ComplexPairCrosses(const std::vector<std::complex<double>>& values, bool flow) {
    double best = HUGE_VAL;
    bool complex = false;
    for (std::size_t i = 0; i < values.size(); ++i) {
        for (std::size_t j = i + 1; j < values.size(); ++j) {
            const double measure =
                flow ? std::abs(values[i] + values[j]) : std::abs(values[i] * values[j] - 1.0);
            if (measure < best) {
                best = measure;
                complex = std::fabs(values[i].imag()) > 1e-9 * std::max(1.0, std::abs(values[i])) &&
                          std::abs(values[i] - std::conj(values[j])) <=
                              1e-6 * std::max(1.0, std::abs(values[i]));
            }
        }
    }
    return complex;
}

class Continuation {
  public:
    Continuation(BranchEquations& equations, const ContinuationSettings& settings,
                 RunControl& control, ContinuationOutcome& outcome,
                 const std::function<void(const ContinuationPoint&)>& pointAdded)
        : pointAdded_(pointAdded),
          equations_(equations),
          settings_(settings),
          control_(control),
          outcome_(outcome),
          n_(equations.variables()),
          low_(std::min(settings.from, settings.to)),
          high_(std::max(settings.from, settings.to)) {}

    // Newton's method on G(u) = 0 with u bordered: border . u = target.
    bool correct(int period, Vector& u, const Vector& border, double target, int iterations,
                 int* used = nullptr) {
        Vector g;
        Matrix jacobian;
        Matrix linearisation;
        Matrix system(n_ + 1, n_ + 1);
        Vector right(n_ + 1);
        for (int iteration = 1; iteration <= iterations; ++iteration) {
            if (!equations_.evaluate(period, u, g, jacobian, linearisation)) {
                return false;
            }
            system.topRows(n_) = jacobian;
            system.row(n_) = border.transpose();
            right.head(n_) = g;
            right[n_] = border.dot(u) - target;
            const Vector delta = system.partialPivLu().solve(right);
            if (!delta.allFinite()) {
                return false;
            }
            u -= delta;
            if (MaxNorm(delta) <= settings_.tolerance * std::max(1.0, MaxNorm(u))) {
                if (used != nullptr) {
                    *used = iteration;
                }
                return true;
            }
        }
        return false;
    }

    // The state at u, its tangent oriented along border (the previous tangent).
    bool makeState(int period, const Vector& u, const Vector& border, State& state) {
        state.u = u;
        Vector g;
        if (!equations_.evaluate(period, u, g, state.jacobian, state.linearisation)) {
            return false;
        }
        Matrix system(n_ + 1, n_ + 1);
        system.topRows(n_) = state.jacobian;
        system.row(n_) = border.transpose();
        Vector unit = Vector::Zero(n_ + 1);
        unit[n_] = 1;
        state.tangent = system.partialPivLu().solve(unit);
        if (!state.tangent.allFinite() || state.tangent.norm() == 0) {
            return false;
        }
        state.tangent.normalize();
        const Eigen::EigenSolver<Matrix> solver(state.linearisation, false);
        if (solver.info() != Eigen::Success) {
            return false;
        }
        state.eigenvalues.clear();
        for (Eigen::Index k = 0; k < n_; ++k) {
            state.eigenvalues.push_back(solver.eigenvalues()[k]);
        }
        const bool flow = equations_.flow();
        SortEigenvalues(state.eigenvalues, flow);
        state.stable = std::all_of(
            state.eigenvalues.begin(), state.eigenvalues.end(),
            [flow](const auto& value) { return flow ? value.real() < 0 : std::abs(value) < 1; });
        // The test functions, each changing sign at its special point: the parameter's share of
        // the tangent at a fold; the bordered system's determinant at a branch point, where the
        // branches' two tangents make it singular; det(D(F^p) + I) when a real multiplier passes
        // -1; products over the pairs of eigenvalues that vanish when a pair's product passes 1
        // (maps) or its sum 0 (flows), for a complex pair on the unit circle or the imaginary
        // axis.
        state.tests.fill(1.0);
        state.tests[0] = state.tangent[n_];
        system.row(n_) = state.tangent.transpose();
        state.tests[4] = system.partialPivLu().determinant();
        std::complex<double> pairs = 1.0;
        for (std::size_t i = 0; i < state.eigenvalues.size(); ++i) {
            for (std::size_t j = i + 1; j < state.eigenvalues.size(); ++j) {
                pairs *= flow ? state.eigenvalues[i] + state.eigenvalues[j]
                              : state.eigenvalues[i] * state.eigenvalues[j] - 1.0;
            }
        }
        if (flow) {
            state.tests[3] = pairs.real();
        } else {
            state.tests[1] =
                (state.linearisation + Matrix::Identity(n_, n_)).partialPivLu().determinant();
            state.tests[2] = pairs.real();
        }
        return true;
    }

    ContinuationPoint point(const State& state) const {
        ContinuationPoint p;
        p.parameter = state.u[n_];
        p.values.assign(state.u.data(), state.u.data() + n_);
        p.eigenvalues = state.eigenvalues;
        p.stable = state.stable;
        return p;
    }

    // The point between a and b (b a step from a along a's tangent) where test changes sign, by
    // the secant method with Illinois' modification on the arclength along a's tangent; each trial
    // point is corrected onto the branch. Nothing when a correction fails or strays further than
    // the step (it found another branch), or when the sign changes through a pole rather than a
    // root (the test grows where a root's would vanish: a model singular there).
    std::optional<State> locate(int period, const State& a, const State& b,
                                const std::function<double(const State&)>& test) {
        double low = 0;
        double high = a.tangent.dot(b.u - a.u);
        double testLow = test(a);
        double testHigh = test(b);
        const double width = std::fabs(high);
        const double smallestEnd = std::min(std::fabs(testLow), std::fabs(testHigh));
        std::optional<State> best;
        int side = 0;
        const double base = a.tangent.dot(a.u);
        for (int iteration = 0; iteration < kSecantIterations; ++iteration) {
            double s = (low * testHigh - high * testLow) / (testHigh - testLow);
            if (!(s > std::min(low, high) && s < std::max(low, high))) {
                s = (low + high) / 2;
            }
            const Vector predicted = a.u + s * a.tangent;
            Vector u = predicted;
            State trial;
            if (!correct(period, u, a.tangent, base + s, kLocatingIterations) ||
                (u - predicted).norm() > width || !makeState(period, u, a.tangent, trial)) {
                return std::nullopt;
            }
            const double value = test(trial);
            best = std::move(trial);
            if (value == 0) {
                return best;
            }
            if ((value > 0) == (testHigh > 0)) {
                high = s;
                testHigh = value;
                if (side == 1) {
                    testLow /= 2;
                }
                side = 1;
            } else {
                low = s;
                testLow = value;
                if (side == -1) {
                    testHigh /= 2;
                }
                side = -1;
            }
            if (std::fabs(high - low) <= 1e-15 * std::max(width, 1e-300) ||
                std::fabs(high - low) <=
                    4 * std::numeric_limits<double>::epsilon() * std::max(1.0, MaxNorm(a.u))) {
                if (!(std::fabs(value) <= smallestEnd)) {
                    return std::nullopt;
                }
                return best;
            }
        }
        return std::nullopt;
    }

    struct Walker {
        State last;
        double step = 0;
        int steps = 0;
        bool done = false;
        std::vector<ContinuationPoint> points;
    };

    void note(const std::string& text) { outcome_.notes.push_back(text); }

    std::string where(double parameter) const { return "at the parameter " + Number(parameter); }

    // One step of a walker: predict, correct, test, locate; ends the walker at the interval's ends
    // or when the step cannot be made.
    void advance(int period, Walker& walker, const Walker& other, int branch) {
        const double smallest = std::ldexp(settings_.step, -kStepHalvings);
        State next;
        int used = 0;
        while (true) {
            const Vector predicted = walker.last.u + walker.step * walker.last.tangent;
            Vector u = predicted;
            if (correct(period, u, walker.last.tangent, walker.last.tangent.dot(predicted),
                        kCorrectorIterations, &used) &&
                (u - predicted).norm() <= walker.step &&
                makeState(period, u, walker.last.tangent, next) &&
                next.tangent.dot(walker.last.tangent) >= kMinimumCosine) {
                break;
            }
            walker.step /= 2;
            if (walker.step < smallest) {
                note("The branch of period " + std::to_string(period) + " ends " +
                     where(walker.last.u[n_]) +
                     ": the corrector did not converge even with a step of " + Number(smallest) +
                     "; try a smaller step or another start");
                walker.done = true;
                return;
            }
        }
        if (used <= kEasyCorrection) {
            walker.step = std::min(settings_.step, walker.step * 1.5);
        }
        const double parameter = next.u[n_];
        const bool outside = parameter < low_ || parameter > high_;
        if (outside) {
            const double end = parameter < low_ ? low_ : high_;
            if (walker.last.u[n_] == end) {
                walker.done = true;  // started on this end
                return;
            }
            const auto located = locate(period, walker.last, next,
                                        [this, end](const State& s) { return s.u[n_] - end; });
            // On the end itself, not a rounding beside it: corrected at the fixed parameter from
            // the located point, or from the chord between the two points when locating failed.
            const double share = (end - walker.last.u[n_]) / (parameter - walker.last.u[n_]);
            Vector u =
                located ? located->u : Vector(walker.last.u + share * (next.u - walker.last.u));
            u[n_] = end;
            Vector fixed = Vector::Zero(n_ + 1);
            fixed[n_] = 1;
            State onEnd;
            if (!correct(period, u, fixed, end, kCorrectorIterations) ||
                (u[n_] = end, !makeState(period, u, walker.last.tangent, onEnd))) {
                walker.done = true;  // no point on the end: the branch stops at its last point
                return;
            }
            next = std::move(onEnd);
        }
        struct Found {
            double arclength;
            SpecialKind kind;
            State state;
        };
        std::vector<Found> found;
        for (int k = 0; k < kTests; ++k) {
            const double before = walker.last.tests[k];
            const double after = next.tests[k];
            if (!(before * after < 0)) {
                continue;
            }
            const auto located =
                locate(period, walker.last, next, [k](const State& s) { return s.tests[k]; });
            if (!located) {
                continue;
            }
            const SpecialKind kind = kTestKinds[k];
            if ((kind == SpecialKind::NeimarkSacker || kind == SpecialKind::Hopf) &&
                !ComplexPairCrosses(located->eigenvalues, equations_.flow())) {
                continue;
            }
            found.push_back(
                {walker.last.tangent.dot(located->u - walker.last.u), kind, std::move(*located)});
        }
        std::sort(found.begin(), found.end(),
                  [](const Found& a, const Found& b) { return a.arclength < b.arclength; });
        for (Found& f : found) {
            SpecialPoint special;
            special.kind = f.kind;
            special.parameter = f.state.u[n_];
            special.values.assign(f.state.u.data(), f.state.u.data() + n_);
            special.eigenvalues = f.state.eigenvalues;
            special.period = period;
            special.branch = branch;
            ContinuationPoint p = point(f.state);
            p.special = static_cast<int>(outcome_.specials.size());
            outcome_.specials.push_back(std::move(special));
            specialStates_.push_back(std::move(f.state));
            added(p);
            walker.points.push_back(std::move(p));
        }
        walker.points.push_back(point(next));
        added(walker.points.back());
        ++walker.steps;
        walker.last = std::move(next);
        if (outside) {
            walker.done = true;
        }
        // Two walkers that meet have gone round a closed branch.
        if (walker.steps > 2 && other.steps > 2 && !other.done &&
            (walker.last.u - other.last.u).norm() < settings_.step) {
            walker.done = true;
        }
    }

    // Follows the branch through start both ways; the walkers begin at the given states (the
    // start itself, or the first points off a switching point).
    void follow(int period, const State& centre, State forward, State backward) {
        const int branch = static_cast<int>(outcome_.branches.size());
        outcome_.branches.push_back({period, {}});
        Walker ahead;
        ahead.last = std::move(forward);
        ahead.step = settings_.step;
        Walker behind;
        behind.last = std::move(backward);
        behind.step = settings_.step;
        const bool fromCentre = (ahead.last.u - centre.u).norm() == 0;
        added(point(centre));
        if (!fromCentre) {
            ahead.points.push_back(point(ahead.last));
            behind.points.push_back(point(behind.last));
            added(ahead.points.back());
            added(behind.points.back());
        }
        long long count = fromCentre ? 1 : 3;
        while (!(ahead.done && behind.done) && count < settings_.maxPoints) {
            if (control_.stopRequested()) {
                outcome_.stopped = true;
                break;
            }
            if (!ahead.done) {
                advance(period, ahead, behind, branch);
                ++count;
            }
            if (!behind.done && count < settings_.maxPoints) {
                advance(period, behind, ahead, branch);
                ++count;
            }
            control_.progress().setPosition(done_ + count);
        }
        done_ += count;
        auto& points = outcome_.branches.back().points;
        points.assign(behind.points.rbegin(), behind.points.rend());
        points.push_back(point(centre));
        points.insert(points.end(), ahead.points.begin(), ahead.points.end());
    }

    // The point Newton's method finds from the start at the start's parameter value.
    std::optional<State> start(const ModelDefinition& model) {
        const int period = settings_.period;
        Vector u(n_ + 1);
        for (int i = 0; i < n_; ++i) {
            u[i] = settings_.start.empty() ? static_cast<double>(model.initialValues[i])
                                           : settings_.start[i];
        }
        double p = settings_.startParameter;
        if (std::isnan(p)) {
            p = std::clamp(static_cast<double>(model.parameterValues[settings_.parameter]), low_,
                           high_);
        }
        u[n_] = p;
        const std::string kind = equations_.flow() ? std::string("an equilibrium")
                                 : period == 1     ? std::string("a fixed point")
                                                   : "a cycle of period " + std::to_string(period);
        const std::string advice =
            "; start nearer it (a point of Fixed Points and Cycles, or the end of an orbit) or at "
            "another parameter value";
        if (settings_.transient > 0 &&
            !equations_.run(u, settings_.transient, static_cast<double>(model.stepSize))) {
            note("The model failed within the " + std::to_string(settings_.transient) +
                 " steps before the start" + advice);
            return std::nullopt;
        }
        // Damped Newton's method at the fixed parameter value.
        Vector g;
        Matrix jacobian;
        Matrix linearisation;
        if (!equations_.evaluate(period, u, g, jacobian, linearisation)) {
            note("The model fails at the start" + advice);
            return std::nullopt;
        }
        bool converged = false;
        bool singular = false;
        for (int iteration = 0; iteration < kStartIterations; ++iteration) {
            const Eigen::FullPivLU<Matrix> lu(jacobian.leftCols(n_));
            if (!lu.isInvertible()) {
                singular = true;
                break;
            }
            const Vector delta = lu.solve(g);
            if (MaxNorm(delta) <= settings_.tolerance * std::max(1.0, MaxNorm(u))) {
                u.head(n_) -= delta;
                converged = equations_.evaluate(period, u, g, jacobian, linearisation);
                break;
            }
            // Damped: the full step unless it makes the residual larger.
            bool accepted = false;
            double lambda = 1;
            for (int halving = 0; halving < 20 && !accepted; ++halving, lambda /= 2) {
                Vector trial = u;
                trial.head(n_) -= lambda * delta;
                Vector trialG;
                Matrix trialJacobian;
                if (equations_.evaluate(period, trial, trialG, trialJacobian, linearisation) &&
                    MaxNorm(trialG) < MaxNorm(g)) {
                    u = trial;
                    g = trialG;
                    jacobian = trialJacobian;
                    accepted = true;
                }
            }
            if (!accepted) {
                break;
            }
        }
        if (!converged && singular) {
            note("Newton's method cannot go on from the start " + where(u[n_]) +
                 ": the Jacobian of " + (equations_.flow() ? "f" : "F^p(x) - x") +
                 " is singular there (a bifurcation point, or a whole line of solutions)" + advice);
            return std::nullopt;
        }
        if (!converged) {
            note("Newton's method did not converge from the start to " + kind + " " + where(u[n_]) +
                 " (the residual stayed at " + Number(MaxNorm(g)) + ")" + advice);
            return std::nullopt;
        }
        if (!equations_.flow()) {
            for (int q = 1; q < period; ++q) {
                Vector shorter;
                if (period % q == 0 && equations_.residual(q, u, shorter) &&
                    MaxNorm(shorter) <= 1e-8 * std::max(1.0, MaxNorm(u.head(n_)))) {
                    note("Newton's method converged from the start to a cycle of period " +
                         std::to_string(q) + ", not " + std::to_string(period) + ", " +
                         where(u[n_]) + advice);
                    return std::nullopt;
                }
            }
        }
        // The tangent: the null vector of [G_x | G_p], the parameter growing.
        const Eigen::JacobiSVD<Matrix> svd(jacobian, Eigen::ComputeFullV);
        Vector tangent = svd.matrixV().col(n_);
        if (tangent[n_] < 0) {
            tangent = -tangent;
        }
        State state;
        if (!makeState(period, u, tangent, state)) {
            note("The model fails at the start" + advice);
            return std::nullopt;
        }
        return state;
    }

    // The first points off a special point onto the branch that meets it there: the doubled
    // cycle at a period doubling (along the eigenvector of the multiplier -1, at the same
    // parameter), the other branch at a branch point (the null vector of [G_x | G_p] across the
    // tangent). False with a note when no such point is found.
    bool switchAt(const SpecialPoint& special, const State& at, int& period, State& centre,
                  State& forward, State& backward) {
        Vector direction = Vector::Zero(n_ + 1);
        if (special.kind == SpecialKind::PeriodDoubling) {
            if (2 * special.period > kMaximumPeriod) {
                note("The cycle of period " + std::to_string(2 * special.period) +
                     " is beyond the longest period followed, " + std::to_string(kMaximumPeriod));
                return false;
            }
            period = 2 * special.period;
            const Eigen::EigenSolver<Matrix> solver(at.linearisation);
            if (solver.info() != Eigen::Success) {
                return false;
            }
            Eigen::Index nearest = 0;
            for (Eigen::Index k = 1; k < n_; ++k) {
                if (std::abs(solver.eigenvalues()[k] + 1.0) <
                    std::abs(solver.eigenvalues()[nearest] + 1.0)) {
                    nearest = k;
                }
            }
            direction.head(n_) = solver.eigenvectors().col(nearest).real();
        } else {
            period = special.period;
            const Eigen::JacobiSVD<Matrix> svd(at.jacobian, Eigen::ComputeFullV);
            const Vector first = svd.matrixV().col(n_ - 1);
            const Vector second = svd.matrixV().col(n_);
            direction = -second.dot(at.tangent) * first + first.dot(at.tangent) * second;
        }
        if (direction.norm() == 0) {
            return false;
        }
        direction.normalize();
        if (!makeState(period, at.u, direction, centre)) {
            return false;
        }
        for (const double sign : {1.0, -1.0}) {
            State& state = sign > 0 ? forward : backward;
            const Vector border = sign * direction;
            bool found = false;
            for (double h = settings_.step; h >= settings_.step / 64 && !found; h /= 2) {
                Vector u = at.u + h * border;
                if (!correct(period, u, border, border.dot(at.u) + h, kLocatingIterations) ||
                    !makeState(period, u, border, state)) {
                    continue;
                }
                // Back on the cycle that doubles: the step was too long for the new branch.
                Vector g;
                found = special.kind != SpecialKind::PeriodDoubling ||
                        (equations_.residual(special.period, u, g) &&
                         MaxNorm(g) > 1e3 * settings_.tolerance * std::max(1.0, MaxNorm(u)));
            }
            if (!found) {
                note(std::string("No branch found off the ") + SpecialLabel(special.kind) +
                     " point " + where(at.u[n_]) + "; try a smaller step");
                return false;
            }
        }
        return true;
    }

    void run(const ModelDefinition& model) {
        control_.progress().start(static_cast<long long>(settings_.maxPoints) *
                                  static_cast<long long>(settings_.switches.size() + 1));
        const std::optional<State> first = start(model);
        if (!first) {
            return;
        }
        State backward = *first;
        backward.tangent = -backward.tangent;
        backward.tests[0] = -backward.tests[0];
        backward.tests[4] = -backward.tests[4];
        follow(settings_.period, *first, *first, backward);
        for (const SpecialKind kind : settings_.switches) {
            if (outcome_.stopped) {
                return;
            }
            const int branch = static_cast<int>(outcome_.branches.size()) - 1;
            const auto at = std::find_if(
                outcome_.specials.begin(), outcome_.specials.end(),
                [&](const SpecialPoint& s) { return s.branch == branch && s.kind == kind; });
            if (at == outcome_.specials.end()) {
                note(std::string("No ") + SpecialLabel(kind) +
                     " point on the branch to switch at; the run ends there");
                return;
            }
            const std::size_t index = static_cast<std::size_t>(at - outcome_.specials.begin());
            int period = 1;
            State centre;
            State forward;
            State backward2;
            if (!switchAt(*at, specialStates_[index], period, centre, forward, backward2)) {
                return;
            }
            follow(period, centre, forward, backward2);
        }
    }

    // A point of the branch as it is computed, to whoever watches.
    void added(const ContinuationPoint& point) const {
        if (pointAdded_) {
            pointAdded_(point);
        }
    }

  private:
    const std::function<void(const ContinuationPoint&)>& pointAdded_;
    BranchEquations& equations_;
    const ContinuationSettings& settings_;
    RunControl& control_;
    ContinuationOutcome& outcome_;
    int n_;
    double low_;
    double high_;
    long long done_ = 0;
    std::vector<State> specialStates_;
};

}  // namespace

const char* SpecialLabel(SpecialKind kind) {
    switch (kind) {
        case SpecialKind::Fold:
            return "LP";
        case SpecialKind::PeriodDoubling:
            return "PD";
        case SpecialKind::NeimarkSacker:
            return "NS";
        case SpecialKind::Hopf:
            return "H";
        default:
            return "BP";
    }
}

bool ParseSpecialLabel(const std::string& label, SpecialKind& kind) {
    for (const SpecialKind k : kTestKinds) {
        if (label == SpecialLabel(k)) {
            kind = k;
            return true;
        }
    }
    return false;
}

void CheckContinuationSettings(const ModelDefinition& model, const ContinuationSettings& settings) {
    const bool flow = model.kind == ModelKind::Continuous;
    if (settings.parameter < 0 || settings.parameter >= model.parameterCount) {
        throw ContinuationSettingsError("The parameter followed is not one of the model's");
    }
    if (!std::isfinite(settings.from) || !std::isfinite(settings.to) ||
        settings.from == settings.to) {
        throw ContinuationSettingsError("The parameter interval must have two different ends");
    }
    if (!settings.start.empty() && static_cast<int>(settings.start.size()) != model.variableCount) {
        throw ContinuationSettingsError("The start must give every variable a value");
    }
    if (!std::all_of(settings.start.begin(), settings.start.end(),
                     [](double v) { return std::isfinite(v); }) ||
        std::isinf(settings.startParameter)) {
        throw ContinuationSettingsError("The start must be finite");
    }
    if (!std::isnan(settings.startParameter) &&
        (settings.startParameter < std::min(settings.from, settings.to) ||
         settings.startParameter > std::max(settings.from, settings.to))) {
        throw ContinuationSettingsError(
            "The start's parameter value must lie in the parameter interval");
    }
    if (flow && settings.period != 1) {
        throw ContinuationSettingsError(
            "A continuous model has equilibria, not cycles: its period is 1");
    }
    if (settings.period < 1 || settings.period > kMaximumPeriod) {
        throw ContinuationSettingsError("The period must lie in 1.." +
                                        std::to_string(kMaximumPeriod));
    }
    if (!(settings.step > 0) || !std::isfinite(settings.step) || !(settings.tolerance > 0) ||
        !std::isfinite(settings.tolerance)) {
        throw ContinuationSettingsError("The step and the tolerance must be positive numbers");
    }
    if (settings.maxPoints < 2) {
        throw ContinuationSettingsError("A branch needs at least 2 points");
    }
    if (settings.transient < 0) {
        throw ContinuationSettingsError("The steps before the start cannot be negative");
    }
    for (const SpecialKind kind : settings.switches) {
        if (kind != SpecialKind::PeriodDoubling && kind != SpecialKind::BranchPoint) {
            throw ContinuationSettingsError(
                "Branches are switched at PD (onto the doubled cycle) and BP only");
        }
        if (kind == SpecialKind::PeriodDoubling && flow) {
            throw ContinuationSettingsError(
                "A continuous model has no period doubling of "
                "equilibria to switch at");
        }
    }
}

ContinuationOutcome RunContinuation(
    const ModelDefinitionPtr& definition, const ContinuationSettings& settings, RunControl& control,
    const std::function<void(const ContinuationPoint&)>& pointAdded) {
    const ModelDefinition& model = *definition;
    CheckContinuationSettings(model, settings);
    ModelEvaluator evaluator(definition, RandomState{}, nullptr, &control);
    evaluator.noise.noiseOn = false;
    BranchEquations equations(evaluator, model.kind == ModelKind::Continuous, settings.parameter);
    ContinuationOutcome outcome;
    outcome.method = equations.method();
    Continuation continuation(equations, settings, control, outcome, pointAdded);
    continuation.run(model);
    if (!evaluator.recordedMessage.empty()) {
        outcome.notes.push_back(evaluator.recordedMessage);
    }
    control.progress().finish();
    return outcome;
}

}  // namespace kalvora
