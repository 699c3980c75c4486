#include <gtest/gtest.h>
#include <lua.hpp>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "core/model_commands.h"
#include "core/model_definition.h"
#include "core/model_purity.h"
#include "core/model_shell.h"
#include "core/model_step.h"
#include "core/scripted_prompts.h"
#include "model_twins.h"

namespace kalvora {
namespace {

TEST(ModelTransient, EverySampleModelAsStepByStep) {
    for (const auto& entry : std::filesystem::directory_iterator(KALVORA_MODELS)) {
        if (entry.path().extension() != ".mod") {
            continue;
        }
        for (const std::int64_t steps : {0, 1, 2, 4095, 4096, 4097, 20000}) {
            Twin one;
            Twin batch;
            UseFile(one, entry.path().string());
            UseFile(batch, entry.path().string());
            const int slots = one.ws.model().variableCount + one.ws.model().auxiliaryCount;
            ExpectSame(StepByStep(one, steps), Transient(batch, steps), slots,
                       entry.path().filename().string() + " " + std::to_string(steps));
        }
    }
}

// Faults at chosen steps, inside the first batch and beyond it, some of them in results the model
// throws away; models that keep state in globals; results that are no number.
TEST(ModelTransient, FaultsAndGlobalsAsStepByStep) {
    struct Case {
        const char* name;
        const char* initial;
        const char* parameters;
        const char* body;
        bool stateless;
    };
    const Case cases[] = {
        {"diverging map", "x=0.5", "r=4.5", "x=r*x*(1-x)", true},
        {"discarded division by zero", "x=0", "", "local t=1/(x-5000)\r\nx=x+1", true},
        {"discarded invalid", "x=0", "", "if x>6000 then local t=math.sqrt(-1) end\r\nx=x+1", true},
        {"overflow to infinity", "x=1", "", "x=x*1.5", true},
        // A comparison as a value is beyond the compiler's reading, so the steps go one by one.
        {"not a number", "x=0", "", "x=x+1\r\nif x>4500 then x=x<0 end", false},
        {"Lua error", "x=0", "", "x=x+1\r\nif x>300 then x=x+nosuch end", true},
        {"logarithm of zero", "x=9000", "", "local y=math.log(9000-x)\r\nx=x-1", true},
        {"NaN result", "x=0", "", "x=x+1\r\nif x>7000 then x=0/0 end", true},
        {"parameter beyond double", "x=0", "p=1e400", "x=x+1", true},
        {"global counter", "x=0", "", "c=(c or 0)+1\r\nx=x+c", false},
        {"global read before write", "x=0", "", "x=x+(g or 1)\r\ng=2", false},
        {"two variables", "x=0.1,y=0.2", "a=1.4,b=0.3", "local xn=1-a*x*x+y\r\ny=b*x\r\nx=xn",
         true},
    };
    for (const Case& c : cases) {
        Twin one;
        Twin batch;
        UseScript(one, c.initial, c.parameters, c.body);
        UseScript(batch, c.initial, c.parameters, c.body);
        EXPECT_EQ(c.stateless, ModelIsStateless(one.ws.model().scriptText)) << c.name;
        ExpectSame(StepByStep(one, 12000), Transient(batch, 12000), 1, c.name);
        // The next run starts from the same state of the interpreter as well.
        one.prompts.errors.clear();
        batch.prompts.errors.clear();
        ExpectSame(StepByStep(one, 5000), Transient(batch, 5000), 1,
                   std::string(c.name) + " again");
    }
}

// The batch loop made for one set of counts is not used for another model of other counts.
TEST(ModelTransient, CountsChangedWithANewModel) {
    Twin one;
    Twin batch;
    for (Twin* twin : {&one, &batch}) {
        UseScript(*twin, "x=0.2", "r=3.7", "x=r*x*(1-x)");
    }
    ExpectSame(StepByStep(one, 5000), Transient(batch, 5000), 1, "one parameter");
    for (Twin* twin : {&one, &batch}) {
        ReplaceModel(twin->ws, [](ModelDefinition& m) {
            m.scriptText = "function model (x,r,s)\r\nx=r*x*(1-x)*s\r\nreturn x\r\nend";
            m.nativeModel.reset();
            m.parameterCount = 2;
            m.parameterValues[1] = 0.999L;
        });
        twin->makeEvaluator();
    }
    ExpectSame(StepByStep(one, 5000), Transient(batch, 5000), 1, "two parameters");
}

TEST(ModelTransient, NoiseAsStepByStep) {
    Twin one;
    Twin batch;
    for (Twin* twin : {&one, &batch}) {
        UseScript(*twin, "x=0.2", "r=3.7", "x=r*x*(1-x)");
        ReplaceModel(twin->ws, [](ModelDefinition& m) {
            m.noise.noiseOn = true;
            m.noise.noiseType = 1;
            m.noise.noiseLevel = 0.001L;
            m.noise.noiseProbability = 1;
        });
        twin->ws.randomState.random.seed = 7;
        twin->makeEvaluator();
    }
    ExpectSame(StepByStep(one, 9000), Transient(batch, 9000), 1, "noise");
    EXPECT_EQ(one.model->random.seed, batch.model->random.seed);
}

TEST(ModelIsStateless, ReadsTheStatementsConservatively) {
    const struct {
        const char* body;
        bool stateless;
    } cases[] = {
        {"x=r*x*(1-x)", true},
        {"local a,b=x,r\r\nx=a*b -- a comment", true},
        {"if x>1 then x=1 elseif x<0 then x=0 else x=x*r end", true},
        {"x=math.sin(x)+math.pi*math.max(x,r)", true},
        {"if x>1 then local t=1 end\r\nt=2\r\nx=x", false},  // t is a global after the block
        // Stateless though not compiled: reading the nil g fails the same way at every call.
        {"local g\r\nif x>0.9 then g=1 elseif g>0 then x=0.5 end\r\nx=r*x*(1-x)", true},
        {"if x>0.9 then g=1 elseif g>0 then x=0.5 end\r\nx=r*x*(1-x)", false},
        {"x=x+1\r\ny=2", false},
        {"math.pi=3\r\nx=x", false},
        {"x=math.random(1)", false},
        {"x=print(x)", false},
        {"x=#x", false},
        {"x='1'", false},
        {"for i=1,2 do x=x end", false},
        {"while true do end", false},
        {"local f=function() end\r\nx=x", false},
        {"x=(loadstring)('return 1')()", false},
        {"x=t[1]", false},
        {"x=x --[[ long\r\ncomment ]]", false},
        {"x=x..r", false},
        {"setmetatable(_G,{})\r\nx=x", false},
    };
    for (const auto& c : cases) {
        const std::string script =
            std::string("function model (x,r)\r\n") + c.body + "\r\nreturn x\r\nend";
        EXPECT_EQ(c.stateless, ModelIsStateless(script)) << c.body;
    }
    EXPECT_FALSE(ModelIsStateless("x=1"));
}

// A transient that would run for hours stops when asked, from another thread, inside a batch.
TEST(ModelTransient, StopReachesARunawayTransient) {
    Twin twin;
    UseScript(twin, "x=0.2", "r=3.7", "x=r*x*(1-x)");
    ASSERT_TRUE(ModelIsStateless(twin.ws.model().scriptText));
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        twin.model->interrupt.request();
    });
    StateVector state = twin.ws.model().initialValues;
    const auto start = std::chrono::steady_clock::now();
    const std::int64_t steps = ModelTransient(*twin.model, ModelKind::Discrete, state, 1LL << 50);
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_LT(steps, 1LL << 50);
    EXPECT_TRUE(twin.model->errorFlag);
    EXPECT_EQ(std::vector<std::string>{kModelStoppedMessage}, twin.prompts.errors);
}

}  // namespace
}  // namespace kalvora
