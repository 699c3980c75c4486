#pragma once

#include <string>

#include "core/model_definition.h"

namespace kalvora {

class ModelShell;

// The model editor's texts and type: the program's copy of the model's source. The workspace holds
// only what was parsed from it.
struct ModelSource {
    std::string initialText;    // "x=0.25, y=0.2"
    std::string parameterText;  // "a=0.1, b=0.5"
    std::string auxiliaryText;  // "k,l"
    std::string equations;      // Lua statements, lines ending in CR LF
    bool discrete = true;
    std::string stepSizeText = "0.01";
};

// The built-in new model (the step-size text is left as it was).
void SetNewModelSource(ModelSource& source);

// The file name without its folder and without its last four characters ("lorenz.mod" -> "lorenz").
std::string ModelNameFromPath(const std::string& path);

// Fills source from a model file: three definition lines, the type line ("d", or "c" and the
// step-size text after two characters), then the equations. Once the file is open, both captions
// show the model's name, even when reading fails. The empty line that closes a file
// written by WriteModelFile is not read back as an equation line. Throws FileError.
void ReadModelFile(ModelSource& source, ModelShell& shell, const std::string& path);

// The file text of a source; WriteModelFile writes exactly this.
std::string ModelFileText(const ModelSource& source);

// Writes the source (accepted or not) as a model file, CR LF line ends. Throws FileError.
void WriteModelFile(const ModelSource& source, const std::string& path);

// scriptText := the Lua function model built from the definition's names and the equations.
void BuildModelScript(ModelDefinition& definition, const std::string& equations);

// The whole definition of a source: the three texts parsed, the kind, the step size (the step-size
// text for a continuous model; discreteStepSize, the one in force, for a discrete one) and the
// script. Throws ConversionError or DefinitionError.
ModelDefinition DefinitionFromSource(const ModelSource& source, Extended discreteStepSize);

}  // namespace kalvora
