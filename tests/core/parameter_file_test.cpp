#include "core/parameter_file.h"

#include <gtest/gtest.h>

#include "core/model_definition.h"
#include "core/numbers.h"
#include "core/scripted_prompts.h"
#include "tests/core/test_support.h"

namespace kalvora {
namespace {

using testing::AcceptModelDefinition;
using testing::ScratchFolder;

TEST(ParameterFile, WrittenTextForDiscreteAndContinuousModels) {
    ModelWorkspace ws;
    AcceptModelDefinition(ws, "x=0.25, y=0.2", "a=0.1, b=0.5", "k,l");
    EXPECT_EQ(ParameterFileText(ws), "x=0.25, y=0.2\r\na=0.1, b=0.5\r\n");
    ReplaceModel(ws, [&](ModelDefinition& m) { m.discrete = false; });
    EXPECT_EQ(ParameterFileText(ws), "x=0.25, y=0.2\r\na=0.1, b=0.5\r\n0.01\r\n");
    AcceptModelDefinition(ws, "x=1e-7", "", "");
    ReplaceModel(ws, [&](ModelDefinition& m) { m.discrete = true; });
    EXPECT_EQ(ParameterFileText(ws), "x=1E-7\r\n\r\n");
}

TEST(ParameterFile, StoreThenLoadRestoresValues) {
    ScratchFolder folder;
    ModelWorkspace ws;
    AcceptModelDefinition(ws, "x=0.123456789012345, y=-2.5", "a=1.4, b=0.3", "");
    ReplaceModel(ws, [&](ModelDefinition& m) { m.discrete = false; });
    ReplaceModel(ws, [&](ModelDefinition& m) { m.stepSize = 0.005L; });
    ScriptedPrompts prompts;
    prompts.answerSave(folder.file("p.par"));
    ASSERT_TRUE(StoreParameters(ws, prompts));
    EXPECT_EQ(prompts.saveRequests[0].title, "Save Parameters As");
    EXPECT_EQ(prompts.saveRequests[0].filter, "Parameters file (*.par)|*.par");

    ReplaceModel(ws, [&](ModelDefinition& m) { m.initialValues[0] = 9; });
    ReplaceModel(ws, [&](ModelDefinition& m) { m.parameterValues[1] = 9; });
    ReplaceModel(ws, [&](ModelDefinition& m) { m.stepSize = 9; });
    prompts.answerOpen(folder.file("p.par"));
    ASSERT_TRUE(LoadParameters(ws, prompts));
    EXPECT_EQ(prompts.openRequests[0].title, "Load Parameters");
    EXPECT_EQ(ws.model().initialValues[0], ParseFloat("0.123456789012345"));
    EXPECT_EQ(ws.model().parameterValues[1], ParseFloat("0.3"));
    EXPECT_EQ(ws.model().stepSize, ParseFloat("0.005"));

    // The same file after a round through an editor that marks UTF-8 loads the same.
    WriteTextFile(folder.file("marked.par"), "\xEF\xBB\xBF" + ReadTextFile(folder.file("p.par")));
    ReplaceModel(ws, [&](ModelDefinition& m) { m.parameterValues[1] = 9; });
    prompts.answerOpen(folder.file("marked.par"));
    ASSERT_TRUE(LoadParameters(ws, prompts));
    EXPECT_EQ(ws.model().parameterValues[1], ParseFloat("0.3"));
}

TEST(ParameterFile, ModelWithoutParametersReadsBackEmpty) {
    ScratchFolder folder;
    ModelWorkspace ws;
    AcceptModelDefinition(ws, "x=2", "", "");
    WriteParameterFile(ws, folder.file("p.par"));
    EXPECT_EQ(folder.read("p.par"), "x=2\r\n\r\n");
    ReplaceModel(ws, [&](ModelDefinition& m) { m.initialValues[0] = 0; });
    ReadParameterFile(ws, folder.file("p.par"));
    EXPECT_EQ(ws.model().parameterCount, 0);
    EXPECT_EQ(ws.model().initialValues[0], 2);
}

TEST(ParameterFile, ForeignNamesAreRefusedAndChangeNothing) {
    ScratchFolder folder;
    ModelWorkspace ws;
    AcceptModelDefinition(ws, "x=1, y=2", "a=3", "");
    folder.write("swapped.par", "y=5, x=6\r\na=7\r\n0.5\r\n");
    folder.write("fewer.par", "x=5\r\na=7\r\n");
    folder.write("more.par", "x=5, y=6, z=7\r\na=7\r\n");
    folder.write("moreparameters.par", "x=5, y=6\r\na=7, b=8\r\n");
    folder.write("bad.par", "x=5, y=6\r\na=seven\r\n");
    for (const char* name : {"swapped.par", "fewer.par", "more.par", "moreparameters.par"}) {
        try {
            ReadParameterFile(ws, folder.file(name));
            ADD_FAILURE() << name;
        } catch (const ParameterFileError& error) {
            EXPECT_NE(std::string(error.what()).find(name), std::string::npos);
        }
    }
    EXPECT_THROW(ReadParameterFile(ws, folder.file("bad.par")), ConversionError);
    EXPECT_EQ(ws.model().initialValues[0], 1);
    EXPECT_EQ(ws.model().initialValues[1], 2);
    EXPECT_EQ(ws.model().variableNames[0], "x");
    EXPECT_EQ(ws.model().parameterValues[0], 3);
    EXPECT_EQ(ws.model().stepSize, 0.01L);

    ScriptedPrompts prompts;
    prompts.answerOpen(folder.file("swapped.par"));
    EXPECT_FALSE(LoadParameters(ws, prompts));
    EXPECT_EQ(prompts.errors.size(), 1u);
    prompts.answerOpen(folder.file("nothere.par"));
    EXPECT_FALSE(LoadParameters(ws, prompts));
    EXPECT_EQ(prompts.errors.size(), 2u);
}

}  // namespace
}  // namespace kalvora
