#include "core/noise.h"

#include <cmath>

namespace kalvora {

void ApplyNoise(ModelEvaluator& ws, StateVector& state, std::optional<Extended> duration) {
    NoiseSettings& noise = ws.noise;
    if (!noise.noiseOn || !(noise.noiseLevel > 0)) {
        return;
    }
    const Extended r = ws.random.nextReal();
    if (noise.noiseCounter == 0 && r <= noise.noiseProbability) {
        Extended u1 = ws.random.nextReal();
        const Extended u2 = ws.random.nextReal();
        if (u1 == 0) {
            u1 = u1 + 0.01L;
        }
        const int slot = noise.noiseVariable - 1;
        const Extended level =
            noise.wiener && !ws.model().discrete
                ? noise.noiseLevel * std::sqrt(duration.value_or(ws.model().stepSize))
                : noise.noiseLevel;
        // A slot outside the vector would be a write into foreign memory: such noise goes nowhere.
        if (slot >= 0 && slot < kModelListCapacity) {
            constexpr Extended kTwoPi = 6.283185307179586L;
            if (noise.noiseType == 1) {
                state[slot] += std::sqrt(std::log(u1) * -2) * level * std::cos(kTwoPi * u2);
            } else if (noise.noiseType == 2) {
                // sqrt(6), not sqrt(12): the added values lie within +-1.2247 times the level.
                state[slot] += std::sqrt(Extended{6}) * (u1 - 0.5L) * level;
            }
        }
    }
    // A period below 1 cannot come from the noise window; treating it as 1 avoids a division by
    // zero.
    noise.noiseCounter = noise.noisePeriod > 1 ? (noise.noiseCounter + 1) % noise.noisePeriod : 0;
}

void ReseedIfFixed(ModelWorkspace& ws) {
    if (ws.model().noise.fixSeedForEachRun) {
        ws.randomState.random.seed = static_cast<std::uint32_t>(ws.model().noise.noiseSeed);
    }
}

void ReseedIfFixed(ModelEvaluator& model) {
    if (model.noise.fixSeedForEachRun) {
        model.random.seed = static_cast<std::uint32_t>(model.noise.noiseSeed);
    }
}

void SeedNoise(ModelWorkspace& ws, std::optional<std::int32_t> seed) {
    std::int32_t noiseSeed = 0;
    if (seed) {
        noiseSeed = *seed;
    } else {
        ws.randomState.random.randomize();
        noiseSeed = static_cast<std::int32_t>(ws.randomState.random.nextBelow(0x7FFFFFFEu));
    }
    ReplaceModel(ws, [&](ModelDefinition& model) { model.noise.noiseSeed = noiseSeed; });
    ws.randomState.random.seed = static_cast<std::uint32_t>(noiseSeed);
}

}  // namespace kalvora
