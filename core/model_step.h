#pragma once

#include "core/model_workspace.h"

namespace kalvora {

// The texts shown for a Lua status code (1 to 6) when the script is compiled and when it is
// evaluated. Empty when nothing is shown (evaluation status 1, or a code outside 1..6).
const char* CompileMessage(int status);
const char* EvaluationMessage(int status);

// Builds a fresh Lua state from scriptText (base, table, string and math only) and runs the chunk
// so that it defines the global function model. Failures show the compile message through
// ws.prompts and leave the code in scriptStatus.
void CompileModelScript(ModelRuntime& ws);

// Exchanges the two runtimes' Lua states, each then reached by its new owner's interrupt: a model
// compiled in a runtime of its own becomes the workspace's.
void SwapModelStates(ModelRuntime& first, ModelRuntime& second);

// One call of model: variables from in, parameters from parameterValues; the N + A results go to
// slots 0 .. N+A-1 of out. in and out may be the same vector. On a Lua error the evaluation message
// is shown, errorFlag set, the state rebuilt, and out is not written.
void EvaluateModel(ModelRuntime& ws, const StateVector& in, StateVector& out);

// Kutta's third-order step of size stepSize over variables and auxiliary variables.
void RungeKuttaStep(ModelRuntime& ws, const StateVector& in, StateVector& out);

// The step every analysis calls: one iteration (Discrete) or one Runge-Kutta step (Continuous),
// then noise. An arithmetic fault in the step sets errorFlag silently and rebuilds the Lua state.
// Only slots 0 .. N+A-1 are meaningful afterwards.
void ModelStep(ModelRuntime& ws, ModelKind kind, StateVector& state);

}  // namespace kalvora
