#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "core/integration.h"
#include "core/lua_sandbox.h"
#include "core/model_types.h"

namespace kalvora {

class ModelShell;
class NativeModel;
struct ModelWorkspace;

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

// One model as the user defined it: names, counts, kind, step size, values, noise and the script
// with its compiled program. Once shared (ModelDefinitionPtr) it never changes: every run makes
// the evaluators it needs from it (ModelEvaluator, one per thread), and a change the user makes
// (new values, another model, noise) becomes a new definition that the desktop swaps in. So a run
// can never see half a change, and no analysis can write the loaded model.
struct ModelDefinition {
    std::int32_t variableCount = 0;
    std::int32_t parameterCount = 0;
    std::int32_t auxiliaryCount = 0;
    NameList variableNames{};  // the variables, then the auxiliary variables
    NameList parameterNames{};
    // The values in force: a run starts from initialValues (zero beyond the variables) with
    // parameterValues.
    ValueList initialValues{};
    ValueList parameterValues{};
    // What the parameter window's Default restores: the values the model was loaded with.
    ValueList defaultInitialValues{};
    ValueList defaultParameterValues{};
    ModelKind kind = ModelKind::Closed;
    // True unless Continuous; always follows kind (SetModelKind).
    bool discrete = true;
    Extended stepSize = 0.01L;
    // The run's integrator of a continuous model; never read from or written to a model file.
    Integration integration;
    std::string scriptText;
    // scriptText compiled into a register program (see NativeModel), when the statements allow;
    // null when the definition has not been compiled (evaluators then compile it themselves).
    std::shared_ptr<const NativeModel> nativeModel;
    NoiseSettings noise;
    // The most memory one run of the model may hold; beyond it the model fails with the memory
    // message instead of exhausting the machine.
    std::size_t memoryLimit = kDefaultModelMemoryLimit;
    std::string modelName;
    std::string modelFile;
};

using ModelDefinitionPtr = std::shared_ptr<const ModelDefinition>;

// The definition a run with the given integrator evaluates: the same one when it already
// integrates so, else a copy that differs in the integrator alone (its compiled program shared).
ModelDefinitionPtr WithIntegration(const ModelDefinitionPtr& definition,
                                   const Integration& integration);

// The definition shared, with its compiled program made when it has none yet.
ModelDefinitionPtr ShareDefinition(ModelDefinition definition);

// The three definition texts (initial values, parameters, auxiliary names) as a definition of kind
// Discrete without a script. Throws ConversionError or DefinitionError; more than 200 variables
// and auxiliary variables together, a name twice in one list, and a name that is both a variable
// and a parameter are refused.
ModelDefinition ParseModelDefinition(const std::string& initialText,
                                     const std::string& parameterText,
                                     const std::string& auxiliaryText);

// target takes parsed's names, counts and values, the default copies too. Every state slot beyond
// the variables starts at 0: a run copies all of initialValues into its state, so an auxiliary
// variable would otherwise start from what the previous model left in its slot (an integrated
// auxiliary would not start at 0 where a fresh program's does).
void StoreDefinitionValues(ModelDefinition& target, const ModelDefinition& parsed);

// The one place where the kind changes. `discrete` follows it (true unless Continuous), so that
// what the analyses read for their time axis is always the kind ModelStep runs.
void SetModelKind(ModelDefinition& definition, ModelKind kind);

}  // namespace kalvora
