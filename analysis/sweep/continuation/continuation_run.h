#pragma once

#include <complex>
#include <functional>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/model_definition.h"
#include "core/model_derivatives.h"
#include "core/run_control.h"

namespace kalvora {

// The points where a branch changes: a fold (the branch turns back in the parameter), a period
// doubling (a multiplier through -1), a Neimark-Sacker point (a complex pair of multipliers
// through the unit circle), a Hopf point (a complex pair of eigenvalues through the imaginary
// axis) and a branch point (another branch crosses).
enum class SpecialKind { Fold, PeriodDoubling, NeimarkSacker, Hopf, BranchPoint };

// "LP", "PD", "NS", "H", "BP".
const char* SpecialLabel(SpecialKind kind);
// The kind of a label as SpecialLabel writes it; false for any other text.
bool ParseSpecialLabel(const std::string& label, SpecialKind& kind);

struct ContinuationSettings {
    // The parameter followed (0-based among the model's parameters) and its interval; the ends may
    // come in either order.
    int parameter = 0;
    double from = 0;
    double to = 1;
    // Where Newton's method starts: all variables (empty: the model's initial values), and the
    // parameter's value (NaN: the model's value, moved to the nearer end when outside).
    std::vector<double> start;
    double startParameter = std::numeric_limits<double>::quiet_NaN();
    // Steps of the map (of the Runge-Kutta integrator for a flow) from the start before Newton's
    // method: the end state of an orbit is near a stable point.
    int transient = 0;
    // Period of the cycle followed (maps only).
    int period = 1;
    // The largest step along the branch (arclength in parameter and variables); the step halves
    // where the corrector fails or the branch bends, and grows back to this where it is easy.
    double step = 0.01;
    // The most points of one branch, special points not counted.
    int maxPoints = 1000;
    // Newton's method has converged when its step is below this (relative to the point's size).
    double tolerance = 1e-10;
    // After each branch, the run switches at the first special point of the next kind in this list
    // onto the branch that meets it there: at PD onto the doubled cycle, at BP onto the other
    // branch.
    std::vector<SpecialKind> switches;
};

struct ContinuationPoint {
    double parameter = 0;
    std::vector<double> values;  // all variables; of a cycle, the point followed
    // Multipliers (eigenvalues of D(F^p)) of a map, eigenvalues of Df of a flow: by descending
    // modulus (map) or real part (flow).
    std::vector<std::complex<double>> eigenvalues;
    bool stable = false;
    int special = -1;  // index into ContinuationOutcome::specials, or -1
};

struct SpecialPoint {
    SpecialKind kind = SpecialKind::Fold;
    double parameter = 0;
    std::vector<double> values;
    std::vector<std::complex<double>> eigenvalues;
    int period = 1;
    int branch = 0;  // index into ContinuationOutcome::branches
};

struct ContinuationBranch {
    int period = 1;
    // In the order of the curve: from one end through the start (or the switching point) to the
    // other end.
    std::vector<ContinuationPoint> points;
};

struct ContinuationOutcome {
    std::vector<ContinuationBranch> branches;
    // In the order they were found (nearest the start first, both directions taken in turn).
    std::vector<SpecialPoint> specials;
    DerivativeMethod method = DerivativeMethod::Exact;
    bool stopped = false;
    // Why there is no branch (the start did not converge) or why a branch ended early or a switch
    // was not made, each with what to try; empty notes when every branch ran to its ends.
    std::vector<std::string> notes;
};

class ContinuationSettingsError : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
};

// Refuses what the continuation cannot do: no such parameter, an interval that is empty or not
// finite, a start of the wrong length or whose parameter value lies outside the interval, a period
// below 1 or above 64 (or any period for a flow), a step or tolerance that is not positive, fewer
// than 2 points, switching at LP, NS or H.
void CheckContinuationSettings(const ModelDefinition& model, const ContinuationSettings& settings);

// Pseudo-arclength continuation of the solutions of F^p(x) - x = 0 (a map) or f(x) = 0 (a flow) in
// one parameter, from the point Newton's method finds from the start, both ways until the branch
// leaves the interval (its last point then lies on the interval's end), closes, or has its
// points. Each step is predicted along the tangent and corrected by Newton's method on the system
// bordered by the tangent; the special points are located by the secant method on their test
// functions to the rounding of the model. Runs on an evaluator of its own, on the calling thread;
// the other parameters are the definition's; noise is not applied. A stopped run returns what it
// has computed. pointAdded, when given, sees every point as it is computed (the two directions
// from the start in turn, on the calling thread), for a picture drawn while the run goes on.
ContinuationOutcome RunContinuation(
    const ModelDefinitionPtr& model, const ContinuationSettings& settings, RunControl& control,
    const std::function<void(const ContinuationPoint&)>& pointAdded = {});

}  // namespace kalvora
