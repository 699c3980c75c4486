#include "analysis/orbit/common/orbit_start.h"

#include "core/model_step.h"

namespace kalvora {

StateVector StartOrbit(ModelEvaluator& model, long long transientSteps) {
    const ModelKind kind = model.model().kind;
    StateVector state = model.model().initialValues;
    model.errorFlag = false;
    ModelTransient(model, kind, state, transientSteps);
    return state;
}

}  // namespace kalvora
