#include "analysis/sweep/common/sweep_plan.h"

#include <string>

#include "analysis/orbit/common/orbit_counts.h"
#include "core/parallel_pieces.h"

namespace kalvora {

SweptValues PlanSweptValues(const ModelDefinition& model, int parameter, Extended from, Extended to,
                            long long resolution, long long pointsPerValue, bool pointsHeld) {
    if (parameter < 1 || parameter > model.parameterCount || parameter > kModelListCapacity) {
        throw SweepSettingsError("There is no parameter number " + std::to_string(parameter));
    }
    if (resolution == 0) {
        throw SweepSettingsError("Floating point division by zero");
    }
    if (resolution < 0) {
        throw SweepSettingsError(
            "The resolution must be a positive number of parameter steps, not " +
            std::to_string(resolution));
    }
    // A picture keeps every point in memory; a sweep the size of many orbit runs would exhaust
    // memory long before it ended. Points written as they come are not kept.
    const long long perValue = pointsPerValue < 1 ? 1 : pointsPerValue;
    if (pointsHeld && resolution >= kMaximumPlottedPoints / perValue) {
        throw SweepSettingsError("The sweep asks for " + std::to_string(resolution) +
                                 " parameter steps with " + std::to_string(perValue) +
                                 " points each; at most " + std::to_string(kMaximumPlottedPoints) +
                                 " points can be plotted");
    }
    SweptValues values;
    values.parameter = parameter - 1;
    values.from = from;
    values.to = to;
    values.steps = resolution;
    values.step = (to - from) / static_cast<Extended>(resolution);
    return values;
}

bool StepsDrawRandomNumbers(const ModelDefinition& model) {
    return model.noise.noiseOn && model.noise.noiseLevel > 0;
}

int SweepWorkers(int requested, bool independentValues, long long valueCount) {
    if (!independentValues) {
        return 1;
    }
    return WorkerCount(requested, valueCount);
}

}  // namespace kalvora
