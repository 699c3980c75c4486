#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/lua_sandbox.h"
#include "core/model_definition.h"
#include "core/random_generator.h"

struct lua_State;

namespace kalvora {

class NativeCode;
class NativeModel;
class Prompts;
class RunControl;
class RunningModel;
struct SampledFlow;

// The random sequence a noisy run draws from, carried from one run to the next: the desktop keeps
// it between runs, each run's evaluator continues it and hands it back (AdoptRandomState).
struct RandomState {
    RandomGenerator random;
    std::int32_t noiseCounter = 0;
};

// What one thread needs to evaluate a model: its own Lua state compiled from the definition's
// script, the compiled program's registers, the error flag, the noise with its random generator,
// and the messages of the run. Made from a shared, immutable definition, on the thread that uses
// it (a Lua state and the registers belong to one thread), and stepped with ModelStep. The run's
// own values (a swept or slid parameter, the noise counter) change here, never in the definition.
struct ModelEvaluator {
    // Compiles the script; a failure leaves scriptStatus non-zero and the message recorded (and
    // shown through prompts when given). With a run control, the run's stop reaches this
    // evaluator wherever it is from the start, its script's top level included.
    explicit ModelEvaluator(ModelDefinitionPtr definition, RandomState randomState = {},
                            Prompts* prompts = nullptr, RunControl* control = nullptr);
    ~ModelEvaluator();
    ModelEvaluator(const ModelEvaluator&) = delete;
    ModelEvaluator& operator=(const ModelEvaluator&) = delete;

    const ModelDefinition& model() const { return *definition; }

    // Whether another run may use this evaluator instead of a fresh one: the compiled program
    // makes every step and reads nothing an earlier step left, so whatever the last run did to
    // the Lua state cannot reach the next. Callers that run many short runs of one model (the
    // Python module) keep such an evaluator instead of compiling the script for every run.
    bool reusable() const;
    // A reusable evaluator as a fresh one from its definition would be: the definition's
    // parameters and noise, the given random sequence, no message, and the new run's stop.
    void restart(RandomState randomState, Prompts* prompts, RunControl* control);

    const ModelDefinitionPtr definition;
    // The parameters the steps run with: the definition's, unless the run varies one.
    std::array<Extended, kModelListCapacity> parameterValues{};
    bool errorFlag = false;
    std::int32_t scriptStatus = 0;
    // Owned: closed by the destructor and whenever the script is compiled again.
    lua_State* luaState = nullptr;
    // The definition's compiled program, or one this evaluator compiled when it had none.
    std::shared_ptr<const NativeModel> nativeModel;
    // The program's machine code (nativeModel->machineCode()), used while it is the code of
    // nativeModel; null runs the register program (as tests do to compare the two).
    std::shared_ptr<const NativeCode> nativeCode;
    // The registers for the program nativeRegistersOf.
    std::vector<double> nativeRegisters;
    const NativeModel* nativeRegistersOf = nullptr;
    // Stops the model wherever it is, from any thread (Stop, Exit, a signal).
    ModelInterrupt interrupt;
    NoiseSettings noise;
    RandomGenerator random;
    // The adaptive integrator's run between the steps of h it is sampled at (see IntegratorStep).
    std::unique_ptr<SampledFlow> sampledFlow;

    // Where script messages go at once (the batch tool, tests); null on the desktop's workers,
    // whose messages are only recorded and shown on the user-interface thread after the run.
    Prompts* prompts = nullptr;
    // The first script message since it was last cleared.
    std::string recordedMessage;
    // Lua's words for it, placed on the equation line ("line 2: attempt to call ..."), or "".
    std::string recordedDetails;

  private:
    // Ends before the interrupt it names.
    std::unique_ptr<RunningModel> running_;
};

// Where a run left the random sequence, for the next run to continue it.
RandomState RandomStateOf(const ModelEvaluator& ranOn);

}  // namespace kalvora
