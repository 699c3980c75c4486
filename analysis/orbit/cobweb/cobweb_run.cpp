#include "analysis/orbit/cobweb/cobweb_run.h"

#include <string>
#include <utility>

#include "analysis/orbit/common/orbit_counts.h"
#include "core/model_step.h"

namespace kalvora {

namespace {

// The n-th iterate of the first variable at x, in the construction's working state. Stops at the
// first failing step.
void Iterate(ModelEvaluator& model, ModelKind kind, StateVector& state, int times) {
    for (int i = 0; i < times && !model.errorFlag; ++i) {
        ModelStep(model, kind, state);
    }
}

}  // namespace

void CheckCobwebSettings(const CobwebSettings& settings) {
    if (settings.iteratedMap < 1 || settings.iteratedMap > kMaximumIteratedMap) {
        throw OrbitSettingsError("The iterated map must be between 1 and " +
                                 std::to_string(kMaximumIteratedMap) + ", not " +
                                 std::to_string(settings.iteratedMap));
    }
}

bool CobwebStart(ModelEvaluator& model, ModelKind kind, const CobwebSettings& settings,
                 CobwebConstruction& construction, PointSink& curve, PointSink& diagonal,
                 PointSink& staircase) {
    CheckCobwebSettings(settings);
    model.errorFlag = false;
    Extended low = settings.minimum;
    Extended high = settings.maximum;
    if (low > high) {
        std::swap(low, high);
    }
    Extended start = settings.initialValue;
    if (start > high || start < low) {
        start = (high + 2 * low) / 3;
    }

    construction = CobwebConstruction{};
    construction.iteratedMap = settings.iteratedMap;
    construction.minimum = low;
    construction.maximum = high;
    construction.start = start;
    StateVector state = model.model().initialValues;

    // A map that cannot be evaluated at the initial value draws no curve.
    state[0] = start;
    ModelStep(model, kind, state);
    for (int i = 1; i <= kCobwebCurvePoints && !model.errorFlag; ++i) {
        const Extended x = low + (high - low) * i / kCobwebCurvePoints;
        state[0] = x;
        Iterate(model, kind, state, settings.iteratedMap);
        if (!model.errorFlag) {
            curve.addPoint(static_cast<double>(x), static_cast<double>(state[0]));
        }
    }

    diagonal.addPoint(static_cast<double>(high), static_cast<double>(high));
    diagonal.addPoint(static_cast<double>(low), static_cast<double>(low));
    // The first vertical segment rises from the lower edge of the field, which is min.
    staircase.addPoint(static_cast<double>(start), static_cast<double>(low));

    construction.currentX = static_cast<float>(start);
    construction.failed = model.errorFlag;
    construction.state = model.model().initialValues;
    return construction.failed;
}

bool CobwebStep(ModelEvaluator& model, ModelKind kind, CobwebConstruction& construction,
                long long count, PointSink& staircase) {
    if (construction.failed) {
        return true;
    }
    model.errorFlag = false;
    StateVector& state = construction.state;
    for (long long k = 0; k < count && !model.errorFlag; ++k) {
        const double x = construction.currentX;
        state[0] = construction.currentX;
        Iterate(model, kind, state, construction.iteratedMap);
        if (!model.errorFlag) {
            if (construction.firstStep) {
                construction.firstStep = false;
            } else {
                staircase.addPoint(x, x);
            }
            staircase.addPoint(x, static_cast<double>(state[0]));
        }
        construction.currentX = static_cast<float>(state[0]);
    }
    construction.failed = model.errorFlag;
    return construction.failed;
}

}  // namespace kalvora
