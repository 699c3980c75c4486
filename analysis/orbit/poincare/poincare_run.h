#pragma once

#include <functional>
#include <stdexcept>

#include "core/flow_events.h"
#include "core/model_evaluator.h"
#include "core/run_control.h"

namespace kalvora {

// A Poincaré section that cannot be computed (a discrete model, a count below 1).
class PoincareSettingsError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

struct PoincareSettings {
    Section section;
    long long crossings = 1000;
    // Crossings before this time are not reported: the orbit's way onto its attractor.
    Extended skipTime = 0;
};

struct PoincareCrossing {
    Extended time = 0;
    StateVector state{};
};

struct PoincareOutcome {
    long long crossings = 0;
    bool failed = false;     // a model step failed; the crossings before it were reported
    bool stopped = false;    // the run control's stop ended the run
    bool exhausted = false;  // kMostStepsPerEvent steps went by without a crossing
};

// Follows the orbit from the model's initial values at time 0 with the definition's integrator
// and reports each crossing of the section in its direction, after skipTime, until `crossings`
// are reported; progress counts the crossings. Raises PoincareSettingsError before anything runs.
PoincareOutcome PoincareRun(ModelEvaluator& model, const PoincareSettings& settings,
                            RunControl& control,
                            const std::function<void(const PoincareCrossing&)>& report);

}  // namespace kalvora
