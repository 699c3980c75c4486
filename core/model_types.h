#pragma once

#include <array>
#include <cstdint>

namespace kalvora {

// 80-bit x87 extended precision: every model value, parameter and step size.
using Extended = long double;

inline constexpr int kModelListCapacity = 200;

// Slot i (from 0) is variable i, slot N + j auxiliary variable j. Time is not in it.
using StateVector = std::array<Extended, kModelListCapacity>;

enum class ModelKind { Closed, Discrete, Continuous };

// 0x00RRGGBB, so the core stays free of any toolkit colour type.
using RgbColour = std::uint32_t;

inline constexpr int kCycleColourCount = 102;  // cycles 1..100, non-convergence, divergence

struct NoiseSettings {
    bool noiseOn = false;
    std::int32_t noiseVariable = 1;  // 1-based variable index
    std::int32_t noiseType = 1;      // 1 normal, 2 uniform, anything else adds nothing
    Extended noiseLevel = 0;
    Extended noiseProbability = 0;
    std::int32_t noisePeriod = 0;
    std::int32_t noiseCounter = 0;
    std::int32_t noiseSeed = 0;
    // Read by ReseedIfFixed; mirrors the noise window's "Fix Random Seed For Each Run".
    bool fixSeedForEachRun = false;
    // A continuous model's noise as the increments of a Wiener process: each addition is scaled by
    // the square root of the step's duration, so that the variance per unit of time is the level
    // squared whatever the step size. Off, an addition has the level whatever h is (a map's
    // noise is never scaled).
    bool wiener = false;
};

}  // namespace kalvora
