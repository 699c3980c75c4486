#include "core/model_step.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "core/model_definition.h"
#include "core/model_file.h"
#include "core/model_workspace.h"
#include "core/scripted_prompts.h"

namespace kalvora {
namespace {

// A workspace holding an accepted model, as Load Model leaves it, and the evaluator a run makes of
// it.
struct ModelFixture {
    ModelWorkspace ws;
    ScriptedPrompts prompts;
    std::unique_ptr<ModelEvaluator> evaluator;

    ModelFixture(const std::string& initial, const std::string& parameters,
                 const std::string& auxiliaries, const std::string& body, bool discrete = true) {
        ws.prompts = &prompts;
        ModelDefinition model = ParseModelDefinition(initial, parameters, auxiliaries);
        BuildModelScript(model, body);
        SetModelKind(model, discrete ? ModelKind::Discrete : ModelKind::Continuous);
        ws.definition = ShareDefinition(std::move(model));
        makeEvaluator();
    }

    void makeEvaluator() {
        evaluator = std::make_unique<ModelEvaluator>(ws.definition, ws.randomState, &prompts);
    }
    // A changed model, and a fresh evaluator of it.
    template <class Edit>
    void edit(Edit&& change) {
        ReplaceModel(ws, std::forward<Edit>(change));
        makeEvaluator();
    }

    StateVector start() const {
        StateVector state = ws.model().initialValues;
        return state;
    }
    void step(StateVector& state) { ModelStep(*evaluator, ws.model().kind, state); }
};

const char* const kNewModelEquations =
    "x1=a*x+y\r\ny1=b*y+x\r\nk=x+y\r\nl=(x+y)^2\r\nx=x1\r\ny=y1\r\n";

TEST(ModelStep, BuiltInModelFirstStep) {
    ModelFixture model("x=0.25, y=0.2", "a=0.1, b=0.5", "k,l", kNewModelEquations);
    StateVector state = model.start();
    model.step(state);
    EXPECT_FALSE(model.evaluator->errorFlag);
    EXPECT_DOUBLE_EQ(static_cast<double>(state[0]), 0.225);
    EXPECT_DOUBLE_EQ(static_cast<double>(state[1]), 0.35);
    EXPECT_DOUBLE_EQ(static_cast<double>(state[2]), 0.45);
    EXPECT_DOUBLE_EQ(static_cast<double>(state[3]), 0.2025);
    EXPECT_TRUE(model.prompts.shown.empty());
}

TEST(ModelStep, ContinuousConstantDerivativeAdvancesByStepSize) {
    ModelFixture model("x=0", "", "t", "x=1\r\nt=1", false);
    model.edit([&](ModelDefinition& m) { m.stepSize = 0.01L; });
    StateVector state = model.start();
    state[1] = 0;
    for (int n = 1; n <= 3; ++n) {
        const Extended before = state[0];
        model.step(state);
        EXPECT_EQ(state[0] - before, 6 * model.ws.model().stepSize / 6);
        EXPECT_NEAR(static_cast<double>(state[0]), n * 0.01, 1e-15);
        EXPECT_NEAR(static_cast<double>(state[1]), n * 0.01, 1e-15);
    }
    EXPECT_FALSE(model.evaluator->errorFlag);
}

TEST(ModelStep, UndefinedFunctionReportsOncePerEvaluation) {
    ModelFixture discrete("x=1", "", "", "x=nosuch(x)");
    StateVector state = discrete.start();
    discrete.step(state);
    EXPECT_TRUE(discrete.evaluator->errorFlag);
    EXPECT_EQ(discrete.prompts.errors, std::vector<std::string>{"Error in variable/function name"});

    ModelFixture continuous("x=1", "", "", "x=nosuch(x)", false);
    state = continuous.start();
    continuous.step(state);
    EXPECT_TRUE(continuous.evaluator->errorFlag);
    EXPECT_EQ(continuous.prompts.errors,
              std::vector<std::string>(3, "Error in variable/function name"));
}

TEST(ModelStep, SyntaxErrorReportedAtCompileAndAgainAfterEachStep) {
    ModelFixture model("x=1", "", "", "x = = 2");
    EXPECT_EQ(model.evaluator->scriptStatus, 3);
    EXPECT_EQ(model.prompts.errors, std::vector<std::string>{"Error in syntax"});
    model.prompts.clear();
    StateVector state = model.start();
    model.step(state);
    EXPECT_TRUE(model.evaluator->errorFlag);
    EXPECT_EQ(model.prompts.errors,
              (std::vector<std::string>{"Error in variable/function name", "Error in syntax"}));
}

TEST(CompileModelScript, OnlyBaseTableStringAndMath) {
    ModelFixture model(
        "x=0", "", "",
        "x = (io == nil and os == nil and debug == nil and require == nil and 1 or 0)"
        " + (table ~= nil and string.len('ab') == 2 and math.floor(1.5) == 1 and 10 "
        "or 0)");
    StateVector state = model.start();
    model.step(state);
    EXPECT_EQ(state[0], 11);
}

TEST(CompileModelScript, ChunkIsNamedModelbuffer) {
    ModelFixture model("x=0", "", "",
                       "local ok, m = pcall(function() error('e') end)\r\n"
                       "x = string.find(m, 'modelbuffer', 1, true) and 1 or 0");
    StateVector state = model.start();
    model.step(state);
    EXPECT_EQ(state[0], 1);
}

TEST(CompileModelScript, RebuildLosesLuaGlobals) {
    // n counts calls in a Lua global; a failed step rebuilds the state and the count starts over.
    ModelFixture model("x=0", "", "", "n = (n or 0) + 1\r\nif n == 3 then error('x') end\r\nx = n");
    StateVector state = model.start();
    model.step(state);
    model.step(state);
    EXPECT_EQ(state[0], 2);
    model.step(state);
    EXPECT_TRUE(model.evaluator->errorFlag);
    model.evaluator->errorFlag = false;
    state = model.start();
    model.step(state);
    EXPECT_EQ(state[0], 1);
}

TEST(ModelStep, ClosedLeavesStateAlone) {
    const ModelWorkspace ws;
    ModelEvaluator closed(ws.definition);
    StateVector state{};
    state[0] = 3;
    ModelStep(closed, ModelKind::Closed, state);
    EXPECT_EQ(state[0], 3);
    EXPECT_FALSE(closed.errorFlag);
}

TEST(ModelStep, ArithmeticFaultsSetErrorFlagWithoutMessage) {
    // Overflow in the Runge-Kutta arithmetic itself: h * K beyond the double range is fine in
    // Extended, so push it beyond Extended by feeding a huge derivative with a huge step.
    ModelFixture overflow("x=1", "", "", "x=1e308", false);
    overflow.edit([&](ModelDefinition& m) { m.stepSize = 1e4900L; });
    StateVector state = overflow.start();
    overflow.step(state);
    EXPECT_TRUE(overflow.evaluator->errorFlag);
    EXPECT_TRUE(overflow.prompts.errors.empty());

    ModelFixture division("x=1", "", "", "x=1/0");
    state = division.start();
    division.step(state);
    EXPECT_TRUE(division.evaluator->errorFlag);
    EXPECT_TRUE(division.prompts.errors.empty());

    ModelFixture invalid("x=-1", "", "", "x=math.sqrt(x)");
    state = invalid.start();
    invalid.step(state);
    EXPECT_TRUE(invalid.evaluator->errorFlag);

    ModelFixture infinite("x=1", "", "", "x=math.huge");
    state = infinite.start();
    infinite.step(state);
    EXPECT_TRUE(infinite.evaluator->errorFlag);
    EXPECT_TRUE(infinite.prompts.errors.empty());
}

// A restarted evaluator is a fresh one: after a run that failed, was stopped, varied a parameter
// and drew noise, its orbit is bit for bit a new evaluator's. A model that keeps state between
// steps (a global, a non-compiled script) is never offered for another run.
TEST(ModelEvaluator, ARestartedEvaluatorRunsAsAFreshOneAndOnlyStatelessModelsRestart) {
    struct Case {
        const char* body;
        bool reusable;
    };
    const Case cases[] = {
        {"x=r*x*(1-x)", true},
        {"if x > 0.5 then x = r*x*(1-x) else x = x/0 end", true},
        {"n = (n or 0) + 1\r\nx=r*x*(1-x)+n*0", false},
        {"x=select(1, r*x*(1-x))", false},
    };
    for (const Case& c : cases) {
        ModelFixture model("x=0.7", "r=3.9", "", c.body);
        model.edit([](ModelDefinition& m) {
            m.noise.noiseOn = true;
            m.noise.noiseLevel = 1e-3L;
            m.noise.noiseProbability = 1;
            m.noise.noisePeriod = 1;
        });
        EXPECT_EQ(model.evaluator->reusable(), c.reusable) << c.body;
        auto orbit = [&](ModelEvaluator& on) {
            std::vector<Extended> values;
            StateVector state = model.start();
            for (int i = 0; i < 20 && !on.errorFlag; ++i) {
                ModelStep(on, ModelKind::Discrete, state);
                values.push_back(state[0]);
            }
            return values;
        };
        ModelEvaluator& used = *model.evaluator;
        used.parameterValues[0] = 2.5L;
        orbit(used);
        StateVector state = model.start();
        state[0] = 1e308L;
        ModelStep(used, ModelKind::Discrete, state);
        used.interrupt.request();
        used.restart(model.ws.randomState, nullptr, nullptr);
        ModelEvaluator fresh(model.ws.definition, model.ws.randomState);
        if (c.reusable) {
            EXPECT_EQ(orbit(used), orbit(fresh)) << c.body;
        }
    }
}

// The step stores Lua's doubles into Extended slots without the x87 unit; every kind of double must
// arrive exactly as a plain conversion gives it: normal, tiny, subnormal, negative zero, huge.
TEST(ModelStep, ResultsArriveExactlyAsTheDoublesLuaReturned) {
    const double values[] = {0.1,       -2.5,
                             1e-300,    4.9e-324,
                             -4.9e-324, 2.2250738585072009e-308,
                             -0.0,      1e308,
                             -1e-310,   123456789.123456789,
                             3.0e-320};
    for (const double value : values) {
        ModelFixture model("x=0, y=0", "v=0", "", "x=v\r\ny=-v");
        model.evaluator->parameterValues[0] = value;
        StateVector state = model.start();
        model.step(state);
        EXPECT_FALSE(model.evaluator->errorFlag) << value;
        EXPECT_EQ(state[0], static_cast<Extended>(value)) << value;
        EXPECT_EQ(state[1], static_cast<Extended>(-value)) << value;
        EXPECT_EQ(std::signbit(state[0]), std::signbit(value)) << value;
    }
    // A shrinking orbit passes from normal into subnormal values and on to zero.
    ModelFixture halving("x=1e-300", "", "", "x=x*1e-5");
    StateVector state = halving.start();
    double expected = 1e-300;
    for (int i = 0; i < 6; ++i) {
        halving.step(state);
        expected *= 1e-5;
        ASSERT_EQ(state[0], static_cast<Extended>(expected)) << "step " << i + 1;
    }
    EXPECT_FALSE(halving.evaluator->errorFlag);
}

// Faults are found from the status flags, so a fault whose result the model throws away still
// counts; flags that the caller left set must not fail a healthy step.
TEST(ModelStep, HiddenFaultsCountAndLeftoverFlagsDoNot) {
    ModelFixture unused("x=1", "", "", "local z=1/0\r\nx=x+1");
    StateVector state = unused.start();
    unused.step(state);
    EXPECT_TRUE(unused.evaluator->errorFlag);
    EXPECT_TRUE(unused.prompts.errors.empty());

    ModelFixture huge("x=1", "p=0", "", "x=x+p", false);
    huge.evaluator->parameterValues[0] = 1e400L;  // beyond a double on its way to Lua
    state = huge.start();
    huge.step(state);
    EXPECT_TRUE(huge.evaluator->errorFlag);

    ModelFixture healthy("x=1", "", "", "x=x/2");
    state = healthy.start();
    volatile double zero = 0.0;
    volatile double leftover = 1.0 / zero;  // leaves the division-by-zero flag set
    (void)leftover;
    volatile long double bigger = 1e4000L;
    bigger = bigger * 1e4000L;  // and the x87 overflow flag
    healthy.step(state);
    EXPECT_FALSE(healthy.evaluator->errorFlag);
    EXPECT_EQ(state[0], 0.5L);
}

// A model of the full counts: the step passes and returns all 200 values.
TEST(ModelStep, TheFullCountsStep) {
    ModelFixture model("x=1", "", "", "x=x+1");
    model.edit([](ModelDefinition& m) {
        m.scriptText =
            "function model (...)\r\nlocal r={}\r\nfor i=1,200 do r[i]=i end\r\nreturn "
            "unpack(r)\r\nend";
        m.nativeModel.reset();
        m.variableCount = 150;
        m.auxiliaryCount = 50;
        m.parameterCount = 200;
    });
    StateVector state{};
    model.step(state);
    ASSERT_FALSE(model.evaluator->errorFlag);
    EXPECT_TRUE(model.prompts.errors.empty());
    for (int i = 0; i < 200; ++i) {
        ASSERT_EQ(state[i], i + 1) << "slot " << i;
    }
}

// One step of x' = x from 1 is the cubic Taylor polynomial of e^h: every stage's coefficient shows.
TEST(RungeKuttaStep, OneStepOfGrowthIsTheCubicTaylorPolynomial) {
    for (const Extended h : {0.1L, 0.02L}) {
        ModelFixture model("x=1", "", "", "x=x", false);
        model.edit([&](ModelDefinition& m) { m.stepSize = h; });
        StateVector state = model.start();
        model.step(state);
        const double expected = static_cast<double>(1 + h + h * h / 2 + h * h * h / 6);
        EXPECT_NEAR(static_cast<double>(state[0]), expected, 1e-15) << static_cast<double>(h);
    }
}

// Third order: halving the step divides the global error by about 2^3 against the exact solution.
TEST(RungeKuttaStep, GlobalErrorFallsEightfoldPerHalvedStep) {
    struct Case {
        const char* what;
        const char* initial;
        const char* equations;
        double (*error)(const StateVector& state, double t);
    };
    const std::vector<Case> cases = {
        {"exponential decay", "x=1", "x=-x",
         [](const StateVector& s, double t) {
             return std::abs(static_cast<double>(s[0]) - std::exp(-t));
         }},
        {"harmonic oscillator", "x=1, v=0", "local dx=v\r\nv=-x\r\nx=dx",
         [](const StateVector& s, double t) {
             return std::hypot(static_cast<double>(s[0]) - std::cos(t),
                               static_cast<double>(s[1]) + std::sin(t));
         }},
    };
    for (const Case& c : cases) {
        std::vector<double> errors;
        for (const int steps : {10, 20, 40, 80}) {
            ModelFixture model(c.initial, "", "", c.equations, false);
            model.edit([&](ModelDefinition& m) { m.stepSize = Extended{2} / steps; });
            StateVector state = model.start();
            for (int n = 0; n < steps; ++n) {
                model.step(state);
            }
            ASSERT_FALSE(model.evaluator->errorFlag) << c.what;
            errors.push_back(c.error(state, 2.0));
        }
        for (std::size_t i = 1; i < errors.size(); ++i) {
            const double ratio = errors[i - 1] / errors[i];
            EXPECT_GT(ratio, 7.0) << c.what << " step " << i;
            EXPECT_LT(ratio, 9.0) << c.what << " step " << i;
        }
    }
}

// Noise acts on the stepped state: x -> 2x from 1 ends at 2 plus the noise, where noise before the
// step would double it. The same seed on a closed model (no step) shows the noise alone.
TEST(ModelStep, NoiseIsAddedAfterTheStep) {
    auto noisy = [](ModelWorkspace& ws) {
        ReplaceModel(ws, [](ModelDefinition& m) {
            m.noise.noiseOn = true;
            m.noise.noiseType = 2;  // uniform
            m.noise.noiseLevel = 0.5L;
            m.noise.noiseProbability = 1;
            m.noise.noisePeriod = 1;
        });
        ws.randomState.random.seed = 4242;
    };
    ModelFixture model("x=1", "", "", "x=2*x");
    noisy(model.ws);
    model.makeEvaluator();
    StateVector state = model.start();
    model.step(state);

    ModelWorkspace closed;
    noisy(closed);
    ModelEvaluator closedModel(closed.definition, closed.randomState);
    StateVector alone{};
    alone[0] = 1;
    ModelStep(closedModel, ModelKind::Closed, alone);
    const Extended noise = alone[0] - 1;
    ASSERT_NE(noise, 0);
    EXPECT_NEAR(static_cast<double>(state[0]), static_cast<double>(2 + noise), 1e-15);
}

}  // namespace
}  // namespace kalvora
