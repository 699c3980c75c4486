#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "analysis/sweep/common/tangent_space.h"
#include "analysis/sweep/spectrum/lyapunov_spectrum.h"
#include "core/model_derivatives.h"
#include "tests/analysis/sweep/sweep_test_support.h"

namespace kalvora {
namespace {

using testing::CallCounter;
using testing::UseModel;

SpectrumResult Spectrum(const ModelWorkspace& ws, long long iterations,
                        long long transient = 1000) {
    SpectrumSettings settings;
    settings.iterations = iterations;
    settings.transientSteps = transient;
    QuietRunControl control;
    const auto model = testing::EvaluatorOf(ws);
    return LyapunovSpectrum(*model, ws.model().kind, settings, control);
}

// Published values, closed forms and the divergence of the flow (the sum of all exponents).
TEST(LyapunovSpectrum, MatchesKnownSpectra) {
    struct Case {
        const char* name;
        ModelKind kind;
        std::initializer_list<std::pair<const char*, Extended>> variables;
        std::initializer_list<std::pair<const char*, Extended>> parameters;
        const char* body;
        long long iterations;
        std::vector<double> expected;
        double tolerance;
        double sum;  // the exponents' sum
        double sumTolerance;
        double dimension;
        double dimensionTolerance;
        IntegrationMethod method = IntegrationMethod::RungeKutta3;
    };
    const double ln2 = std::log(2.0);
    const Case cases[] = {
        // Every step multiplies areas by b exactly: the sum is ln 0.3 to rounding.
        {"Henon",
         ModelKind::Discrete,
         {{"x", 0.1L}, {"y", 0.1L}},
         {{"a", 1.4L}, {"b", 0.3L}},
         "return 1 - a*x*x + y, b*x",
         1000000,
         {0.41922, -1.62319},
         5e-4,
         std::log(0.3),
         1e-10,
         1.2583,
         5e-4},
        // |slope| = mu everywhere: exact at every step, no perturbation to bias it.
        {"tent",
         ModelKind::Discrete,
         {{"x", 0.3L}},
         {{"mu", 1.9L}},
         "return mu*math.min(x, 1-x)",
         100000,
         {std::log(1.9)},
         1e-6,
         std::log(1.9),
         1e-6,
         1,
         0},
        // Conjugate to the tent map of slope 2: the logarithms telescope, the error falls as 1/M.
        {"logistic",
         ModelKind::Discrete,
         {{"x", 0.3L}},
         {{"r", 4}},
         "return r*x*(1-x)",
         1000000,
         {ln2},
         1e-4,
         ln2,
         1e-4,
         1,
         0},
        // A linear flow whose state grows without bound: the rates themselves, up to the
        // third-order step's error (h^4 / 24 per step).
        {"linear flow",
         ModelKind::Continuous,
         {{"x", 1}, {"y", 1}},
         {{"a", 0.5L}, {"c", -1}},
         "return a*x, c*y",
         100000,
         {0.5, -1},
         1e-7,
         -0.5,
         1e-7,
         1.5,
         1e-6},
        // The divergence of Lorenz's flow is -(sigma + 1 + b); the Runge-Kutta step at h = 0.01
        // moves the sum by 0.005 (third order: 0.0006 at h/2).
        {"Lorenz",
         ModelKind::Continuous,
         {{"x", 1}, {"y", 1}, {"z", 1}},
         {{"sigma", 10}, {"r", 28}, {"b", 8.0L / 3}},
         "return sigma*(y-x), x*(r-z)-y, x*y-b*z",
         200000,
         {0.9056, 0, -14.5723},
         0.02,
         -(11 + 8.0 / 3),
         0.006,
         2.062,
         0.005},
        // The classical step's error is of fourth order: the sum is the divergence to 2e-4, which
        // vectors moved through Kutta's three stages instead would miss by 0.005.
        {"Lorenz, classical step",
         ModelKind::Continuous,
         {{"x", 1}, {"y", 1}, {"z", 1}},
         {{"sigma", 10}, {"r", 28}, {"b", 8.0L / 3}},
         "return sigma*(y-x), x*(r-z)-y, x*y-b*z",
         200000,
         {0.9056, 0, -14.5723},
         0.02,
         -(11 + 8.0 / 3),
         2e-4,
         2.062,
         0.005,
         IntegrationMethod::RungeKutta4},
    };
    for (const Case& c : cases) {
        ModelWorkspace ws;
        UseModel(ws, c.kind, c.variables, c.parameters, {}, c.body, CallCounter::Off);
        ReplaceModel(ws, [&](ModelDefinition& m) {
            m.stepSize = 0.01L;
            m.integration.method = c.method;
        });
        const SpectrumResult result = Spectrum(ws, c.iterations);
        ASSERT_FALSE(result.failed) << c.name;
        ASSERT_EQ(result.exponents.size(), c.expected.size()) << c.name;
        double sum = 0;
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_NEAR(static_cast<double>(result.exponents[i]), c.expected[i], c.tolerance)
                << c.name << " exponent " << i;
            sum += static_cast<double>(result.exponents[i]);
        }
        EXPECT_NEAR(sum, c.sum, c.sumTolerance) << c.name;
        EXPECT_NEAR(static_cast<double>(result.dimension), c.dimension, c.dimensionTolerance)
            << c.name;
        EXPECT_EQ(result.steps, c.iterations) << c.name;
    }
}

TEST(LyapunovSpectrum, TheDimensionFollowsKaplanAndYorke) {
    struct Case {
        std::vector<Extended> exponents;
        double expected;
    };
    const Case cases[] = {
        {{}, 0},
        {{-0.5L}, 0},                           // a stable fixed point
        {{0.5L, -1}, 1.5},                      // j = 1: 1 + 0.5 / 1
        {{0.5L, -0.5L}, 2},                     // the sum reaches 0 exactly: not below it
        {{2, 1}, 2},                            // expanding in every direction
        {{0.9L, 0, -14.6L}, 2 + 0.9 / 14.6},    // a flow: the zero exponent counts
        {{0.1L, -0.2L, -0.3L}, 1 + 0.1 / 0.2},  // stops at the first negative partial sum
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(static_cast<double>(KaplanYorkeDimension(c.exponents)), c.expected, 1e-15)
            << c.exponents.size();
    }
}

// The vectors of a flow move through the same three stages as Kutta's step: the result equals the
// Jacobian of the whole step (built by the chain rule elsewhere) applied to them, so one direction
// of a step from a unit vector grows by the length of that Jacobian's first column.
TEST(LyapunovSpectrum, AFlowsVectorsFollowTheJacobianOfTheRungeKuttaStep) {
    ModelWorkspace ws;
    testing::UseLorenz(ws);
    const auto model = testing::EvaluatorOf(ws);
    StateVector state = ws.model().initialValues;
    state[0] = 1.5L;
    state[1] = -2;
    state[2] = 20;
    const double x[] = {1.5, -2, 20};
    ModelDerivatives derivatives = MakeModelDerivatives(*model);
    double next[3];
    double jacobian[9];
    ASSERT_TRUE(RungeKuttaStepJacobian(derivatives, 0.01, x, next, jacobian));
    TangentSpace tangent(*model, ModelKind::Continuous, 1);
    ASSERT_TRUE(tangent.step(state));
    const double length = std::hypot(jacobian[0], jacobian[3], jacobian[6]);
    EXPECT_NEAR(static_cast<double>(tangent.sum(0)), std::log(length), 1e-14);
}

TEST(LyapunovSpectrum, FailuresAndBadSettingsEndTheRunWithWhatWasMeasured) {
    {
        ModelWorkspace ws;
        UseModel(ws, ModelKind::Discrete, {{"x", 1}}, {{"a", 2}}, {}, "return a*x");
        // Doubling overflows after about 16000 steps.
        const SpectrumResult result = Spectrum(ws, 100000, 0);
        EXPECT_TRUE(result.failed);
        EXPECT_GT(result.steps, 1000);
        EXPECT_LT(result.steps, 100000);
        EXPECT_NEAR(static_cast<double>(result.exponents.at(0)), std::log(2.0), 1e-12);
    }
    for (const auto& [iterations, transient] : {std::pair{0LL, 0LL}, std::pair{10LL, -1LL}}) {
        ModelWorkspace ws;
        testing::UseLogistic(ws);
        EXPECT_THROW(Spectrum(ws, iterations, transient), SweepSettingsError);
    }
}

TEST(LyapunovSpectrum, TheSweepGivesEveryValuesExponentsTheSameOnEveryThreadCount) {
    ModelWorkspace ws;
    testing::UseHenon(ws, CallCounter::Off);
    SpectrumSweepSettings settings;
    settings.parameter = 1;
    settings.minimum = 1.0L;
    settings.maximum = 1.4L;
    settings.resolution = 8;
    settings.run.iterations = 3000;
    settings.run.transientSteps = 100;
    std::vector<VectorPointSink::Point> byThreads[2];
    for (int threads : {1, 2}) {
        QuietRunControl control;
        VectorPointSink sink;
        const auto model = testing::EvaluatorOf(ws);
        const SweepOutcome outcome =
            SpectrumSweep(*model, ModelKind::Discrete, settings, threads, control, sink);
        EXPECT_EQ(outcome.workers, threads);
        byThreads[threads - 1] = sink.points;
    }
    ASSERT_EQ(byThreads[0].size(), 18u);
    EXPECT_TRUE(testing::SamePoints(byThreads[0], byThreads[1]));
    for (std::size_t i = 0; i < byThreads[0].size(); i += 2) {
        const auto& largest = byThreads[0][i];
        const auto& smallest = byThreads[0][i + 1];
        EXPECT_EQ(largest.x, smallest.x);
        EXPECT_GE(largest.y, smallest.y);
        EXPECT_NEAR(largest.y + smallest.y, std::log(0.3), 1e-10) << largest.x;
    }
    EXPECT_EQ(byThreads[0].front().x, 1.0);
    EXPECT_EQ(byThreads[0].back().x, 1.4);
}

}  // namespace
}  // namespace kalvora
