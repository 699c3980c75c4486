#include "core/model_file.h"

#include <algorithm>

#include <gtest/gtest.h>

#include "core/model_commands.h"
#include "core/model_definition.h"
#include "core/model_step.h"
#include "core/numbers.h"
#include "core/scripted_prompts.h"
#include "tests/core/test_support.h"

namespace kalvora {
namespace {

using testing::AcceptModelDefinition;
using testing::RecordingShell;
using testing::ScratchFolder;

const char* const kNewModelFile =
    "x=0.25, y=0.2\r\na=0.1, b=0.5\r\nk,l\r\nd\r\n"
    "x1=a*x+y\r\ny1=b*y+x\r\nk=x+y\r\nl=(x+y)^2\r\nx=x1\r\ny=y1\r\n\r\n";

TEST(ModelFile, NewModelWrittenByteForByte) {
    ModelSource source;
    SetNewModelSource(source);
    EXPECT_EQ(ModelFileText(source), kNewModelFile);
    source.discrete = false;
    EXPECT_EQ(ModelFileText(source).substr(34, 8), "c 0.01\r\n");

    // Equations typed without a line break after the last one still end the file with an empty
    // line, which reads back as the same equations.
    source.discrete = true;
    source.equations = "x1=a*x+y\r\ny1=b*y+x\r\nk=x+y\r\nl=(x+y)^2\r\nx=x1\r\ny=y1";
    EXPECT_EQ(ModelFileText(source), kNewModelFile);
    source.equations.clear();
    EXPECT_EQ(ModelFileText(source), "x=0.25, y=0.2\r\na=0.1, b=0.5\r\nk,l\r\nd\r\n\r\n");
}

TEST(ModelFile, RepeatedLoadAndSaveLeavesTheFileUnchanged) {
    ScratchFolder folder;
    folder.write("m.mod", kNewModelFile);
    ModelWorkspace ws;
    NullModelShell shell;
    ModelSource source;
    for (int cycle = 0; cycle < 3; ++cycle) {
        ReadModelFile(source, shell, folder.file("m.mod"));
        WriteModelFile(source, folder.file("m.mod"));
        EXPECT_EQ(folder.read("m.mod"), kNewModelFile);
    }
    ModelSource expected;
    SetNewModelSource(expected);
    EXPECT_EQ(source.equations, expected.equations);
    EXPECT_EQ(folder.entries(), 1u);  // no temporary file left behind
}

TEST(ModelFile, ReadsForeignLineEndsAndShortFiles) {
    ScratchFolder folder;
    ModelWorkspace ws;
    RecordingShell shell;
    ModelSource source;
    folder.write("lf.mod", "x=1\na=2\n\nc0.01\nx=a\ny=2");
    ReadModelFile(source, shell, folder.file("lf.mod"));
    EXPECT_EQ(source.initialText, "x=1");
    EXPECT_FALSE(source.discrete);
    EXPECT_TRUE(ws.model().discrete);  // the type read belongs to the source until it is accepted
    EXPECT_EQ(source.stepSizeText, ".01");  // the first two characters go, whatever they are
    EXPECT_EQ(ParseFloat(source.stepSizeText), 0.01L);
    EXPECT_EQ(source.equations, "x=a\r\ny=2\r\n");

    folder.write("upper.mod", "x=1\r\na=1\r\n\r\nC 0.5\r\n");
    source.stepSizeText = "0.2";
    ReadModelFile(source, shell, folder.file("upper.mod"));
    EXPECT_TRUE(source.discrete);
    EXPECT_EQ(source.stepSizeText, "0.2");
    EXPECT_EQ(source.equations, "");

    folder.write("short.mod", "x=1\r\n");
    ReadModelFile(source, shell, folder.file("short.mod"));
    EXPECT_EQ(source.parameterText, "");
    EXPECT_TRUE(ws.model().discrete);
    EXPECT_EQ(shell.mainCaption, "Kalvora - short");
    EXPECT_EQ(shell.editorCaption, "short");

    // A byte-order mark from an editor that saves UTF-8 must not end up in the first name.
    folder.write("marked.mod", "\xEF\xBB\xBFx=1\r\na=2\r\n\r\nd\r\nx=a*x\r\n");
    ReadModelFile(source, shell, folder.file("marked.mod"));
    EXPECT_EQ(source.initialText, "x=1");
}

TEST(ModelFile, ModelNameDropsFolderAndLastFourCharacters) {
    EXPECT_EQ(ModelNameFromPath("/models/lorenz.mod"), "lorenz");
    EXPECT_EQ(ModelNameFromPath("lorenzmodel"), "lorenzm");
    EXPECT_EQ(ModelNameFromPath("a.mo"), "");
}

TEST(ModelFile, ScriptText) {
    ModelWorkspace ws;
    AcceptModelDefinition(ws, "x=0.25, y=0.2", "a=0.1, b=0.5", "k,l");
    ModelSource source;
    SetNewModelSource(source);
    ReplaceModel(ws, [&](ModelDefinition& m) { BuildModelScript(m, source.equations); });
    EXPECT_EQ(ws.model().scriptText,
              "function model (x,y,a,b)\r\n"
              "x1=a*x+y\r\ny1=b*y+x\r\nk=x+y\r\nl=(x+y)^2\r\nx=x1\r\ny=y1\r\n"
              "\r\nreturn x,y,k,l\r\nend");
    AcceptModelDefinition(ws, "x=1,y=2", "", "");
    ReplaceModel(ws, [&](ModelDefinition& m) { BuildModelScript(m, "x=y\ny=x"); });
    EXPECT_EQ(ws.model().scriptText, "function model (x,y)\r\nx=y\r\ny=x\r\nreturn x,y\r\nend");
}

TEST(ModelCommands, LoadModelRunsTheWholeSequence) {
    ScratchFolder folder;
    folder.write("newmodel.mod", kNewModelFile);
    ModelWorkspace ws;
    ScriptedPrompts prompts;
    ws.prompts = &prompts;
    ReplaceModel(ws, [&](ModelDefinition& m) { m.noise.noiseOn = true; });
    RecordingShell shell;
    ModelSource source;
    prompts.answerOpen(folder.file("newmodel.mod"));
    ASSERT_TRUE(LoadModel(ws, source, shell, prompts));
    EXPECT_EQ(prompts.openRequests.at(0).title, "Load Model");
    EXPECT_EQ(prompts.openRequests.at(0).folder, ws.programFolder + "models/");
    EXPECT_EQ(ws.model().kind, ModelKind::Discrete);
    EXPECT_EQ(ws.model().modelFile, folder.file("newmodel.mod"));
    EXPECT_EQ(ws.dataFolder, folder.file(""));
    EXPECT_FALSE(ws.model().noise.noiseOn);
    EXPECT_EQ(ModelEvaluator(ws.definition).scriptStatus, 0);
    EXPECT_EQ(shell.calls, (std::vector<std::string>{"main:Kalvora", "disable", "close", "disable",
                                                     "main:Kalvora - newmodel", "editor:newmodel",
                                                     "edit+", "enable"}));
    StateVector state = ws.model().initialValues;
    ModelEvaluator model(ws.definition, ws.randomState, &prompts);
    ModelStep(model, ws.model().kind, state);
    EXPECT_DOUBLE_EQ(static_cast<double>(state[3]), 0.2025);
    EXPECT_TRUE(prompts.errors.empty());

    // Cancel changes nothing.
    ReplaceModel(ws, [&](ModelDefinition& m) { m.kind = ModelKind::Discrete; });
    EXPECT_FALSE(LoadModel(ws, source, shell, prompts));
    EXPECT_EQ(ws.model().kind, ModelKind::Discrete);
}

TEST(ModelCommands, LoadModelFailures) {
    ScratchFolder folder;
    ModelWorkspace ws;
    ScriptedPrompts prompts;
    ws.prompts = &prompts;
    NullModelShell shell;
    ModelSource source;

    prompts.answerOpen(folder.file("missing.mod"));
    EXPECT_FALSE(LoadModel(ws, source, shell, prompts));
    ASSERT_EQ(prompts.errors.size(), 1u);
    EXPECT_NE(prompts.errors[0].find("missing.mod"), std::string::npos);
    EXPECT_EQ(ws.model().kind, ModelKind::Closed);

    prompts.answerOpen(folder.file(""));  // a folder is not an empty model
    EXPECT_FALSE(LoadModel(ws, source, shell, prompts));
    EXPECT_EQ(prompts.errors.size(), 2u);

    folder.write("badstep.mod", "x=1\r\n\r\n\r\nc fast\r\nx=1\r\n");
    prompts.answerOpen(folder.file("badstep.mod"));
    RecordingShell recording;
    EXPECT_FALSE(LoadModel(ws, source, recording, prompts));
    EXPECT_EQ(prompts.errors.back(), "'fast' is not a valid floating point value");
    EXPECT_EQ(ws.model().kind, ModelKind::Closed);
    EXPECT_EQ(ModelEvaluator(ws.definition).scriptStatus, 0);
    // The model did not become ready, so its commands stay disabled: enabled, they would run a
    // closed model and show a flat orbit as if it were the result.
    EXPECT_EQ(std::count(recording.calls.begin(), recording.calls.end(), "enable"), 0);
    EXPECT_EQ(recording.calls.back(), "edit+");

    folder.write("syntax.mod", "x=1\r\n\r\n\r\nd\r\nx = = 1\r\n");
    prompts.answerOpen(folder.file("syntax.mod"));
    EXPECT_FALSE(LoadModel(ws, source, shell, prompts));
    EXPECT_EQ(prompts.errors.back(), "Error in syntax");
    EXPECT_EQ(ws.model().kind,
              ModelKind::Closed);  // refused: the editor holds the texts to correct
}

TEST(ModelCommands, SaveCommandsAndCaptions) {
    ScratchFolder folder;
    ModelWorkspace ws;
    ScriptedPrompts prompts;
    RecordingShell shell;
    ModelSource source;
    BuildNewModel(ws, source, shell);
    EXPECT_EQ(ws.model().modelName, "Newmodel");
    EXPECT_EQ(shell.mainCaption, "Kalvora - Newmodel");
    EXPECT_EQ(ws.model().kind, ModelKind::Closed);

    // Main window Save Model without a file: asks every time and does not remember.
    prompts.answerSave(folder.file("first.mod"));
    ASSERT_TRUE(SaveModel(ws, source, shell, prompts));
    EXPECT_EQ(prompts.saveRequests.back().title, "Save Model As");
    EXPECT_EQ(prompts.saveRequests.back().filter, "Model (*.mod)|*.mod");
    EXPECT_EQ(folder.read("first.mod"), kNewModelFile);
    EXPECT_EQ(ws.model().modelFile, "");
    EXPECT_EQ(shell.mainCaption, "Kalvora - first");
    EXPECT_FALSE(SaveModel(ws, source, shell, prompts));  // asked again, cancelled

    // Editor Save As remembers the file but leaves the main caption.
    prompts.answerSave(folder.file("second.mod"));
    ASSERT_TRUE(SaveModelAs(ws, source, shell, prompts));
    EXPECT_EQ(ws.model().modelFile, folder.file("second.mod"));
    EXPECT_EQ(shell.editorCaption, "second");
    EXPECT_EQ(shell.mainCaption, "Kalvora - first");
    source.auxiliaryText = "";
    const std::size_t asked = prompts.saveRequests.size();
    ASSERT_TRUE(SaveModelFromEditor(ws, source, shell, prompts));
    EXPECT_EQ(prompts.saveRequests.size(), asked);
    EXPECT_EQ(folder.read("second.mod").substr(0, 32), "x=0.25, y=0.2\r\na=0.1, b=0.5\r\n\r\nd");
}

TEST(ModelCommands, AcceptModelSource) {
    ModelWorkspace ws;
    ScriptedPrompts prompts;
    ws.prompts = &prompts;
    RecordingShell shell;
    ModelSource source;
    BuildNewModel(ws, source, shell);
    shell.calls.clear();
    EXPECT_TRUE(AcceptModelSource(ws, source, shell, prompts));
    EXPECT_EQ(ws.model().kind, ModelKind::Discrete);
    EXPECT_EQ(shell.calls,
              (std::vector<std::string>{"enable", "main:Kalvora - Newmodel", "save+", "edit+"}));

    source.equations = "x = = 1";
    EXPECT_FALSE(AcceptModelSource(ws, source, shell, prompts));
    EXPECT_EQ(prompts.errors, std::vector<std::string>{"Error in syntax"});

    source.discrete = false;
    source.stepSizeText = "0,1";
    source.equations = "x=1";
    EXPECT_FALSE(AcceptModelSource(ws, source, shell, prompts));
    EXPECT_EQ(prompts.errors.back(), "'0,1' is not a valid floating point value");
    EXPECT_EQ(ws.model().kind, ModelKind::Discrete);

    // A new model whose step size is no number is not enabled: its kind stays Closed.
    BuildNewModel(ws, source, shell);
    source.discrete = false;
    source.stepSizeText = "fast";
    shell.calls.clear();
    EXPECT_FALSE(AcceptModelSource(ws, source, shell, prompts));
    EXPECT_EQ(prompts.errors.back(), "'fast' is not a valid floating point value");
    EXPECT_EQ(ws.model().kind, ModelKind::Closed);
    EXPECT_TRUE(shell.calls.empty());
    source.stepSizeText = "0.5";
    EXPECT_TRUE(AcceptModelSource(ws, source, shell, prompts));
    EXPECT_EQ(ws.model().kind, ModelKind::Continuous);
    EXPECT_EQ(ws.model().stepSize, 0.5L);
}

}  // namespace
}  // namespace kalvora
