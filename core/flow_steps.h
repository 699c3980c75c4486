#pragma once

#include <memory>

#include "core/dormand_prince.h"
#include "core/model_evaluator.h"

namespace kalvora {

// One step of h of a continuous model with the definition's integrator when it is not Kutta's
// (ModelStep calls it): the classical fourth-order step, or the adaptive method's continuous
// extension sampled at the next multiple of h. The adaptive run goes on from one call to the next
// (it is kept in the evaluator) as long as the state comes back as this function left it and
// the parameters are unchanged; anything else (a new start, a swept parameter, noise) starts it
// afresh from the state given. A failure sets errorFlag and leaves the state as it was.
void IntegratorStep(ModelEvaluator& ws, StateVector& state);

// The adaptive run behind IntegratorStep, one per evaluator: where it stands, and what it was
// started with, so that a changed state, step, tolerance or parameter starts it afresh.
struct SampledFlow {
    SampledFlow(int slotCount, Extended tolerance) : stepper(slotCount, tolerance) {}
    DormandPrince stepper;
    StateVector last{};
    std::array<Extended, kModelListCapacity> parameters{};
    Extended stepSize = 0;
    Extended tolerance = 0;
    long long samples = 0;
};

// The natural steps of a continuous model with the definition's integrator: a step of h for the
// fixed-step methods (exactly ModelStep's, noise included), one accepted step for the adaptive
// one. Between the ends of the last step the state is known to the method's accuracy, which is
// what locates section crossings and maxima.
class FlowSteps {
  public:
    FlowSteps(ModelEvaluator& ws, const StateVector& start, Extended startTime = 0);
    ~FlowSteps();

    // False when the model failed (errorFlag is set).
    bool advance();
    Extended time() const { return time_; }
    Extended previousTime() const { return previousTime_; }
    const StateVector& state() const { return state_; }
    const StateVector& previousState() const { return previous_; }
    long long steps() const { return steps_; }

    // The state at t in [previousTime, time]: the adaptive method's continuous extension (order 4);
    // for the fixed steps the cubic Hermite interpolation from the values and rates at both ends,
    // whose error per step (order h^4) is below the steps' own. False when a rate fails.
    bool at(Extended t, StateVector& out);
    // The cubic Hermite interpolation of one slot over the last step, from the values and rates
    // at both ends: at(t, out)[slot] is cubic(t). A search along one slot evaluates it inline.
    struct SlotCubic {
        Extended startTime;
        Extended h;
        Extended start;
        Extended end;
        double startRate;
        double endRate;
        Extended operator()(Extended t) const {
            const Extended s = h > 0 ? (t - startTime) / h : 1;
            const Extended s2 = s * s;
            const Extended s3 = s2 * s;
            const Extended h00 = 2 * s3 - 3 * s2 + 1;
            const Extended h10 = s3 - 2 * s2 + s;
            const Extended h01 = -2 * s3 + 3 * s2;
            const Extended h11 = s3 - s2;
            return h00 * start + h10 * h * startRate + h01 * end + h11 * h * endRate;
        }
    };
    // The slot's cubic over the last step of a fixed-step method; false for the adaptive one
    // (whose interpolation is at's own) and when a rate fails.
    bool slotCubic(int slot, SlotCubic& cubic);
    // The rate of slot at the end (or the start) of the last step.
    bool rate(int slot, bool atEnd, double& value);

  private:
    bool ensureRates();
    SlotCubic cubicOf(int slot) const;

    ModelEvaluator& ws_;
    int slots_;
    Extended h_;
    std::unique_ptr<DormandPrince> adaptive_;
    bool restart_ = false;
    StateVector state_{};
    StateVector previous_{};
    Extended time_ = 0;
    Extended previousTime_ = 0;
    Extended startTime_ = 0;
    long long steps_ = 0;
    std::array<double, kModelListCapacity> startRates_{};
    std::array<double, kModelListCapacity> endRates_{};
    bool startRatesKnown_ = false;
    bool endRatesKnown_ = false;
};

}  // namespace kalvora
