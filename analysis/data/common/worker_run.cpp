#include "analysis/data/common/worker_run.h"

#include <exception>

#include "analysis/window/background_run.h"

namespace kalvora {

void RunOnModelInstance(
    AnalysisHost& host,
    const std::function<void(ModelInstance& model, ModelKind kind, RunControl& control)>& job) {
    ModelWorkspace& ws = host.workspace();
    ModelInstance instance(ws);
    const ModelKind kind = ws.kind;
    std::exception_ptr thrown;
    try {
        RunWithComputingWindow(host.computingProgress(), ws,
                               [&](RunControl& control) { job(instance, kind, control); });
    } catch (...) {
        thrown = std::current_exception();
    }
    AdoptRandomState(ws, instance);
    ws.errorFlag = instance.errorFlag;
    if (!instance.recordedMessage.empty()) {
        host.prompts().error(instance.recordedMessage);
    }
    if (thrown) {
        std::rethrow_exception(thrown);
    }
}

}  // namespace kalvora
