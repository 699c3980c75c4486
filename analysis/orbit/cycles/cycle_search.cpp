#include "analysis/orbit/cycles/cycle_search.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numeric>

#include "core/model_evaluator.h"
#include "core/model_purity.h"
#include "core/parallel_pieces.h"

namespace kalvora {
namespace {

using Matrix = Eigen::MatrixXd;
using Vector = Eigen::VectorXd;

constexpr long long kMaximumStarts = 1000000;
// Iterations before a start is given up: damped Newton converges within a few dozen where it
// converges at all; the stabilised iterations creep at first and need more.
constexpr int kNewtonIterations = 40;
constexpr int kStabilisedIterations = 30;
constexpr int kPolishIterations = 3;

double MaxNorm(const Vector& v) {
    return v.size() == 0 ? 0.0 : v.cwiseAbs().maxCoeff();
}

// A signed permutation matrix C (row i has sign[i] in column column[i]). The iteration
// x <- x + [beta |g| C^T - Dg]^-1 g is Newton's near a root and far from it an implicit step of
// the flow dx/ds = C g(x), whose stable points are the roots where C Dg has eigenvalues of
// negative real part: each C makes another set of cycles attracting, so that together they reach
// cycles plain Newton misses from a coarse grid (Schmelcher and Diakonos' transformations, in
// Davidchack and Lai's form).
struct Transformation {
    std::vector<int> column;
    std::vector<int> sign;
};

std::vector<Transformation> Transformations(int n) {
    std::vector<Transformation> all;
    std::vector<int> permutation(static_cast<std::size_t>(n));
    std::iota(permutation.begin(), permutation.end(), 0);
    // Every signed permutation up to three variables; beyond, their number (2^n n!) outgrows what a
    // search can afford, and the sign changes alone remain.
    const bool permute = n <= 3;
    do {
        for (int signs = 0; signs < (1 << n); ++signs) {
            Transformation t{permutation, std::vector<int>(static_cast<std::size_t>(n), 1)};
            for (int i = 0; i < n; ++i) {
                if ((signs >> i) & 1) {
                    t.sign[i] = -1;
                }
            }
            all.push_back(std::move(t));
        }
    } while (permute && std::next_permutation(permutation.begin(), permutation.end()));
    return all;
}

// One worker's model and the arithmetic of F^p with its derivative.
class CycleMaps {
  public:
    CycleMaps(ModelEvaluator& model, bool flow)
        : derivatives_(MakeModelDerivatives(model)), n_(derivatives_.variables()), flow_(flow) {
        fx_.resize(n_);
        step_.resize(static_cast<Eigen::Index>(n_) * n_);
    }

    int variables() const { return n_; }
    bool flow() const { return flow_; }
    DerivativeMethod method() const { return derivatives_.method(); }

    // F^p(x) into image and D(F^p)(x) into jacobian; false when the model failed on the way.
    bool iterate(int p, const Vector& x, Vector& image, Matrix& jacobian) {
        image = x;
        jacobian.setIdentity(n_, n_);
        for (int k = 0; k < p; ++k) {
            if (!derivatives_.jacobian(image.data(), fx_.data(), step_.data())) {
                return false;
            }
            // step_ is row-major; Eigen's default is column-major, hence the transpose.
            const Eigen::Map<
                const Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>>
                step(step_.data(), n_, n_);
            jacobian = (step * jacobian).eval();
            image = fx_;
        }
        return true;
    }

    // F^p(x) alone.
    bool image(int p, const Vector& x, Vector& out) {
        out = x;
        for (int k = 0; k < p; ++k) {
            if (!derivatives_.values(out.data(), fx_.data())) {
                return false;
            }
            out = fx_;
        }
        return true;
    }

    // g(x) = F^p(x) - x for a map, f(x) for a flow, and its Jacobian.
    bool residual(int p, const Vector& x, Vector& g, Matrix& dg) {
        if (flow_) {
            if (!derivatives_.jacobian(x.data(), fx_.data(), step_.data())) {
                return false;
            }
            g = fx_;
            dg = Eigen::Map<
                const Eigen::Matrix<double, Eigen::Dynamic, Eigen::Dynamic, Eigen::RowMajor>>(
                step_.data(), n_, n_);
            return true;
        }
        if (!iterate(p, x, g, dg)) {
            return false;
        }
        g -= x;
        dg -= Matrix::Identity(n_, n_);
        return true;
    }

    // The matrix whose eigenvalues a cycle point has: D(F^p) or Df.
    bool linearisation(int p, const Vector& x, Matrix& m) {
        Vector g;
        if (!residual(p, x, g, m)) {
            return false;
        }
        if (!flow_) {
            m += Matrix::Identity(n_, n_);
        }
        return true;
    }

  private:
    ModelDerivatives derivatives_;
    int n_;
    bool flow_;
    Vector fx_;
    std::vector<double> step_;
};

// The search box with room around it: an iterate far outside is not coming back.
struct Region {
    std::vector<CycleBoxAxis> box;
    bool contains(const Vector& x, double slack) const {
        return std::all_of(box.begin(), box.end(), [&](const CycleBoxAxis& axis) {
            const double margin = slack * (axis.maximum - axis.minimum);
            const double v = x[axis.variable];
            return v >= axis.minimum - margin && v <= axis.maximum + margin;
        });
    }
};

// The outer slack beyond which an iterate is abandoned, in box widths on each side.
constexpr double kAbandonSlack = 2.0;

struct Candidate {
    int period = 1;
    Vector point;
};

// Newton's iteration, damped by halving the step until the residual falls, from x; or, with a
// transformation, the stabilised iteration. True with x a root when the residual fell below the
// tolerance.
bool Solve(CycleMaps& maps, int p, const Transformation* transformation, double tolerance,
           const Region& region, Vector& x) {
    const int n = maps.variables();
    Vector g(n);
    Matrix dg(n, n);
    Vector trial(n);
    Vector trialG(n);
    Matrix trialDg(n, n);
    if (!maps.residual(p, x, g, dg)) {
        return false;
    }
    const int iterations = transformation == nullptr ? kNewtonIterations : kStabilisedIterations;
    Eigen::PartialPivLU<Matrix> lu(n);
    for (int iteration = 0; iteration < iterations; ++iteration) {
        const double size = MaxNorm(g);
        if (size <= tolerance) {
            // A few Newton steps more take the point from the tolerance to the rounding of the
            // model, which the multipliers and the merging rely on; each kept only if it helps.
            for (int polish = 0; polish < kPolishIterations; ++polish) {
                lu.compute(dg);
                trial = x - lu.solve(g);
                if (!maps.residual(p, trial, trialG, trialDg) || !(MaxNorm(trialG) < MaxNorm(g))) {
                    break;
                }
                x = trial;
                g = trialG;
                dg = trialDg;
            }
            return true;
        }
        Matrix system = -dg;
        if (transformation != nullptr) {
            // beta grows with the residual: far from a root the step is a short, stable step of
            // the transformed flow; close to one the iteration becomes Newton's, quadratic.
            const double beta = size;
            for (int i = 0; i < n; ++i) {
                system(transformation->column[i], i) += beta * transformation->sign[i];
            }
        }
        lu.compute(system);
        const Vector delta = lu.solve(g);
        if (!delta.allFinite()) {
            return false;
        }
        if (transformation != nullptr) {
            x += delta;
            if (!region.contains(x, kAbandonSlack) || !maps.residual(p, x, g, dg)) {
                return false;
            }
            continue;
        }
        // Damping: the full Newton step unless it makes the residual larger.
        double lambda = 1.0;
        bool accepted = false;
        for (int halving = 0; halving < 12; ++halving, lambda /= 2) {
            trial = x + lambda * delta;
            if (region.contains(trial, kAbandonSlack) && maps.residual(p, trial, trialG, trialDg) &&
                MaxNorm(trialG) < size) {
                accepted = true;
                break;
            }
        }
        if (!accepted) {
            return false;
        }
        x = trial;
        g = trialG;
        dg = trialDg;
    }
    return false;
}

// What one start finds, in the order it finds it.
std::vector<Candidate> SearchFrom(CycleMaps& maps, const CycleSettings& settings,
                                  const std::vector<Transformation>& transformations,
                                  const Region& region, const Vector& start,
                                  const RunControl& control) {
    std::vector<Candidate> found;
    const int first = maps.flow() ? 1 : settings.firstPeriod;
    const int last = maps.flow() ? 1 : settings.lastPeriod;
    for (int p = first; p <= last && !control.stopRequested(); ++p) {
        Vector x = start;
        if (Solve(maps, p, nullptr, settings.tolerance, region, x)) {
            found.push_back({p, x});
        }
        if (maps.flow()) {
            continue;
        }
        for (const Transformation& t : transformations) {
            x = start;
            if (Solve(maps, p, &t, settings.tolerance, region, x)) {
                found.push_back({p, x});
            }
        }
    }
    return found;
}

bool Before(const Vector& a, const Vector& b) {
    return std::lexicographical_compare(a.data(), a.data() + a.size(), b.data(),
                                        b.data() + b.size());
}

std::vector<double> Values(const Vector& v) {
    return {v.data(), v.data() + v.size()};
}

// Sorted by descending modulus (map) or real part (flow); a conjugate pair positive part first.
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

void Classify(Cycle& cycle, bool flow) {
    bool contracting = false;
    bool expanding = false;
    bool complex = false;
    bool allContracting = true;
    for (const auto& value : cycle.eigenvalues) {
        const double measure = flow ? value.real() : std::abs(value) - 1;
        contracting = contracting || measure < 0;
        expanding = expanding || measure > 0;
        allContracting = allContracting && measure < 0;
        complex = complex || std::fabs(value.imag()) > 1e-12 * std::max(1.0, std::abs(value));
    }
    cycle.stable = allContracting;
    cycle.type = contracting && expanding ? CycleType::Saddle
                 : complex                ? CycleType::Focus
                                          : CycleType::Node;
}

// The real eigenvectors of m with their sides.
std::vector<CycleDirection> Directions(const Matrix& m, bool flow) {
    std::vector<CycleDirection> directions;
    if (m.rows() < 2) {
        return directions;
    }
    const Eigen::EigenSolver<Matrix> solver(m);
    if (solver.info() != Eigen::Success) {
        return directions;
    }
    for (Eigen::Index k = 0; k < m.rows(); ++k) {
        const std::complex<double> value = solver.eigenvalues()[k];
        if (std::fabs(value.imag()) > 1e-12 * std::max(1.0, std::abs(value))) {
            continue;
        }
        const double measure = flow ? value.real() : std::abs(value) - 1;
        if (measure == 0) {
            continue;
        }
        Vector v = solver.eigenvectors().col(k).real();
        if (v.norm() == 0) {
            continue;
        }
        v.normalize();
        directions.push_back({Values(v), measure < 0});
    }
    return directions;
}

// Merges the starts' findings, in the order of the starts, into cycles of least period.
class CycleCollector {
  public:
    CycleCollector(CycleMaps& maps, const CycleSettings& settings)
        : maps_(maps), settings_(settings) {
        merge_ = std::max(1e3 * settings.tolerance, 1e-7);
    }

    void add(const Candidate& candidate) {
        const int n = maps_.variables();
        Vector x = candidate.point;
        // The least period: the first return to the start.
        int period = 1;
        std::vector<Vector> orbit{x};
        if (!maps_.flow()) {
            Vector next(n);
            period = 0;
            for (int q = 1; q <= candidate.period; ++q) {
                if (!maps_.image(1, orbit.back(), next)) {
                    return;
                }
                if (close(next, x)) {
                    period = q;
                    break;
                }
                orbit.push_back(next);
            }
            if (period == 0 || candidate.period % period != 0) {
                return;  // no return within the period: not a cycle after all
            }
        }
        if (period < settings_.firstPeriod && !maps_.flow()) {
            return;
        }
        const Region inside{settings_.box};
        for (const Vector& point : orbit) {
            if (!inside.contains(point, 0)) {
                return;
            }
        }
        for (const Cycle& cycle : cycles_) {
            if (cycle.period != period) {
                continue;
            }
            for (const CyclePoint& point : cycle.points) {
                if (close(Eigen::Map<const Vector>(point.values.data(), n), x)) {
                    return;
                }
            }
        }
        // Each point of the orbit polished as a root of its own: the images carry the start's
        // error times the multipliers along the way.
        Cycle cycle;
        cycle.period = period;
        Region anywhere{{}};
        std::vector<Matrix> linearisations;
        for (Vector& point : orbit) {
            Vector polished = point;
            if (Solve(maps_, period, nullptr, settings_.tolerance, anywhere, polished) &&
                close(polished, point)) {
                point = polished;
            }
            Matrix m;
            if (!maps_.linearisation(period, point, m)) {
                return;
            }
            linearisations.push_back(m);
        }
        const auto first = static_cast<std::size_t>(
            std::min_element(orbit.begin(), orbit.end(), Before) - orbit.begin());
        std::rotate(orbit.begin(), orbit.begin() + static_cast<std::ptrdiff_t>(first), orbit.end());
        std::rotate(linearisations.begin(),
                    linearisations.begin() + static_cast<std::ptrdiff_t>(first),
                    linearisations.end());
        const Matrix& m = linearisations.front();
        const Eigen::EigenSolver<Matrix> solver(m, false);
        if (solver.info() != Eigen::Success) {
            return;
        }
        for (Eigen::Index k = 0; k < m.rows(); ++k) {
            cycle.eigenvalues.push_back(solver.eigenvalues()[k]);
        }
        SortEigenvalues(cycle.eigenvalues, maps_.flow());
        Classify(cycle, maps_.flow());
        cycle.trace = m.trace();
        cycle.determinant = m.determinant();
        for (std::size_t k = 0; k < orbit.size(); ++k) {
            cycle.points.push_back({Values(orbit[k]), Directions(linearisations[k], maps_.flow())});
        }
        cycles_.push_back(std::move(cycle));
    }

    std::vector<Cycle> take() {
        std::stable_sort(cycles_.begin(), cycles_.end(), [](const Cycle& a, const Cycle& b) {
            if (a.period != b.period) {
                return a.period < b.period;
            }
            return std::lexicographical_compare(
                a.points[0].values.begin(), a.points[0].values.end(), b.points[0].values.begin(),
                b.points[0].values.end());
        });
        return std::move(cycles_);
    }

  private:
    bool close(const Vector& a, const Vector& b) const {
        return MaxNorm(a - b) <= merge_ * std::max(1.0, MaxNorm(b));
    }

    CycleMaps& maps_;
    const CycleSettings& settings_;
    double merge_;
    std::vector<Cycle> cycles_;
};

long long StartCount(const CycleSettings& settings) {
    long long count = 1;
    for (std::size_t k = 0; k < settings.box.size(); ++k) {
        count *= settings.grid;
        if (count > kMaximumStarts) {
            return kMaximumStarts + 1;
        }
    }
    return count;
}

// Start number index of the grid: the centres of grid^d cells, the first axis fastest.
Vector StartPoint(const CycleSettings& settings, const Vector& initial, long long index) {
    Vector x = initial;
    for (const CycleBoxAxis& axis : settings.box) {
        const long long cell = index % settings.grid;
        index /= settings.grid;
        x[axis.variable] = axis.minimum + (axis.maximum - axis.minimum) *
                                              (static_cast<double>(cell) + 0.5) / settings.grid;
    }
    return x;
}

}  // namespace

void CheckCycleSettings(int variableCount, const CycleSettings& settings) {
    if (settings.firstPeriod < 1 || settings.lastPeriod > kMaximumCyclePeriod ||
        settings.firstPeriod > settings.lastPeriod) {
        throw CycleSettingsError("The periods must lie in 1.." +
                                 std::to_string(kMaximumCyclePeriod) +
                                 ", the first not after the last");
    }
    if (settings.box.empty()) {
        throw CycleSettingsError("The box needs at least one variable");
    }
    std::vector<bool> seen(static_cast<std::size_t>(std::max(variableCount, 0)), false);
    for (const CycleBoxAxis& axis : settings.box) {
        if (axis.variable < 0 || axis.variable >= variableCount) {
            throw CycleSettingsError("The box names no variable of the model");
        }
        if (seen[axis.variable]) {
            throw CycleSettingsError("The box names a variable twice");
        }
        seen[axis.variable] = true;
        if (!std::isfinite(axis.minimum) || !std::isfinite(axis.maximum) ||
            !(axis.minimum < axis.maximum)) {
            throw CycleSettingsError(
                "Each range of the box must run from a smaller to a larger number");
        }
    }
    if (settings.grid < 1 || StartCount(settings) > kMaximumStarts) {
        throw CycleSettingsError(
            "The grid must have 1 or more starts per variable, at most a million in all");
    }
    if (!(settings.tolerance > 0) || !std::isfinite(settings.tolerance)) {
        throw CycleSettingsError("The tolerance must be a positive number");
    }
}

const char* CycleTypeName(CycleType type) {
    switch (type) {
        case CycleType::Node:
            return "node";
        case CycleType::Focus:
            return "focus";
        default:
            return "saddle";
    }
}

CycleSearchOutcome FindCycles(const ModelDefinitionPtr& definition, const CycleSettings& settings,
                              RunControl& control, int threads) {
    const ModelDefinition& model = *definition;
    const int n = std::clamp<int>(model.variableCount, 0, kModelListCapacity);
    CheckCycleSettings(n, settings);
    const bool flow = model.kind == ModelKind::Continuous;
    const long long starts = StartCount(settings);
    // A model that keeps state between calls answers by the order of its calls: one thread.
    const int workers =
        ModelCallsAreIndependent(model.scriptText) ? WorkerCount(threads, starts) : 1;
    std::vector<std::unique_ptr<ModelEvaluator>> instances;
    std::vector<std::unique_ptr<CycleMaps>> maps;
    for (int worker = 0; worker < workers; ++worker) {
        instances.push_back(
            std::make_unique<ModelEvaluator>(definition, RandomState{}, nullptr, &control));
        instances.back()->noise.noiseOn = false;
        maps.push_back(std::make_unique<CycleMaps>(*instances.back(), flow));
    }
    const std::vector<Transformation> transformations =
        flow ? std::vector<Transformation>{} : Transformations(n);
    // The identity is plain Newton's direction, which the damped search has taken already.
    std::vector<Transformation> others(transformations.begin() + (flow ? 0 : 1),
                                       transformations.end());
    Vector initial(n);
    for (int i = 0; i < n; ++i) {
        initial[i] = static_cast<double>(model.initialValues[i]);
    }
    const Region region{settings.box};
    std::vector<std::vector<Candidate>> found(static_cast<std::size_t>(starts));
    control.progress().start(starts);
    const PiecesOutcome pieces =
        RunPieces(starts, workers, control, [&](int worker, long long index) {
            found[static_cast<std::size_t>(index)] =
                SearchFrom(*maps[static_cast<std::size_t>(worker)], settings, others, region,
                           StartPoint(settings, initial, index), control);
            return true;
        });
    CycleSearchOutcome outcome;
    outcome.method = maps.front()->method();
    outcome.stopped = pieces.stopped || control.stopRequested();
    CycleCollector collector(*maps.front(), settings);
    for (long long index = 0; index < pieces.kept; ++index) {
        for (const Candidate& candidate : found[static_cast<std::size_t>(index)]) {
            collector.add(candidate);
        }
    }
    outcome.cycles = collector.take();
    for (const auto& instance : instances) {
        if (!instance->recordedMessage.empty()) {
            outcome.message = instance->recordedMessage;
            break;
        }
    }
    control.progress().finish();
    return outcome;
}

}  // namespace kalvora
