#include "analysis/orbit/poincare/poincare_run.h"

namespace kalvora {

PoincareOutcome PoincareRun(ModelEvaluator& model, const PoincareSettings& settings,
                            RunControl& control,
                            const std::function<void(const PoincareCrossing&)>& report) {
    if (model.model().kind != ModelKind::Continuous) {
        throw PoincareSettingsError("a Poincaré section needs a continuous model");
    }
    if (settings.crossings < 1) {
        throw PoincareSettingsError("the number of crossings must be at least 1");
    }
    if (settings.section.terms.empty()) {
        throw PoincareSettingsError("the section names no variable");
    }
    PoincareOutcome outcome;
    model.errorFlag = false;
    control.progress().start(settings.crossings);
    FlowSteps flow(model, model.model().initialValues);
    long long quiet = 0;
    PoincareCrossing crossing;
    while (outcome.crossings < settings.crossings) {
        // Polled every few thousand steps: often enough to stop at once, rarely enough to cost
        // nothing.
        if (quiet % 4096 == 0 && control.stopRequested()) {
            outcome.stopped = true;
            break;
        }
        if (quiet >= kMostStepsPerEvent) {
            outcome.exhausted = true;
            break;
        }
        if (!flow.advance()) {
            outcome.failed = true;
            break;
        }
        ++quiet;
        if (flow.time() < settings.skipTime) {
            continue;
        }
        const FlowEvent event = FindCrossing(flow, settings.section, crossing.time, crossing.state);
        if (event == FlowEvent::Failed) {
            outcome.failed = true;
            break;
        }
        if (event == FlowEvent::Found && crossing.time >= settings.skipTime) {
            report(crossing);
            ++outcome.crossings;
            control.progress().setPosition(outcome.crossings);
            quiet = 0;
        }
    }
    control.progress().finish();
    outcome.failed = outcome.failed || model.errorFlag;
    return outcome;
}

}  // namespace kalvora
