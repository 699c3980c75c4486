#pragma once

#include <stdexcept>

#include "core/model_definition.h"

namespace kalvora {

// A sweep whose settings cannot be carried out. Raised before anything changes: no series is
// emptied, no parameter written.
class SweepSettingsError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The parameter values of a sweep: value i = from + i * step for i = 0 .. steps, in Extended. The
// first value is exactly `from` and the last exactly `to`: from + N * step may round to a
// neighbour of `to`, which near a rounding midpoint becomes another double in the output.
struct SweptValues {
    int parameter = 0;  // 0-based index into parameterValues
    Extended from = 0;
    Extended to = 0;
    Extended step = 0;
    long long steps = 0;  // N; there are N + 1 values

    long long count() const { return steps + 1; }
    Extended value(long long index) const {
        return index == steps ? to : from + static_cast<Extended>(index) * step;
    }
    Extended lower() const { return from < to ? from : to; }
    Extended upper() const { return from < to ? to : from; }
};

// The values a run computes, indices first .. end - 1 of the sweep: all of them, or one tile's
// share when the run is split over the machines of a cluster. An end of -1 means the last value.
struct ValueRange {
    long long first = 0;
    long long end = -1;
    long long endIn(const SweptValues& values) const { return end < 0 ? values.count() : end; }
};

// Plans N + 1 values from `from` to `to` (either may be the larger). Refuses a parameter the model
// does not have, a resolution of 0 with the message the division by it gives, a negative
// resolution, and, when the points are held (for a picture), a sweep of more than
// kMaximumPlottedPoints points in all.
SweptValues PlanSweptValues(const ModelDefinition& model, int parameter, Extended from, Extended to,
                            long long resolution, long long pointsPerValue, bool pointsHeld = true);

// Whether steps draw random numbers (noise on with a positive level): then the order of the steps
// is part of the result and a sweep must run on one thread.
bool StepsDrawRandomNumbers(const ModelDefinition& model);

// The workers a sweep uses: one when its values depend on each other (a carried state, noise) or
// when one thread is asked for; otherwise `requested` (0: one per core), never more than values.
int SweepWorkers(int requested, bool independentValues, long long valueCount);

}  // namespace kalvora
