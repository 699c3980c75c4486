#include "core/orbit_file.h"

#include <algorithm>

#include "core/lua_sandbox.h"
#include "core/model_step.h"
#include "core/numbers.h"
#include "core/output_writer.h"
#include "core/progress.h"
#include "core/prompts.h"
#include "core/run_control.h"
#include "core/text_file.h"

namespace kalvora {

std::string OrbitLine(const ModelEvaluator& ws, const StateVector& state) {
    const int values =
        std::clamp(ws.model().variableCount + ws.model().auxiliaryCount, 0, kModelListCapacity);
    std::string line(static_cast<std::size_t>(values) * (kOrbitValueWidth + 1) + 1, ' ');
    char* out = line.data();
    for (int i = 0; i < values; ++i) {
        out = WriteOrbitValue(state[i], out) + 1;  // the blank between values is there already
    }
    // The blank after the last value becomes the line's end.
    line.resize(static_cast<std::size_t>(values > 0 ? out - line.data() - 1 : 0));
    line += "\r\n";
    return line;
}

OrbitWriteOutcome RunOrbit(ModelEvaluator& model, ModelKind kind, const OrbitSampling& sampling,
                           RunControl& control,
                           const std::function<void(const StateVector& state)>& sample) {
    Progress& progress = control.progress();
    StateVector state = model.model().initialValues;
    model.errorFlag = false;
    // Iterates before the first sampled one. A failure here would leave an undefined state to be
    // written as if it were the orbit, so it ends the run like any other failure.
    // Nothing looks at them, so they run as a transient, in pieces short enough to keep a stop
    // request prompt.
    constexpr std::int64_t kPiece = 1 << 14;
    for (std::int64_t left = sampling.start - 1; left > 0 && !model.errorFlag; left -= kPiece) {
        if (control.stopRequested()) {
            progress.finish();
            return {0, false, true};
        }
        ModelTransient(model, kind, state, std::min(left, kPiece));
    }
    progress.start(sampling.count);
    OrbitWriteOutcome outcome;
    try {
        for (std::int64_t i = 1; i <= sampling.count && !model.errorFlag; ++i) {
            if (control.stopRequested()) {
                outcome.stopped = true;
                break;
            }
            progress.setPosition(i);
            for (std::int64_t k = 0; k < sampling.step && !model.errorFlag; ++k) {
                ModelStep(model, kind, state);
            }
            if (model.errorFlag) {
                break;
            }
            sample(state);
            ++outcome.lines;
        }
    } catch (...) {
        progress.finish();
        throw;
    }
    outcome.failed = model.errorFlag;
    // A stop that cut a step short (or the transient) is a stop, not a failure of the model: the
    // lines so far stay, and no "Overflow" follows.
    if (outcome.failed && control.stopRequested() &&
        model.recordedMessage == kModelStoppedMessage) {
        outcome.failed = false;
        outcome.stopped = true;
        model.errorFlag = false;
    }
    progress.finish();
    return outcome;
}

OrbitWriteOutcome WriteOrbit(ModelEvaluator& model, ModelKind kind, std::ostream& out,
                             const OrbitSampling& sampling, RunControl& control,
                             const std::string& name) {
    const int values = std::clamp(model.model().variableCount + model.model().auxiliaryCount, 0,
                                  kModelListCapacity);
    OutputWriter writer(out, name);
    const OrbitWriteOutcome outcome =
        RunOrbit(model, kind, sampling, control,
                 [&](const StateVector& state) { writer.orbitLine(&state[0], values); });
    writer.flush();
    return outcome;
}

Prompts::FileRequest OrbitFileRequest(const ModelWorkspace& ws) {
    Prompts::FileRequest request;
    request.title = "Save Data Series As";
    request.folder = ws.dataFolder;
    request.filter = "*.txt|*.txt";
    request.defaultExtension = "txt";
    return request;
}

}  // namespace kalvora
