#pragma once

// What the two halves of the engine share: reading a number, and the model lent to one run.

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "core/model_evaluator.h"
#include "core/model_workspace.h"
#include "core/noise.h"
#include "core/run_control.h"
#include "engine.h"

namespace kalvora::python {

// Reads a number as the desktop does; BadArgument with its message when it is none.
Extended Number(const std::string& text);

// The evaluator of this thread's last run of `definition`, restarted for this run, when it may
// serve again (ModelEvaluator::reusable); else a fresh one. Compiling the script costs a short run
// such as m.orbit(10) many times the run itself. Kept per thread: a Lua state and the compiled
// program's registers belong to the thread that made them.
std::unique_ptr<ModelEvaluator> TakeEvaluator(const ModelDefinitionPtr& definition,
                                              const RandomState& randomState, RunControl& control);
// Keeps a reusable evaluator, no longer reached by its run's stop, for this thread's next run.
void KeepEvaluator(std::unique_ptr<ModelEvaluator> evaluator);

// The engine's model for the length of one run, with the values set when it starts, under the
// run's stop request. The run goes on from the noise sequence as the batch tool's command would:
// from the fixed seed when there is one (and its period counter at zero), else from where the
// engine's previous run left it, which the lease hands back at its end.
class Engine::Lease {
  public:
    Lease(Engine& engine, RunControl& control) : engine_(engine), control_(control) {
        std::lock_guard lock(engine.mutex_);
        ws_.definition = engine.model_->definition;
        ws_.randomState = engine.model_->randomState;
        ws_.randomState.noiseCounter = 0;
        ReseedIfFixed(ws_);
    }
    ~Lease() {
        if (evaluator_ && !ws_.model().noise.fixSeedForEachRun) {
            std::lock_guard lock(engine_.mutex_);
            AdoptRandomState(*engine_.model_, *evaluator_);
        }
        if (evaluator_) {
            KeepEvaluator(std::move(evaluator_));
        }
    }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;

    const ModelDefinition& model() const { return ws_.model(); }
    const ModelDefinitionPtr& definition() const { return ws_.definition; }
    const RandomState& randomState() const { return ws_.randomState; }
    // The run's evaluator, made at the first call (on the run's thread), which the run's stop
    // reaches wherever it is.
    ModelEvaluator& evaluator() {
        if (!evaluator_) {
            evaluator_ = TakeEvaluator(ws_.definition, ws_.randomState, control_);
        }
        return *evaluator_;
    }

  private:
    Engine& engine_;
    RunControl& control_;
    // The run's own copy: the definition it started from and its noise sequence.
    ModelWorkspace ws_;
    std::unique_ptr<ModelEvaluator> evaluator_;
};

}  // namespace kalvora::python
