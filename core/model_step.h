#pragma once

#include <cstdint>
#include <vector>

#include "core/model_evaluator.h"

namespace kalvora {

// The texts shown for a Lua status code (1 to 6) when the script is compiled and when it is
// evaluated. Empty when nothing is shown (evaluation status 1, or a code outside 1..6).
const char* CompileMessage(int status);
const char* EvaluationMessage(int status);

// Builds a fresh Lua state from the definition's script (base, table, string and math only) and
// runs the chunk so that it defines the global function model. Failures show the compile message
// through ws.prompts and leave the code in scriptStatus.
void CompileModelScript(ModelEvaluator& ws);

// One call of the model in the interpreter, with no noise and no compiled program: variables
// from in, parameters from the evaluator's parameterValues; the N + A results go to slots
// 0 .. N+A-1 of out (in and out may be the same vector). On a Lua error the evaluation message is
// recorded, errorFlag set, the state rebuilt, and out is not written. The reference the exact
// derivatives are checked against, and the differences' evaluation for scripts the compiler
// refuses.
void EvaluateModelOnce(ModelEvaluator& ws, const StateVector& in, StateVector& out);

// Kutta's third-order step of size stepSize over variables and auxiliary variables.
void RungeKuttaStep(ModelEvaluator& ws, const StateVector& in, StateVector& out);

// The model's rates at `at` (the variables in slots 0 .. N-1, given to the model as they are):
// the N + A results of one call, through the compiled program when it covers the model, else the
// interpreter. False when the call failed or a result is not finite; errorFlag is then set, a
// failure's message shown and the Lua state rebuilt, as a failing step does. The stages of the
// integrators beside Kutta's step are made of these.
bool ModelRates(ModelEvaluator& ws, const double* at, double* rates);

// The step every analysis calls: one iteration (Discrete) or one Runge-Kutta step (Continuous),
// then noise. An arithmetic fault in the step sets errorFlag silently and rebuilds the Lua state.
// Only slots 0 .. N+A-1 are meaningful afterwards.
void ModelStep(ModelEvaluator& ws, ModelKind kind, StateVector& state);

// steps model steps, as many calls of ModelStep would make them, ending early after a step that
// sets errorFlag (or at once when it is set already). Returns the steps made, the failed one
// included. Runs that nothing observes step by step (the transients of the analyses, the skipped
// start of an orbit file) call this: for a map without noise whose statements keep no state (see
// ModelIsStateless) the steps run as batches inside the interpreter, with the same numbers, the
// same failing step and the same messages as the steps one by one; other models take the steps one
// by one.
std::int64_t ModelTransient(ModelEvaluator& ws, ModelKind kind, StateVector& state,
                            std::int64_t steps);

// Whether the Euclidean distance between a and centre over the slots (a slot named twice counts
// twice), summed in Extended in the slots' order, is at most radius; false when it is not a
// number. Only a sum within a few units in the last place of radius squared takes a square root.
bool WithinDistance(const StateVector& a, const StateVector& centre, const std::vector<int>& slots,
                    Extended radius);

// steps model steps, as many calls of ModelStep would make them, each followed by WithinDistance
// of the state from centre; ends after the first step that fails or leaves. True when every step
// was made and stayed within. A map without noise with machine code makes the steps and the test
// in batches of machine code (the basin scan's transient, whole), a stop being looked at between
// batches.
bool ModelStepsWithin(ModelEvaluator& ws, ModelKind kind, StateVector& state, std::int64_t steps,
                      const StateVector& centre, const std::vector<int>& slots, Extended radius);

// Iterations of the two-trajectory Lyapunov exponent made in machine code: each steps a and b
// (ModelStep, without noise), takes the Extended distance d of their variables, adds
// log(d / epsilon) to sum (penalty when d is 0) and brings b back to distance epsilon from a
// (b = a + (b - a) * epsilon / d, or * coincident when d is 0). Returns how many were made, from 0
// (no machine code, noise, another integrator) to iterations; the caller makes the rest, starting
// with the one the code could not vouch for. A stop is looked at every 4096 iterations.
std::int64_t NativeLyapunovPair(ModelEvaluator& ws, ModelKind kind, StateVector& a, StateVector& b,
                                std::int64_t iterations, Extended epsilon, Extended penalty,
                                Extended coincident, Extended& sum);

}  // namespace kalvora
