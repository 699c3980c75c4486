#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>

#include "core/dormand_prince.h"
#include "core/flow_steps.h"
#include "core/model_step.h"
#include "model_twins.h"

namespace kalvora {
namespace {

// The harmonic oscillator x'' = -x from (1, 0): x = cos t, v = -sin t. The suffix moves the model
// into the interpreter, so that both evaluation paths of the rates are exercised.
std::unique_ptr<Twin> Oscillator(IntegrationMethod method, Extended h, Extended tolerance = 1e-8L,
                                 const std::string& suffix = "") {
    auto twin = std::make_unique<Twin>();
    ModelDefinition model = ParseModelDefinition("x=1, v=0", "w=1", "");
    BuildModelScript(model, "local dx = v\r\nlocal dv = -w*w*x\r\nx = dx\r\nv = dv");
    model.scriptText += suffix;
    SetModelKind(model, ModelKind::Continuous);
    model.stepSize = h;
    model.integration = {method, tolerance};
    twin->ws.definition = ShareDefinition(std::move(model));
    twin->makeEvaluator();
    return twin;
}

Extended ErrorAt(Twin& twin, Extended t) {
    const long long steps = std::llround(static_cast<double>(t / twin.ws.model().stepSize));
    const Outcome outcome = StepByStep(twin, steps);
    EXPECT_FALSE(outcome.failed);
    return std::hypot(outcome.state[0] - std::cos(t), outcome.state[1] + std::sin(t));
}

TEST(Integrators, FixedStepsConvergeWithTheirOrder) {
    struct Case {
        IntegrationMethod method;
        double ratio;  // 2^order
        std::string suffix;
    };
    for (const Case& c : {Case{IntegrationMethod::RungeKutta4, 16, ""},
                          Case{IntegrationMethod::RungeKutta4, 16, "\r\n--[[ ]]"},
                          Case{IntegrationMethod::RungeKutta3, 8, ""}}) {
        Extended errors[3];
        for (int halving = 0; halving < 3; ++halving) {
            auto twin = Oscillator(c.method, 0.1L / (1 << halving), 1e-8L, c.suffix);
            errors[halving] = ErrorAt(*twin, 10);
        }
        for (int k = 0; k < 2; ++k) {
            const double ratio = static_cast<double>(errors[k] / errors[k + 1]);
            EXPECT_NEAR(c.ratio, ratio, c.ratio * 0.1) << IntegrationMethodName(c.method) << k;
        }
    }
}

TEST(Integrators, DormandPrinceMeetsItsToleranceAgainstClosedForms) {
    // The bare stepper on the oscillator: within 1e-8 at t = 100 in fewer than 3000 steps.
    const RateFunction oscillator = [](const double* y, double* rates) {
        rates[0] = y[1];
        rates[1] = -y[0];
        return true;
    };
    DormandPrince stepper(2, 1e-10L);
    StateVector y{};
    y[0] = 1;
    ASSERT_TRUE(stepper.start(0, y, 0.01L, oscillator));
    Extended worstDense = 0;
    while (stepper.time() < 100) {
        ASSERT_TRUE(stepper.step(oscillator));
        // The continuous extension halfway through every step.
        const Extended middle = (stepper.previousTime() + stepper.time()) / 2;
        StateVector at{};
        stepper.interpolate(middle, at);
        worstDense = std::max(worstDense, std::fabs(at[0] - std::cos(middle)));
    }
    StateVector at{};
    stepper.interpolate(100, at);
    EXPECT_LT(std::hypot(at[0] - std::cos(100.0L), at[1] + std::sin(100.0L)), 1e-8L);
    EXPECT_LT(stepper.acceptedSteps(), 3000);
    EXPECT_LT(worstDense, 1e-8L);

    // Exponential decay y' = -y through the model and ModelStep, sampled at h: the error follows
    // the tolerance down.
    for (const Extended tolerance : {1e-6L, 1e-9L, 1e-12L}) {
        Twin twin;
        ModelDefinition model = ParseModelDefinition("y=1", "k=1", "");
        BuildModelScript(model, "y = -k*y");
        SetModelKind(model, ModelKind::Continuous);
        model.stepSize = 0.05L;
        model.integration = {IntegrationMethod::DormandPrince, tolerance};
        twin.ws.definition = ShareDefinition(std::move(model));
        twin.makeEvaluator();
        const Outcome outcome = StepByStep(twin, 200);
        ASSERT_FALSE(outcome.failed);
        EXPECT_NEAR(static_cast<double>(std::exp(-10.0L)), static_cast<double>(outcome.state[0]),
                    static_cast<double>(tolerance * 10));
    }
}

TEST(Integrators, SampledRunStartsAfreshWhenTheStateOrParametersChange) {
    // Steps taken after the state was replaced are those of a fresh run from the new state; a
    // stale continuation would carry the old trajectory on.
    auto carried = Oscillator(IntegrationMethod::DormandPrince, 0.1L);
    auto fresh = Oscillator(IntegrationMethod::DormandPrince, 0.1L);
    StateVector a = carried->ws.model().initialValues;
    for (int k = 0; k < 7; ++k) {
        ModelStep(*carried->model, ModelKind::Continuous, a);
    }
    a[0] = 0.5L;
    a[1] = 0.25L;
    carried->model->parameterValues[0] = 2;
    fresh->model->parameterValues[0] = 2;
    StateVector b = a;
    for (int k = 0; k < 30; ++k) {
        ModelStep(*carried->model, ModelKind::Continuous, a);
        ModelStep(*fresh->model, ModelKind::Continuous, b);
    }
    EXPECT_EQ(a[0], b[0]);
    EXPECT_EQ(a[1], b[1]);
}

TEST(Integrators, FlowStepsInterpolateWithinTheMethodsAccuracy) {
    for (const IntegrationMethod method :
         {IntegrationMethod::RungeKutta3, IntegrationMethod::RungeKutta4,
          IntegrationMethod::DormandPrince}) {
        auto twin = Oscillator(method, 0.05L, 1e-10L);
        FlowSteps flow(*twin->model, twin->ws.model().initialValues);
        Extended worst = 0;
        Extended worstAtEnds = 0;
        while (flow.time() < 20) {
            ASSERT_TRUE(flow.advance());
            StateVector at{};
            const Extended t = flow.previousTime() + (flow.time() - flow.previousTime()) / 3;
            ASSERT_TRUE(flow.at(t, at));
            worst = std::max(worst, std::fabs(at[0] - std::cos(t)));
            worstAtEnds = std::max(worstAtEnds, std::fabs(flow.state()[0] - std::cos(flow.time())));
        }
        // Between the steps the state is as good as at their ends: the interpolation adds no
        // error beyond the method's own.
        EXPECT_LT(worst, 1.5L * worstAtEnds + 1e-10L) << IntegrationMethodName(method);
        EXPECT_LT(worstAtEnds, 1e-4L);
    }
}

}  // namespace
}  // namespace kalvora
