#pragma once

#include "core/model_evaluator.h"

namespace kalvora {

// The start of every fresh orbit run: the model's initial values carried through the transient of
// transientSteps model steps. errorFlag is cleared first, so that an earlier run's failure does not
// end this one; a step that fails ends the transient with errorFlag set.
StateVector StartOrbit(ModelEvaluator& model, long long transientSteps);

}  // namespace kalvora
