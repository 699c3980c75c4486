#pragma once

#include <array>
#include <memory>
#include <string>
#include <utility>

#include "core/model_definition.h"
#include "core/model_evaluator.h"

namespace kalvora {

class Prompts;

// The desktop's (or a batch run's) loaded model and its own settings. The model is one shared,
// immutable definition: a change to it is a new definition swapped in (ReplaceModel), never an edit
// in place, so the runs in flight keep the definition they started from. Analyses read it and make
// their evaluators from it; they cannot write it.
struct ModelWorkspace {
    ModelWorkspace();

    const ModelDefinition& model() const { return *definition; }
    // Never null: a closed model is a definition of kind Closed.
    ModelDefinitionPtr definition;

    // Where script messages go: the desktop's message boxes, a script in tests, the batch tool.
    // Not owned.
    Prompts* prompts = nullptr;
    // The noise sequence, continued by each run (AdoptRandomState) and re-seeded by ReseedIfFixed.
    RandomState randomState;

    std::string dataFolder;
    std::string programFolder;
    std::string tempFolder;
    std::array<RgbColour, kCycleColourCount> cycleColours{};
    // Workers of the computations whose pieces are independent (sweeps, scans): 0 one per core,
    // 1 the one-thread run. Their results are the same either way.
    int computationThreads = 0;
};

// The workspace's model, changed by edit on a copy that then replaces it.
template <class Edit>
void ReplaceModel(ModelWorkspace& ws, Edit&& edit) {
    ModelDefinition next = ws.model();
    std::forward<Edit>(edit)(next);
    ws.definition = ShareDefinition(std::move(next));
}

// After a run: the workspace continues the random sequence where the run's evaluator left it, as
// if it had run the steps itself.
void AdoptRandomState(ModelWorkspace& ws, const ModelEvaluator& ranOn);

}  // namespace kalvora
