#pragma once

#include <functional>

#include "core/model_evaluator.h"
#include "core/run_control.h"

namespace kalvora {

class AnalysisHost;

// Every evaluation of the model on the desktop runs here, as a job on a worker thread; the
// user-interface thread never evaluates the model. While the job runs the host disables every
// command that would evaluate or change the model and routes Stop, the computing window's close
// box, Exit and the termination signals to the job's one stop request (control), which reaches the
// job's evaluators wherever they are. The user-interface thread meanwhile goes on handling events
// (windows repaint, Stop answers); the computing window with its gauge appears only once the job
// has taken longer than a moment, so that quick runs (a slider move) do not flash it. Returns
// when the job has ended; an exception it threw is thrown again here.
//
// The job must not touch the workspace or any widget: it runs on evaluators it makes from the
// definition it was given and hands its results back by value. Returns false, without running,
// when another run is going (a command that could start one is disabled then; this is the
// guard behind it).
bool RunWithComputingWindow(AnalysisHost& host,
                            const std::function<void(RunControl& control)>& job);

// How a run of one evaluator ended.
struct ModelRunOutcome {
    bool ran = false;      // false: another run was going, nothing ran
    bool failed = false;   // a model step set errorFlag; what came before it was kept
    bool stopped = false;  // Stop (or Exit, or a signal) ended the run early
};

// RunWithComputingWindow for a job on one evaluator of the workspace's model, made on the worker
// with the workspace's random sequence and integrated as the run's settings chose. Afterwards, on
// the user-interface thread, the workspace continues that sequence and the run's first script
// message is shown through the host's prompts (a message that a stop caused is not).
ModelRunOutcome RunModelJob(
    AnalysisHost& host, const std::function<void(ModelEvaluator& model, RunControl& control)>& job,
    const Integration& integration = {});

}  // namespace kalvora
