#include "core/model_commands.h"

#include <lua.hpp>

#include <exception>
#include <functional>
#include <vector>

#include "core/model_definition.h"
#include "core/model_shell.h"
#include "core/model_step.h"
#include "core/numbers.h"
#include "core/prompts.h"
#include "core/run_control.h"
#include "core/script_lines.h"
#include "core/text_file.h"
#include "core/undefined_names.h"

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

namespace {

// Which text of the source a definition error came from: the texts read again one by one, in the
// order the definition reads them.
int FailedText(const ModelSource& source) {
    NameList names{};
    ValueList values{};
    std::int32_t count = 0;
    const auto fails = [](auto read) {
        try {
            read();
            return false;
        } catch (const std::exception&) {
            return true;
        }
    };
    if (fails([&] { ParseAssignmentList(source.initialText, names, values, count); })) {
        return 0;
    }
    if (fails([&] { ParseAssignmentList(source.parameterText, names, values, count); })) {
        return 1;
    }
    if (!source.discrete && fails([&] { ParseFloat(source.stepSizeText); })) {
        return 3;
    }
    // The auxiliary names, alone or by making too many state slots with the variables.
    return 2;
}

}  // namespace

const char* SourceTextCaption(int failedText) {
    static const char* const kCaptions[] = {
        "Initial values:", "Parameters:", "Auxil. plot vars:", "Stepsize Runge Kutta :"};
    return failedText >= 0 && failedText < 4 ? kCaptions[failedText] : "";
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
        return {nullptr, ModelRefusal{error.what(), 0, {}, 0, FailedText(source)}};
    } catch (const DefinitionError& error) {
        return {nullptr, ModelRefusal{error.what(), 0, {}, 0, FailedText(source)}};
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
    // A name nothing defines would pass the compiler and fail only when its line runs, as nil and
    // without a place; it is refused here like a syntax error, on its line.
    std::vector<std::string> known = LibraryNames();
    known.insert(known.end(), candidate->variableNames.begin(),
                 candidate->variableNames.begin() + candidate->variableCount);
    known.insert(known.end(), candidate->parameterNames.begin(),
                 candidate->parameterNames.begin() + candidate->parameterCount);
    known.emplace_back("model");  // the function itself, which the script defines
    if (const std::optional<UndefinedName> undefined = FindUndefinedName(source.equations, known)) {
        return {nullptr, ModelRefusal{EvaluationMessage(LUA_ERRRUN), LUA_ERRSYNTAX,
                                      UndefinedNameDetail(*undefined), undefined->line}};
    }
    return {std::move(candidate), std::nullopt};
}

std::optional<ModelRefusal> AcceptModel(ModelWorkspace& ws, const ModelSource& source,
                                        ModelShell* shell,
                                        const std::function<void()>& beforeTaking) {
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
    if (beforeTaking) {
        beforeTaking();
    }
    ws.definition = std::move(check.definition);
    return std::nullopt;
}

void LoadModelFromFile(ModelWorkspace& ws, ModelSource& source, ModelShell& shell,
                       const std::string& path) {
    // Read and compiled beside the model in force: a file that cannot be read, is no model or
    // does not compile leaves that model, its windows and the editor's texts as they were.
    ModelSource read = source;
    ReadModelSource(path, read);
    const std::optional<ModelRefusal> refusal =
        AcceptModel(ws, read, &shell, [&] { ResetModel(ws, shell); });
    if (refusal) {
        // A file whose definition lines do not parse is no model file; a script that does not
        // compile is the user's to correct in the editor, when no model in force would be lost.
        if (ws.model().kind != ModelKind::Closed || refusal->failedText >= 0) {
            throw ModelRefusedError(*refusal);
        }
        ResetModel(ws, shell);
    }
    ws.dataFolder = FolderOf(path);
    ReplaceModel(ws, [&](ModelDefinition& model) { model.modelName = ModelNameFromPath(path); });
    shell.setMainCaption("Kalvora - " + ws.model().modelName);
    shell.setEditorCaption(ws.model().modelName);
    source = read;
    shell.setEditModelEnabled(true);
    if (refusal) {
        throw ModelRefusedError(*refusal);
    }
    EnableModelCommands(ws, shell);
    ReplaceModel(ws, [&](ModelDefinition& model) { model.modelFile = path; });
}

bool LoadModel(ModelWorkspace& ws, ModelSource& source, ModelShell& shell, Prompts& prompts) {
    Prompts::FileRequest request;
    request.title = "Load Model";
    request.folder = ws.programFolder + "models/";
    request.filter = kModelFileFilter;
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
    const auto path = prompts.chooseSaveFile(ModelSaveRequest(ws, kModelFileFilter));
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
    const auto path = prompts.chooseSaveFile(ModelSaveRequest(ws, kModelFileFilter));
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
        // A text that did not parse is named by its field, as the user sees it.
        const std::string field = SourceTextCaption(refusal->failedText);
        prompts.detailedError(field.empty() ? refusal->message : field + " " + refusal->message,
                              refusal->details);
        return false;
    }
    EnableModelCommands(ws, shell);
    shell.setMainCaption("Kalvora - " + ws.model().modelName);
    shell.setSaveModelEnabled(true);
    shell.setEditModelEnabled(true);
    return true;
}

}  // namespace kalvora
