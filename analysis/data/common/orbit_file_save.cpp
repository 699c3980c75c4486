#include "analysis/data/common/orbit_file_save.h"

#include "analysis/window/background_run.h"
#include "core/text_file.h"

namespace kalvora {

bool SaveOrbitFileBehindGauge(AnalysisHost& host, const OrbitSampling& sampling) {
    Prompts& prompts = host.prompts();
    const auto path = prompts.chooseSaveFile(OrbitFileRequest(host.workspace()));
    if (!path) {
        return false;
    }
    OrbitWriteOutcome outcome;
    ModelRunOutcome ran;
    ReportingErrors(prompts, [&] {
        ran = RunModelJob(host, [&](ModelEvaluator& model, RunControl& control) {
            AtomicFileWriter file(*path);
            outcome =
                WriteOrbit(model, model.model().kind, file.stream(), sampling, control, *path);
            // Also a stop that interrupted a model step, which ends the writing as a failure
            // would: the file is left as it was all the same.
            if (!outcome.stopped && !control.stopRequested()) {
                file.commit();
            }
        });
    });
    if (!ran.ran || ran.stopped || outcome.stopped) {
        return false;
    }
    if (outcome.failed) {
        // The file itself does not mark the failure, so a shorter file must not pass unnoticed.
        prompts.information("Overflow: the model failed after " + std::to_string(outcome.lines) +
                            " of " + std::to_string(sampling.count) + " lines; \"" + *path +
                            "\" holds the lines before the failure.");
    }
    return true;
}

}  // namespace kalvora
