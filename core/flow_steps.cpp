#include "core/flow_steps.h"

#include <algorithm>
#include <cmath>

#include "core/model_step.h"
#include "core/noise.h"

namespace kalvora {

namespace {

int SlotCount(const ModelEvaluator& ws) {
    return std::clamp(ws.model().variableCount, 0, kModelListCapacity) +
           std::clamp(ws.model().auxiliaryCount, 0, kModelListCapacity);
}

RateFunction RatesOf(ModelEvaluator& ws) {
    return [&ws](const double* at, double* rates) { return ModelRates(ws, at, rates); };
}

// The classical fourth-order step in the manner of Kutta's: each stage value rounded once from
// Extended to the double the model receives, the sum kept in Extended.
void RungeKutta4Step(ModelEvaluator& ws, StateVector& state) {
    const int m = std::min(SlotCount(ws), kModelListCapacity);
    const Extended h = ws.model().stepSize;
    std::array<double, kModelListCapacity> at;
    std::array<double, kModelListCapacity> k[4];
    for (int i = 0; i < m; ++i) {
        at[i] = static_cast<double>(state[i]);
    }
    if (!ModelRates(ws, at.data(), k[0].data())) {
        return;
    }
    const Extended fractions[3] = {h / 2, h / 2, h};
    for (int s = 1; s < 4; ++s) {
        for (int i = 0; i < m; ++i) {
            at[i] = static_cast<double>(state[i] + fractions[s - 1] * k[s - 1][i]);
        }
        if (!ModelRates(ws, at.data(), k[s].data())) {
            return;
        }
    }
    StateVector next;
    for (int i = 0; i < m; ++i) {
        next[i] =
            state[i] + h * ((Extended{k[0][i]} + k[3][i]) + 2 * (Extended{k[1][i]} + k[2][i])) / 6;
        if (!std::isfinite(next[i])) {
            ws.errorFlag = true;
            return;
        }
    }
    std::copy_n(next.begin(), m, state.begin());
}

void SampledStep(ModelEvaluator& ws, StateVector& state) {
    const int m = SlotCount(ws);
    const Extended h = ws.model().stepSize;
    const Extended tolerance = ws.model().integration.tolerance;
    const int parameters = std::clamp(ws.model().parameterCount, 0, kModelListCapacity);
    std::unique_ptr<SampledFlow>& flow = ws.sampledFlow;
    const bool goesOn =
        flow != nullptr && flow->stepSize == h && flow->tolerance == tolerance &&
        std::equal(state.begin(), state.begin() + m, flow->last.begin()) &&
        std::equal(ws.parameterValues.begin(), ws.parameterValues.begin() + parameters,
                   flow->parameters.begin());
    const RateFunction rates = RatesOf(ws);
    if (!goesOn) {
        flow = std::make_unique<SampledFlow>(m, tolerance);
        flow->stepSize = h;
        flow->tolerance = tolerance;
        std::copy_n(ws.parameterValues.begin(), parameters, flow->parameters.begin());
        // The model's step is the scale the user chose for the run: a fair first trial.
        if (!flow->stepper.start(0, state, h, rates)) {
            ws.errorFlag = true;
            flow.reset();
            return;
        }
    }
    // Sampled as multiples of h from the start, so that no rounding accumulates in the times.
    const Extended target = static_cast<Extended>(flow->samples + 1) * h;
    while (flow->stepper.time() < target) {
        if (!flow->stepper.step(rates)) {
            ws.errorFlag = true;
            flow.reset();
            return;
        }
    }
    flow->stepper.interpolate(target, state);
    ++flow->samples;
    std::copy_n(state.begin(), m, flow->last.begin());
}

}  // namespace

void IntegratorStep(ModelEvaluator& ws, StateVector& state) {
    if (ws.model().integration.method == IntegrationMethod::DormandPrince) {
        SampledStep(ws, state);
    } else {
        RungeKutta4Step(ws, state);
    }
}

FlowSteps::FlowSteps(ModelEvaluator& ws, const StateVector& start, Extended startTime)
    : ws_(ws),
      slots_(SlotCount(ws)),
      h_(ws.model().stepSize),
      state_(start),
      previous_(start),
      time_(startTime),
      previousTime_(startTime),
      startTime_(startTime) {
    if (ws.model().integration.method == IntegrationMethod::DormandPrince) {
        adaptive_ = std::make_unique<DormandPrince>(slots_, ws.model().integration.tolerance);
        restart_ = true;
    }
}

FlowSteps::~FlowSteps() = default;

bool FlowSteps::advance() {
    if (ws_.errorFlag) {
        return false;
    }
    // Only the model's slots change from step to step; the rest of both states is the start's.
    // Copying the whole vectors would cost more than a step of a small flow.
    const int slots = std::min(slots_, kModelListCapacity);
    std::copy_n(state_.begin(), slots, previous_.begin());
    previousTime_ = time_;
    if (adaptive_ == nullptr) {
        ModelStep(ws_, ModelKind::Continuous, state_);
        ++steps_;
        time_ = startTime_ + static_cast<Extended>(steps_) * h_;
        std::copy_n(endRates_.begin(), slots, startRates_.begin());
        startRatesKnown_ = endRatesKnown_;
        endRatesKnown_ = false;
        return !ws_.errorFlag;
    }
    const RateFunction rates = RatesOf(ws_);
    if (restart_ && !adaptive_->start(time_, state_, h_, rates)) {
        ws_.errorFlag = true;
        return false;
    }
    restart_ = false;
    if (!adaptive_->step(rates)) {
        ws_.errorFlag = true;
        return false;
    }
    ++steps_;
    // The rates at the new start are the old end's, unless noise moved the state.
    startRates_ = endRates_;
    startRatesKnown_ = endRatesKnown_;
    time_ = adaptive_->time();
    state_ = adaptive_->state();
    std::copy_n(adaptive_->rates(), slots_, endRates_.begin());
    endRatesKnown_ = true;
    if (ws_.noise.noiseOn) {
        // The kick comes after the step: the next one starts afresh from the state it made.
        ApplyNoise(ws_, state_, time_ - previousTime_);
        restart_ = true;
        endRatesKnown_ = false;
    }
    return true;
}

bool FlowSteps::ensureRates() {
    std::array<double, kModelListCapacity> at;
    if (!startRatesKnown_) {
        for (int i = 0; i < slots_; ++i) {
            at[i] = static_cast<double>(previous_[i]);
        }
        if (!ModelRates(ws_, at.data(), startRates_.data())) {
            return false;
        }
        startRatesKnown_ = true;
    }
    if (!endRatesKnown_) {
        for (int i = 0; i < slots_; ++i) {
            at[i] = static_cast<double>(state_[i]);
        }
        if (!ModelRates(ws_, at.data(), endRates_.data())) {
            return false;
        }
        endRatesKnown_ = true;
    }
    return true;
}

bool FlowSteps::rate(int slot, bool atEnd, double& value) {
    if (slot < 0 || slot >= slots_ || !ensureRates()) {
        return false;
    }
    value = atEnd ? endRates_[slot] : startRates_[slot];
    return true;
}

bool FlowSteps::at(Extended t, StateVector& out) {
    if (adaptive_ != nullptr && adaptive_->time() == time_ && !restart_) {
        adaptive_->interpolate(t, out);
        return true;
    }
    if (!ensureRates()) {
        return false;
    }
    for (int i = 0; i < slots_; ++i) {
        out[i] = cubicOf(i)(t);
    }
    return true;
}

bool FlowSteps::slotCubic(int slot, SlotCubic& cubic) {
    if (adaptive_ != nullptr || slot < 0 || slot >= slots_ || !ensureRates()) {
        return false;
    }
    cubic = cubicOf(slot);
    return true;
}

FlowSteps::SlotCubic FlowSteps::cubicOf(int slot) const {
    return {previousTime_, time_ - previousTime_, previous_[slot],
            state_[slot],  startRates_[slot],     endRates_[slot]};
}

}  // namespace kalvora
