#pragma once

#include <stdexcept>
#include <string>

#include "core/model_workspace.h"

namespace kalvora {

// A run whose settings cannot be carried out (a step size of zero, an interval that asks for more
// points than the program can hold). Raised before any step is taken, so nothing has changed.
class OrbitSettingsError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The largest number of plotted points one orbit run accepts, all held for the picture. The
// dialogs' own spin ranges stay well inside it; only a continuous interval or a later step-size
// change can ask for more, and such a run would exhaust memory. Transient steps hold nothing, and
// a stop reaches the model inside them, so any count of them runs (the batch tool takes any 64-bit
// count).
inline constexpr long long kMaximumPlottedPoints = 10'000'000;

// Nearest integer, halves going to the even neighbour.
long long RoundHalfEven(Extended value);

// The start check of the continuous settings dialogs: the interval must hold more than three steps
// and must not start before time 0.
bool ContinuousIntervalValid(Extended start, Extended end, Extended stepSize);
// The same check for the settings dialogs' OK, for the workspace's model (a discrete model has no
// interval): raises OrbitSettingsError with the message.
void CheckContinuousInterval(const ModelDefinition& model, Extended start, Extended end);

// Steps of size stepSize in a continuous time span (rounded, halves to even). Refuses a step size
// that is not positive, since every count would be meaningless.
long long ContinuousStepCount(Extended span, Extended stepSize);

// The 1-based StateVector entry of a variable or auxiliary variable named so (variables first, as
// the settings dialogs list them); 0 when the model has no such name.
int StateEntryOf(const ModelDefinition& model, const std::string& name);

// Refuses a 1-based StateVector entry outside the vector.
void CheckStateEntry(int entry);

// Refuses runs that exceed the limits above, or that ask for a negative count (an end time before
// the start), naming what was asked for.
void CheckOrbitRunSize(long long plottedPoints, long long transientSteps);

}  // namespace kalvora
