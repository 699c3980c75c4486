#pragma once

#include <stdexcept>
#include <string>

#include "core/model_workspace.h"

namespace kalvora {

class Prompts;

// The parameter file text: "x=0.25, y=0.2" (initial values), "a=0.1, b=0.5" (parameters), and for a
// continuous model the step size, numbers with up to 15 significant digits, CR LF line ends.
std::string ParameterFileText(const ModelWorkspace& ws);

// Writes ParameterFileText. Throws FileError.
void WriteParameterFile(const ModelWorkspace& ws, const std::string& path);

// Reads initial values, parameter values and (when the third line is not empty) the step size. The
// file must name the loaded model's variables and parameters in the same order, since the compiled
// model receives its values by position; otherwise, and on any bad number, nothing is changed.
// Throws ParameterFileError, ConversionError, DefinitionError or FileError.
void ReadParameterFile(ModelWorkspace& ws, const std::string& path);

class ParameterFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The main window's "&Store parameters..." and "&Load parameters...": the file dialog starting in
// dataFolder, then the file; errors are shown through the prompts. False when cancelled or failed.
bool StoreParameters(const ModelWorkspace& ws, Prompts& prompts);
bool LoadParameters(ModelWorkspace& ws, Prompts& prompts);

}  // namespace kalvora
