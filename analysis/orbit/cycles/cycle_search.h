#pragma once

#include <complex>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/model_definition.h"
#include "core/model_derivatives.h"
#include "core/run_control.h"

namespace kalvora {

// One side of the search box: a model variable (0-based) and its range.
struct CycleBoxAxis {
    int variable = 0;
    double minimum = -1;
    double maximum = 1;
};

struct CycleSettings {
    // Periods looked for (maps only; a flow's equilibria have none).
    int firstPeriod = 1;
    int lastPeriod = 1;
    // The variables the starts spread over and the cycles must lie in; the other variables start
    // from their initial values and are free.
    std::vector<CycleBoxAxis> box;
    // Starts per box axis.
    int grid = 20;
    // A point is a cycle point when F^p(x) - x (a flow: f(x)) is below this in every variable.
    double tolerance = 1e-10;
};

inline constexpr int kMaximumCyclePeriod = 12;

class CycleSettingsError : public std::invalid_argument {
  public:
    using std::invalid_argument::invalid_argument;
};

// Refuses what the search cannot do: periods outside 1..12 or in the wrong order, an empty box or
// one naming a variable twice or no variable of the model, an empty or reversed range, a grid
// below 1 or with more than a million starts, a tolerance that is not positive.
void CheckCycleSettings(int variableCount, const CycleSettings& settings);

enum class CycleType { Node, Focus, Saddle };

const char* CycleTypeName(CycleType type);

// A real eigenvector at a cycle point, unit length, along which the cycle attracts (stable) or
// repels.
struct CycleDirection {
    std::vector<double> vector;
    bool stable = false;
};

struct CyclePoint {
    std::vector<double> values;  // all variables
    std::vector<CycleDirection> directions;
};

struct Cycle {
    int period = 1;  // least period; 1 for an equilibrium of a flow
    // In orbit order, from the point first in the order of the variables' values.
    std::vector<CyclePoint> points;
    // Multipliers (eigenvalues of D(F^p)) of a map, eigenvalues of Df of a flow: by descending
    // modulus (map) or real part (flow), a conjugate pair with the positive imaginary part first.
    std::vector<std::complex<double>> eigenvalues;
    bool stable = false;
    CycleType type = CycleType::Node;
    // Of D(F^p) or Df; meaningful for two variables.
    double trace = 0;
    double determinant = 0;
};

struct CycleSearchOutcome {
    // By period, then by their first points.
    std::vector<Cycle> cycles;
    DerivativeMethod method = DerivativeMethod::Exact;
    bool stopped = false;
    // The first script message a worker recorded.
    std::string message;
};

// All cycles of the map (periods first..last) or all equilibria of the flow in the box, from a
// grid of starts: damped Newton on F^p(x) - x, and for maps the same iteration under stabilising
// transformations (which make other cycles attracting for it, the unstable cycles of chaotic maps
// among them). A cycle found under a longer period is kept under its least period when that is
// searched, and dropped otherwise. Runs on evaluators of its own, made from the definition on the
// calling thread, one per worker (threads: 0 one per core, 1 the one-thread run; the result is the
// same); the parameters are the definition's. The stop request reaches the evaluators inside a
// model call; between starts it is polled, and a stopped search returns what the finished starts
// found. Noise is not applied: these are the cycles of the model itself.
CycleSearchOutcome FindCycles(const ModelDefinitionPtr& model, const CycleSettings& settings,
                              RunControl& control, int threads = 0);

}  // namespace kalvora
