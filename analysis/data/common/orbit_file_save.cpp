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
    bool ran = false;
    ReportingErrors(prompts, [&] {
        ran = RunModelJob(host, [&](ModelEvaluator& model, RunControl& control) {
                  AtomicFileWriter file(*path);
                  outcome = WriteOrbit(model, model.model().kind, file.stream(), sampling, control,
                                       *path);
                  if (!outcome.stopped) {
                      file.commit();
                  }
              }).ran;
    });
    if (!ran || outcome.stopped) {
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
