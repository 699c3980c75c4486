#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/model_commands.h"
#include "core/model_definition.h"
#include "core/model_file.h"
#include "core/model_step.h"
#include "core/parameter_file.h"
#include "core/scripted_prompts.h"
#include "tests/core/test_support.h"

namespace kalvora {
namespace {

using testing::RecordingShell;
using testing::ScratchFolder;

const char* const kHenonEquations = "x1=1-a*x*x+y\r\ny=b*x\r\nx=x1\r\n";

// A workspace with the Hénon map accepted through the editor's OK.
struct AcceptingAModel : ::testing::Test {
    ModelWorkspace ws;
    ScriptedPrompts prompts;
    RecordingShell shell;
    ModelSource source;

    void SetUp() override {
        ws.prompts = &prompts;
        source.initialText = "x=0.1, y=0.1";
        source.parameterText = "a=1.4, b=0.3";
        source.auxiliaryText = "";
        source.equations = kHenonEquations;
        ASSERT_TRUE(AcceptModelSource(ws, source, shell, prompts));
    }

    // The state after one step from the initial values must be the Hénon map's.
    void expectHenonStep() {
        StateVector state = ws.model().initialValues;
        ModelEvaluator model(ws.definition, ws.randomState, &prompts);
        ModelStep(model, ws.model().kind, state);
        EXPECT_FALSE(model.errorFlag);
        EXPECT_DOUBLE_EQ(static_cast<double>(state[0]), 1 - 1.4 * 0.1 * 0.1 + 0.1);
        EXPECT_DOUBLE_EQ(static_cast<double>(state[1]), 0.3 * 0.1);
    }
};

TEST_F(AcceptingAModel, ARefusedOkChangesNothing) {
    struct Case {
        const char* what;
        void (*edit)(ModelSource&);
        std::string message;
    };
    const std::vector<Case> cases = {
        {"a third variable and a bad parameter",
         [](ModelSource& s) {
             s.initialText = "x=0.1, y=0.1, z=5";
             s.parameterText = "a=1.4, b=0.3x";
         },
         "'0.3x' is not a valid floating point value"},
        {"a continuous type whose step size is no number",
         [](ModelSource& s) {
             s.initialText = "x=0.1, y=0.1, z=5";
             s.discrete = false;
             s.stepSizeText = "fast";
         },
         "'fast' is not a valid floating point value"},
        {"equations that do not compile",
         [](ModelSource& s) {
             s.initialText = "x=0.1, y=0.1, z=5";
             s.equations = "x = = 1";
         },
         "Error in syntax"},
    };
    for (const Case& c : cases) {
        ModelSource edited = source;
        c.edit(edited);
        const std::string script = ws.model().scriptText;
        shell.calls.clear();
        prompts.errors.clear();
        EXPECT_FALSE(AcceptModelSource(ws, edited, shell, prompts)) << c.what;
        EXPECT_EQ(prompts.errors, std::vector<std::string>{c.message}) << c.what;
        EXPECT_TRUE(shell.calls.empty()) << c.what;
        EXPECT_EQ(ws.model().variableCount, 2) << c.what;
        EXPECT_EQ(ws.model().parameterCount, 2) << c.what;
        EXPECT_EQ(ws.model().initialValues[2], 0) << c.what;
        EXPECT_EQ(ws.model().kind, ModelKind::Discrete) << c.what;
        EXPECT_TRUE(ws.model().discrete) << c.what;
        EXPECT_EQ(ws.model().stepSize, 0.01L) << c.what;
        EXPECT_EQ(ws.model().scriptText, script) << c.what;
        EXPECT_EQ(ModelEvaluator(ws.definition).scriptStatus, 0) << c.what;
        expectHenonStep();
    }
}

TEST_F(AcceptingAModel, AnAcceptedOkReplacesTheWholeModel) {
    source.initialText = "x=0.5";
    source.parameterText = "r=3.7";
    source.equations = "x=r*x*(1-x)";
    source.discrete = false;
    source.stepSizeText = "0.05";
    ASSERT_TRUE(AcceptModelSource(ws, source, shell, prompts));
    EXPECT_EQ(ws.model().variableCount, 1);
    EXPECT_EQ(ws.model().parameterCount, 1);
    EXPECT_EQ(ws.model().kind, ModelKind::Continuous);
    EXPECT_FALSE(ws.model().discrete);
    EXPECT_EQ(ws.model().stepSize, 0.05L);
    EXPECT_EQ(ws.model().initialValues[1], 0);  // the old y
    EXPECT_EQ(ParameterFileText(ws), "x=0.5\r\nr=3.7\r\n0.05\r\n");

    // Back to discrete: the step size in force stays, as the parameter window shows it later.
    source.discrete = true;
    ASSERT_TRUE(AcceptModelSource(ws, source, shell, prompts));
    EXPECT_EQ(ws.model().kind, ModelKind::Discrete);
    EXPECT_TRUE(ws.model().discrete);
    EXPECT_EQ(ws.model().stepSize, 0.05L);
    EXPECT_EQ(ParameterFileText(ws), "x=0.5\r\nr=3.7\r\n");
}

TEST(LoadModelFromFile, AuxiliaryVariablesStartAtZeroWhateverModelCameBefore) {
    ScratchFolder folder;
    folder.write("lorenz.mod",
                 "x=1, y=1, z=1\r\nsigma=10, r=28, b=2.66666666666667\r\n\r\nc 0.01\r\n"
                 "local dx=sigma*(y-x)\r\nlocal dy=x*(r-z)-y\r\nlocal dz=x*y-b*z\r\n"
                 "x=dx\r\ny=dy\r\nz=dz\r\n");
    folder.write("vanderpol.mod",
                 "x=2, y=0\r\nmu=1\r\nelapsed\r\nc 0.01\r\nlocal dx=y\r\n"
                 "local dy=mu*(1-x^2)*y-x\r\nx=dx\r\ny=dy\r\nelapsed=1\r\n");
    ModelWorkspace fresh;
    ModelWorkspace reused;
    ModelSource source;
    RecordingShell shell;
    LoadModelFromFile(reused, source, shell, folder.file("lorenz.mod"));
    LoadModelFromFile(reused, source, shell, folder.file("vanderpol.mod"));
    LoadModelFromFile(fresh, source, shell, folder.file("vanderpol.mod"));
    EXPECT_EQ(reused.model().initialValues[2], 0);
    StateVector a = reused.model().initialValues;
    StateVector b = fresh.model().initialValues;
    ModelEvaluator reusedModel(reused.definition);
    ModelEvaluator freshModel(fresh.definition);
    for (int n = 0; n < 10; ++n) {
        ModelStep(reusedModel, reused.model().kind, a);
        ModelStep(freshModel, fresh.model().kind, b);
    }
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(a[i], b[i]) << i;
    }
    EXPECT_NEAR(static_cast<double>(a[2]), 0.1, 1e-15);
}

TEST(LoadModelFromFile, ARefusedFileLeavesTheModelClosedWithItsTextsInTheSource) {
    ScratchFolder folder;
    folder.write("syntax.mod", "x=1\r\nr=2\r\n\r\nc 0.1\r\nx==r\r\n");
    ModelWorkspace ws;
    ModelSource source;
    RecordingShell shell;
    try {
        LoadModelFromFile(ws, source, shell, folder.file("syntax.mod"));
        ADD_FAILURE() << "accepted";
    } catch (const ModelRefusedError& error) {
        EXPECT_STREQ(error.what(), "Error in syntax");
        EXPECT_EQ(error.scriptStatus, 3);
    }
    EXPECT_EQ(ws.model().kind, ModelKind::Closed);
    EXPECT_EQ(ws.model().modelFile, "");
    EXPECT_EQ(source.equations, "x==r\r\n");
    EXPECT_FALSE(source.discrete);
    EXPECT_EQ(ws.model().stepSize, 0.01L);
}

}  // namespace
}  // namespace kalvora
