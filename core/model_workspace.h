#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/lua_sandbox.h"
#include "core/random_generator.h"

struct lua_State;

namespace kalvora {

class NativeModel;

class Prompts;

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
};

// What a model step reads and writes: the counts, the values a run starts from and runs with, the
// compiled script with its Lua state, the error flag and the noise with its random generator. The
// workspace is the user-interface thread's runtime; every worker thread has a ModelInstance of its
// own, because a Lua state (and the flags a step sets) belong to one thread.
struct ModelRuntime {
    ModelRuntime() = default;
    ~ModelRuntime();
    ModelRuntime(const ModelRuntime&) = delete;
    ModelRuntime& operator=(const ModelRuntime&) = delete;

    std::int32_t variableCount = 1;
    std::int32_t parameterCount = 1;
    std::int32_t auxiliaryCount = 0;
    std::array<Extended, kModelListCapacity> parameterValues{};
    std::array<Extended, kModelListCapacity> initialValues{};
    Extended stepSize = 0.01L;
    bool errorFlag = false;
    std::string scriptText;
    std::int32_t scriptStatus = 0;
    // Owned: closed by the destructor and whenever the script is compiled again.
    lua_State* luaState = nullptr;
    // The most memory the model's Lua state may hold; beyond it the model fails with the memory
    // message instead of exhausting the machine.
    std::size_t memoryLimit = kDefaultModelMemoryLimit;
    // The script of luaState compiled into a register program when its statements are plain
    // arithmetic (see NativeModel); steps then run without the interpreter, with the same numbers.
    // Immutable, so every runtime of the same script shares it.
    std::shared_ptr<const NativeModel> nativeModel;
    // This runtime's registers for the program nativeRegistersOf, and a count of the steps made
    // with it, by which the steps let the desktop breathe as the interpreter's hook does.
    std::vector<double> nativeRegisters;
    const NativeModel* nativeRegistersOf = nullptr;
    std::uint32_t nativeSteps = 0;
    // Stops the model wherever it is, from any thread (Stop, Exit, a signal).
    ModelInterrupt interrupt;
    NoiseSettings noise;
    // The program-wide random generator (noise, random choices of the analyses).
    RandomGenerator random;

    // Where script messages go; the desktop's message boxes, a script in tests and the batch tool.
    // Not owned. When null (always on a worker thread), messages are only recorded.
    Prompts* prompts = nullptr;
    // The first script message since it was last cleared, so that a run on a worker can show it on
    // the user-interface thread once the run has ended.
    std::string recordedMessage;
    // Lua's words for it, placed on the equation line ("line 2: attempt to call ..."), or "".
    std::string recordedDetails;
};

// The one loaded model and the run flags that every analysis shares. One instance lives for the
// whole run of the program; tests and the batch tool make their own. Only the user-interface thread
// touches it: workers run on ModelInstances made from it.
struct ModelWorkspace : ModelRuntime {
    ModelWorkspace();

    std::string modelName;
    std::string modelFile;
    std::array<std::string, kModelListCapacity> variableNames{};
    std::array<std::string, kModelListCapacity> parameterNames{};
    std::array<Extended, kModelListCapacity> defaultParameterValues{};
    std::array<Extended, kModelListCapacity> defaultInitialValues{};
    ModelKind kind = ModelKind::Closed;
    bool discrete = true;
    bool stopFlag = false;
    std::string dataFolder;
    std::string programFolder;
    std::string tempFolder;
    std::array<RgbColour, kCycleColourCount> cycleColours{};
    // Workers of the computations whose pieces are independent (sweeps, scans): 0 one per core,
    // 1 the one-thread run. Their results are the same either way.
    int computationThreads = 0;
};

}  // namespace kalvora
