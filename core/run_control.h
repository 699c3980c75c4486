#pragma once

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "core/lua_sandbox.h"
#include "core/progress.h"

namespace kalvora {

// What a long computation gets besides its settings: a progress display and a stop request. The
// stop request is polled where the algorithms poll stopFlag; it may be set from any thread (the
// computing window's Stop button, a signal in the batch tool) while the computation runs on
// workers. Progress calls come from the thread that runs the computation's outer loop.
class RunControl {
  public:
    explicit RunControl(Progress& progress) : progress_(progress) {}
    RunControl(const RunControl&) = delete;
    RunControl& operator=(const RunControl&) = delete;

    Progress& progress() { return progress_; }

    bool stopRequested() const { return stop_.load(std::memory_order_relaxed); }
    // Also interrupts the models running under this control wherever they are, so a model stuck
    // in an endless loop inside one step stops too.
    void requestStop() {
        stop_.store(true, std::memory_order_relaxed);
        std::lock_guard lock(modelsMutex_);
        for (ModelInterrupt* model : models_) {
            model->request();
        }
    }
    // Every run clears the request at its start, so a Stop pressed before it does not end it.
    void clearStop() { stop_.store(false, std::memory_order_relaxed); }

    // The models (their interrupts) a stop request reaches; see RunningModel.
    void addModel(ModelInterrupt& model) {
        std::lock_guard lock(modelsMutex_);
        models_.push_back(&model);
        if (stopRequested()) {
            model.request();
        }
    }
    bool hasModels() {
        std::lock_guard lock(modelsMutex_);
        return !models_.empty();
    }
    void removeModel(ModelInterrupt& model) {
        std::lock_guard lock(modelsMutex_);
        models_.erase(std::remove(models_.begin(), models_.end(), &model), models_.end());
    }

  private:
    Progress& progress_;
    std::atomic<bool> stop_{false};
    std::mutex modelsMutex_;
    std::vector<ModelInterrupt*> models_;
};

// A model (a runtime's interrupt) that the control's stop request reaches while this lives: a
// worker's model instance for the length of the run.
class RunningModel {
  public:
    RunningModel(RunControl& control, ModelInterrupt& model) : control_(control), model_(model) {
        control_.addModel(model_);
    }
    ~RunningModel() { control_.removeModel(model_); }
    RunningModel(const RunningModel&) = delete;
    RunningModel& operator=(const RunningModel&) = delete;

  private:
    RunControl& control_;
    ModelInterrupt& model_;
};

// For tests and callers that never stop a run and show no progress.
class QuietRunControl final : public RunControl {
  public:
    QuietRunControl() : RunControl(null_) {}

  private:
    NullProgress null_;
};

}  // namespace kalvora
