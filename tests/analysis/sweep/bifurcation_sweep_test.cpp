#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <set>
#include <string>
#include <thread>

#include "analysis/orbit/common/orbit_counts.h"
#include "analysis/sweep/bifurcation/bifurcation_sweep.h"
#include "tests/analysis/sweep/sweep_test_support.h"

namespace kalvora {
namespace {

using testing::CallCounter;
using testing::EvaluatorOf;
using testing::SamePoints;
using testing::ThrowingSink;
using testing::UseLogistic;
using testing::UseLorenz;
using testing::UseModel;

using Points = std::vector<VectorPointSink::Point>;

Points Sweep(ModelEvaluator& model, const BifurcationSettings& settings, int threads,
             SweepOutcome* outcome = nullptr) {
    QuietRunControl control;
    VectorPointSink sink;
    const SweepOutcome result =
        BifurcationSweep(model, model.model().kind, settings, threads, control, sink);
    if (outcome != nullptr) {
        *outcome = result;
    }
    return sink.points;
}

// x -> a: every plotted point shows the parameter value the step ran with.
void UseEcho(ModelWorkspace& ws) {
    UseModel(ws, ModelKind::Discrete, {{"x", 0}}, {{"a", 7}}, {}, "return a");
}

TEST(BifurcationSweep, VisitsNPlusOneValuesFromExactlyTheFirstToTheLastEnd) {
    struct Case {
        Extended minimum, maximum;
        long long resolution;
        bool rightToLeft;
        Extended first, last;
    };
    // Half an ulp of a double above 3.75: from + N * step lands a little above it for these N and
    // rounds to the next double, max itself to 3.75.
    const Extended midpoint = 3.750000000000000222044604925031308084726L;
    const Case cases[] = {
        {0, 1.4L, 600, false, 0, 1.4L},  // the defaults on a data area 600 pixels wide
        {0, 1.4L, 1, false, 0, 1.4L},    // resolution 1: exactly the two ends
        {2, -1, 30, false, 2, -1},       // min above max runs downwards
        {0, 1.4L, 600, true, 1.4L, 0},   // right to left starts at max
        {-1, 2, 30, true, 2, -1},
        {0, midpoint, 39, false, 0, midpoint},
        {1, midpoint, 21, false, 1, midpoint},
        {1.1L, 3.3L, 3, true, 3.3L, 1.1L},
    };
    for (const Case& c : cases) {
        ModelWorkspace ws;
        UseEcho(ws);
        const auto model = EvaluatorOf(ws);
        BifurcationSettings settings;
        settings.minimum = c.minimum;
        settings.maximum = c.maximum;
        settings.resolution = c.resolution;
        settings.rightToLeft = c.rightToLeft;
        settings.plottedPoints = 3;
        settings.transientSteps = 0;
        SweepOutcome outcome;
        const Points points = Sweep(*model, settings, 1, &outcome);
        const std::string what = std::to_string(c.resolution) + (c.rightToLeft ? " rtl" : "");
        ASSERT_EQ(points.size(), 3u * (c.resolution + 1)) << what;
        EXPECT_EQ(outcome.valuesDone, c.resolution + 1) << what;
        EXPECT_EQ(points.front().x, static_cast<double>(c.first)) << what;
        EXPECT_EQ(points.front().y, static_cast<double>(c.first)) << what;
        EXPECT_EQ(points.back().x, static_cast<double>(c.last)) << what;
        EXPECT_EQ(points.back().x, points.back().y) << what;
        EXPECT_FALSE(outcome.failed);
        EXPECT_EQ(model->parameterValues[0], 7) << what;
    }
}

TEST(BifurcationSweep, RefusesSettingsThatCannotRunBeforeChangingAnything) {
    struct Case {
        long long resolution;
        long long plotted;
        int variable;
        const char* message;  // start of the message
    };
    const Case cases[] = {
        {0, 100, 1, "Floating point division by zero"},
        {-5, 100, 1, "The resolution must be a positive number"},
        {100000, 1000, 1, "The sweep asks for 100000 parameter steps"},
        {600, 100, 0, "There is no variable number 0"},
    };
    for (const Case& c : cases) {
        ModelWorkspace ws;
        UseLogistic(ws);
        const auto model = EvaluatorOf(ws);
        model->errorFlag = true;
        BifurcationSettings settings;
        settings.resolution = c.resolution;
        settings.plottedPoints = c.plotted;
        settings.plotVariable = c.variable;
        try {
            Sweep(*model, settings, 1);
            ADD_FAILURE() << c.message;
        } catch (const std::exception& error) {
            EXPECT_EQ(std::string(error.what()).rfind(c.message, 0), 0u) << error.what();
        }
        EXPECT_TRUE(model->errorFlag);  // nothing has started
        EXPECT_EQ(model->parameterValues[0], 3.7L);
    }
}

// N + 1 values of P points each: N = limit / P would pass the limit, N - 1 reaches it exactly.
TEST(BifurcationSweep, ThePointLimitRefusesLimitOverPStepsAndTakesOneFewer) {
    ModelWorkspace ws;
    UseLogistic(ws);
    for (const long long perValue : {1000LL, 7LL, 1LL}) {
        const long long steps = kMaximumPlottedPoints / perValue;
        EXPECT_THROW(PlanSweptValues(ws.model(), 1, 0, 1, steps, perValue), SweepSettingsError)
            << perValue;
        EXPECT_EQ(PlanSweptValues(ws.model(), 1, 0, 1, steps - 1, perValue).count(), steps)
            << perValue;
        // Points written as they come are not held: no limit.
        EXPECT_EQ(PlanSweptValues(ws.model(), 1, 0, 1, steps, perValue, false).count(), steps + 1)
            << perValue;
    }
}

TEST(BifurcationSweep, AfterTStepsTheFirstPointIsIterateTPlusOne) {
    // x -> x + a counts its steps in units of a, so each point tells which iterate it is.
    for (const long long transient : {0LL, 1LL, 5LL}) {
        ModelWorkspace ws;
        UseModel(ws, ModelKind::Discrete, {{"x", 0}}, {{"a", 1}}, {}, "return x + a");
        BifurcationSettings settings;
        settings.minimum = 1;
        settings.maximum = 10;
        settings.resolution = 1;
        settings.transientSteps = transient;
        settings.plottedPoints = 2;
        const Points points = Sweep(*EvaluatorOf(ws), settings, 1);
        ASSERT_EQ(points.size(), 4u);
        const auto first = static_cast<double>(transient + 1);
        EXPECT_EQ(points[0].y, first) << transient;
        EXPECT_EQ(points[1].y, first + 1) << transient;
        // The state starts afresh at every value.
        EXPECT_EQ(points[2].y, 10 * first) << transient;
    }
}

TEST(BifurcationSweep, TheLogisticDiagramShowsThePeriodDoublings) {
    ModelWorkspace ws;
    UseLogistic(ws);
    BifurcationSettings settings;
    settings.minimum = 3.2L;
    settings.maximum = 3.5L;
    settings.resolution = 1;
    settings.transientSteps = 2000;
    settings.plottedPoints = 64;
    const Points points = Sweep(*EvaluatorOf(ws), settings, 0);
    std::set<long long> at32, at35;
    for (const auto& point : points) {
        (point.x < 3.3 ? at32 : at35).insert(std::llround(point.y * 1e8));
    }
    EXPECT_EQ(at32.size(), 2u);
    EXPECT_EQ(at35.size(), 4u);
}

// x -> x + 0.1 (a + x - x^3): two stable branches for |a| below 0.38, so a state carried from
// value to value stays on the branch it came from.
TEST(BifurcationSweep, CarryingTheStateFollowsTheBranchOfTheSweepDirection) {
    struct Case {
        bool carry;
        bool rightToLeft;
        double signAtZero;  // sign of x at a = 0
    };
    const Case cases[] = {{true, false, -1}, {true, true, 1}, {false, false, 1}, {false, true, 1}};
    for (const Case& c : cases) {
        ModelWorkspace ws;
        UseModel(ws, ModelKind::Discrete, {{"x", 0.5L}}, {{"a", 0}}, {},
                 "return x + 0.1*(a + x - x*x*x)");
        BifurcationSettings settings;
        settings.minimum = -1;
        settings.maximum = 1;
        settings.resolution = 20;
        settings.transientSteps = 300;
        settings.plottedPoints = 1;
        settings.carryState = c.carry;
        settings.rightToLeft = c.rightToLeft;
        const Points points = Sweep(*EvaluatorOf(ws), settings, 0);
        ASSERT_EQ(points.size(), 21u);
        const auto& middle = points[10];
        EXPECT_NEAR(middle.x, 0, 1e-15);
        EXPECT_EQ(std::copysign(1.0, middle.y), c.signAtZero)
            << "carry " << c.carry << " right to left " << c.rightToLeft;
        EXPECT_NEAR(std::fabs(middle.y), 1, 1e-6);
    }
}

TEST(BifurcationSweep, AFailureKeepsThePointsUpToTheFailingStep) {
    // Fails once x reaches 3 at the value a = 3 (or at once when x starts there).
    struct Case {
        Extended start;
        long long transient;
        std::size_t points;
    };
    const Case cases[] = {
        {3, 0, 1},          // the very first step fails: one point
        {3, 5, 0},          // a failure in the transient adds nothing
        {0, 0, 5 + 5 + 1},  // a = 1 and 2 give five points each; a = 3 fails at its first step
    };
    for (const Case& c : cases) {
        ModelWorkspace ws;
        UseModel(ws, ModelKind::Discrete, {{"x", c.start}}, {{"a", 9}}, {},
                 "if x >= 3 or a >= 3 then return 1/0 end return x");
        BifurcationSettings settings;
        settings.minimum = c.start == 3 ? 3 : 1;
        settings.maximum = 5;
        settings.resolution = c.start == 3 ? 2 : 4;
        settings.transientSteps = c.transient;
        settings.plottedPoints = 5;
        const auto model = EvaluatorOf(ws);
        SweepOutcome outcome;
        const Points points = Sweep(*model, settings, 1, &outcome);
        EXPECT_EQ(points.size(), c.points) << c.start << " " << c.transient;
        EXPECT_TRUE(outcome.failed);
        EXPECT_TRUE(model->errorFlag);
        EXPECT_EQ(model->parameterValues[0], 9);
    }
}

TEST(BifurcationSweep, ASkippedValueLeavesOutItsPointsAndTheNextStartsFromWhatItWasGiven) {
    // a = 3 fails at its first step; x counts steps, carried or from 0 at each value.
    struct Case {
        bool carry;
        int threads;
        std::vector<double> expected;  // the second coordinates, a = 1, 2, 4, 5
    };
    const Case cases[] = {
        {false, 1, {1, 2, 1, 2, 1, 2, 1, 2}},
        {false, 2, {1, 2, 1, 2, 1, 2, 1, 2}},
        {true, 1, {1, 2, 3, 4, 5, 6, 7, 8}},  // a = 4 goes on from 4, not from the failure
    };
    for (const Case& c : cases) {
        ModelWorkspace ws;
        UseModel(ws, ModelKind::Discrete, {{"x", 0}}, {{"a", 9}}, {},
                 "if a == 3 then return 1/0 end return x + 1");
        BifurcationSettings settings;
        settings.minimum = 1;
        settings.maximum = 5;
        settings.resolution = 4;
        settings.transientSteps = 0;
        settings.plottedPoints = 2;
        settings.carryState = c.carry;
        settings.onFailure = FailingValue::Skip;
        const auto model = EvaluatorOf(ws);
        SweepOutcome outcome;
        const Points points = Sweep(*model, settings, c.threads, &outcome);
        ASSERT_EQ(points.size(), c.expected.size()) << c.carry << c.threads;
        for (std::size_t i = 0; i < points.size(); ++i) {
            EXPECT_EQ(points[i].x, i < 4 ? 1 + static_cast<double>(i / 2)
                                         : 4 + static_cast<double>((i - 4) / 2));
            EXPECT_EQ(points[i].y, c.expected[i]) << c.carry << c.threads << " point " << i;
        }
        ASSERT_EQ(outcome.skipped.size(), 1u);
        EXPECT_EQ(outcome.skipped[0].index, 2);
        EXPECT_EQ(outcome.skipped[0].value, 3);
        EXPECT_EQ(outcome.valuesDone, 5);
        EXPECT_FALSE(outcome.failed);
        EXPECT_FALSE(model->errorFlag);
        EXPECT_EQ(model->parameterValues[0], 9);
    }
}

// Presses Stop once the points of `values` parameter values have arrived.
class StoppingSink final : public PointSink {
  public:
    StoppingSink(RunControl& control, std::size_t points) : control_(control), points_(points) {}
    void addPoint(double x, double y) override {
        received.push_back({x, y});
        if (received.size() == points_) {
            control_.requestStop();
        }
    }
    std::vector<VectorPointSink::Point> received;

  private:
    RunControl& control_;
    std::size_t points_;
};

TEST(BifurcationSweep, StopEndsBeforeTheNextValueAndRestoresTheParameter) {
    for (int threads : {1, 2}) {
        ModelWorkspace ws;
        UseLogistic(ws);
        const auto model = EvaluatorOf(ws);
        QuietRunControl control;
        StoppingSink sink(control, 3 * 10);
        BifurcationSettings settings;
        settings.resolution = 2000;
        settings.plottedPoints = 10;
        const SweepOutcome outcome =
            BifurcationSweep(*model, ws.model().kind, settings, threads, control, sink);
        EXPECT_TRUE(outcome.stopped);
        EXPECT_GE(outcome.valuesDone, 3);
        if (threads == 1) {
            EXPECT_EQ(outcome.valuesDone, 3);
        }
        EXPECT_LT(outcome.valuesDone, 2001);
        // Stop also interrupts a model inside a step: the value it cuts short keeps what it had.
        EXPECT_LE(sink.received.size(), 10u * outcome.valuesDone);
        EXPECT_GE(sink.received.size(), 10u * (outcome.valuesDone - 1));
        EXPECT_FALSE(outcome.failed);
        EXPECT_FALSE(model->errorFlag);
        EXPECT_EQ(model->parameterValues[0], 3.7L);
    }
}

TEST(BifurcationSweep, StopReachesAModelStuckInsideAStep) {
    for (int threads : {1, 2}) {
        ModelWorkspace ws;
        UseModel(ws, ModelKind::Discrete, {{"x", 0}}, {{"a", 4}}, {}, "while true do end");
        const auto model = EvaluatorOf(ws);
        QuietRunControl control;
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            control.requestStop();
        });
        VectorPointSink sink;
        BifurcationSettings settings;
        const SweepOutcome outcome =
            BifurcationSweep(*model, ws.model().kind, settings, threads, control, sink);
        stopper.join();
        EXPECT_TRUE(outcome.stopped) << threads;
        EXPECT_FALSE(outcome.failed) << threads;  // a stop, not "Overflow"
        EXPECT_FALSE(model->errorFlag) << threads;
        EXPECT_TRUE(sink.points.empty());
        EXPECT_EQ(model->parameterValues[0], 4);
    }
}

TEST(BifurcationSweep, AnExceptionStillRestoresTheParameter) {
    for (int threads : {1, 2}) {
        ModelWorkspace ws;
        UseLogistic(ws);
        const auto model = EvaluatorOf(ws);
        QuietRunControl control;
        ThrowingSink sink(25);
        BifurcationSettings settings;
        settings.resolution = 20;
        settings.plottedPoints = 10;
        EXPECT_THROW(BifurcationSweep(*model, ws.model().kind, settings, threads, control, sink),
                     std::runtime_error);
        EXPECT_EQ(model->parameterValues[0], 3.7L);
    }
}

TEST(BifurcationSweep, CarriedStateAndNoiseRunOnOneThread) {
    ModelWorkspace ws;
    UseLogistic(ws, 3.7L, 0.3L, CallCounter::Off);
    BifurcationSettings settings;
    EXPECT_EQ(BifurcationWorkers(ws.model(), settings, 2), 2);
    EXPECT_EQ(BifurcationWorkers(ws.model(), settings, 1), 1);
    settings.carryState = true;
    EXPECT_EQ(BifurcationWorkers(ws.model(), settings, 2), 1);
    settings.carryState = false;
    ReplaceModel(ws, [](ModelDefinition& m) {
        m.noise.noiseOn = true;
        m.noise.noiseLevel = 0.01L;
    });
    EXPECT_EQ(BifurcationWorkers(ws.model(), settings, 2), 1);
    ReplaceModel(ws, [](ModelDefinition& m) { m.noise.noiseLevel = 0; });  // no level, no numbers
    EXPECT_EQ(BifurcationWorkers(ws.model(), settings, 2), 2);
    // A model that keeps state between calls (the call counter is a global) depends on the order
    // of its calls; so does one that draws random numbers.
    ModelWorkspace counting;
    UseLogistic(counting);
    EXPECT_EQ(BifurcationWorkers(counting.model(), settings, 2), 1);
    ModelWorkspace drawing;
    UseModel(drawing, ModelKind::Discrete, {{"x", 0.3L}}, {{"r", 3.7L}}, {},
             "return r*x*(1-x) + math.random()*1e-9", CallCounter::Off);
    EXPECT_EQ(BifurcationWorkers(drawing.model(), settings, 2), 1);
}

// The parallel run against the one-thread run, bit for bit, on a chaotic map and on a continuous
// model, also when a value in the middle fails (the logistic map escapes to -infinity beyond 4, a
// script error in the other case).
TEST(BifurcationSweep, EveryThreadCountGivesTheOneThreadPointsInTheSameOrder) {
    struct Case {
        const char* name;
        void (*use)(ModelWorkspace&);
        Extended minimum, maximum;
        long long resolution, transient, plotted;
        bool fails;
    };
    const Case cases[] = {
        {"logistic", [](ModelWorkspace& ws) { UseLogistic(ws, 3.7L, 0.3L, CallCounter::Off); },
         2.8L, 4, 150, 200, 40, false},
        {"logistic escaping",
         [](ModelWorkspace& ws) { UseLogistic(ws, 3.7L, 0.3L, CallCounter::Off); }, 3.5L, 4.3L, 150,
         0, 40, true},
        {"lorenz", &testing::UseLorenz, 20, 30, 24, 100, 30, false},
        // An undefined global fails at run time yet leaves the statements readable, so the model
        // still counts as independent and spreads over the workers.
        {"lorenz with a script error",
         [](ModelWorkspace& ws) {
             UseModel(ws, ModelKind::Continuous, {{"x", 1}, {"y", 1}, {"z", 1}},
                      {{"sigma", 10}, {"r", 28}, {"b", 8.0L / 3}}, {},
                      "if r > 25 and z > 30 then x = x + undefined end\n"
                      "return sigma*(y-x), x*(r-z)-y, x*y-b*z",
                      CallCounter::Off);
         },
         20, 30, 24, 50, 60, true},
    };
    for (const Case& c : cases) {
        BifurcationSettings settings;
        settings.minimum = c.minimum;
        settings.maximum = c.maximum;
        settings.resolution = c.resolution;
        settings.transientSteps = c.transient;
        settings.plottedPoints = c.plotted;
        settings.parameter = std::string(c.name).rfind("lorenz", 0) == 0 ? 2 : 1;
        ModelWorkspace ws;
        c.use(ws);
        const auto one = EvaluatorOf(ws);
        SweepOutcome single;
        const Points reference = Sweep(*one, settings, 1, &single);
        EXPECT_EQ(single.failed, c.fails) << c.name;
        for (int threads : {2, 3, 7}) {
            const auto many = EvaluatorOf(ws);
            SweepOutcome parallel;
            const Points points = Sweep(*many, settings, threads, &parallel);
            EXPECT_TRUE(SamePoints(points, reference)) << c.name << " on " << threads;
            EXPECT_EQ(parallel.workers, threads) << c.name;
            EXPECT_EQ(parallel.valuesDone, single.valuesDone) << c.name;
            EXPECT_EQ(parallel.failed, single.failed) << c.name;
            EXPECT_EQ(many->errorFlag, one->errorFlag) << c.name;
            EXPECT_EQ(many->recordedMessage, one->recordedMessage) << c.name;
            EXPECT_EQ(many->parameterValues, one->parameterValues) << c.name;
        }
    }
}

TEST(BifurcationSweep, RefreshesAboutTenTimesPerSweep) {
    struct Case {
        long long resolution;
        int refreshes;
    };
    const Case cases[] = {{600, 10}, {605, 10}, {9, 1}, {1, 1}, {25, 12}};
    for (const Case& c : cases) {
        for (int threads : {1, 2}) {
            ModelWorkspace ws;
            UseLogistic(ws);
            BifurcationSettings settings;
            settings.resolution = c.resolution;
            settings.plottedPoints = 2;
            settings.transientSteps = 1;
            const auto model = EvaluatorOf(ws);
            QuietRunControl control;
            VectorPointSink sink;
            int refreshes = 0;
            BifurcationSweep(*model, ws.model().kind, settings, threads, control, sink,
                             [&] { ++refreshes; });
            EXPECT_EQ(refreshes, c.refreshes) << c.resolution << " on " << threads;
        }
    }
}

}  // namespace
}  // namespace kalvora
