#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "core/model_workspace.h"
#include "core/prompts.h"

namespace kalvora {

class Progress;
class RunControl;

// Which iterates an orbit file holds: count lines, the iterates start - 1 + step, start - 1 + 2
// step,
// ... (start 1 and step 1: iterates 1 .. count; the initial state is never written).
struct OrbitSampling {
    std::int64_t start = 1;
    std::int64_t count = 0;
    std::int64_t step = 1;
};

// One line of an orbit file: the variables and then the auxiliary variables, 23-character fields
// separated by one space, CR LF.
std::string OrbitLine(const ModelEvaluator& ws, const StateVector& state);

struct OrbitWriteOutcome {
    std::int64_t lines = 0;
    bool failed = false;   // a model step set errorFlag; the lines before it are complete
    bool stopped = false;  // the run control's stop request ended the run early
};

// Runs the model from the initial values and writes one line per sampled iterate. A failing model
// step ends the output after the last complete line and leaves errorFlag set (also when the failure
// comes before the first sampled iterate, in which case nothing is written); a stop request ends
// it after the last complete line. Throws FileError (naming `name`) when the stream fails.
OrbitWriteOutcome WriteOrbit(ModelEvaluator& model, ModelKind kind, std::ostream& out,
                             const OrbitSampling& sampling, RunControl& control,
                             const std::string& name = "output");

// The save dialog of orbit files: "*.txt" files, starting in dataFolder.
Prompts::FileRequest OrbitFileRequest(const ModelWorkspace& ws);

}  // namespace kalvora
