#include "core/model_commands.h"

#include <exception>

#include "core/model_definition.h"
#include "core/model_shell.h"
#include "core/model_step.h"
#include "core/numbers.h"
#include "core/prompts.h"
#include "core/text_file.h"

namespace kalvora {
namespace {

Prompts::FileRequest ModelSaveRequest(const ModelWorkspace& ws, const std::string& filter) {
    Prompts::FileRequest request;
    request.title = "Save Model As";
    request.folder = ws.programFolder + "models/";
    request.filter = filter;
    request.defaultExtension = "mod";
    return request;
}

// The model becomes ready: noise goes off with the commands coming on.
void EnableModelCommands(ModelWorkspace& ws, ModelShell& shell) {
    ws.noise.noiseOn = false;
    shell.enableModelCommands();
}

// The step size of a continuous model, read before the model commands are enabled: a step-size
// text that is no number must stop the command while the analyses are still disabled, since the
// model's kind does not become ready and they would run a closed model.
Extended StepSizeFromSource(const ModelWorkspace& ws, const std::string& stepSizeText) {
    return ws.discrete ? ws.stepSize : ParseFloat(stepSizeText);
}

void SetKind(ModelWorkspace& ws, Extended stepSize) {
    if (ws.discrete) {
        ws.kind = ModelKind::Discrete;
    } else {
        ws.stepSize = stepSize;
        ws.kind = ModelKind::Continuous;
    }
}

}  // namespace

void LoadModelFromFile(ModelWorkspace& ws, ModelSource& source, ModelShell& shell,
                       const std::string& path) {
    ResetModel(ws, shell);
    ws.dataFolder = FolderOf(path);
    ReadModelFile(ws, source, shell, path);
    shell.setEditModelEnabled(true);
    AcceptModelDefinition(ws, source.initialText, source.parameterText, source.auxiliaryText);
    BuildModelScript(ws, source.equations);
    const Extended stepSize = StepSizeFromSource(ws, source.stepSizeText);
    EnableModelCommands(ws, shell);
    SetKind(ws, stepSize);
    ws.modelFile = path;
    CompileModelScript(ws);
}

bool LoadModel(ModelWorkspace& ws, ModelSource& source, ModelShell& shell, Prompts& prompts) {
    Prompts::FileRequest request;
    request.title = "Load Model";
    request.folder = ws.programFolder + "models/";
    request.filter = "*.mod|*.mod";
    request.defaultExtension = "mod";
    const auto path = prompts.chooseOpenFile(request);
    if (!path) {
        return false;
    }
    return ReportingErrors(prompts, [&] { LoadModelFromFile(ws, source, shell, *path); });
}

bool SaveModel(ModelWorkspace& ws, const ModelSource& source, ModelShell& shell, Prompts& prompts) {
    if (!ws.modelFile.empty()) {
        return ReportingErrors(prompts, [&] { WriteModelFile(source, ws.modelFile); });
    }
    const auto path = prompts.chooseSaveFile(ModelSaveRequest(ws, "Model (*.mod)|*.mod"));
    if (!path) {
        return false;
    }
    return ReportingErrors(prompts, [&] {
        WriteModelFile(source, *path);
        ws.modelName = ModelNameFromPath(*path);
        shell.setMainCaption("Kalvora - " + ws.modelName);
        shell.setEditorCaption(ws.modelName);
    });
}

bool SaveModelAs(ModelWorkspace& ws, const ModelSource& source, ModelShell& shell,
                 Prompts& prompts) {
    const auto path = prompts.chooseSaveFile(ModelSaveRequest(ws, "*.mod|*.mod"));
    if (!path) {
        return false;
    }
    return ReportingErrors(prompts, [&] {
        WriteModelFile(source, *path);
        ws.modelFile = *path;
        ws.modelName = ModelNameFromPath(*path);
        shell.setEditorCaption(ws.modelName);
    });
}

bool SaveModelFromEditor(ModelWorkspace& ws, const ModelSource& source, ModelShell& shell,
                         Prompts& prompts) {
    if (!ws.modelFile.empty()) {
        return ReportingErrors(prompts, [&] { WriteModelFile(source, ws.modelFile); });
    }
    return SaveModelAs(ws, source, shell, prompts);
}

void BuildNewModel(ModelWorkspace& ws, ModelSource& source, ModelShell& shell) {
    ResetModel(ws, shell);
    ws.modelName = "Newmodel";
    SetNewModelSource(source);
    ws.discrete = true;
    shell.showEditor();
    shell.setMainCaption("Kalvora - Newmodel");
    shell.setEditorCaption("Newmodel");
}

bool AcceptModelSource(ModelWorkspace& ws, const ModelSource& source, ModelShell& shell,
                       Prompts& prompts) {
    return ReportingErrors(prompts,
                           [&] {
                               ws.discrete = source.discrete;
                               AcceptModelDefinition(ws, source.initialText, source.parameterText,
                                                     source.auxiliaryText);
                               const Extended stepSize =
                                   StepSizeFromSource(ws, source.stepSizeText);
                               EnableModelCommands(ws, shell);
                               SetKind(ws, stepSize);
                               shell.setMainCaption("Kalvora - " + ws.modelName);
                               shell.setSaveModelEnabled(true);
                               shell.setEditModelEnabled(true);
                               BuildModelScript(ws, source.equations);
                               CompileModelScript(ws);
                           }) &&
           ws.scriptStatus == 0;
}

}  // namespace kalvora
