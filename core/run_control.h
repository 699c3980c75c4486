#pragma once

#include <atomic>

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
    void requestStop() { stop_.store(true, std::memory_order_relaxed); }
    // Every run clears the request at its start, so a Stop pressed before it does not end it.
    void clearStop() { stop_.store(false, std::memory_order_relaxed); }

  private:
    Progress& progress_;
    std::atomic<bool> stop_{false};
};

// For tests and callers that never stop a run and show no progress.
class QuietRunControl final : public RunControl {
  public:
    QuietRunControl() : RunControl(null_) {}

  private:
    NullProgress null_;
};

}  // namespace kalvora
