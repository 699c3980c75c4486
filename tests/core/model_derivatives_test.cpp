#include "core/model_derivatives.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <map>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "core/native_model.h"
#include "model_twins.h"

namespace kalvora {
namespace {

using Matrix = std::vector<double>;  // row-major
using Analytic = std::function<Matrix(const std::vector<double>& x, const std::vector<double>& p)>;

// A long comment after the function is beyond the compiler: the model then runs in the
// interpreter and its Jacobian is made by differences.
void MoveToInterpreter(Twin& twin) {
    ReplaceModel(twin.ws, [](ModelDefinition& model) {
        model.scriptText += "\r\n--[[ in the interpreter ]]";
        model.nativeModel.reset();
    });
    twin.makeEvaluator();
    ASSERT_EQ(0, twin.model->scriptStatus);
    ASSERT_FALSE(twin.model->nativeModel != nullptr && twin.model->nativeModel->covered());
}

std::vector<double> Parameters(const ModelEvaluator& ws) {
    std::vector<double> p;
    for (int j = 0; j < ws.model().parameterCount; ++j) {
        p.push_back(static_cast<double>(ws.parameterValues[j]));
    }
    return p;
}

// The Jacobians of the sample models, worked out by hand.
const std::map<std::string, Analytic>& SampleJacobians() {
    static const std::map<std::string, Analytic> jacobians = {
        {"circle.mod",
         [](const auto& x, const auto& p) {
             return Matrix{1 - p[1] * std::cos(2 * std::numbers::pi * x[0])};
         }},
        {"cubic.mod", [](const auto& x, const auto& p) { return Matrix{p[0] - 3 * x[0] * x[0]}; }},
        {"cubic_plane.mod",
         [](const auto& x, const auto& p) {
             return Matrix{p[0] - 3 * x[0] * x[0], 0, 0, 0.5};
         }},
        // x' = a x (1 - y), y' = x.
        {"delayed_logistic.mod",
         [](const auto& x, const auto& p) {
             return Matrix{p[0] * (1 - x[1]), -p[0] * x[0], 1, 0};
         }},
        {"henon.mod",
         [](const auto& x, const auto& p) {
             return Matrix{-2 * p[0] * x[0], 1, p[1], 0};
         }},
        {"henon_cycle.mod",
         [](const auto& x, const auto& p) {
             return Matrix{-2 * p[0] * x[0], 1, p[1], 0};
         }},
        {"logistic.mod",
         [](const auto& x, const auto& p) { return Matrix{p[0] * (1 - 2 * x[0])}; }},
        {"lorenz.mod",
         [](const auto& x, const auto& p) {
             return Matrix{-p[0], p[0], 0, p[1] - x[2], -1, -x[0], x[1], x[0], -p[2]};
         }},
        {"newmodel.mod",
         [](const auto&, const auto& p) {
             return Matrix{p[0], 1, 1, p[1]};
         }},
        {"rossler.mod",
         [](const auto& x, const auto& p) {
             return Matrix{0, -1, -1, 1, p[0], 0, x[2], 0, x[0] - p[2]};
         }},
        {"vanderpol.mod",
         [](const auto& x, const auto& p) {
             return Matrix{0, 1, -2 * p[0] * x[0] * x[1] - 1, p[0] * (1 - x[0] * x[0])};
         }},
    };
    return jacobians;
}

void ExpectClose(const Matrix& expected, const Matrix& actual, double relative,
                 const std::string& what) {
    ASSERT_EQ(expected.size(), actual.size()) << what;
    for (std::size_t k = 0; k < expected.size(); ++k) {
        EXPECT_NEAR(expected[k], actual[k], relative * std::max(1.0, std::fabs(expected[k])))
            << what << " entry " << k;
    }
}

// Every sample model, both ways: exact when compiled (to rounding), by differences in the
// interpreter (to 1e-7), at random states.
TEST(ModelDerivatives, SampleModelsMatchTheirHandWrittenJacobians) {
    std::mt19937_64 random(24);
    std::uniform_real_distribution<double> state(-1.5, 1.5);
    int checked = 0;
    for (const auto& entry : std::filesystem::directory_iterator(KALVORA_MODELS)) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".mod") {
            continue;
        }
        ASSERT_EQ(1u, SampleJacobians().count(name)) << "no hand-written Jacobian for " << name;
        const Analytic& analytic = SampleJacobians().at(name);
        for (const bool compiled : {true, false}) {
            Twin twin;
            UseFile(twin, entry.path().string());
            if (!compiled) {
                MoveToInterpreter(twin);
            }
            ModelDerivatives derivatives = MakeModelDerivatives(*twin.model);
            EXPECT_EQ(compiled ? DerivativeMethod::Exact : DerivativeMethod::FiniteDifference,
                      derivatives.method())
                << name;
            const int n = twin.ws.model().variableCount;
            for (int trial = 0; trial < 5; ++trial) {
                std::vector<double> x(n);
                for (double& value : x) {
                    value = state(random);
                }
                std::vector<double> fx(n);
                Matrix jacobian(static_cast<std::size_t>(n) * n);
                ASSERT_TRUE(derivatives.jacobian(x.data(), fx.data(), jacobian.data())) << name;
                ExpectClose(analytic(x, Parameters(*twin.model)), jacobian, compiled ? 1e-14 : 1e-7,
                            name + (compiled ? " exact" : " differences"));
                // The values are the model's own.
                StateVector in{};
                StateVector out{};
                std::copy(x.begin(), x.end(), in.begin());
                EvaluateModelOnce(*twin.model, in, out);
                for (int i = 0; i < n; ++i) {
                    EXPECT_EQ(static_cast<double>(out[i]), fx[i]) << name;
                }
            }
            ++checked;
        }
    }
    EXPECT_EQ(2 * static_cast<int>(SampleJacobians().size()), checked);
}

// Every operation and function the compiler takes, branches both ways, min and max, the two
// modulos and a power with a varying exponent: the dual numbers against central differences of
// the same model in the interpreter, to 1e-7 relative, at random states, with the Jacobian by
// the variables and the derivative by each parameter.
TEST(ModelDerivatives, DualNumbersAgreeWithDifferencesForEveryOperation) {
    struct Case {
        const char* name;
        const char* initial;
        const char* parameters;
        const char* body;
    };
    const Case cases[] = {
        {"arithmetic", "x=0.3,y=0.7", "a=1.3,b=0.4",
         "local u=x*y-a/(1+y*y)+b^2*x-(-y)\r\nx=u/(2+x*x)+x^3-(2+y)^-1\r\ny=u*a-b*y"},
        {"powers", "x=0.6,y=0.8", "a=1.7",
         "local p=(x+1)^y+math.pow(y+1,a)+a^x\r\nx=p\r\ny=(x*x+1)^0.5-2^y+x^2"},
        {"functions", "x=0.3,y=0.4", "a=1.1",
         "x=math.sin(x)+math.cos(y)+math.tan(x/4)+math.asin(x/2)+math.acos(y/2)+math.atan(x*a)"
         "+math.atan2(y,x)+math.sinh(x)+math.cosh(y)+math.tanh(x*y)\r\n"
         "y=math.exp(-x*x)+math.log(1+y*y)+math.log10(2+x)+math.sqrt(1+x*x)+math.deg(y)/50"
         "+math.rad(x)*a+math.abs(x-y)"},
        {"piecewise", "x=0.3,y=0.4", "a=0.7",
         "local f=math.floor(3*x)+math.ceil(2*y)\r\n"
         "local m=math.min(x,y*a,0.3)+math.max(x*x,y,-1)\r\n"
         "x=f+m+x%a+math.fmod(7*y,a)+(-x)%0.3\r\ny=math.fmod(-3*x,a)*y"},
        {"branches", "x=0.3,y=0.4", "a=2.9",
         "if x<0.5 and not (y>=0.9) or x==y then x=a*x*y elseif x~=0.75 then x=a-a*x "
         "else x=0.1 end\r\nif y>x then y=a*y*(1-y) else y=y*x end"},
    };
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> state(-0.9, 0.9);
    for (const Case& c : cases) {
        Twin exact;
        Twin differences;
        UseScript(exact, c.initial, c.parameters, c.body);
        UseScript(differences, c.initial, c.parameters, c.body, "\r\n--[[ ]]");
        ModelDerivatives dual = MakeModelDerivatives(*exact.model);
        ModelDerivatives central = MakeModelDerivatives(*differences.model);
        ASSERT_EQ(DerivativeMethod::Exact, dual.method()) << c.name;
        ASSERT_EQ(DerivativeMethod::FiniteDifference, central.method()) << c.name;
        const int n = exact.ws.model().variableCount;
        const int parameters = exact.ws.model().parameterCount;
        int compared = 0;
        for (int trial = 0; trial < 40; ++trial) {
            std::vector<double> x(n);
            for (double& value : x) {
                value = state(random);
            }
            std::vector<double> f1(n), f2(n);
            Matrix j1(static_cast<std::size_t>(n) * n), j2(j1.size());
            const bool ok1 = dual.jacobian(x.data(), f1.data(), j1.data());
            const bool ok2 = central.jacobian(x.data(), f2.data(), j2.data());
            if (!ok1 || !ok2) {
                continue;  // outside a function's domain
            }
            // Differences straddling a jump of floor, a branch or min see the jump, not the
            // derivative: those states tell nothing.
            bool nearJump = false;
            for (std::size_t k = 0; k < j1.size(); ++k) {
                nearJump = nearJump || std::fabs(j2[k]) > 1e4;
            }
            if (nearJump) {
                continue;
            }
            EXPECT_EQ(f1, f2) << c.name;
            ExpectClose(j1, j2, 1e-7, c.name);
            for (int p = 0; p < parameters; ++p) {
                std::vector<double> d1(n), d2(n);
                ASSERT_TRUE(dual.parameterDerivative(x.data(), p, f1.data(), d1.data()));
                ASSERT_TRUE(central.parameterDerivative(x.data(), p, f2.data(), d2.data()));
                ExpectClose(d1, d2, 1e-7, std::string(c.name) + " parameter");
            }
            ++compared;
        }
        EXPECT_GE(compared, 30) << c.name;
    }
}

// The parameter derivative, exact, against its closed form; and setParameter reaches the model.
TEST(ModelDerivatives, ParameterDerivativeOfTheHenonMap) {
    Twin twin;
    UseFile(twin, std::string(KALVORA_MODELS) + "/henon.mod");
    ModelDerivatives henon = MakeModelDerivatives(*twin.model);
    henon.setParameter(0, 1.2);
    const double x[] = {0.7, -0.3};
    double fx[2];
    double by[2];
    ASSERT_TRUE(henon.parameterDerivative(x, 0, fx, by));
    EXPECT_NEAR(1 - 1.2 * 0.49 - 0.3, fx[0], 1e-15);
    EXPECT_DOUBLE_EQ(-0.49, by[0]);
    EXPECT_EQ(0.0, by[1]);
    ASSERT_TRUE(henon.parameterDerivative(x, 1, fx, by));
    EXPECT_EQ(0.0, by[0]);
    EXPECT_DOUBLE_EQ(0.7, by[1]);
}

// Where the model has no finite derivative, or fails, there is no Jacobian rather than a wrong one.
TEST(ModelDerivatives, NoJacobianWhereTheModelHasNone) {
    struct Case {
        const char* body;
        double x;
    };
    const Case cases[] = {{"x=math.sqrt(x)", 0.0}, {"x=math.log(x)", 0.0}, {"x=1/x", 0.0}};
    for (const Case& c : cases) {
        for (const char* suffix : {"", "\r\n--[[ ]]"}) {
            Twin twin;
            UseScript(twin, "x=1", "a=1", c.body, suffix);
            ModelDerivatives derivatives = MakeModelDerivatives(*twin.model);
            double fx = 0;
            double jacobian = 0;
            EXPECT_FALSE(derivatives.jacobian(&c.x, &fx, &jacobian)) << c.body << suffix;
            EXPECT_FALSE(twin.model->errorFlag) << c.body;
            // Differences in a parameter leave the evaluator's own value as it was.
            const double at = 2;
            derivatives.parameterDerivative(&at, 0, &fx, &jacobian);
            EXPECT_EQ(1.0L, twin.model->parameterValues[0]) << c.body << suffix;
        }
    }
}

// For x' = A x, Kutta's step is exactly I + hA + (hA)^2/2 + (hA)^3/6 applied to x, so its
// Jacobian is that matrix to rounding. For Lorenz, the one-step Jacobian against differences of
// the program's own Runge-Kutta step in extended precision.
TEST(ModelDerivatives, RungeKuttaOneStepJacobian) {
    Twin linear;
    UseScript(linear, "x=1,y=0", "a=-0.5,w=2",
              "local dx=a*x-w*y\r\nlocal dy=w*x+a*y\r\nx=dx\r\ny=dy");
    ModelDerivatives flow = MakeModelDerivatives(*linear.model);
    const double h = 0.1;
    const double a[4] = {-0.5 * h, -2 * h, 2 * h, -0.5 * h};  // hA
    double a2[4];
    double a3[4];
    const auto multiply = [](const double* l, const double* r, double* out) {
        out[0] = l[0] * r[0] + l[1] * r[2];
        out[1] = l[0] * r[1] + l[1] * r[3];
        out[2] = l[2] * r[0] + l[3] * r[2];
        out[3] = l[2] * r[1] + l[3] * r[3];
    };
    multiply(a, a, a2);
    multiply(a2, a, a3);
    const double x[2] = {0.3, -1.1};
    double next[2];
    double jacobian[4];
    ASSERT_TRUE(RungeKuttaStepJacobian(flow, h, x, next, jacobian));
    for (int k = 0; k < 4; ++k) {
        const double expected = (k == 0 || k == 3 ? 1.0 : 0.0) + a[k] + a2[k] / 2 + a3[k] / 6;
        EXPECT_NEAR(expected, jacobian[k], 1e-15);
    }
    EXPECT_NEAR(jacobian[0] * x[0] + jacobian[1] * x[1], next[0], 1e-15);

    Twin lorenz;
    UseFile(lorenz, std::string(KALVORA_MODELS) + "/lorenz.mod");
    ModelDerivatives lorenzFlow = MakeModelDerivatives(*lorenz.model);
    const double start[3] = {1.5, -2.0, 20.0};
    const double step = static_cast<double>(lorenz.ws.model().stepSize);
    double after[3];
    double phi[9];
    ASSERT_TRUE(RungeKuttaStepJacobian(lorenzFlow, step, start, after, phi));
    const auto stepFrom = [&](int j, long double offset) {
        StateVector state{};
        std::copy(start, start + 3, state.begin());
        state[j] += offset;
        ModelStep(*lorenz.model, ModelKind::Continuous, state);
        return state;
    };
    const StateVector here = stepFrom(0, 0);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(static_cast<double>(here[i]), after[i], 1e-13);
    }
    const long double d = 1e-6L;
    for (int j = 0; j < 3; ++j) {
        const StateVector up = stepFrom(j, d);
        const StateVector down = stepFrom(j, -d);
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(static_cast<double>((up[i] - down[i]) / (2 * d)), phi[i * 3 + j], 1e-7)
                << i << "," << j;
        }
    }
}

}  // namespace
}  // namespace kalvora
