#include "analysis/orbit/common/orbit_counts.h"

#include <algorithm>
#include <cmath>

namespace kalvora {

long long RoundHalfEven(Extended value) {
    // The default rounding mode is round-to-nearest-even, which is exactly the rule wanted.
    return std::llrint(value);
}

bool ContinuousIntervalValid(Extended start, Extended end, Extended stepSize) {
    return !(end - start <= 3 * stepSize || start < 0);
}

void CheckContinuousInterval(const ModelDefinition& model, Extended start, Extended end) {
    if (!model.discrete && !ContinuousIntervalValid(start, end, model.stepSize)) {
        throw OrbitSettingsError(
            "The interval must start at time 0 or later and hold more than three steps");
    }
}

long long ContinuousStepCount(Extended span, Extended stepSize) {
    if (!(stepSize > 0)) {
        throw OrbitSettingsError("The Runge-Kutta step size must be greater than 0");
    }
    const Extended steps = span / stepSize;
    // llrint of a value outside the integer range is undefined; such a count is refused anyway.
    if (!std::isfinite(steps) || std::fabs(steps) > 9.0e18L) {
        throw OrbitSettingsError("The time interval holds too many steps");
    }
    return RoundHalfEven(steps);
}

int StateEntryOf(const ModelDefinition& model, const std::string& name) {
    const int count = std::clamp(model.variableCount + model.auxiliaryCount, 0, kModelListCapacity);
    for (int i = 0; i < count; ++i) {
        if (model.variableNames[i] == name) {
            return i + 1;
        }
    }
    return 0;
}

void CheckStateEntry(int entry) {
    if (entry < 1 || entry > kModelListCapacity) {
        throw OrbitSettingsError("There is no variable number " + std::to_string(entry));
    }
}

void CheckOrbitRunSize(long long plottedPoints, long long transientSteps) {
    if (plottedPoints < 0) {
        throw OrbitSettingsError("The run asks for " + std::to_string(plottedPoints) +
                                 " points; the end must not lie before the start");
    }
    if (transientSteps < 0) {
        throw OrbitSettingsError("The run asks for " + std::to_string(transientSteps) +
                                 " transient steps; the start must not lie before time 0");
    }
    if (plottedPoints > kMaximumPlottedPoints) {
        throw OrbitSettingsError("The run asks for " + std::to_string(plottedPoints) +
                                 " points; at most " + std::to_string(kMaximumPlottedPoints) +
                                 " can be plotted");
    }
}

}  // namespace kalvora
