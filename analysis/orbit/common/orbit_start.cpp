#include "analysis/orbit/common/orbit_start.h"

#include "core/model_step.h"

namespace kalvora {

StateVector StartOrbit(ModelWorkspace& workspace, long long transientSteps) {
    const ModelKind kind = workspace.kind;
    StateVector state = workspace.initialValues;
    workspace.errorFlag = false;
    for (long long i = 0; i < transientSteps && !workspace.errorFlag; ++i) {
        ModelStep(workspace, kind, state);
    }
    return state;
}

}  // namespace kalvora
