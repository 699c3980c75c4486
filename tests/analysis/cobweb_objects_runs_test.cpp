#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include "analysis/orbit/cobweb/cobweb_run.h"
#include "analysis/orbit/common/orbit_counts.h"
#include "analysis/orbit/objects/object_run.h"
#include "tests/analysis/test_models.h"

namespace kalvora {
namespace {

using testing::LogisticStep;
using testing::ModelCalls;
using testing::UseHenon;
using testing::UseLogistic;
using testing::UseModel;
using Point = VectorPointSink::Point;

std::unique_ptr<ModelEvaluator> Evaluator(const ModelWorkspace& ws) {
    return testing::EvaluatorOf(ws);
}

struct CobwebRun {
    CobwebConstruction construction;
    VectorPointSink curve;
    VectorPointSink diagonal;
    VectorPointSink staircase;
    bool failed = false;
};

CobwebRun StartCobweb(ModelEvaluator& model, const CobwebSettings& settings) {
    CobwebRun run;
    run.failed = CobwebStart(model, model.model().kind, settings, run.construction, run.curve,
                             run.diagonal, run.staircase);
    return run;
}

double Iterated(double r, double x, int times) {
    for (int i = 0; i < times; ++i) {
        x = LogisticStep(r, x);
    }
    return x;
}

// ---- graphical analysis ----

TEST(CobwebRun, CurveDiagonalAndThreeStepsOfTheStaircaseInSinglePrecision) {
    ModelWorkspace ws;
    UseLogistic(ws);
    auto model = Evaluator(ws);
    CobwebRun run = StartCobweb(*model, CobwebSettings{});

    ASSERT_EQ(run.curve.points.size(), 800u);
    EXPECT_EQ(run.curve.points.front().x, 0.00125);
    EXPECT_EQ(run.curve.points.back().x, 1.0);
    for (int i = 0; i < 800; i += 37) {
        const double x = run.curve.points[i].x;
        EXPECT_EQ(x, static_cast<double>(Extended(i + 1) / 800));
        EXPECT_EQ(run.curve.points[i].y, LogisticStep(3.7, x));
    }
    ASSERT_EQ(run.diagonal.points.size(), 2u);
    EXPECT_EQ(run.diagonal.points[0].x, 1.0);
    EXPECT_EQ(run.diagonal.points[0].y, 1.0);
    EXPECT_EQ(run.diagonal.points[1].x, 0.0);
    EXPECT_EQ(run.diagonal.points[1].y, 0.0);

    for (int i = 0; i < 3; ++i) {
        EXPECT_FALSE(CobwebStep(*model, model->model().kind, run.construction, 1, run.staircase));
    }
    // Every step starts from the value rounded to single precision.
    const double x0 = static_cast<float>(0.34);
    const double y0 = LogisticStep(3.7, x0);
    const double x1 = static_cast<float>(y0);
    const double y1 = LogisticStep(3.7, x1);
    const double x2 = static_cast<float>(y1);
    const double y2 = LogisticStep(3.7, x2);
    const std::vector<std::pair<double, double>> expected = {{0.34, 0}, {x0, y0}, {x1, x1},
                                                             {x1, y1},  {x2, x2}, {x2, y2}};
    ASSERT_EQ(run.staircase.points.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(run.staircase.points[i].x, expected[i].first) << "point " << i;
        EXPECT_EQ(run.staircase.points[i].y, expected[i].second) << "point " << i;
    }
    EXPECT_NE(x1, y0);  // the rounding is really there
    EXPECT_EQ(run.construction.currentX, static_cast<float>(y2));
}

TEST(CobwebRun, BoundsInEitherOrderAndInitialValuesOutsideThem) {
    struct Case {
        Extended minimum, maximum, initial;
        double start, low, high;
    };
    const Case cases[] = {
        {0, 1, 0.34L, 0.34, 0, 1},
        {1, 0, 0.34L, 0.34, 0, 1},  // swapped bounds give the same picture
        {0, 1, 5, 1.0 / 3, 0, 1},   // outside: a third of the way up
        {0, 1, -0.1L, 1.0 / 3, 0, 1},
        {0.2L, 0.8L, 0.8L, 0.8, 0.2, 0.8},  // a bound itself is inside
        {0.8L, 0.2L, 0.9L, 0.4, 0.2, 0.8},
    };
    for (const Case& c : cases) {
        ModelWorkspace ws;
        UseLogistic(ws);
        CobwebSettings settings;
        settings.minimum = c.minimum;
        settings.maximum = c.maximum;
        settings.initialValue = c.initial;
        auto model = Evaluator(ws);
        const CobwebRun run = StartCobweb(*model, settings);
        SCOPED_TRACE(static_cast<double>(c.initial));
        ASSERT_EQ(run.staircase.points.size(), 1u);
        EXPECT_DOUBLE_EQ(run.staircase.points[0].x, c.start);
        EXPECT_EQ(run.staircase.points[0].y, c.low);
        EXPECT_EQ(run.diagonal.points[0].x, c.high);
        EXPECT_EQ(run.diagonal.points[1].y, c.low);
        EXPECT_DOUBLE_EQ(run.curve.points.front().x, c.low + (c.high - c.low) / 800);
        EXPECT_DOUBLE_EQ(run.curve.points.back().x, c.high);
    }
}

TEST(CobwebRun, TheSecondIterateDrawsTheCurveAndEachStepAppliesTheMapTwice) {
    ModelWorkspace ws;
    UseLogistic(ws);
    CobwebSettings settings;
    settings.iteratedMap = 2;
    auto model = Evaluator(ws);
    CobwebRun run = StartCobweb(*model, settings);
    ASSERT_EQ(run.curve.points.size(), 800u);
    EXPECT_EQ(ModelCalls(*model), 1 + 2 * 800);
    EXPECT_EQ(run.curve.points[99].y, Iterated(3.7, run.curve.points[99].x, 2));

    CobwebStep(*model, model->model().kind, run.construction, 2, run.staircase);
    EXPECT_EQ(ModelCalls(*model), 1 + 2 * 800 + 4);
    const double x0 = static_cast<float>(0.34);
    const double x1 = static_cast<float>(Iterated(3.7, x0, 2));
    ASSERT_EQ(run.staircase.points.size(), 4u);
    EXPECT_EQ(run.staircase.points[1].y, Iterated(3.7, x0, 2));
    EXPECT_EQ(run.staircase.points[2].x, x1);
    EXPECT_EQ(run.staircase.points[3].y, Iterated(3.7, x1, 2));
}

TEST(CobwebRun, AFailingStepEndsTheCurveAndFreezesTheStaircase) {
    ModelWorkspace ws;
    // Fails for every argument above one half.
    UseModel(ws, ModelKind::Discrete, {{"x", 0.1L}}, {{"a", 0}}, {},
             "if x > 0.5 then return 1/a end return x*x");
    auto model = Evaluator(ws);
    CobwebRun run = StartCobweb(*model, CobwebSettings{});
    EXPECT_TRUE(run.failed);
    EXPECT_TRUE(model->errorFlag);
    EXPECT_EQ(run.curve.points.size(), 400u);  // the grid points up to 0.5
    EXPECT_EQ(run.diagonal.points.size(), 2u);
    EXPECT_EQ(run.staircase.points.size(), 1u);
    EXPECT_TRUE(CobwebStep(*model, model->model().kind, run.construction, 5, run.staircase));
    EXPECT_EQ(run.staircase.points.size(), 1u);

    // A map that cannot be evaluated at the initial value draws no curve at all.
    CobwebSettings settings;
    settings.initialValue = 0.9L;
    run = StartCobweb(*model, settings);
    EXPECT_TRUE(run.failed);
    EXPECT_TRUE(run.curve.points.empty());
    EXPECT_EQ(run.staircase.points.size(), 1u);

    // A staircase that leaves the interval fails at its step; the points before it stay.
    settings.initialValue = 0.3L;
    UseModel(ws, ModelKind::Discrete, {{"x", 0.1L}}, {{"a", 0}}, {},
             "if x > 2 then return 1/a end return 2*x");
    model = Evaluator(ws);
    settings.maximum = 0.5L;
    run = StartCobweb(*model, settings);
    EXPECT_FALSE(run.failed);
    EXPECT_TRUE(CobwebStep(*model, model->model().kind, run.construction, 10, run.staircase));
    // 0.3 -> 0.6 -> 1.2 -> 2.4 -> fails: three steps drawn.
    EXPECT_EQ(run.staircase.points.size(), 1u + 2 * 3 - 1);
}

TEST(CobwebRun, AnotherAnalysisFailingMeanwhileDoesNotStopTheStaircase) {
    ModelWorkspace ws;
    UseLogistic(ws);
    auto model = Evaluator(ws);
    CobwebRun run = StartCobweb(*model, CobwebSettings{});
    model->errorFlag = true;  // left behind by another window's run
    EXPECT_FALSE(CobwebStep(*model, model->model().kind, run.construction, 1, run.staircase));
    EXPECT_EQ(run.staircase.points.size(), 2u);
    EXPECT_FALSE(model->errorFlag);
}

TEST(CobwebRun, AnIteratedMapOutsideOneToHundredIsRefusedBeforeAnythingChanges) {
    for (int n : {0, -1, 101}) {
        ModelWorkspace ws;
        UseLogistic(ws);
        auto model = Evaluator(ws);
        model->errorFlag = true;
        CobwebSettings settings;
        settings.iteratedMap = n;
        CobwebRun run;
        run.construction.currentX = 0.5f;
        EXPECT_THROW(CobwebStart(*model, model->model().kind, settings, run.construction, run.curve,
                                 run.diagonal, run.staircase),
                     OrbitSettingsError);
        EXPECT_TRUE(model->errorFlag);
        EXPECT_EQ(run.construction.currentX, 0.5f);
        EXPECT_TRUE(run.diagonal.points.empty());
        EXPECT_EQ(ModelCalls(*model), 0);
    }
}

// ---- iterating objects ----

ObjectSettings Square(int resolution = 100) {
    ObjectSettings settings;
    settings.vertices = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    settings.resolution = resolution;
    settings.showAttractor = false;
    return settings;
}

struct ObjectRun {
    IteratedObject object;
    VectorPointSink attractor;
    VectorPointSink points;
    bool failed = false;
};

ObjectRun StartObject(ModelEvaluator& model, const ObjectSettings& settings) {
    ObjectRun run;
    QuietRunControl control;
    run.failed = ObjectStart(model, model.model().kind, settings, run.object, run.attractor,
                             run.points, control);
    return run;
}

bool Step(ModelEvaluator& model, ObjectRun& run, int unplotted, long long count) {
    QuietRunControl control;
    return ObjectStep(model, model.model().kind, run.object, unplotted, count, run.points, control);
}

TEST(ObjectRun, TheUnitSquareSampledWithResolution100) {
    ModelWorkspace ws;
    UseHenon(ws);
    auto model = Evaluator(ws);
    const ObjectRun run = StartObject(*model, Square());
    ASSERT_EQ(run.points.points.size(), 400u);
    const Point corners[] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int side = 0; side < 4; ++side) {
        EXPECT_EQ(run.points.points[side * 100].x, corners[side].x) << "side " << side;
        EXPECT_EQ(run.points.points[side * 100].y, corners[side].y) << "side " << side;
    }
    EXPECT_EQ(run.points.points[1].x, 0.01);
    EXPECT_EQ(run.points.points[1].y, 0);
    EXPECT_DOUBLE_EQ(run.points.points[399].y, 0.01);  // one step short of closing
    for (const Point corner : corners) {
        int occurrences = 0;
        for (const Point& p : run.points.points) {
            occurrences += p.x == corner.x && p.y == corner.y;
        }
        EXPECT_EQ(occurrences, 1) << corner.x << "," << corner.y;
    }
    EXPECT_TRUE(run.attractor.points.empty());
    EXPECT_EQ(ModelCalls(*model), 0);
}

TEST(ObjectRun, TheCircleStartsAtAngleZeroAndKeepsTheOtherVariablesAtTheCentre) {
    ModelWorkspace ws;
    UseModel(ws, ModelKind::Discrete, {{"x", 0}, {"y", 0}, {"z", 0}}, {{"a", 0}}, {},
             "return x, y, z");
    ObjectSettings settings;
    settings.shape = ObjectShape::Circle;
    settings.vertices = {{0, 7, 0}};  // centre; z = 7 lies outside the plotted plane
    settings.horizontalVariable = 1;
    settings.verticalVariable = 3;
    settings.showAttractor = false;
    auto model = Evaluator(ws);
    const ObjectRun run = StartObject(*model, settings);
    ASSERT_EQ(run.object.pointCount(), 100);
    EXPECT_EQ(run.points.points[0].x, 0.5);
    EXPECT_EQ(run.points.points[0].y, 0);
    EXPECT_NEAR(run.points.points[25].x, 0, 1e-18);
    EXPECT_DOUBLE_EQ(run.points.points[25].y, 0.5);
    EXPECT_NEAR(run.points.points[50].x, -0.5, 1e-18);
    for (long long i = 0; i < 100; ++i) {
        EXPECT_EQ(run.object.coordinate(i, 1), 7);
    }
}

TEST(ObjectRun, OneVertexGivesResolutionCopiesOfIt) {
    ModelWorkspace ws;
    UseHenon(ws);
    ObjectSettings settings = Square(3);
    settings.vertices = {{0.25L, -0.5L}};
    auto model = Evaluator(ws);
    const ObjectRun run = StartObject(*model, settings);
    ASSERT_EQ(run.points.points.size(), 3u);
    for (const Point& p : run.points.points) {
        EXPECT_EQ(p.x, 0.25);
        EXPECT_EQ(p.y, -0.5);
    }
}

TEST(ObjectRun, ImagesAfterUnplottedIterationsAndTheirCount) {
    struct Case {
        int unplotted;
        long long count;
        std::size_t points;  // in the series after the start and the steps
        int modelSteps;      // each point took this many steps by the end
    };
    const Case cases[] = {{0, 1, 800, 1}, {2, 1, 800, 3}, {0, 2, 1200, 2}, {1, 3, 1600, 6}};
    for (const Case& c : cases) {
        ModelWorkspace ws;
        UseHenon(ws);
        auto model = Evaluator(ws);
        ObjectRun run = StartObject(*model, Square());
        EXPECT_FALSE(Step(*model, run, c.unplotted, c.count));
        SCOPED_TRACE(c.unplotted);
        ASSERT_EQ(run.points.points.size(), c.points);
        EXPECT_EQ(ModelCalls(*model), 400 * c.modelSteps);
        // Point 150 (on the second side) by direct iteration.
        double x = 1, y = 0.5;
        for (int i = 0; i < c.modelSteps; ++i) {
            const double next = 1 - 1.4 * x * x + y;
            y = 0.3 * x;
            x = next;
        }
        EXPECT_EQ(run.points.points[c.points - 400 + 150].x, x);
        EXPECT_EQ(run.points.points[c.points - 400 + 150].y, y);
    }
}

TEST(ObjectRun, TheAttractorStartsAfterTheTransientFromTheInitialValues) {
    ModelWorkspace ws;
    UseHenon(ws);
    ObjectSettings settings = Square(2);
    settings.showAttractor = true;
    settings.attractorPlotted = 5;
    settings.attractorNotPlotted = 3;
    auto model = Evaluator(ws);
    const ObjectRun run = StartObject(*model, settings);
    ASSERT_EQ(run.attractor.points.size(), 5u);
    double x = 0.1, y = 0.1;
    for (int i = 0; i < 8; ++i) {
        if (i >= 3) {
            EXPECT_EQ(run.attractor.points[i - 3].x, x);
            EXPECT_EQ(run.attractor.points[i - 3].y, y);
        }
        const double next = 1 - 1.4 * x * x + y;
        y = 0.3 * x;
        x = next;
    }
    EXPECT_EQ(run.points.points.size(), 8u);
}

TEST(ObjectRun, AFailingStepAddsNoImageAndTheObjectMovesNoMore) {
    ModelWorkspace ws;
    // Doubles x; fails once x passes 3.
    UseModel(ws, ModelKind::Discrete, {{"x", 0}, {"y", 0}}, {{"a", 0}}, {},
             "if x > 3 then return 1/a, y end return 2*x, y");
    auto model = Evaluator(ws);
    ObjectRun run = StartObject(*model, Square(10));
    EXPECT_FALSE(Step(*model, run, 0, 1));  // up to 2
    EXPECT_TRUE(Step(*model, run, 0, 5));   // up to 4 passes, the next step fails
    EXPECT_EQ(run.points.points.size(), 40u * 3);
    EXPECT_TRUE(model->errorFlag);
    EXPECT_TRUE(Step(*model, run, 0, 1));
    EXPECT_EQ(run.points.points.size(), 40u * 3);

    // An attractor that fails keeps the object from moving, and says so.
    ObjectSettings settings = Square(10);
    settings.showAttractor = true;
    ReplaceModel(ws, [](ModelDefinition& m) { m.initialValues[0] = 1; });
    model = Evaluator(ws);
    run = StartObject(*model, settings);
    EXPECT_TRUE(run.failed);
    EXPECT_EQ(run.attractor.points.size(), 0u);  // the transient already failed
    EXPECT_EQ(run.points.points.size(), 40u);
}

TEST(ObjectRun, AStopEndsTheRunAfterACompleteTimeStep) {
    // Presses Stop as soon as the first time step is reported done.
    class StopAfterFirst : public Progress {
      public:
        RunControl* control = nullptr;
        void start(long long) override {}
        void setPosition(long long) override { control->requestStop(); }
        void finish() override {}
    } progress;
    RunControl control(progress);
    progress.control = &control;
    ModelWorkspace ws;
    UseHenon(ws);
    auto model = testing::EvaluatorOf(ws, &control);
    ObjectRun run = StartObject(*model, Square());
    EXPECT_FALSE(ObjectStep(*model, model->model().kind, run.object, 0, 5, run.points, control));
    EXPECT_EQ(run.points.points.size(), 800u);
    EXPECT_EQ(ModelCalls(*model), 400);
    // The stop stays requested (Exit or a signal may have asked for it): nothing more moves.
    EXPECT_FALSE(ObjectStep(*model, model->model().kind, run.object, 0, 5, run.points, control));
    EXPECT_EQ(run.points.points.size(), 800u);
}

TEST(ObjectRun, AStopThatInterruptsAModelStepIsNoFailure) {
    // The model hangs once x passes 1.5, so the stop, pressed from another thread as Stop is,
    // always lands inside a model step: the attractor of the start, or the second time step of a
    // move. Either way the object keeps its last complete position and may move on.
    struct Case {
        const char* what;
        bool attractor;
    };
    const Case cases[] = {{"attractor", true}, {"time step", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ModelWorkspace ws;
        UseModel(ws, ModelKind::Discrete, {{"x", 0}, {"y", 0}}, {{"a", 0}}, {},
                 "if x > 1.5 then while true do end end return x + 1, y");
        QuietRunControl control;
        auto model = testing::EvaluatorOf(ws, &control);
        ObjectSettings settings = Square(10);
        settings.showAttractor = c.attractor;
        settings.attractorNotPlotted = 1;  // the attractor then reaches x = 1 and 2
        // Started just before the call that hangs: each run clears an earlier stop at its start.
        std::thread stopper;
        auto stopSoon = [&] {
            stopper = std::thread([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                control.requestStop();
            });
        };
        if (c.attractor) {
            stopSoon();
        }
        ObjectRun run;
        run.failed = ObjectStart(*model, model->model().kind, settings, run.object, run.attractor,
                                 run.points, control);
        bool failed = run.failed;
        std::vector<Extended> placed = run.object.coordinates;
        if (!c.attractor) {
            stopSoon();
            failed = ObjectStep(*model, model->model().kind, run.object, 0, 3, run.points, control);
            // The one complete time step, computed by the script in double precision.
            for (std::size_t i = 0; i < placed.size(); ++i) {
                placed[i] = static_cast<double>(placed[i]) + (i % 2 == 0 ? 1.0 : 0.0);
            }
        }
        stopper.join();
        EXPECT_FALSE(failed);
        EXPECT_FALSE(run.object.failed);
        EXPECT_EQ(run.object.coordinates, placed);
        EXPECT_EQ(run.points.points.size(), c.attractor ? 40u : 80u);
        EXPECT_EQ(run.attractor.points.size(), c.attractor ? 2u : 0u);
    }
}

TEST(ObjectRun, SettingsThatCannotPlaceAnObjectAreRefusedBeforeAnythingChanges) {
    struct Case {
        const char* what;
        int variables;
        ObjectSettings settings;
    };
    ObjectSettings zero = Square(0);
    ObjectSettings negative = Square(-5);
    ObjectSettings shortRow = Square();
    shortRow.vertices[2] = {1};
    ObjectSettings huge = Square(300'000);
    ObjectSettings noVertex = Square();
    noVertex.vertices.clear();
    ObjectSettings badVariable = Square();
    badVariable.verticalVariable = 3;
    const Case cases[] = {{"resolution 0", 2, zero},           {"negative", 2, negative},
                          {"one variable", 1, Square()},       {"short row", 2, shortRow},
                          {"too many points", 2, huge},        {"no vertex", 2, noVertex},
                          {"no such variable", 2, badVariable}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ModelWorkspace ws;
        if (c.variables == 1) {
            UseLogistic(ws);
        } else {
            UseHenon(ws);
        }
        auto model = Evaluator(ws);
        model->errorFlag = true;
        ObjectRun run;
        run.object.variableCount = 2;
        run.object.coordinates = {5, 6};
        QuietRunControl control;
        EXPECT_THROW(ObjectStart(*model, model->model().kind, c.settings, run.object, run.attractor,
                                 run.points, control),
                     ObjectSettingsError);
        EXPECT_TRUE(model->errorFlag);
        EXPECT_EQ(run.object.coordinates.size(), 2u);
        EXPECT_TRUE(run.points.points.empty());
    }
}

}  // namespace
}  // namespace kalvora
