// Sections and maxima of flows against the closed form of the harmonic oscillator.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "analysis/orbit/poincare/poincare_run.h"
#include "analysis/sweep/bifurcation/bifurcation_sweep.h"
#include "tests/analysis/test_models.h"

namespace kalvora {
namespace {

constexpr double kPi = std::numbers::pi;

// x = cos t, v = -sin t.
void UseOscillator(ModelWorkspace& ws, IntegrationMethod method, Extended h) {
    testing::UseModel(ws, ModelKind::Continuous, {{"x", 1}, {"v", 0}}, {{"w", 1}}, {},
                      "return v, -w*w*x", testing::CallCounter::Off);
    ReplaceModel(ws, [&](ModelDefinition& model) {
        model.stepSize = h;
        model.integration = {method, 1e-12L};
    });
}

struct Method {
    IntegrationMethod method;
    Extended h;
    double accuracy;  // of the crossing times, from the method's own error over the run
};

const Method kMethods[] = {{IntegrationMethod::RungeKutta3, 0.01L, 1e-4},
                           {IntegrationMethod::RungeKutta4, 0.01L, 1e-8},
                           {IntegrationMethod::DormandPrince, 0.1L, 1e-9}};

TEST(PoincareRun, CrossingsOfTheOscillatorAtTheirClosedFormTimes) {
    struct Case {
        std::string section;
        CrossingDirection direction;
        Extended skipTime;
        std::vector<double> times;  // the first crossings
    };
    const Case cases[] = {
        {"x=0", CrossingDirection::Up, 0, {1.5 * kPi, 3.5 * kPi, 5.5 * kPi}},
        {"x=0", CrossingDirection::Down, 0, {0.5 * kPi, 2.5 * kPi}},
        {"x=0", CrossingDirection::Both, 0, {0.5 * kPi, 1.5 * kPi, 2.5 * kPi}},
        // x - v = sqrt(2) sin(t + pi/4) grows through 0 at t = 7 pi / 4.
        {"x - v = 0", CrossingDirection::Up, 0, {1.75 * kPi, 3.75 * kPi}},
        {"2*x = 1", CrossingDirection::Down, 0, {kPi / 3, 2 * kPi + kPi / 3}},
        // The orbit starts on v = 0 and leaves it: that is no crossing. Skipped ones are dropped.
        {"v=0", CrossingDirection::Both, 0, {kPi, 2 * kPi}},
        {"x=0", CrossingDirection::Up, 5, {3.5 * kPi}},
    };
    for (const Method& method : kMethods) {
        for (const Case& c : cases) {
            ModelWorkspace ws;
            UseOscillator(ws, method.method, method.h);
            auto model = testing::EvaluatorOf(ws);
            PoincareSettings settings;
            settings.section = ParseSection(ws.model(), c.section);
            settings.section.direction = c.direction;
            settings.crossings = static_cast<long long>(c.times.size());
            settings.skipTime = c.skipTime;
            QuietRunControl control;
            std::vector<PoincareCrossing> found;
            const PoincareOutcome outcome =
                PoincareRun(*model, settings, control,
                            [&](const PoincareCrossing& at) { found.push_back(at); });
            const std::string name = IntegrationMethodName(method.method) + (" " + c.section);
            ASSERT_FALSE(outcome.failed) << name;
            ASSERT_EQ(c.times.size(), found.size()) << name;
            for (std::size_t k = 0; k < found.size(); ++k) {
                const double t = static_cast<double>(found[k].time);
                EXPECT_NEAR(c.times[k], t, method.accuracy) << name << " " << k;
                EXPECT_NEAR(std::cos(c.times[k]), static_cast<double>(found[k].state[0]),
                            method.accuracy)
                    << name << " " << k;
                EXPECT_NEAR(-std::sin(c.times[k]), static_cast<double>(found[k].state[1]),
                            method.accuracy)
                    << name << " " << k;
            }
        }
    }
}

TEST(FlowEvents, MaximaOfTheOscillatorAreOneAtWholeTurns) {
    for (const Method& method : kMethods) {
        ModelWorkspace ws;
        UseOscillator(ws, method.method, method.h);
        // Started a little past the maximum at t = 0, so that the first one is a whole turn on.
        ReplaceModel(ws, [](ModelDefinition& model) {
            model.initialValues[0] = std::cos(0.05L);
            model.initialValues[1] = -std::sin(0.05L);
        });
        auto model = testing::EvaluatorOf(ws);
        FlowSteps flow(*model, ws.model().initialValues);
        std::vector<Extended> times;
        while (times.size() < 3 && flow.time() < 30) {
            ASSERT_TRUE(flow.advance());
            Extended time = 0;
            StateVector at{};
            const FlowEvent event = FindMaximum(flow, 0, time, at);
            ASSERT_NE(FlowEvent::Failed, event);
            if (event == FlowEvent::Found) {
                times.push_back(time);
                EXPECT_NEAR(1.0, static_cast<double>(at[0]), method.accuracy);
            }
        }
        ASSERT_EQ(3u, times.size()) << IntegrationMethodName(method.method);
        for (std::size_t k = 0; k < times.size(); ++k) {
            // The time of a flat maximum is known only to about the square root of the value's
            // accuracy.
            EXPECT_NEAR(2 * kPi * (k + 1) - 0.05, static_cast<double>(times[k]),
                        std::sqrt(method.accuracy) * 10);
        }
    }
}

TEST(FlowEvents, SectionsAreReadOrRefused) {
    ModelWorkspace ws;
    UseOscillator(ws, IntegrationMethod::RungeKutta3, 0.01L);
    struct Good {
        std::string text;
        std::vector<std::pair<int, Extended>> terms;
        Extended value;
    };
    for (const Good& c : {Good{"x=0.5", {{0, 1}}, 0.5L}, Good{" v = -2 ", {{1, 1}}, -2},
                          Good{"x-v=0", {{0, 1}, {1, -1}}, 0},
                          Good{"-0.5*v + 1e-3*x = 1e+2", {{1, -0.5L}, {0, 1e-3L}}, 100}}) {
        const Section section = ParseSection(ws.model(), c.text);
        EXPECT_EQ(c.terms, section.terms) << c.text;
        EXPECT_EQ(c.value, section.value) << c.text;
    }
    for (const std::string bad :
         {"x", "x=", "y=1", "w=1", "x=1=2", "x+x=1", "=1", "2*=1", "x v=1", "a*x=1"}) {
        EXPECT_THROW(ParseSection(ws.model(), bad), SectionError) << bad;
    }
    EXPECT_THROW(ParseCrossingDirection("Up"), SectionError);
}

// The Rössler system with a = b = 0.1, c swept.
void UseRossler(ModelWorkspace& ws) {
    testing::UseModel(ws, ModelKind::Continuous, {{"x", 1}, {"y", 1}, {"z", 0}},
                      {{"a", 0.1L}, {"b", 0.1L}, {"c", 4}}, {},
                      "return -y - z, x + a*y, b + z*(x - c)", testing::CallCounter::Off);
}

std::vector<VectorPointSink::Point> Sweep(ModelWorkspace& ws, const BifurcationSettings& settings,
                                          int threads) {
    auto model = testing::EvaluatorOf(ws);
    QuietRunControl control;
    VectorPointSink sink;
    BifurcationSweep(*model, ModelKind::Continuous, settings, threads, control, sink);
    EXPECT_FALSE(model->errorFlag);
    return sink.points;
}

TEST(FlowOrbitDiagram, RosslerMaximaFollowThePublishedSequence) {
    ModelWorkspace ws;
    UseRossler(ws);
    struct Case {
        Extended c;
        int branches;  // 0: a chaotic band
    };
    for (const Case& c : {Case{4, 1}, Case{6, 2}, Case{8.5L, 4}, Case{9, 0}, Case{12, 3}}) {
        BifurcationSettings settings;
        settings.parameter = 3;
        settings.plotVariable = 1;
        settings.minimum = settings.maximum = c.c;
        settings.resolution = 1;
        settings.plottedPoints = 60;
        settings.transientSteps = 60000;
        settings.flowPlot = FlowPlot::LocalMaxima;
        const auto points = Sweep(ws, settings, 1);
        ASSERT_EQ(120u, points.size());
        std::vector<double> maxima;
        for (std::size_t k = 0; k < 60; ++k) {
            maxima.push_back(points[k].y);
        }
        std::sort(maxima.begin(), maxima.end());
        int clusters = 1;
        for (std::size_t k = 1; k < maxima.size(); ++k) {
            clusters += maxima[k] - maxima[k - 1] > 0.05 ? 1 : 0;
        }
        if (c.branches > 0) {
            EXPECT_EQ(c.branches, clusters) << "c = " << static_cast<double>(c.c);
        } else {
            EXPECT_GT(clusters, 10) << "c = " << static_cast<double>(c.c);
        }
    }
}

TEST(FlowOrbitDiagram, WorkersGiveTheOneThreadPointsForEveryPlotAndMethod) {
    ModelWorkspace ws;
    UseRossler(ws);
    for (const IntegrationMethod method :
         {IntegrationMethod::RungeKutta3, IntegrationMethod::DormandPrince}) {
        ReplaceModel(ws, [&](ModelDefinition& model) { model.integration.method = method; });
        for (const FlowPlot plot :
             {FlowPlot::EveryStep, FlowPlot::SectionCrossings, FlowPlot::LocalMaxima}) {
            BifurcationSettings settings;
            settings.parameter = 3;
            settings.plotVariable = 2;
            settings.minimum = 4;
            settings.maximum = 10;
            settings.resolution = 5;
            settings.plottedPoints = 20;
            settings.transientSteps = 1000;
            settings.flowPlot = plot;
            settings.section = ParseSection(ws.model(), "x=0");
            settings.section.direction = CrossingDirection::Down;
            const auto one = Sweep(ws, settings, 1);
            const auto two = Sweep(ws, settings, 2);
            ASSERT_EQ(6u * 20, one.size());
            ASSERT_EQ(one.size(), two.size());
            for (std::size_t k = 0; k < one.size(); ++k) {
                ASSERT_EQ(one[k].x, two[k].x) << k;
                ASSERT_EQ(one[k].y, two[k].y) << k;
            }
        }
    }
    // A map has no crossings or maxima to plot.
    ModelWorkspace map;
    testing::UseLogistic(map);
    BifurcationSettings settings;
    settings.flowPlot = FlowPlot::LocalMaxima;
    EXPECT_THROW(PlanBifurcation(map.model(), settings), SweepSettingsError);
}

}  // namespace
}  // namespace kalvora
