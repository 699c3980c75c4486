#pragma once

#include "core/model_workspace.h"

namespace kalvora {

// The start of every fresh orbit run: the model's initial values carried through the transient of
// transientSteps model steps. errorFlag is cleared first, so that an earlier run's failure does not
// end this one; a step that fails ends the transient with errorFlag set.
StateVector StartOrbit(ModelWorkspace& workspace, long long transientSteps);

}  // namespace kalvora
