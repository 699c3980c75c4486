#pragma once

#include <string>

#include "core/model_file.h"
#include "core/model_workspace.h"

namespace kalvora {

class ModelShell;
class Prompts;

// The model commands of the main window and the model editor, without windows: captions and command
// enabling go through the shell, dialogs and error messages through the prompts. Script messages go
// to ws.prompts. Each returns false when it was cancelled or stopped by an error (already
// reported).

// Load Model: asks for a file ("Load Model", starting in the models folder) and loads it.
bool LoadModel(ModelWorkspace& ws, ModelSource& source, ModelShell& shell, Prompts& prompts);

// Load Model from a known path: reset, read, parse, build and compile the script. Throws the
// conversion, definition and file errors instead of reporting them; the batch tool uses it.
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

// The editor's OK: parse, kind and step size, captions and commands, script and compile. Returns
// true when the editor should close (the script compiled).
bool AcceptModelSource(ModelWorkspace& ws, const ModelSource& source, ModelShell& shell,
                       Prompts& prompts);

}  // namespace kalvora
