#include "core/model_commands.h"

#include <exception>

#include "core/model_definition.h"
#include "core/model_shell.h"
#include "core/model_step.h"
#include "core/numbers.h"
#include "core/prompts.h"
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

// The model becomes ready: noise goes off with the commands coming on.
void EnableModelCommands(ModelWorkspace& ws, ModelShell& shell) {
    ws.noise.noiseOn = false;
    shell.enableModelCommands();
}

}  // namespace

std::optional<ModelRefusal> AcceptModel(ModelWorkspace& ws, const ModelSource& source) {
    ModelDefinition definition;
    try {
        definition = DefinitionFromSource(source, ws.stepSize);
    } catch (const ConversionError& error) {
        return ModelRefusal{error.what(), 0, {}, 0};
    } catch (const DefinitionError& error) {
        return ModelRefusal{error.what(), 0, {}, 0};
    }
    // Compiled apart from the workspace, which keeps running its own model until this succeeded.
    ModelRuntime candidate;
    candidate.memoryLimit = ws.memoryLimit;
    // A stop of the workspace's model reaches the candidate's top level too.
    const FollowingInterrupt following(candidate.interrupt, ws.interrupt);
    candidate.variableCount = definition.variableCount;
    candidate.parameterCount = definition.parameterCount;
    candidate.auxiliaryCount = definition.auxiliaryCount;
    candidate.scriptText = definition.scriptText;
    CompileModelScript(candidate);
    if (candidate.scriptStatus != 0) {
        // The recorded message says more than the status (a stop, a limit of the interpreter).
        ModelRefusal refusal{candidate.recordedMessage.empty()
                                 ? CompileMessage(candidate.scriptStatus)
                                 : candidate.recordedMessage,
                             candidate.scriptStatus,
                             {},
                             0};
        refusal.details = candidate.recordedDetails;
        if (refusal.details.empty()) {
            refusal.details = ScriptErrorDetail(candidate.luaState, candidate.scriptText);
        }
        refusal.line = EquationLineOf(refusal.details);
        return refusal;
    }
    StoreDefinitionValues(ws, definition);
    ws.stepSize = definition.stepSize;
    SetModelKind(ws, definition.kind);
    ws.scriptText = std::move(definition.scriptText);
    ws.scriptStatus = 0;
    // The candidate closes the old state when it goes.
    SwapModelStates(ws, candidate);
    return std::nullopt;
}

void LoadModelFromFile(ModelWorkspace& ws, ModelSource& source, ModelShell& shell,
                       const std::string& path) {
    ResetModel(ws, shell);
    ws.dataFolder = FolderOf(path);
    ReadModelFile(ws, source, shell, path);
    shell.setEditModelEnabled(true);
    if (const std::optional<ModelRefusal> refusal = AcceptModel(ws, source)) {
        throw ModelRefusedError(*refusal);
    }
    EnableModelCommands(ws, shell);
    ws.modelFile = path;
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
    shell.showEditor();
    shell.setMainCaption("Kalvora - Newmodel");
    shell.setEditorCaption("Newmodel");
}

bool AcceptModelSource(ModelWorkspace& ws, const ModelSource& source, ModelShell& shell,
                       Prompts& prompts, int* refusedLine) {
    if (refusedLine != nullptr) {
        *refusedLine = 0;
    }
    if (const std::optional<ModelRefusal> refusal = AcceptModel(ws, source)) {
        if (refusedLine != nullptr) {
            *refusedLine = refusal->line;
        }
        prompts.detailedError(refusal->message, refusal->details);
        return false;
    }
    EnableModelCommands(ws, shell);
    shell.setMainCaption("Kalvora - " + ws.modelName);
    shell.setSaveModelEnabled(true);
    shell.setEditModelEnabled(true);
    return true;
}

}  // namespace kalvora
