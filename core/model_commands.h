#pragma once

#include <optional>
#include <stdexcept>
#include <string>

#include "core/model_file.h"
#include "core/model_workspace.h"

namespace kalvora {

class ModelShell;
class Prompts;
class RunControl;

// The model commands of the main window and the model editor, without windows: captions and command
// enabling go through the shell, dialogs and error messages through the prompts. Script messages go
// to ws.prompts. Each returns false when it was cancelled or stopped by an error (already
// reported).

// Why a model was not accepted: the message the user sees and, for a script that does not compile,
// its Lua status (0 when a text did not parse).
struct ModelRefusal {
    std::string message;
    int scriptStatus = 0;
    // Lua's own message for a script that does not compile, placed on the equation line
    // ("line 3: ')' expected near 'end'"), and that line (0: none).
    std::string details;
    int line = 0;
};

// A refusal as an error, for the commands that end by throwing.
class ModelRefusedError : public std::runtime_error {
  public:
    explicit ModelRefusedError(const ModelRefusal& refusal)
        : std::runtime_error(refusal.message),
          scriptStatus(refusal.scriptStatus),
          details(refusal.details) {}
    int scriptStatus;
    std::string details;
};

// What checking a source gives: the definition to take, or why it cannot be taken.
struct ModelCheck {
    ModelDefinitionPtr definition;
    std::optional<ModelRefusal> refusal;
};

// Parses the source into a definition (keeping current's memory limit, name and file, and its
// step size for a discrete model) and compiles its script in an evaluator of its own, which runs
// the script's top level: on the desktop this runs on a worker, stopped through control. Touches
// nothing else.
ModelCheck CheckModel(const ModelSource& source, const ModelDefinition& current,
                      RunControl* control = nullptr);

// All of a model or none of it: CheckModel, and only when it succeeded the definition replaces the
// workspace's. A refusal leaves the workspace exactly as it was and is returned, not shown: the
// caller reports it. No window is touched.
// With a shell, the check runs through its runModelCheck (on the desktop, a job on a worker).
std::optional<ModelRefusal> AcceptModel(ModelWorkspace& ws, const ModelSource& source,
                                        ModelShell* shell = nullptr);

// Closes the model: kind Closed, no model file, caption "Kalvora", no variables or parameters (the
// lists keep their contents), model commands disabled, analysis windows closed.
void ResetModel(ModelWorkspace& ws, ModelShell& shell);

// The model becomes ready: noise goes off with the commands coming on.
void EnableModelCommands(ModelWorkspace& ws, ModelShell& shell);

// Load Model: asks for a file ("Load Model", starting in the models folder) and loads it.
bool LoadModel(ModelWorkspace& ws, ModelSource& source, ModelShell& shell, Prompts& prompts);

// Load Model from a known path: reset, read the file into the source, then AcceptModel. Throws the
// file errors and a refusal (ModelRefusedError) instead of reporting them; the batch tool uses it.
// After a refusal the model stays closed and the source holds the file's texts for correcting.
void LoadModelFromFile(ModelWorkspace& ws, ModelSource& source, ModelShell& shell,
                       const std::string& path);

// Save Model (main window): writes to modelFile, or asks for a file without remembering it.
bool SaveModel(ModelWorkspace& ws, const ModelSource& source, ModelShell& shell, Prompts& prompts);

// The editor's "&Save As...": asks, writes and remembers the file.
bool SaveModelAs(ModelWorkspace& ws, const ModelSource& source, ModelShell& shell,
                 Prompts& prompts);

// The editor's Save tool button: writes to modelFile, or acts as Save As.
bool SaveModelFromEditor(ModelWorkspace& ws, const ModelSource& source, ModelShell& shell,
                         Prompts& prompts);

// Build New Model: closes the model, puts the built-in model into the source and shows the editor.
void BuildNewModel(ModelWorkspace& ws, ModelSource& source, ModelShell& shell);

// The editor's OK: AcceptModel, then the commands and captions. A refusal is shown through the
// prompts and changes nothing. Returns true when the model was accepted (the editor closes). After
// a refused script, refusedLine (when given) receives the equation line Lua named, else 0.
bool AcceptModelSource(ModelWorkspace& ws, const ModelSource& source, ModelShell& shell,
                       Prompts& prompts, int* refusedLine = nullptr);

}  // namespace kalvora
