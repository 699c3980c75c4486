#pragma once

#include <functional>

#include "analysis/window/analysis_host.h"
#include "core/model_instance.h"
#include "core/run_control.h"

namespace kalvora {

// Runs a data tool's computation on a model instance made from the workspace, on a worker, while
// the computing window shows its gauge and offers Stop. Afterwards the workspace takes the run's
// errorFlag and continues its random sequence where the run left it, as if it had run the steps
// itself, and a script message of the run is shown. An exception of the job reaches the caller
// after that. Returns false, doing nothing, while another data tool's run is in progress (its
// window keeps repainting, and a second run must not start beneath the first).
bool RunOnModelInstance(
    AnalysisHost& host,
    const std::function<void(ModelInstance& model, ModelKind kind, RunControl& control)>& job);

}  // namespace kalvora
