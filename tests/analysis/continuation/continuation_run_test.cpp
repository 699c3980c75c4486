#include "analysis/sweep/continuation/continuation_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "core/model_commands.h"
#include "core/model_shell.h"

namespace kalvora {
namespace {

ModelDefinitionPtr Load(const std::string& path) {
    ModelWorkspace ws;
    NullModelShell shell;
    ModelSource source;
    LoadModelFromFile(ws, source, shell, path);
    return ws.definition;
}

ModelDefinitionPtr Sample(const std::string& name) {
    return Load(std::string(KALVORA_MODELS) + "/" + name);
}

// A model written for one test, from its lines.
ModelDefinitionPtr Written(const std::string& name, const std::string& text) {
    const std::string path = testing::TempDir() + name + ".mod";
    std::ofstream(path) << text;
    return Load(path);
}

ContinuationOutcome Follow(const ModelDefinitionPtr& model, const ContinuationSettings& settings) {
    QuietRunControl control;
    return RunContinuation(model, settings, control);
}

struct Expected {
    SpecialKind kind;
    double parameter;
    int period;
};

// Every special point a run finds, against its closed form or published value; each kind is found
// once per branch point followed (a doubled cycle's two halves each meet its own doubling).
TEST(Continuation, SpecialPointsAgainstClosedForms) {
    const double b = 0.3;
    ContinuationSettings cascade;
    cascade.from = 2.5;
    cascade.to = 3.6;
    cascade.startParameter = 2.8;
    cascade.start = {0.6};
    cascade.switches.assign(3, SpecialKind::PeriodDoubling);
    ContinuationSettings three;
    three.from = 3.7;
    three.to = 3.9;
    three.period = 3;
    three.startParameter = 3.84;
    three.start = {0.16};
    three.transient = 300;  // onto the stable 3-cycle from a point near it
    ContinuationSettings henon;
    henon.from = -0.5;
    henon.to = 1;
    henon.switches = {SpecialKind::PeriodDoubling};
    ContinuationSettings delayed;
    delayed.from = 1.5;
    delayed.to = 2.5;
    delayed.start = {0.4, 0.4};
    ContinuationSettings lorenz;
    lorenz.parameter = 1;
    lorenz.from = 0;
    lorenz.to = 30;
    lorenz.start = {0, 0, 0};
    lorenz.startParameter = 0.5;
    lorenz.step = 0.1;
    lorenz.switches = {SpecialKind::BranchPoint};
    const auto lorenzModel = Sample("lorenz.mod");
    const double sigma = static_cast<double>(lorenzModel->parameterValues[0]);
    const double beta = static_cast<double>(lorenzModel->parameterValues[2]);
    const double hopf = sigma * (sigma + beta + 3) / (sigma - beta - 1);
    struct Case {
        const char* name;
        ModelDefinitionPtr model;
        ContinuationSettings settings;
        std::vector<Expected> specials;
        // Whether a point away from the special ones is stable, by the closed form; or nothing.
        std::function<bool(const ContinuationPoint&)> stable = nullptr;
    };
    const std::vector<Case> cases = {
        // The period-doubling cascade: r = 3, 1 + sqrt(6), and the published 3.5440903595519 and
        // 3.5644072660954.
        {"logistic cascade",
         Sample("logistic.mod"),
         cascade,
         {{SpecialKind::PeriodDoubling, 3, 1},
          {SpecialKind::PeriodDoubling, 1 + std::sqrt(6.0), 2},
          {SpecialKind::PeriodDoubling, 1 + std::sqrt(6.0), 2},
          {SpecialKind::PeriodDoubling, 3.5440903595519, 4},
          {SpecialKind::PeriodDoubling, 3.5440903595519, 4},
          {SpecialKind::PeriodDoubling, 3.5644072660954, 8},
          {SpecialKind::PeriodDoubling, 3.5644072660954, 8}}},
        // The period-3 window opens at 1 + sqrt(8); its cycle doubles at the
        // published 3.8414990075.
        {"logistic period 3",
         Sample("logistic.mod"),
         three,
         {{SpecialKind::PeriodDoubling, 3.8414990075, 3},
          {SpecialKind::Fold, 1 + std::sqrt(8.0), 3}}},
        // Henon's fixed points fold at -(1-b)^2/4 and double at 3(1-b)^2/4; the 2-cycle doubles
        // where its multipliers' trace 4((1-b)^2 - a) + 2b reaches -(1 + b^2).
        {"henon",
         Sample("henon.mod"),
         henon,
         {{SpecialKind::PeriodDoubling, 3 * (1 - b) * (1 - b) / 4, 1},
          {SpecialKind::Fold, -(1 - b) * (1 - b) / 4, 1},
          {SpecialKind::PeriodDoubling, (1 - b) * (1 - b) + (1 + b) * (1 + b) / 4, 2},
          {SpecialKind::PeriodDoubling, (1 - b) * (1 - b) + (1 + b) * (1 + b) / 4, 2}}},
        // x' = a x (1 - y), y' = x: det of the Jacobian at the fixed point is a - 1.
        {"delayed logistic",
         Sample("delayed_logistic.mod"),
         delayed,
         {{SpecialKind::NeimarkSacker, 2, 1}},
         [](const ContinuationPoint& p) { return p.parameter < 2; }},
        // The origin's pitchfork at rho = 1, and the Hopf point of the two nonzero equilibria.
        {"lorenz",
         lorenzModel,
         lorenz,
         {{SpecialKind::BranchPoint, 1, 1},
          {SpecialKind::Hopf, hopf, 1},
          {SpecialKind::Hopf, hopf, 1}},
         // The origin attracts below rho = 1, the other two equilibria from there to the Hopf
         // point: all eigenvalues with negative real parts, whatever their moduli.
         [&](const ContinuationPoint& p) {
             return std::fabs(p.values[0]) < 1e-9 ? p.parameter < 1
                                                  : p.parameter > 1 && p.parameter < hopf;
         }},
    };
    for (const Case& c : cases) {
        const ContinuationOutcome outcome = Follow(c.model, c.settings);
        EXPECT_TRUE(outcome.notes.empty()) << c.name << ": " << outcome.notes.front();
        EXPECT_EQ(DerivativeMethod::Exact, outcome.method) << c.name;
        ASSERT_EQ(c.specials.size(), outcome.specials.size()) << c.name;
        for (std::size_t k = 0; k < c.specials.size(); ++k) {
            const SpecialPoint& found = outcome.specials[k];
            EXPECT_STREQ(SpecialLabel(c.specials[k].kind), SpecialLabel(found.kind)) << c.name;
            EXPECT_NEAR(c.specials[k].parameter, found.parameter, 1e-9) << c.name << " " << k;
            EXPECT_EQ(c.specials[k].period, found.period) << c.name;
            // Each special point is a point of its branch, in its place.
            const auto& points = outcome.branches.at(found.branch).points;
            EXPECT_EQ(
                1, std::count_if(points.begin(), points.end(),
                                 [&](const auto& p) { return p.special == static_cast<int>(k); }))
                << c.name;
        }
        for (const ContinuationBranch& branch : outcome.branches) {
            for (const ContinuationPoint& point : branch.points) {
                if (c.stable && point.special < 0) {
                    EXPECT_EQ(c.stable(point), point.stable) << c.name << " " << point.parameter;
                }
            }
        }
        // Every branch ends on the interval's ends or runs out of points; none leaves it.
        for (const ContinuationBranch& branch : outcome.branches) {
            for (const ContinuationPoint& point : branch.points) {
                EXPECT_GE(point.parameter, std::min(c.settings.from, c.settings.to) - 1e-12);
                EXPECT_LE(point.parameter, std::max(c.settings.from, c.settings.to) + 1e-12);
            }
        }
    }
}

// Along the logistic map's fixed points x = 1 - 1/r the multiplier is 2 - r: the branch lies on
// the closed form, is stable exactly below r = 3, and ends exactly on both ends of the interval;
// a watcher sees each point as it is computed.
TEST(Continuation, LogisticBranchStabilityAndEnds) {
    ContinuationSettings settings;
    settings.from = 3.6;  // the ends in either order
    settings.to = 1.5;
    settings.start = {0.6};
    std::vector<double> seen;
    QuietRunControl control;
    const ContinuationOutcome outcome =
        RunContinuation(Sample("logistic.mod"), settings, control,
                        [&](const ContinuationPoint& p) { seen.push_back(p.parameter); });
    ASSERT_EQ(1u, outcome.branches.size());
    const auto& points = outcome.branches[0].points;
    ASSERT_GT(points.size(), 50u);
    EXPECT_DOUBLE_EQ(1.5, points.front().parameter);
    EXPECT_DOUBLE_EQ(3.6, points.back().parameter);
    for (const ContinuationPoint& p : points) {
        EXPECT_NEAR(1 - 1 / p.parameter, p.values[0], 1e-12);
        EXPECT_NEAR(2 - p.parameter, p.eigenvalues[0].real(), 1e-9);
        if (p.special < 0) {
            EXPECT_EQ(p.parameter < 3, p.stable) << p.parameter;
        }
    }
    // The watcher saw every point as it came, and only those.
    std::sort(seen.begin(), seen.end());
    ASSERT_EQ(points.size(), seen.size());
    for (std::size_t k = 0; k < seen.size(); ++k) {
        EXPECT_EQ(points[k].parameter, seen[k]);
    }
    // The points climb in r: the start's two directions are joined in the order of the curve.
    for (std::size_t k = 1; k < points.size(); ++k) {
        EXPECT_GT(points[k].parameter, points[k - 1].parameter);
    }
}

// Starts that find nothing say why and what to try, and give no branch; a pole is no special
// point; a model without compiled derivatives is followed through its interpreter's differences.
TEST(Continuation, StartsThatFailAndInterpretedModels) {
    ContinuationSettings noRoot;
    noRoot.from = -1;
    noRoot.to = 1;
    noRoot.start = {0.3};
    const auto flow = Written("no_equilibrium", "x=0.3\r\nc=1\r\n\r\nc 0.01\r\nx=c+x*x\r\n");
    const ContinuationOutcome none = Follow(flow, [&] {
        ContinuationSettings s = noRoot;
        s.startParameter = 0.5;  // x^2 + 0.5 has no root
        return s;
    }());
    EXPECT_TRUE(none.branches.empty());
    ASSERT_EQ(1u, none.notes.size());
    EXPECT_NE(std::string::npos, none.notes[0].find("did not converge")) << none.notes[0];
    EXPECT_NE(std::string::npos, none.notes[0].find("start nearer")) << none.notes[0];

    ContinuationSettings fixedForTwo;
    fixedForTwo.from = 2.5;
    fixedForTwo.to = 3.5;
    fixedForTwo.startParameter = 3.2;
    fixedForTwo.period = 2;
    fixedForTwo.start = {0.6875};  // the fixed point: F^2(x) - x = 0 there too
    const ContinuationOutcome shorter = Follow(Sample("logistic.mod"), fixedForTwo);
    EXPECT_TRUE(shorter.branches.empty());
    ASSERT_EQ(1u, shorter.notes.size());
    EXPECT_NE(std::string::npos, shorter.notes[0].find("period 1, not 2")) << shorter.notes[0];

    // A whole line of equilibria (y' = r y vanishes on y = 0): the start says the Jacobian is
    // singular.
    const auto line = Written("line", "x=0, y=0\r\nr=1\r\n\r\nc 0.01\r\nx=y\r\ny=r*x\r\n");
    ContinuationSettings alongLine = noRoot;
    alongLine.start.clear();  // the model's own start, the origin
    const ContinuationOutcome singular = Follow(line, alongLine);
    EXPECT_TRUE(singular.branches.empty());
    ASSERT_EQ(1u, singular.notes.size());
    EXPECT_NE(std::string::npos, singular.notes[0].find("singular")) << singular.notes[0];

    // x = r/x + 1/(x - 2) passes near its pole x = 0, where the test functions change sign
    // through infinity: no special point there, only the fold r = x^2 - x/(x - 2) at the root of
    // x (x - 2)^2 = -1.
    const auto pole = Written("pole", "x=1\r\nr=1\r\n\r\nd\r\nx=r/x+1/(x-2)\r\n");
    ContinuationSettings wide;
    wide.from = -2;
    wide.to = 3;
    const ContinuationOutcome nearPole = Follow(pole, wide);
    ASSERT_EQ(1u, nearPole.specials.size());
    EXPECT_EQ(SpecialKind::Fold, nearPole.specials[0].kind);
    double root = -0.2;  // Newton's method on x (x - 2)^2 + 1
    for (int k = 0; k < 50; ++k) {
        root -= (root * (root - 2) * (root - 2) + 1) / ((root - 2) * (3 * root - 2));
    }
    EXPECT_NEAR(root * root - root / (root - 2), nearPole.specials[0].parameter, 1e-9);

    // string.format has no compiled form: the interpreter runs it, the Jacobians are differences.
    const auto interpreted = Written(
        "interpreted", "x=0.6\r\nr=2.8\r\n\r\nd\r\nx=r*x*(1-x)+tonumber(string.format('0'))\r\n");
    ContinuationSettings settings;
    settings.from = 2.5;
    settings.to = 3.5;
    const ContinuationOutcome differences = Follow(interpreted, settings);
    EXPECT_EQ(DerivativeMethod::FiniteDifference, differences.method);
    ASSERT_EQ(1u, differences.specials.size());
    EXPECT_NEAR(3, differences.specials[0].parameter, 1e-6);
}

// A stop request keeps the branch computed so far.
TEST(Continuation, StoppedRunKeepsItsPoints) {
    struct StopAfter final : Progress {
        RunControl* control = nullptr;
        void start(long long) override {}
        void setPosition(long long position) override {
            if (position >= 20) {
                control->requestStop();
            }
        }
        void finish() override {}
    } progress;
    RunControl control(progress);
    progress.control = &control;
    ContinuationSettings settings;
    settings.from = 0;
    settings.to = 4;
    settings.step = 0.001;
    settings.start = {0.6};
    settings.startParameter = 2;
    const ContinuationOutcome outcome = RunContinuation(Sample("logistic.mod"), settings, control);
    EXPECT_TRUE(outcome.stopped);
    ASSERT_EQ(1u, outcome.branches.size());
    EXPECT_GE(outcome.branches[0].points.size(), 20u);
    EXPECT_LT(outcome.branches[0].points.size(), 30u);
}

}  // namespace
}  // namespace kalvora
