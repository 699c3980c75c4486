#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

#include "analysis/orbit/common/orbit_counts.h"
#include "analysis/orbit/common/slider_positions.h"
#include "analysis/orbit/delayplot/delay_plot_run.h"
#include "analysis/orbit/phaseplot/phase_plot_run.h"
#include "analysis/orbit/timeseries/time_series_run.h"
#include "core/noise.h"
#include "core/scripted_prompts.h"
#include "tests/analysis/test_models.h"

namespace kalvora {
namespace {

using testing::LogisticStep;
using testing::ModelCalls;
using testing::UseHenon;
using testing::UseLogistic;
using testing::UseModel;

std::unique_ptr<ModelEvaluator> Evaluator(const ModelWorkspace& ws) {
    return testing::EvaluatorOf(ws);
}

void SetStepSize(ModelWorkspace& ws, Extended stepSize) {
    ReplaceModel(ws, [stepSize](ModelDefinition& m) { m.stepSize = stepSize; });
}

std::vector<double> LogisticOrbit(double r, double x, int length) {
    std::vector<double> orbit;
    for (int i = 0; i < length; ++i) {
        orbit.push_back(x);
        x = LogisticStep(r, x);
    }
    return orbit;
}

// ---- time series ----

TEST(TimeSeriesRun, DiscreteDefaultsPlotIterations100To200AfterTheTransient) {
    ModelWorkspace ws;
    UseLogistic(ws);
    auto model = Evaluator(ws);
    VectorPointSink sink;
    const TimeSeriesOutcome outcome = TimeSeriesRun(*model, TimeSeriesSettings{}, sink);

    ASSERT_EQ(sink.points.size(), 101u);
    EXPECT_EQ(outcome.pointsAdded, 101);
    EXPECT_FALSE(outcome.failed);
    EXPECT_EQ(outcome.plan.start, 100);
    EXPECT_EQ(outcome.plan.end, 200);
    const std::vector<double> orbit = LogisticOrbit(3.7, 0.3, 201);
    for (int i = 0; i <= 100; ++i) {
        EXPECT_EQ(sink.points[i].x, 100 + i);
        EXPECT_EQ(sink.points[i].y, orbit[100 + i]) << "point " << i;
    }
    // No step is taken after the last point.
    EXPECT_EQ(ModelCalls(*model), 200);
}

TEST(TimeSeriesRun, TimeStepSpacesPointsAndScalesTheTransient) {
    ModelWorkspace ws;
    UseLogistic(ws);
    TimeSeriesSettings settings;
    settings.pointsPlotted = 5;
    settings.pointsNotPlotted = 10;
    settings.timeStep = 3;
    auto model = Evaluator(ws);
    VectorPointSink sink;
    const TimeSeriesOutcome outcome = TimeSeriesRun(*model, settings, sink);

    ASSERT_EQ(sink.points.size(), 6u);
    EXPECT_EQ(outcome.plan.start, 30);
    EXPECT_EQ(outcome.plan.end, 45);
    const std::vector<double> orbit = LogisticOrbit(3.7, 0.3, 46);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(sink.points[i].x, 30 + 3 * i);
        EXPECT_EQ(sink.points[i].y, orbit[30 + 3 * i]);
    }
    EXPECT_EQ(ModelCalls(*model), 30 + 5 * 3);
}

TEST(TimeSeriesRun, WithoutTransientTheFirstPointIsTheInitialValue) {
    ModelWorkspace ws;
    UseLogistic(ws, 3.7L, 0.25L);
    TimeSeriesSettings settings;
    settings.pointsNotPlotted = 0;
    auto model = Evaluator(ws);
    VectorPointSink sink;
    TimeSeriesRun(*model, settings, sink);
    ASSERT_FALSE(sink.points.empty());
    EXPECT_EQ(sink.points[0].x, 0);
    EXPECT_EQ(sink.points[0].y, 0.25);
}

TEST(TimeSeriesRun, ContinuousRunPlotsTheTimesReachedOverTheInterval) {
    ModelWorkspace ws;
    // dx/dt = 1 with an auxiliary that integrates 1 as well: both grow by h per step.
    UseModel(ws, ModelKind::Continuous, {{"x", 0}}, {{"a", 0}}, {"k"}, "return 1, 1");
    SetStepSize(ws, 0.01L);
    auto model = Evaluator(ws);
    VectorPointSink sink;
    const TimeSeriesOutcome outcome = TimeSeriesRun(*model, TimeSeriesSettings{}, sink);

    EXPECT_EQ(outcome.plan.pointsPlotted, 10000);
    EXPECT_EQ(outcome.plan.pointsNotPlotted, 10000);
    ASSERT_EQ(sink.points.size(), 10001u);
    EXPECT_EQ(sink.points.front().x, 100.0);
    EXPECT_EQ(sink.points.back().x, 200.0);
    for (long long g : {1LL, 1234LL, 9999LL}) {
        EXPECT_EQ(sink.points[g].x, static_cast<double>((10000 + g) * 0.01L));
    }
    // The value is x after NP + g steps of 0.01 (accumulated, so only close to the time).
    EXPECT_NEAR(sink.points[5000].y, 150.0, 1e-9);
    // Three evaluations per Runge-Kutta step: 10000 transient steps and 10000 between the points.
    EXPECT_EQ(ModelCalls(*model), 3 * 20000);
}

TEST(TimeSeriesRun, AuxiliaryVariablesArePlottedFromTheirSlot) {
    ModelWorkspace ws;
    UseModel(ws, ModelKind::Discrete, {{"x", 1}}, {{"a", 2}}, {"k"}, "return a*x, x + 0.5");
    TimeSeriesSettings settings;
    settings.variable = 2;  // k
    settings.pointsNotPlotted = 0;
    settings.pointsPlotted = 3;
    auto model = Evaluator(ws);
    VectorPointSink sink;
    TimeSeriesRun(*model, settings, sink);
    ASSERT_EQ(sink.points.size(), 4u);
    EXPECT_EQ(sink.points[0].y, 0.0);  // the auxiliary slot of initialValues
    EXPECT_EQ(sink.points[1].y, 1.5);
    EXPECT_EQ(sink.points[2].y, 2.5);
    EXPECT_EQ(sink.points[3].y, 4.5);
}

TEST(TimeSeriesRun, FailingStepKeepsThePointsBeforeIt) {
    ModelWorkspace ws;
    // x counts the steps; the 50th step divides by zero.
    UseModel(ws, ModelKind::Discrete, {{"x", 0}}, {{"a", 0}}, {},
             "if x >= 49 then return 1/a end return x + 1");
    TimeSeriesSettings settings;
    settings.pointsNotPlotted = 10;
    auto model = Evaluator(ws);
    VectorPointSink sink;
    const TimeSeriesOutcome outcome = TimeSeriesRun(*model, settings, sink);

    EXPECT_TRUE(outcome.failed);
    EXPECT_TRUE(model->errorFlag);
    ASSERT_EQ(sink.points.size(), 40u);
    EXPECT_EQ(sink.points.front().x, 10);
    EXPECT_EQ(sink.points.back().x, 49);
    EXPECT_EQ(sink.points.back().y, 49);
}

TEST(TimeSeriesRun, FailureDuringTheTransientPlotsNothing) {
    ModelWorkspace ws;
    UseModel(ws, ModelKind::Discrete, {{"x", 0}}, {{"a", 0}}, {}, "return 1/a");
    auto model = Evaluator(ws);
    VectorPointSink sink;
    EXPECT_TRUE(TimeSeriesRun(*model, TimeSeriesSettings{}, sink).failed);
    EXPECT_TRUE(sink.points.empty());
}

TEST(TimeSeriesRun, ARunClearsTheErrorFlagOfAnEarlierFailure) {
    ModelWorkspace ws;
    UseLogistic(ws);
    auto model = Evaluator(ws);
    model->errorFlag = true;
    VectorPointSink sink;
    EXPECT_FALSE(TimeSeriesRun(*model, TimeSeriesSettings{}, sink).failed);
    EXPECT_EQ(sink.points.size(), 101u);
}

TEST(TimeSeriesRun, RefusesRunsItCannotCarryOutBeforeTakingAStep) {
    ModelWorkspace ws;
    UseModel(ws, ModelKind::Continuous, {{"x", 0}}, {{"a", 0}}, {}, "return 1");
    struct Case {
        Extended stepSize;
        int variable;
    };
    const Case cases[] = {
        {0, 1},
        {1e-9L, 1},  // 1e11 points
        {0.01L, 201},
    };
    for (const Case& c : cases) {
        SetStepSize(ws, c.stepSize);
        auto model = Evaluator(ws);
        TimeSeriesSettings settings;
        settings.variable = c.variable;
        VectorPointSink sink;
        EXPECT_THROW(TimeSeriesRun(*model, settings, sink), OrbitSettingsError);
        EXPECT_TRUE(sink.points.empty());
        EXPECT_EQ(ModelCalls(*model), 0);
    }
}

TEST(OrbitCounts, ContinuousCountsRoundHalvesToEven) {
    EXPECT_EQ(RoundHalfEven(2.5L), 2);
    EXPECT_EQ(RoundHalfEven(3.5L), 4);
    EXPECT_EQ(RoundHalfEven(-2.5L), -2);
    EXPECT_EQ(ContinuousStepCount(49, 0.01L), 4900);
    EXPECT_EQ(ContinuousStepCount(0.025L, 0.01L), 2);
}

TEST(OrbitCounts, TheIntervalMustHoldMoreThanThreeStepsFromTimeZeroOn) {
    EXPECT_TRUE(ContinuousIntervalValid(100, 200, 0.01L));
    EXPECT_FALSE(ContinuousIntervalValid(0, 0.02L, 0.01L));
    EXPECT_FALSE(ContinuousIntervalValid(2, 2.02L, 0.01L));
    EXPECT_FALSE(ContinuousIntervalValid(-1, 50, 0.01L));
    EXPECT_FALSE(ContinuousIntervalValid(5, 4, 0.01L));
}

TEST(OrbitCounts, NegativeCountsAreRefusedBeforeAnyStepWithAMessage) {
    // An end before the start (E below S in a dialog that was not checked, or a CLI caller) and
    // negative counts used to reach the series' reserve as huge sizes.
    struct Case {
        const char* what;
        ModelKind kind;
        std::function<void(ModelEvaluator&, VectorPointSink&)> run;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"phase plot, E below S", ModelKind::Continuous,
         [](ModelEvaluator& model, VectorPointSink& sink) {
             PhasePlotSettings settings;
             settings.startTime = 5;
             settings.endTime = 4;
             PhasePlotOrbit orbit;
             PhasePlotRun(model, settings, orbit, false, sink);
         },
         "The run asks for -100 points; the end must not lie before the start"},
        {"time series, negative count", ModelKind::Discrete,
         [](ModelEvaluator& model, VectorPointSink& sink) {
             TimeSeriesSettings settings;
             settings.pointsPlotted = -3;
             TimeSeriesRun(model, settings, sink);
         },
         "The run asks for -3 points; the end must not lie before the start"},
        {"delay plot, negative transient", ModelKind::Discrete,
         [](ModelEvaluator& model, VectorPointSink& sink) {
             DelayPlotSettings settings;
             settings.pointsNotPlotted = -1;
             DelayPlotRun(model, settings, sink);
         },
         "The run asks for -1 transient steps; the start must not lie before time 0"},
        {"time series, start before 0", ModelKind::Continuous,
         [](ModelEvaluator& model, VectorPointSink& sink) {
             TimeSeriesSettings settings;
             settings.startTime = -1;
             TimeSeriesRun(model, settings, sink);
         },
         "The run asks for -100 transient steps; the start must not lie before time 0"},
    };
    for (const Case& c : cases) {
        ModelWorkspace ws;
        UseModel(ws, c.kind, {{"x", 0}, {"y", 0}}, {{"a", 0}}, {}, "return 1, 1");
        SetStepSize(ws, 0.01L);
        auto model = Evaluator(ws);
        VectorPointSink sink;
        try {
            c.run(*model, sink);
            ADD_FAILURE() << c.what << ": not refused";
        } catch (const OrbitSettingsError& error) {
            EXPECT_STREQ(error.what(), c.message) << c.what;
        }
        EXPECT_TRUE(sink.points.empty()) << c.what;
        EXPECT_EQ(ModelCalls(*model), 0) << c.what;
    }
}

// ---- phase plot ----

TEST(PhasePlotRun, DefaultsStepTheTransientAndBetweenThePoints) {
    ModelWorkspace ws;
    UseHenon(ws);
    auto model = Evaluator(ws);
    PhasePlotOrbit orbit;
    VectorPointSink sink;
    const PhasePlotOutcome outcome = PhasePlotRun(*model, PhasePlotSettings{}, orbit, false, sink);

    EXPECT_EQ(outcome.pointsAdded, 10000);
    ASSERT_EQ(sink.points.size(), 10000u);
    EXPECT_EQ(ModelCalls(*model), 1000 + 9999);
    EXPECT_FALSE(outcome.xSettled);
    EXPECT_FALSE(outcome.ySettled);
    // The first point is the state after the transient.
    double x = 0.1, y = 0.1;
    for (int i = 0; i < 1000; ++i) {
        const double nx = 1 - 1.4 * x * x + y;
        y = 0.3 * x;
        x = nx;
    }
    EXPECT_EQ(sink.points[0].x, x);
    EXPECT_EQ(sink.points[0].y, y);
}

TEST(PhasePlotRun, ContinuousIntervalGivesTheCounts) {
    ModelWorkspace ws;
    UseModel(ws, ModelKind::Continuous, {{"x", 0}, {"y", 0}}, {{"a", 0}}, {}, "return 1, -1");
    SetStepSize(ws, 0.01L);
    auto model = Evaluator(ws);
    PhasePlotOrbit orbit;
    VectorPointSink sink;
    PhasePlotRun(*model, PhasePlotSettings{}, orbit, false, sink);
    EXPECT_EQ(orbit.pointsNotPlotted, 100);
    EXPECT_EQ(orbit.pointsPlotted, 4900);
    EXPECT_EQ(sink.points.size(), 4900u);
    EXPECT_NEAR(sink.points[0].x, 1.0, 1e-12);
    EXPECT_NEAR(sink.points[0].y, -1.0, 1e-12);
}

TEST(PhasePlotRun, NextIterationSetsContinueTheSameOrbit) {
    ModelWorkspace ws;
    UseLogistic(ws);
    // Plot x against x: the orbit is the logistic one.
    PhasePlotSettings settings;
    settings.yVariable = 1;
    settings.pointsNotPlotted = 0;
    settings.pointsPlotted = 10000;
    auto model = Evaluator(ws);
    PhasePlotOrbit orbit;
    VectorPointSink sink;
    PhasePlotRun(*model, settings, orbit, false, sink);
    // A continuation ignores changed settings and keeps the last run's variables and count.
    settings.pointsPlotted = 7;
    settings.pointsNotPlotted = 500;
    PhasePlotRun(*model, settings, orbit, true, sink);
    PhasePlotRun(*model, settings, orbit, true, sink);

    ASSERT_EQ(sink.points.size(), 30000u);
    EXPECT_EQ(ModelCalls(*model), 30000 - 1);
    // Each set starts with the iterate after the last point of the one before: none is skipped.
    const std::vector<double> orbitValues = LogisticOrbit(3.7, 0.3, 30000);
    for (int set = 0; set < 3; ++set) {
        for (int i : {0, 1, 9999}) {
            EXPECT_EQ(sink.points[set * 10000 + i].x, orbitValues[set * 10000 + i])
                << "set " << set << " point " << i;
        }
    }
}

TEST(PhasePlotRun, AContinuationAfterAFailureAddsNothing) {
    ModelWorkspace ws;
    UseModel(ws, ModelKind::Discrete, {{"x", 0}, {"y", 0}}, {{"a", 0}}, {},
             "if x >= 20 then return 1/a, 0 end return x + 1, y");
    auto model = Evaluator(ws);
    PhasePlotOrbit orbit;
    VectorPointSink sink;
    PhasePlotSettings settings;
    settings.pointsNotPlotted = 0;
    const PhasePlotOutcome fresh = PhasePlotRun(*model, settings, orbit, false, sink);
    EXPECT_TRUE(fresh.failed);
    EXPECT_EQ(sink.points.size(), 21u);
    const PhasePlotOutcome more = PhasePlotRun(*model, settings, orbit, true, sink);
    EXPECT_TRUE(more.failed);
    EXPECT_EQ(more.pointsAdded, 0);
    EXPECT_EQ(sink.points.size(), 21u);
}

TEST(PhasePlotRun, ASettledOrbitIsReportedPerAxisOnlyForAFreshRun) {
    ModelWorkspace ws;
    // x contracts to 0; y keeps moving.
    UseModel(ws, ModelKind::Discrete, {{"x", 1}, {"y", 0}}, {{"a", 0.5}}, {}, "return a*x, y + 1");
    auto model = Evaluator(ws);
    PhasePlotOrbit orbit;
    VectorPointSink sink;
    const PhasePlotOutcome fresh = PhasePlotRun(*model, PhasePlotSettings{}, orbit, false, sink);
    EXPECT_TRUE(fresh.xSettled);
    EXPECT_FALSE(fresh.ySettled);
    const PhasePlotOutcome continued = PhasePlotRun(*model, PhasePlotSettings{}, orbit, true, sink);
    EXPECT_FALSE(continued.xSettled);
}

TEST(PhasePlotSlider, ParameterFollowsThePosition) {
    EXPECT_EQ(SliderParameterValue(2.5L, 4, 100, 40), 2.5L + 1.5L / 100 * 40);
    EXPECT_NEAR(static_cast<double>(SliderParameterValue(2.5L, 4, 100, 40)), 3.1, 1e-15);
    EXPECT_EQ(SliderParameterValue(2.5L, 4, 100, 0), 2.5L);
    EXPECT_EQ(SliderParameterValue(2.5L, 4, 0, 0), 2.5L);  // a slider without steps
}

TEST(PhasePlotSlider, PositionOfAValueIsRoundedAndClamped) {
    EXPECT_EQ(SliderPositionForValue(5, 2.5L, 5, 100), 100);
    EXPECT_EQ(SliderPositionForValue(3.1L, 2.5L, 4, 100), 40);
    EXPECT_EQ(SliderPositionForValue(2.5L + 1.5L * 0.404L, 2.5L, 4, 100), 40);
    EXPECT_EQ(SliderPositionForValue(2.5L + 1.5L * 0.406L, 2.5L, 4, 100), 41);
    EXPECT_EQ(SliderPositionForValue(9, 2.5L, 4, 100), 100);
    EXPECT_EQ(SliderPositionForValue(1, 2.5L, 4, 100), 0);
    EXPECT_EQ(SliderPositionForValue(3, 3, 3, 100), 0);  // an empty range
}

// ---- delay plot ----

TEST(DelayPlotRun, PointsPairAValueWithTheOneDStepsLater) {
    ModelWorkspace ws;
    UseLogistic(ws, 3.9L, 0.2L);
    auto model = Evaluator(ws);
    DelayPlotSettings settings;
    settings.pointsNotPlotted = 0;
    settings.pointsPlotted = 50;
    const std::vector<double> orbit = LogisticOrbit(3.9, 0.2, 60);
    for (int d : {1, 3}) {
        settings.delaySteps = d;
        VectorPointSink sink;
        const DelayPlotOutcome outcome = DelayPlotRun(*model, settings, sink);
        ASSERT_EQ(sink.points.size(), 50u);
        EXPECT_EQ(outcome.plan.delaySteps, d);
        for (int i = 0; i < 50; ++i) {
            EXPECT_EQ(sink.points[i].x, orbit[i]) << "d " << d << " point " << i;
            EXPECT_EQ(sink.points[i].y, orbit[i + d]) << "d " << d << " point " << i;
        }
    }
}

TEST(DelayPlotRun, DefaultsTakeOneModelStepPerPoint) {
    ModelWorkspace ws;
    UseLogistic(ws);
    auto model = Evaluator(ws);
    VectorPointSink sink;
    DelayPlotRun(*model, DelayPlotSettings{}, sink);
    EXPECT_EQ(sink.points.size(), 10000u);
    EXPECT_EQ(ModelCalls(*model), 1000 + 1 + 9999);
}

TEST(DelayPlotRun, WithNoiseBothCoordinatesComeFromOneOrbit) {
    ModelWorkspace ws;
    UseLogistic(ws, 3.2L, 0.4L);
    ReplaceModel(ws, [](ModelDefinition& m) {
        m.noise.noiseOn = true;
        m.noise.noiseLevel = 0.01L;
        m.noise.noiseProbability = 1;
        m.noise.noisePeriod = 1;
    });
    SeedNoise(ws, 1234);
    auto model = Evaluator(ws);
    DelayPlotSettings settings;
    settings.delaySteps = 2;
    settings.pointsPlotted = 200;
    VectorPointSink sink;
    DelayPlotRun(*model, settings, sink);
    ASSERT_EQ(sink.points.size(), 200u);
    // (x(t), x(t+2)) followed two points later by (x(t+2), x(t+4)).
    for (int i = 0; i + 2 < 200; ++i) {
        ASSERT_EQ(sink.points[i].y, sink.points[i + 2].x) << "point " << i;
    }
    // And the noise is really there: the orbit is not the plain map's.
    int offMap = 0;
    for (int i = 0; i + 1 < 200; ++i) {
        if (std::fabs(sink.points[i + 1].x - LogisticStep(3.2, sink.points[i].x)) > 1e-6) {
            ++offMap;
        }
    }
    EXPECT_GT(offMap, 150);
}

TEST(DelayPlotRun, ContinuousDelayIsConvertedToSteps) {
    ModelWorkspace ws;
    UseModel(ws, ModelKind::Continuous, {{"x", 0}}, {{"a", 0}}, {}, "return 1");
    SetStepSize(ws, 0.01L);
    auto model = Evaluator(ws);
    VectorPointSink sink;
    const DelayPlotOutcome outcome = DelayPlotRun(*model, DelayPlotSettings{}, sink);
    EXPECT_EQ(outcome.plan.delaySteps, 100);
    EXPECT_EQ(outcome.plan.pointsNotPlotted, 100);
    EXPECT_EQ(outcome.plan.pointsPlotted, 2900);
    ASSERT_EQ(sink.points.size(), 2900u);
    EXPECT_NEAR(sink.points[0].x, 1.0, 1e-12);
    EXPECT_NEAR(sink.points[0].y, 2.0, 1e-12);
}

TEST(DelayPlotRun, FailureInTheTransientPlotsNothing) {
    ModelWorkspace ws;
    UseModel(ws, ModelKind::Discrete, {{"x", 0}}, {{"a", 0}}, {},
             "if x >= 5 then return 1/a end return x + 1");
    auto model = Evaluator(ws);
    VectorPointSink sink;
    const DelayPlotOutcome outcome = DelayPlotRun(*model, DelayPlotSettings{}, sink);
    EXPECT_TRUE(outcome.failed);
    EXPECT_TRUE(sink.points.empty());
}

TEST(DelayPlotRun, RefusesNegativeAndOverlongDelays) {
    ModelWorkspace ws;
    UseModel(ws, ModelKind::Continuous, {{"x", 0}}, {{"a", 0}}, {}, "return 1");
    SetStepSize(ws, 0.01L);
    auto model = Evaluator(ws);
    DelayPlotSettings settings;
    VectorPointSink sink;
    settings.delayTime = -1;
    EXPECT_THROW(DelayPlotRun(*model, settings, sink), OrbitSettingsError);
    settings.delayTime = 1e6L;
    EXPECT_THROW(DelayPlotRun(*model, settings, sink), OrbitSettingsError);
    EXPECT_EQ(ModelCalls(*model), 0);
}

// ---- the end of a run ----

TEST(OrbitRunEnd, AStepThatWouldFailOnlyAfterTheLastPointIsNotTaken) {
    // x counts the steps from 0; the step from x = 15 divides by zero. Every run below has its
    // last point at x = 15, so it is complete and must not be reported as failed.
    struct Case {
        const char* run;
        std::function<bool(ModelEvaluator&, VectorPointSink&)> start;
        std::size_t points;
    };
    const std::vector<Case> cases = {
        {"time series",
         [](ModelEvaluator& model, VectorPointSink& sink) {
             TimeSeriesSettings settings;
             settings.pointsNotPlotted = 10;
             settings.pointsPlotted = 5;
             return TimeSeriesRun(model, settings, sink).failed;
         },
         6},
        {"time series, time step 5",
         [](ModelEvaluator& model, VectorPointSink& sink) {
             TimeSeriesSettings settings;
             settings.pointsNotPlotted = 1;
             settings.pointsPlotted = 2;
             settings.timeStep = 5;
             return TimeSeriesRun(model, settings, sink).failed;
         },
         3},
        {"phase plot",
         [](ModelEvaluator& model, VectorPointSink& sink) {
             PhasePlotSettings settings;
             settings.yVariable = 1;
             settings.pointsNotPlotted = 10;
             settings.pointsPlotted = 6;
             PhasePlotOrbit orbit;
             return PhasePlotRun(model, settings, orbit, false, sink).failed;
         },
         6},
        {"delay plot",
         [](ModelEvaluator& model, VectorPointSink& sink) {
             DelayPlotSettings settings;
             settings.pointsNotPlotted = 9;
             settings.delaySteps = 1;
             settings.pointsPlotted = 6;
             return DelayPlotRun(model, settings, sink).failed;
         },
         6},
    };
    for (const Case& c : cases) {
        ModelWorkspace ws;
        UseModel(ws, ModelKind::Discrete, {{"x", 0}}, {{"a", 0}}, {},
                 "if x >= 15 then return 1/a end return x + 1");
        auto model = Evaluator(ws);
        VectorPointSink sink;
        EXPECT_FALSE(c.start(*model, sink)) << c.run;
        EXPECT_FALSE(model->errorFlag) << c.run;
        ASSERT_EQ(sink.points.size(), c.points) << c.run;
        EXPECT_EQ(sink.points.back().y, 15) << c.run;
        EXPECT_EQ(ModelCalls(*model), 15) << c.run;
    }
}

TEST(OrbitRunEnd, NoStepFollowsAFailure) {
    // The 21st step raises a script error: another call would show its message a second time.
    ModelWorkspace ws;
    ScriptedPrompts prompts;
    ws.prompts = &prompts;
    UseModel(ws, ModelKind::Discrete, {{"x", 0}, {"y", 0}}, {{"a", 0}}, {},
             "if x >= 20 then error('stop') end return x + 1, y");
    auto model = Evaluator(ws);
    PhasePlotSettings settings;
    settings.pointsNotPlotted = 0;
    PhasePlotOrbit orbit;
    VectorPointSink sink;
    EXPECT_TRUE(PhasePlotRun(*model, settings, orbit, false, sink).failed);
    EXPECT_EQ(sink.points.size(), 21u);
    EXPECT_EQ(prompts.errors.size(), 1u);
}

TEST(TimeSeriesRun, ContinuousAbscissaeAreTheTimesReachedByTheRoundedCounts) {
    // dx/dt = 1 from 0: x is the time reached, so each abscissa must equal its value (up to the
    // accumulation of h), and the span is NP * h .. (NP + P) * h.
    struct Case {
        Extended stepSize, from, to;
        double first, last;
        std::size_t points;
    };
    const Case cases[] = {
        {0.07L, 1, 2, 0.98, 1.96, 15},  // 1 / 0.07 = 14.3 steps: both ends rounded
        {0.3L, 0, 1.9L, 0, 1.8, 7},     // 6.33 steps
        {0.25L, 0.5L, 2, 0.5, 2, 7},    // whole multiples: the requested times
        {0.01L, 100, 200, 100, 200, 10001},
    };
    for (const Case& c : cases) {
        ModelWorkspace ws;
        UseModel(ws, ModelKind::Continuous, {{"x", 0}}, {{"a", 0}}, {}, "return 1");
        SetStepSize(ws, c.stepSize);
        TimeSeriesSettings settings;
        settings.startTime = c.from;
        settings.endTime = c.to;
        auto model = Evaluator(ws);
        VectorPointSink sink;
        const TimeSeriesOutcome outcome = TimeSeriesRun(*model, settings, sink);
        ASSERT_EQ(sink.points.size(), c.points) << "h = " << static_cast<double>(c.stepSize);
        EXPECT_NEAR(sink.points.front().x, c.first, 1e-12);
        EXPECT_NEAR(sink.points.back().x, c.last, 1e-12);
        EXPECT_NEAR(static_cast<double>(outcome.plan.start), c.first, 1e-12);
        EXPECT_NEAR(static_cast<double>(outcome.plan.end), c.last, 1e-12);
        for (const auto& point : sink.points) {
            EXPECT_NEAR(point.x, point.y, 1e-9);
        }
    }
}

}  // namespace
}  // namespace kalvora
