#include "analysis/orbit/common/orbit_start.h"

#include "core/model_step.h"

namespace kalvora {

StateVector StartOrbit(ModelWorkspace& workspace, long long transientSteps) {
    const ModelKind kind = workspace.kind;
    StateVector state = workspace.initialValues;
    workspace.errorFlag = false;
    ModelTransient(workspace, kind, state, transientSteps);
    return state;
}

}  // namespace kalvora
