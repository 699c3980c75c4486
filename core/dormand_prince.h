#pragma once

#include <functional>
#include <vector>

#include "core/model_types.h"

namespace kalvora {

// The rates of a system at a point: fills rates[0 .. m-1] from at[0 .. m-1]; false when they
// cannot be had (the model failed, or a value is not finite).
using RateFunction = std::function<bool(const double* at, double* rates)>;

// Dormand and Prince's embedded Runge-Kutta pair of orders 5 and 4 with step-size control and
// its continuous extension of order 4 (Hairer, Norsett and Wanner's coefficients). The fifth-order
// result is carried on (local extrapolation) and its last stage is the next step's first.
// All state lives here, so each thread integrates with its own.
class DormandPrince {
  public:
    // m slots integrated, weighted in the error norm by tolerance * (1 + |value|).
    DormandPrince(int slotCount, Extended tolerance);

    // Starts at time t from y (slots 0 .. m-1) with a first trial step (made positive and finite
    // when it is not); false when the rates at y cannot be had.
    bool start(Extended t, const StateVector& y, Extended firstStep, const RateFunction& rates);
    // One accepted step, as many rejected trials as it takes before it. False when the rates fail
    // or the step would shrink below what the time can resolve; the state then stays where it was.
    bool step(const RateFunction& rates);

    Extended time() const { return time_; }
    Extended previousTime() const { return previousTime_; }
    const StateVector& state() const { return y_; }
    const StateVector& previousState() const { return previous_; }
    // The rates at the current state (the first stage of the next step).
    const double* rates() const { return k_[0].data(); }
    // The continuous extension of the last step at t in [previousTime, time] into out's slots.
    void interpolate(Extended t, StateVector& out) const;

    long long acceptedSteps() const { return accepted_; }
    long long rejectedSteps() const { return rejected_; }

  private:
    int m_;
    Extended tolerance_;
    Extended time_ = 0;
    Extended previousTime_ = 0;
    Extended h_ = 0;
    StateVector y_{};
    StateVector previous_{};
    std::vector<double> k_[7];
    std::vector<double> stage_;
    // The coefficients of the continuous extension of the last accepted step.
    std::vector<Extended> dense_[5];
    long long accepted_ = 0;
    long long rejected_ = 0;
};

}  // namespace kalvora
