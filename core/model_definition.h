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

// "x=0.25, y=0.2": names and values from index 0, the number of entries into count. Spaces are
// ignored everywhere, a second "=" inside a value is dropped and a final "," adds no entry. A bad
// value throws ConversionError, an entry without "=" or more than 200 entries DefinitionError; on
// any failure names, values and count are left as they were.
void ParseAssignmentList(const std::string& text, NameList& names, ValueList& values,
                         std::int32_t& count);

// "k,l": names stored from firstIndex on, the number of entries into count. Two commas in a row
// give an empty name. Throws DefinitionError, changing nothing, when the names would pass entry
// 200.
void ParseNameList(const std::string& text, NameList& names, int firstIndex, std::int32_t& count);

// Parses the three definition texts into the workspace (initial values, parameters, auxiliary names
// after the variables) and takes the default copies. A failure stops at the failing list: the lists
// parsed before it keep their new contents, the later ones and the default copies their old. More
// than 200 variables and auxiliary variables together are refused before anything is stored.
void AcceptModelDefinition(ModelWorkspace& ws, const std::string& initialText,
                           const std::string& parameterText, const std::string& auxiliaryText);

// Closes the model: kind Closed, no model file, caption "Kalvora", no variables or parameters (the
// lists keep their contents), model commands disabled, analysis windows closed.
void ResetModel(ModelWorkspace& ws, ModelShell& shell);

}  // namespace kalvora
