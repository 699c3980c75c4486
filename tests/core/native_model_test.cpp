#include "core/native_model.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "core/native_code.h"
#include "model_twins.h"

namespace kalvora {
namespace {

// A long comment after the function is beyond the compiler: the twin runs in the interpreter.
constexpr const char* kInterpreterOnly = "\r\n--[[ in the interpreter ]]";

bool Compiled(const ModelEvaluator& ws) {
    return ws.nativeModel != nullptr && ws.nativeModel->covered();
}

// The two ways a compiled model runs: its machine code (where the machine has a code generator)
// and the register program the code is made from.
enum class Path { MachineCode, RegisterProgram };
constexpr Path kPaths[] = {Path::MachineCode, Path::RegisterProgram};

std::string NameOf(Path path) {
    return path == Path::MachineCode ? " (machine code)" : " (register program)";
}

// Sends the twin's evaluator down the path; the machine code must be there when it can be.
void Take(Twin& twin, Path path) {
    if (path == Path::RegisterProgram) {
        twin.model->nativeCode.reset();
    } else if (NativeCode::Enabled()) {
        ASSERT_NE(nullptr, twin.model->nativeCode);
    }
}

void MoveToInterpreter(Twin& twin) {
    ReplaceModel(twin.ws, [](ModelDefinition& m) {
        m.scriptText += kInterpreterOnly;
        m.nativeModel.reset();
    });
    twin.makeEvaluator();
    ASSERT_EQ(0, twin.model->scriptStatus);
    ASSERT_FALSE(Compiled(*twin.model));
}

TEST(NativeModel, EverySampleModelGivesTheInterpretersNumbers) {
    for (const auto& entry : std::filesystem::directory_iterator(KALVORA_MODELS)) {
        if (entry.path().extension() != ".mod") {
            continue;
        }
        const std::string name = entry.path().filename().string();
        for (const std::int64_t steps : {1, 3000}) {
            Twin interpreter;
            UseFile(interpreter, entry.path().string());
            MoveToInterpreter(interpreter);
            const Outcome expected = StepByStep(interpreter, steps);
            for (const Path path : kPaths) {
                Twin machine;
                UseFile(machine, entry.path().string());
                Take(machine, path);
                EXPECT_TRUE(Compiled(*machine.model)) << name;
                const int slots =
                    machine.ws.model().variableCount + machine.ws.model().auxiliaryCount;
                const std::string what = name + NameOf(path);
                ExpectSame(expected, StepByStep(machine, steps), slots, what + " steps");
                ExpectSame(expected, Transient(machine, steps), slots, what + " transient");
            }
        }
    }
}

// Every operator, function and statement the compiler takes, and faults at chosen steps, some of
// them in values the model throws away: the interpreter's numbers, failing step and messages.
TEST(NativeModel, StatementsAndFaultsGiveTheInterpretersNumbers) {
    struct Case {
        const char* name;
        const char* initial;
        const char* parameters;
        const char* body;
        ModelKind kind = ModelKind::Discrete;
    };
    const Case cases[] = {
        {"functions", "x=0.3,y=-0.2", "a=1,b=2",
         "local s=math.sin(x)+math.cos(x)+math.tan(x/4)+math.asin(x/4)+math.acos(x/4)+math.atan(x)"
         "+math.atan2(x,y)\r\n"
         "local t=math.sinh(x/4)+math.cosh(x/4)+math.tanh(x)+math.exp(-x*x)+math.log(1+x*x)"
         "+math.log10(2+x)+math.sqrt(1+x*x)\r\n"
         "local u=math.floor(3*x)+math.ceil(2*y)+math.fmod(x*7,1.3)+math.deg(x)/100+math.rad(y)"
         "+math.pow(math.abs(x)+0.5,1.3)+math.min(x,y,0.3)+math.max(x,y,-0.2)+math.abs(y)\r\n"
         "x=math.sin(s+t+u)\r\ny=math.cos(s*t-u)*a/b*2"},
        {"operators and folding", "x=0.3", "a=0.7",
         "x=-x^2+2^-1*x-(3-2-1)+7%3*x/4+x%0.3+(-x)%a+2^0.5/10- -x/3+x^-0.5/9\r\n"
         "x=x-math.floor(x)+1e-3"},
        {"conditions", "x=0.3,y=0.4", "a=3.9",
         "if x<0.5 and not (y>=0.9) or x==y then x=1.9*x elseif x~=0.75 then x=1.9-1.9*x "
         "else x=0.1 end\r\ny=a*y*(1-y)\r\nif x>1 or x<=0 then x=x-math.floor(x) end"},
        {"swaps, shadowing and extra values", "x=0.3,y=0.6", "a=1.3",
         "x,y=y,x+a*y\r\nlocal x=x*0.5\r\nlocal p,q=y,x,1/x\r\ny=p-math.floor(p)\r\n"
         "x=q-math.floor(q)"},
        {"globals assigned before read", "x=0.25,y=0.2", "a=0.1,b=0.5",
         "g=a*x+y\r\nh=(g+b)^2\r\nx=h-math.floor(h)\r\ny=g-math.floor(g)"},
        {"a parameter assigned", "x=0.2", "a=3.9", "a=a*0.99\r\nx=a*x*(1-x)"},
        // The arguments are fresh at every call however they were assigned, also between the
        // four evaluations of a Runge-Kutta step.
        {"parameters assigned through min and max", "x=0.2,y=0.1", "a=3.9,b=0.5",
         "a=math.max(a*0.99,3.5)\r\nb=math.min(b,x)\r\nx=a*x*(1-x)\r\ny=b*y+x"},
        {"parameters assigned through min and max in a flow", "x=1,y=0.5", "a=1,b=2",
         "a=math.max(a*0.9,0.5)\r\nb=math.min(b*0.5,y+1)\r\nx=-a*x\r\ny=b-y",
         ModelKind::Continuous},
        {"power is right-associative", "x=0.3", "a=2",
         "x=x^0.5^a+2^-a^0.5/10\r\nx=x-math.floor(x)"},
        // The interpreter keeps one constant for 0 and -0, the one it meets first, a numeral on the
        // left of an operator after the right side.
        {"signed zeros", "x=0.5,y=0.5", "a=3.9",
         "local p=0.\r\ny=-0.\r\nlocal q=0*(-0*x)\r\nx=a*x*(1-x)+q+(-0)\r\n"
         "if x>=-0 then y=y*0+0 end\r\ny=y+math.min(-0,0)"},
        {"negative zero first", "x=0.5,y=0.5", "a=3.9",
         "y=-0*x\r\nlocal p=0\r\nx=a*x*(1-x)+p*0\r\ny=y+p"},
        {"folded overflow", "x=0", "", "local t=1/(1e308*10)\r\nx=x+1+t"},
        {"diverging map", "x=0.5", "r=4.5", "x=r*x*(1-x)"},
        {"discarded division by zero", "x=0", "", "local t=1/(x-2000)\r\nx=x+1"},
        {"discarded invalid", "x=0", "", "if x>2500 then local t=math.sqrt(-1) end\r\nx=x+1"},
        {"discarded overflow of folded numerals", "x=0", "",
         "local t=1/(1e200*math.pi*1e200)\r\nx=x+1"},
        {"infinity made without a fault", "x=0", "", "local t=math.huge*2\r\nx=x+1/t+1"},
        {"overflow of numerals the interpreter folds", "x=0", "", "local t=1e308*10\r\nx=x+1"},
        {"overflow to infinity", "x=1", "", "x=x*1.5"},
        {"infinite result", "x=0", "", "x=x+1\r\nif x>2000 then x=math.huge end"},
        {"logarithm of zero", "x=2900", "", "local y=math.log(2900-x)\r\nx=x-1"},
        {"NaN result", "x=0", "", "x=x+1\r\nif x>2700 then x=0/0 end"},
        {"parameter beyond double", "x=0", "p=1e400", "x=x+1"},
    };
    // The same statements as the rates of a flow, stepped by Kutta's method, whose stages and
    // Extended sums the machine code makes too.
    for (const ModelKind kind : {ModelKind::Discrete, ModelKind::Continuous}) {
        for (const Case& c : cases) {
            Twin interpreter;
            UseScript(interpreter, c.initial, c.parameters, c.body, kInterpreterOnly, kind);
            ASSERT_FALSE(Compiled(*interpreter.model)) << c.name;
            const Outcome expected = StepByStep(interpreter, 3000);
            for (const Path path : kPaths) {
                Twin machine;
                UseScript(machine, c.initial, c.parameters, c.body, "", kind);
                Take(machine, path);
                EXPECT_TRUE(Compiled(*machine.model)) << c.name;
                const int slots = machine.ws.model().variableCount;
                const std::string what = std::string(c.name) + NameOf(path) +
                                         (kind == ModelKind::Continuous ? " flow" : "");
                ExpectSame(expected, StepByStep(machine, 3000), slots, what + " steps");
                machine.prompts.errors.clear();
                ExpectSame(expected, Transient(machine, 3000), slots, what + " transient");
            }
        }
    }
}

// A function written by hand may return expressions rather than names, or a constant that is not
// finite, which fails the step.
TEST(NativeModel, ReturnedExpressionsGiveTheInterpretersNumbers) {
    for (const std::string script : {"function model(x, r)\nreturn r*x*(1-x), x^2 - r\nend",
                                     "function model(x, r)\nreturn r*x*(1-x), math.huge\nend",
                                     "function model(x, r)\nreturn math.huge, x\nend"}) {
        Twin interpreter;
        Twin machine;
        for (Twin* twin : {&interpreter, &machine}) {
            ModelDefinition model = ParseModelDefinition("x=0.3", "r=3.9", "k");
            model.scriptText = twin == &machine ? script : script + kInterpreterOnly;
            SetModelKind(model, ModelKind::Discrete);
            twin->ws.definition = ShareDefinition(std::move(model));
            twin->makeEvaluator();
        }
        ASSERT_TRUE(Compiled(*machine.model));
        ASSERT_FALSE(Compiled(*interpreter.model));
        const Outcome expected = StepByStep(interpreter, 2000);
        for (const Path path : kPaths) {
            machine.makeEvaluator();
            Take(machine, path);
            ExpectSame(expected, StepByStep(machine, 2000), 2, script + NameOf(path));
            machine.makeEvaluator();
            Take(machine, path);
            ExpectSame(expected, Transient(machine, 2000), 2, script + NameOf(path));
        }
    }
}

// Noise is added after each compiled step as after the interpreter's, from the same sequence.
TEST(NativeModel, NoisyRunsGiveTheInterpretersNumbers) {
    Twin interpreter;
    Twin machine;
    UseScript(interpreter, "x=0.2,y=0.1", "a=1.4,b=0.3", "local xn=1-a*x^2+y\r\ny=b*x\r\nx=xn",
              kInterpreterOnly);
    UseScript(machine, "x=0.2,y=0.1", "a=1.4,b=0.3", "local xn=1-a*x^2+y\r\ny=b*x\r\nx=xn");
    for (Twin* twin : {&interpreter, &machine}) {
        ReplaceModel(twin->ws, [](ModelDefinition& m) {
            m.noise.noiseOn = true;
            m.noise.noiseVariable = 2;
            m.noise.noiseLevel = 0.01L;
            m.noise.noiseProbability = 0.5L;
        });
        twin->ws.randomState.random.seed = 11;
        twin->makeEvaluator();
    }
    const Outcome expected = StepByStep(interpreter, 5000);
    ExpectSame(expected, Transient(machine, 5000), 2, "noise");
    EXPECT_EQ(interpreter.model->random.seed, machine.model->random.seed);
}

TEST(NativeModel, TakesOnlyWhatItCanComputeAsTheInterpreterDoes) {
    const struct {
        const char* body;
        bool covered;
    } cases[] = {
        {"x=a*x*(1-x)", true},
        {"x=x;;x=x*a -- a comment", true},
        {"if x>0 then g=1 else g=2 end\r\nx=x+g", true},
        {"local t\r\nt=1\r\nx=x+t", true},
        {"if x>0 then g=1 end\r\nx=x+g", false},  // g may be nil
        // An elseif is reached only when no branch before it ran: g is still nil there.
        {"local g\r\nif x>0.9 then g=1 elseif g>0 then x=0.5 end\r\nx=a*x*(1-x)", false},
        {"if x>0.9 then g=1 elseif g>0 then x=0.5 else g=2 end\r\nx=x+g", false},
        {"local g\r\nif x>0.9 then g=1 elseif x>0.5 then g=2 else g=3 end\r\nx=x+g", true},
        {"local t\r\nx=x+t", false},
        {"x=x+g\r\ng=2", false},  // the previous call's value
        {"c=(c or 0)+1\r\nx=x+c", false},
        {"x=x<1 and 1 or 2", false},
        {"x=(x<1)", false},
        {"if x then x=1 end", false},
        {"x,x=1,2", false},
        {"local p,q=x\r\nx=p", false},
        {"x=true", false},
        {"x=nil", false},
        {"for i=1,2 do x=x end", false},
        {"while x<0 do end", false},
        {"repeat x=x until true", false},
        {"do x=x end", false},
        {"if x>1 then return end", false},
        {"x=math.random()", false},
        {"x=math.log(x,10)", false},
        {"x=math.frexp(x)", false},
        {"x=math.sin", false},
        {"x=nosuch(x)", false},
        {"math=1\r\nx=x", false},
        {"model=1\r\nx=x", false},
        {"x='1'", false},
        {"x=#x", false},
        {"x=x..a", false},
        {"x={}", false},
        {"x=t[1]", false},
        {"x=0x10", false},
        {"x=1e999", false},
        {"x=x --[[ long comment ]]", false},
        {"local function f() end\r\nx=x", false},
    };
    for (const auto& c : cases) {
        const std::string script =
            std::string("function model (x,a)\r\n") + c.body + "\r\nreturn x\r\nend";
        EXPECT_EQ(c.covered, NativeModel::Compile(script)->covered()) << c.body;
    }
    EXPECT_FALSE(NativeModel::Compile("function model (x,x)\r\nreturn x\r\nend")->covered());
    // Nesting far beyond what the interpreter takes is refused, not followed down the stack.
    const std::string deep = "function model (x)\r\nx=" + std::string(100000, '(') + "x" +
                             std::string(100000, ')') + "\r\nreturn x\r\nend";
    EXPECT_FALSE(NativeModel::Compile(deep)->covered());
    const std::string minus =
        "function model (x)\r\nx=" + std::string(100000, '-') + "x\r\nreturn x\r\nend";
    EXPECT_FALSE(NativeModel::Compile(minus)->covered());
    std::string sum = "function model (x)\r\nx=x";
    for (int i = 0; i < 100000; ++i) {
        sum += "+x";
    }
    EXPECT_FALSE(NativeModel::Compile(sum + "\r\nreturn x\r\nend")->covered());
    EXPECT_FALSE(NativeModel::Compile("function model (x)\r\nreturn x\r\nend\r\nx=1")->covered());
}

// A stop request reaches a compiled model's steps as it reaches the interpreter's: the next step
// is the interpreter's, which reports the stop.
TEST(NativeModel, StopReachesCompiledSteps) {
    Twin twin;
    UseScript(twin, "x=0.2", "r=3.7", "x=r*x*(1-x)");
    ASSERT_TRUE(Compiled(*twin.model));
    StateVector state = twin.ws.model().initialValues;
    ModelStep(*twin.model, ModelKind::Discrete, state);
    ASSERT_FALSE(twin.model->errorFlag);
    twin.model->interrupt.request();
    ModelStep(*twin.model, ModelKind::Discrete, state);
    EXPECT_TRUE(twin.model->errorFlag);
    EXPECT_EQ(std::vector<std::string>{kModelStoppedMessage}, twin.prompts.errors);
}

// Nothing inside a step handles events any more: a long compiled run, as a transient or step by
// step, ends when another thread (Stop, Exit, a signal) requests the stop.
TEST(NativeModel, LongCompiledRunsStopFromAnotherThread) {
    Twin twin;
    UseScript(twin, "x=0.2", "r=3.7", "x=r*x*(1-x)");
    ASSERT_TRUE(Compiled(*twin.model));
    const auto stopSoon = [&] {
        return std::thread([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            twin.model->interrupt.request();
        });
    };
    StateVector state = twin.ws.model().initialValues;
    std::thread stopper = stopSoon();
    const std::int64_t steps = ModelTransient(*twin.model, ModelKind::Discrete, state, 1LL << 50);
    stopper.join();
    EXPECT_LT(steps, 1LL << 50);
    EXPECT_TRUE(twin.model->errorFlag);
    EXPECT_EQ(std::vector<std::string>{kModelStoppedMessage}, twin.prompts.errors);

    twin.model->interrupt.clear();
    twin.model->errorFlag = false;
    stopper = stopSoon();
    long long made = 0;
    for (; made < (1LL << 50) && !twin.model->errorFlag; ++made) {
        ModelStep(*twin.model, ModelKind::Discrete, state);
    }
    stopper.join();
    EXPECT_LT(made, 1LL << 50);
    EXPECT_TRUE(twin.model->errorFlag);
}

}  // namespace
}  // namespace kalvora
