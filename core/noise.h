#pragma once

#include <cstdint>
#include <optional>

#include "core/model_workspace.h"
#include "core/random_generator.h"

namespace kalvora {

// Adds noise to slot noiseVariable - 1 after a step, when noise is on with a positive level: one
// random draw per call, two more on an eligible step (every noisePeriod-th, with noiseProbability).
// With the Wiener scaling on a continuous model, the addition is scaled by the square root of
// `duration`, the time the step advanced (the model's step size when not given).
void ApplyNoise(ModelEvaluator& model, StateVector& state, std::optional<Extended> duration = {});

// At the start of a run: when "Fix Random Seed For Each Run" is on, the generator restarts from
// noiseSeed, so the run repeats exactly.
void ReseedIfFixed(ModelWorkspace& ws);
// The same on a run's evaluator, for a computation the batch tool calls without the desktop's run
// flow that re-seeds the workspace: the workspace continues the sequence from the evaluator
// afterwards, so the numbers are those of a workspace re-seeded first.
void ReseedIfFixed(ModelEvaluator& model);

// Sets the model's noiseSeed and seeds the workspace's generator with it. Without a seed the
// generator is randomized from the clock and noiseSeed becomes a random integer below 2147483646.
void SeedNoise(ModelWorkspace& ws, std::optional<std::int32_t> seed);

}  // namespace kalvora
