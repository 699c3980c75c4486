#include "core/model_commands.h"

#include <exception>

#include "core/model_definition.h"
#include "core/model_shell.h"
#include "core/model_step.h"
#include "core/numbers.h"
#include "core/prompts.h"
#include "core/run_control.h"
#include "core/script_lines.h"
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

}  // namespace

void EnableModelCommands(ModelWorkspace& ws, ModelShell& shell) {
    if (ws.model().noise.noiseOn) {
        ReplaceModel(ws, [](ModelDefinition& model) { model.noise.noiseOn = false; });
    }
    shell.enableModelCommands();
}

void ResetModel(ModelWorkspace& ws, ModelShell& shell) {
    ReplaceModel(ws, [](ModelDefinition& model) {
        SetModelKind(model, ModelKind::Closed);
        model.modelFile.clear();
        model.variableCount = 0;
        model.parameterCount = 0;
    });
    shell.setMainCaption("Kalvora");
    shell.disableModelCommands();
    shell.closeAnalysisWindows();
}

ModelCheck CheckModel(const ModelSource& source, const ModelDefinition& current,
                      RunControl* control) {
    ModelDefinition definition;
    try {
        definition = DefinitionFromSource(source, current.stepSize);
    } catch (const ConversionError& error) {
        return {nullptr, ModelRefusal{error.what(), 0, {}, 0}};
    } catch (const DefinitionError& error) {
        return {nullptr, ModelRefusal{error.what(), 0, {}, 0}};
    }
    definition.memoryLimit = current.memoryLimit;
    definition.modelName = current.modelName;
    definition.modelFile = current.modelFile;
    definition.noise = current.noise;
    ModelDefinitionPtr candidate = ShareDefinition(std::move(definition));
    const ModelEvaluator check(candidate, {}, nullptr, control);
    if (check.scriptStatus != 0) {
        // The recorded message says more than the status (a stop, a limit of the interpreter).
        ModelRefusal refusal{check.recordedMessage.empty() ? CompileMessage(check.scriptStatus)
                                                           : check.recordedMessage,
                             check.scriptStatus,
                             {},
                             0};
        refusal.details = check.recordedDetails;
        if (refusal.details.empty()) {
            refusal.details = ScriptErrorDetail(check.luaState, candidate->scriptText);
        }
        refusal.line = EquationLineOf(refusal.details);
        return {nullptr, std::move(refusal)};
    }
    return {std::move(candidate), std::nullopt};
}

std::optional<ModelRefusal> AcceptModel(ModelWorkspace& ws, const ModelSource& source,
                                        ModelShell* shell) {
    ModelCheck check;
    const auto run = [&](RunControl* control) { check = CheckModel(source, ws.model(), control); };
    if (shell == nullptr) {
        run(nullptr);
    } else if (!shell->runModelCheck(run)) {
        return ModelRefusal{"Another computation is running; the model was not changed", 0, {}, 0};
    }
    if (check.refusal) {
        return check.refusal;
    }
    ws.definition = std::move(check.definition);
    return std::nullopt;
}

void LoadModelFromFile(ModelWorkspace& ws, ModelSource& source, ModelShell& shell,
                       const std::string& path) {
    ResetModel(ws, shell);
    ws.dataFolder = FolderOf(path);
    ReplaceModel(ws, [&](ModelDefinition& model) { model.modelName = ModelNameFromPath(path); });
    ReadModelFile(source, shell, path);
    shell.setEditModelEnabled(true);
    if (const std::optional<ModelRefusal> refusal = AcceptModel(ws, source, &shell)) {
        throw ModelRefusedError(*refusal);
    }
    EnableModelCommands(ws, shell);
    ReplaceModel(ws, [&](ModelDefinition& model) { model.modelFile = path; });
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
    if (!ws.model().modelFile.empty()) {
        return ReportingErrors(prompts, [&] { WriteModelFile(source, ws.model().modelFile); });
    }
    const auto path = prompts.chooseSaveFile(ModelSaveRequest(ws, "Model (*.mod)|*.mod"));
    if (!path) {
        return false;
    }
    return ReportingErrors(prompts, [&] {
        WriteModelFile(source, *path);
        ReplaceModel(ws,
                     [&](ModelDefinition& model) { model.modelName = ModelNameFromPath(*path); });
        shell.setMainCaption("Kalvora - " + ws.model().modelName);
        shell.setEditorCaption(ws.model().modelName);
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
        ReplaceModel(ws, [&](ModelDefinition& model) {
            model.modelFile = *path;
            model.modelName = ModelNameFromPath(*path);
        });
        shell.setEditorCaption(ws.model().modelName);
    });
}

bool SaveModelFromEditor(ModelWorkspace& ws, const ModelSource& source, ModelShell& shell,
                         Prompts& prompts) {
    if (!ws.model().modelFile.empty()) {
        return ReportingErrors(prompts, [&] { WriteModelFile(source, ws.model().modelFile); });
    }
    return SaveModelAs(ws, source, shell, prompts);
}

void BuildNewModel(ModelWorkspace& ws, ModelSource& source, ModelShell& shell) {
    ResetModel(ws, shell);
    ReplaceModel(ws, [](ModelDefinition& model) { model.modelName = "Newmodel"; });
    SetNewModelSource(source);
    shell.showEditor();
    shell.setMainCaption("Kalvora - Newmodel");
    shell.setEditorCaption("Newmodel");
}

bool AcceptModelSource(ModelWorkspace& ws, const ModelSource& source, ModelShell& shell,
                       Prompts& prompts, int* refusedLine) {
    if (refusedLine != nullptr) {
        *refusedLine = 0;
    }
    if (const std::optional<ModelRefusal> refusal = AcceptModel(ws, source, &shell)) {
        if (refusedLine != nullptr) {
            *refusedLine = refusal->line;
        }
        prompts.detailedError(refusal->message, refusal->details);
        return false;
    }
    EnableModelCommands(ws, shell);
    shell.setMainCaption("Kalvora - " + ws.model().modelName);
    shell.setSaveModelEnabled(true);
    shell.setEditModelEnabled(true);
    return true;
}

}  // namespace kalvora
