#include "analysis/data/common/worker_run.h"

#include <exception>

#include "analysis/window/background_run.h"

namespace kalvora {

namespace {

// Only the user-interface thread starts runs.
bool runInProgress = false;

}  // namespace

bool RunOnModelInstance(
    AnalysisHost& host,
    const std::function<void(ModelInstance& model, ModelKind kind, RunControl& control)>& job) {
    if (runInProgress) {
        return false;
    }
    ModelWorkspace& ws = host.workspace();
    ModelInstance instance(ws);
    const ModelKind kind = ws.kind;
    runInProgress = true;
    std::exception_ptr thrown;
    try {
        RunWithComputingWindow(host.computingProgress(), ws,
                               [&](RunControl& control) { job(instance, kind, control); });
    } catch (...) {
        thrown = std::current_exception();
    }
    runInProgress = false;
    AdoptRandomState(ws, instance);
    ws.errorFlag = instance.errorFlag;
    if (!instance.recordedMessage.empty()) {
        host.prompts().error(instance.recordedMessage);
    }
    if (thrown) {
        std::rethrow_exception(thrown);
    }
    return true;
}

}  // namespace kalvora
