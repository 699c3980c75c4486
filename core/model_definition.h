#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "core/model_workspace.h"

namespace kalvora {

class ModelShell;

// A definition text that cannot be read (an entry without "=", too many entries). The message names
// the offending entry.
class DefinitionError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

using NameList = std::array<std::string, kModelListCapacity>;
using ValueList = std::array<Extended, kModelListCapacity>;

// "x=0.25, y=0.2": names and values from index 0, the number of entries into count. Spaces around
// a name or value are ignored and a final "," adds no entry. A bad value (also one holding a space
// or a second "=") throws ConversionError, an entry without "=", a name holding a space or more
// than 200 entries DefinitionError; on any failure names, values and count are left as they were.
void ParseAssignmentList(const std::string& text, NameList& names, ValueList& values,
                         std::int32_t& count);

// "k,l": names stored from firstIndex on, the number of entries into count. Two commas in a row
// give an empty name. Throws DefinitionError, changing nothing, when a name holds a space or the
// names would pass entry 200.
void ParseNameList(const std::string& text, NameList& names, int firstIndex, std::int32_t& count);

// One model as the user defined it, parsed: what the workspace takes when the model is accepted.
// Built whole before anything is stored, so that a definition that fails anywhere (a bad value, a
// step size that is no number, a script that does not compile) leaves the loaded model as it was.
// The values are also the definition's defaults, which the parameter window's Default restores.
struct ModelDefinition {
    std::int32_t variableCount = 0;
    std::int32_t parameterCount = 0;
    std::int32_t auxiliaryCount = 0;
    NameList variableNames{};  // the variables, then the auxiliary variables
    NameList parameterNames{};
    ValueList initialValues{};  // zero beyond the variables
    ValueList parameterValues{};
    ModelKind kind = ModelKind::Discrete;  // Discrete or Continuous
    Extended stepSize = 0.01L;
    std::string scriptText;
};

// The three definition texts (initial values, parameters, auxiliary names) as a definition of kind
// Discrete without a script. Throws ConversionError or DefinitionError; more than 200 variables
// and auxiliary variables together, a name twice in one list, and a name that is both a variable
// and a parameter are refused.
ModelDefinition ParseModelDefinition(const std::string& initialText,
                                     const std::string& parameterText,
                                     const std::string& auxiliaryText);

// The workspace takes the definition's names, counts and values, the default copies too. Every
// state slot beyond the variables starts at 0: a run copies all of initialValues into its state, so
// an auxiliary variable would otherwise start from what the previous model left in its slot (an
// integrated auxiliary would not start at 0 where a fresh program's does).
void StoreDefinitionValues(ModelWorkspace& ws, const ModelDefinition& definition);

// ParseModelDefinition, then StoreDefinitionValues: all of it or, when a text fails, nothing.
void AcceptModelDefinition(ModelWorkspace& ws, const std::string& initialText,
                           const std::string& parameterText, const std::string& auxiliaryText);

// The one place where the kind in force changes. `discrete` follows it (true unless Continuous), so
// that what the analyses read for their time axis is always the kind ModelStep runs.
void SetModelKind(ModelWorkspace& ws, ModelKind kind);

// Closes the model: kind Closed, no model file, caption "Kalvora", no variables or parameters (the
// lists keep their contents), model commands disabled, analysis windows closed.
void ResetModel(ModelWorkspace& ws, ModelShell& shell);

}  // namespace kalvora
