#pragma once

// What the two halves of the engine share: reading a number, and a workspace lent to one run.

#include <memory>
#include <optional>
#include <string>

#include "core/model_workspace.h"
#include "core/run_control.h"
#include "engine.h"

namespace kalvora::python {

// Reads a number as the desktop does; BadArgument with its message when it is none.
Extended Number(const std::string& text);

// A workspace of the engine's for the length of one run, with the model's current values, under
// the run's stop request.
class Engine::Lease {
  public:
    Lease(Engine& engine, RunControl& control)
        : engine_(engine), workspace_(engine.takeWorkspace()) {
        running_.emplace(control, workspace_->interrupt);
    }
    ~Lease() {
        running_.reset();
        workspace_->interrupt.clear();
        engine_.returnWorkspace(std::move(workspace_));
    }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    ModelWorkspace& ws() { return *workspace_; }

  private:
    Engine& engine_;
    std::unique_ptr<ModelWorkspace> workspace_;
    std::optional<RunningModel> running_;
};

}  // namespace kalvora::python
