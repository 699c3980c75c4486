#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "analysis/sweep/lyapunov/lyapunov_sweep.h"
#include "core/native_model.h"
#include "tests/analysis/sweep/sweep_test_support.h"

namespace kalvora {
namespace {

using testing::CallCounter;
using testing::SamePoints;
using testing::UseHenon;
using testing::UseLogistic;
using testing::UseLorenz;
using testing::UseModel;

using Points = std::vector<VectorPointSink::Point>;

Points Sweep(ModelEvaluator& model, const LyapunovSettings& settings, int threads,
             SweepOutcome* outcome = nullptr) {
    QuietRunControl control;
    VectorPointSink sink;
    const SweepOutcome result =
        LyapunovSweep(model, model.model().kind, settings, threads, control, sink);
    if (outcome != nullptr) {
        *outcome = result;
    }
    return sink.points;
}

// One value only: min = max with resolution 1 gives that value twice.
double ExponentAt(ModelWorkspace& ws, int parameter, Extended value, long long iterations,
                  long long transient = 300) {
    LyapunovSettings settings;
    settings.parameter = parameter;
    settings.minimum = value;
    settings.maximum = value;
    settings.resolution = 1;
    settings.iterations = iterations;
    settings.transientSteps = transient;
    const Points points = Sweep(*testing::EvaluatorOf(ws), settings, 1);
    EXPECT_EQ(points.size(), 2u);
    return points.at(0).y;
}

TEST(LyapunovSweep, MatchesKnownExponents) {
    {
        ModelWorkspace ws;
        UseLogistic(ws);
        EXPECT_NEAR(ExponentAt(ws, 1, 4, 100000), std::log(2.0), 0.01);
        // A stable fixed point, 1 - 1/r with multiplier 2 - r: the exponent is ln |2 - r|.
        EXPECT_NEAR(ExponentAt(ws, 1, 2.5L, 2000), std::log(0.5), 0.01);
    }
    {
        ModelWorkspace ws;
        UseHenon(ws);
        EXPECT_NEAR(ExponentAt(ws, 1, 1.4L, 100000), 0.419, 0.01);
    }
}

TEST(LyapunovSweep, TheExponentFollowsTheDefinitionOnLinearModels) {
    struct Case {
        const char* name;
        ModelKind kind;
        const char* body;
        long long iterations;
        double expected;
        double tolerance;
        bool plane = false;
    };
    const Case cases[] = {
        // Every variable is perturbed: (eps, eps) becomes (2 eps, 3 eps), ln(d / eps) = ln sqrt 13.
        {"plane, M = 1", ModelKind::Discrete, "return 2*x, 3*y", 1, std::log(13.0) / 2, 1e-12,
         true},
        // One step of x -> 2x doubles the separation: ln(d / eps) = ln 2.
        {"doubling, M = 1", ModelKind::Discrete, "return 2*x", 1, std::log(2.0), 1e-12},
        {"doubling, M = 50", ModelKind::Discrete, "return 2*x", 50, std::log(2.0), 1e-12},
        // Orbits that coincide after every step lose 100 per step.
        {"constant", ModelKind::Discrete, "return a", 7, -100, 0},
        // dx/dt = x: the value per step divided by h = 0.01 is the rate 1 per unit of time.
        {"growth", ModelKind::Continuous, "return x", 10, 1, 1e-6},
    };
    for (const Case& c : cases) {
        ModelWorkspace ws;
        // The reference orbit rests at 0, so the separation is all there is to round.
        if (c.plane) {
            UseModel(ws, c.kind, {{"x", 0}, {"y", 0}}, {{"a", 0.25L}}, {}, c.body);
        } else {
            UseModel(ws, c.kind, {{"x", 0}}, {{"a", 0.25L}}, {}, c.body);
        }
        ReplaceModel(ws, [](ModelDefinition& m) { m.stepSize = 0.01L; });
        LyapunovSettings settings;
        settings.minimum = 0;
        settings.maximum = 1;
        settings.resolution = 4;
        settings.transientSteps = 0;
        settings.iterations = c.iterations;
        const Points points = Sweep(*testing::EvaluatorOf(ws), settings, 1);
        ASSERT_EQ(points.size(), 5u) << c.name;
        for (const auto& point : points) {
            EXPECT_NEAR(point.y, c.expected, c.tolerance) << c.name << " at " << point.x;
        }
    }
}

TEST(LyapunovSweep, TheValuesRunFromMinToMaxInEitherDirectionAndStayInside) {
    struct Case {
        Extended minimum, maximum;
        long long resolution;
    };
    const Case cases[] = {{0, 1.4L, 600}, {0, 1.4L, 7}, {1.4L, 0, 7}, {-0.3L, -2.9L, 13}};
    for (const Case& c : cases) {
        ModelWorkspace ws;
        UseModel(ws, ModelKind::Discrete, {{"x", 0}}, {{"a", 5}}, {}, "return a");
        LyapunovSettings settings;
        settings.minimum = c.minimum;
        settings.maximum = c.maximum;
        settings.resolution = c.resolution;
        settings.iterations = 1;
        settings.transientSteps = 0;
        const auto model = testing::EvaluatorOf(ws);
        const Points points = Sweep(*model, settings, 1);
        ASSERT_EQ(points.size(), static_cast<std::size_t>(c.resolution + 1));
        EXPECT_EQ(points.front().x, static_cast<double>(c.minimum));
        EXPECT_EQ(points.back().x, static_cast<double>(c.maximum));
        const double step = static_cast<double>((c.maximum - c.minimum) / c.resolution);
        for (std::size_t i = 1; i < points.size(); ++i) {
            EXPECT_NEAR(points[i].x - points[i - 1].x, step, 1e-12) << i;
        }
        EXPECT_EQ(model->parameterValues[0], 5);
    }
}

// Noise draws from one sequence in the order of the steps: a noisy sweep runs on one thread
// whatever is asked, and two runs from one seed are the same.
TEST(LyapunovSweep, ANoisySweepRunsOnOneThreadAndRepeatsFromItsSeed) {
    ModelWorkspace ws;
    UseLogistic(ws, 3.7L, 0.3L, CallCounter::Off);
    ReplaceModel(ws, [](ModelDefinition& m) {
        m.noise.noiseOn = true;
        m.noise.noiseLevel = 0.01L;
        m.noise.noiseProbability = 1;
        m.noise.noiseVariable = 1;
    });
    ws.randomState.random.seed = 42;
    LyapunovSettings settings;
    settings.minimum = 3.5L;
    settings.maximum = 3.9L;
    settings.resolution = 12;
    settings.iterations = 200;
    settings.transientSteps = 50;
    SweepOutcome single;
    const Points reference = Sweep(*testing::EvaluatorOf(ws), settings, 1, &single);
    SweepOutcome parallel;
    const Points points = Sweep(*testing::EvaluatorOf(ws), settings, 2, &parallel);
    EXPECT_EQ(parallel.workers, 1);
    EXPECT_TRUE(SamePoints(points, reference));
}

TEST(LyapunovSweep, AFailureEndsTheSweepWithTheValuesPointAndRestoresTheParameter) {
    struct Case {
        const char* name;
        const char* body;
        std::size_t points;
        double lastExponent;
    };
    const Case cases[] = {
        // The very first transient step fails: the single point (min, 0).
        {"transient", "return 1/0", 1, 0},
        // a = 0 and 0.5 keep the separation (exponent 0); at a = 1 the fourth measurement step
        // fails, and its point still comes.
        {"measurement", "if a > 0.75 and x > 2.5 then return 1/0 end return x + 1", 3, NAN},
    };
    for (const Case& c : cases) {
        ModelWorkspace ws;
        UseModel(ws, ModelKind::Discrete, {{"x", 0}}, {{"a", 9}}, {}, c.body);
        LyapunovSettings settings;
        settings.minimum = 0;
        settings.maximum = 2;
        settings.resolution = 4;
        settings.transientSteps = std::string(c.name) == "transient" ? 5 : 0;
        settings.iterations = 10;
        const auto model = testing::EvaluatorOf(ws);
        SweepOutcome outcome;
        const Points points = Sweep(*model, settings, 1, &outcome);
        ASSERT_EQ(points.size(), c.points) << c.name;
        if (!std::isnan(c.lastExponent)) {
            EXPECT_EQ(points.back().y, c.lastExponent) << c.name;
        }
        EXPECT_NEAR(points.front().y, 0, 1e-12) << c.name;
        EXPECT_TRUE(outcome.failed);
        EXPECT_TRUE(model->errorFlag);
        EXPECT_EQ(model->parameterValues[0], 9);
    }
}

TEST(LyapunovSweep, RefusesSettingsThatCannotRun) {
    struct Case {
        long long resolution, iterations;
        Extended epsilon;
        const char* message;
    };
    const Case cases[] = {
        {0, 100, 0.001L, "Floating point division by zero"},
        {-1, 100, 0.001L, "The resolution must be a positive number"},
        {600, 0, 0.001L, "The number of iterations must be at least 1"},
        {600, 100, -0.001L, "The size of the perturbation must not be negative"},
        {20000000, 100, 0.001L, "The sweep asks for"},
    };
    for (const Case& c : cases) {
        ModelWorkspace ws;
        UseLogistic(ws);
        LyapunovSettings settings;
        settings.resolution = c.resolution;
        settings.iterations = c.iterations;
        settings.epsilon = c.epsilon;
        try {
            Sweep(*testing::EvaluatorOf(ws), settings, 1);
            ADD_FAILURE() << c.message;
        } catch (const SweepSettingsError& error) {
            EXPECT_EQ(std::string(error.what()).rfind(c.message, 0), 0u) << error.what();
        }
    }
}

TEST(LyapunovSweep, EveryThreadCountGivesTheOneThreadPointsInTheSameOrder) {
    struct Case {
        const char* name;
        void (*use)(ModelWorkspace&);
        int parameter;
        Extended minimum, maximum;
        long long resolution, iterations;
        bool fails;
    };
    const Case cases[] = {
        {"logistic", [](ModelWorkspace& ws) { UseLogistic(ws, 3.7L, 0.3L, CallCounter::Off); }, 1,
         2.8L, 4, 120, 300, false},
        {"logistic escaping",
         [](ModelWorkspace& ws) { UseLogistic(ws, 3.7L, 0.3L, CallCounter::Off); }, 1, 3.6L, 4.4L,
         120, 300, true},
        {"lorenz", &UseLorenz, 2, 10, 30, 16, 200, false},
    };
    for (const Case& c : cases) {
        LyapunovSettings settings;
        settings.parameter = c.parameter;
        settings.minimum = c.minimum;
        settings.maximum = c.maximum;
        settings.resolution = c.resolution;
        settings.iterations = c.iterations;
        settings.transientSteps = 100;
        ModelWorkspace ws;
        c.use(ws);
        const auto one = testing::EvaluatorOf(ws);
        SweepOutcome single;
        const Points reference = Sweep(*one, settings, 1, &single);
        EXPECT_EQ(single.failed, c.fails) << c.name;
        for (int threads : {2, 5}) {
            const auto many = testing::EvaluatorOf(ws);
            SweepOutcome parallel;
            const Points points = Sweep(*many, settings, threads, &parallel);
            EXPECT_TRUE(SamePoints(points, reference)) << c.name << " on " << threads;
            EXPECT_EQ(parallel.valuesDone, single.valuesDone) << c.name;
            EXPECT_EQ(many->errorFlag, one->errorFlag) << c.name;
        }
        // The pairs run in machine code; the register program and the interpreter (a long
        // comment keeps the model from the compiler) give the same points, failure included.
        const auto registers = testing::EvaluatorOf(ws);
        registers->nativeCode.reset();
        EXPECT_TRUE(SamePoints(Sweep(*registers, settings, 1), reference)) << c.name;
        ReplaceModel(ws, [](ModelDefinition& m) {
            m.scriptText += "\n--[[ interpreted ]]";
            m.nativeModel.reset();
        });
        const auto interpreter = testing::EvaluatorOf(ws);
        ASSERT_FALSE(interpreter->nativeModel != nullptr && interpreter->nativeModel->covered());
        EXPECT_TRUE(SamePoints(Sweep(*interpreter, settings, 1), reference)) << c.name;
    }
}

}  // namespace
}  // namespace kalvora
