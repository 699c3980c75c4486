#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "core/model_types.h"

// The code has no prologue for clang's check of indirect calls' types to read: the check would
// read memory before the first function, which may be unmapped.
#if defined(__clang__)
#define KALVORA_CALLS_MACHINE_CODE __attribute__((no_sanitize("function")))
#else
#define KALVORA_CALLS_MACHINE_CODE
#endif

namespace kalvora {

class NativeModel;

// Machine code made from a compiled program (NativeModel) when the model is accepted: the same
// operations in the same order on the same doubles, the same C library functions, the Runge-Kutta
// sums in Extended as the steps make them, and no fused multiply-add. It keeps the program's one
// promise about faults: every function fails (returns false, and writes nothing) as soon as a value
// it made or received is not finite, so that the interpreter judges the step as it always has.
//
// Immutable once made and shared by every evaluator of the definition, on any thread. Where the
// machine has no code generator, where KALVORA_JIT=off is set, or where the generator refuses a
// program, there is no code and the register program runs, with the same numbers.
class NativeCode {
  public:
    // Code for the program of a model with the given number of variables (the first arguments
    // and the first results), or null. Takes a few milliseconds; callers make it once per
    // accepted definition, on a worker.
    static std::shared_ptr<const NativeCode> Generate(const NativeModel& program, int variables);
    // Whether Generate can make code at all here (a generator is built in and not turned off).
    static bool Enabled();

    ~NativeCode();
    NativeCode(const NativeCode&) = delete;
    NativeCode& operator=(const NativeCode&) = delete;

    // The program the code was made from, and the counts it was made for.
    const NativeModel* program() const { return program_; }
    int variables() const { return variables_; }
    int parameters() const { return parameters_; }
    int results() const { return results_; }

    // One call of the model: variables and parameters in, every result out.
    KALVORA_CALLS_MACHINE_CODE bool call(const double* variables, const double* parameters,
                                         double* results) const {
        const auto function = reinterpret_cast<CallFunction>(address(0));
        return function != nullptr && function(variables, parameters, results) != 0;
    }
    // n (at least 1) iterations of the map from the variables in state, each call's first
    // results being the next call's variables; every result of the last call is then stored in
    // state. On failure state is untouched.
    KALVORA_CALLS_MACHINE_CODE bool iterate(Extended* state, const double* parameters,
                                            std::int64_t n) const {
        const auto function = reinterpret_cast<IterateFunction>(address(1));
        return function != nullptr && function(state, parameters, n) == n;
    }
    // Kutta's third-order step of size h over the results' slots, from in to out (which may be
    // the same); on failure out is untouched.
    KALVORA_CALLS_MACHINE_CODE bool kutta(const Extended* in, Extended* out,
                                          const double* parameters, Extended h) const {
        const auto function = reinterpret_cast<KuttaFunction>(address(2));
        return function != nullptr && function(in, out, parameters, &h) != 0;
    }

    // n (at least 1) Kutta steps of size h from state, the sums of one step starting the next;
    // on failure state is untouched.
    KALVORA_CALLS_MACHINE_CODE bool kuttaSteps(Extended* state, const double* parameters,
                                               Extended h, std::int64_t n) const {
        const auto function = reinterpret_cast<KuttaStepsFunction>(address(3));
        return function != nullptr && function(state, parameters, &h, n) == n;
    }

    // How a run of iterateWithin ended.
    enum class Within { Failed = 0, Stayed = 1, Left = 2 };
    // Up to n (at least 1) iterations of the map, each followed by the test whether the state is
    // within the radius of centre over the slots (the Euclidean distance summed in Extended in
    // the slots' order; within when the sum is at most square, not when it exceeds limit, else
    // when its root is at most radius). Stayed: all n made and within, the state stored. Left: the
    // step that left is the last made, its state stored. Failed: a value was not finite in step
    // made + 1; the state after the steps made before it is stored.
    KALVORA_CALLS_MACHINE_CODE Within iterateWithin(Extended* state, const double* parameters,
                                                    std::int64_t n, const Extended* centre,
                                                    const int* slots, int slotCount,
                                                    const Extended bounds[3],
                                                    std::int64_t& made) const {
        const auto function = reinterpret_cast<IterateWithinFunction>(address(4));
        if (function == nullptr) {
            made = 0;
            return Within::Failed;
        }
        return static_cast<Within>(
            function(state, parameters, n, centre, slots, slotCount, bounds, &made));
    }

    // Up to n (at least 1) iterations of the two-trajectory Lyapunov exponent on the states a and
    // b, by the map's iterations or the flow's Kutta steps (h in constants[3]); constants[0..2]
    // are the perturbation, the penalty for coinciding orbits and the factor then used. Returns
    // the iterations made: fewer than n when a value was not finite in the next one, whose start
    // a, b and sum then hold.
    KALVORA_CALLS_MACHINE_CODE std::int64_t pair(bool flow, Extended* a, Extended* b,
                                                 const double* parameters, std::int64_t n,
                                                 const Extended constants[4], Extended& sum) const {
        const auto function = reinterpret_cast<PairFunction>(address(flow ? 6 : 5));
        return function != nullptr ? function(a, b, parameters, n, constants, &sum) : 0;
    }

    // The period scan's test of one parameter pair, whole: the transient, then for each period
    // in the table the advance by that period from the settled state, and when it comes back
    // within epsilon of it (the Extended distance over the variables, its root taken, compared
    // with <), the confirmations, each an advance by the period compared with the settled state.
    // Maps iterate, flows make Kutta steps of size constants[1]; constants[0] is epsilon.
    // config: the transient, the number of periods, the confirmations. progress says where the
    // test stands: the phase (-1 the transient, else the row of the period), the check (-1 the
    // first advance, else the confirmations made), the steps made of the current advance, and the
    // confirmations that came back. It starts at {-1, -1, 0, 0} with the state at the start, and
    // settled is written when the transient ends. Returns the row (from 1) of the period found, 0
    // when none is, and -1 when a value was not finite in the next step or stop(stopContext) was
    // true (asked every 4096 steps): state and progress then stand at the start of that step.
    using StopPoll = int (*)(const void*);
    KALVORA_CALLS_MACHINE_CODE int periods(bool flow, Extended* state, Extended* settled,
                                           const double* parameters, const std::int64_t* periods,
                                           const std::int64_t config[3],
                                           const Extended constants[2], std::int64_t progress[4],
                                           StopPoll stop, const void* stopContext) const {
        const auto function = reinterpret_cast<PeriodsFunction>(address(flow ? 8 : 7));
        return function != nullptr ? function(state, settled, parameters, periods, config,
                                              constants, progress, stop, stopContext)
                                   : -1;
    }

    // What making the code took (its functions are compiled when first used), for the measures.
    double compileMilliseconds() const { return compileMilliseconds_; }

  private:
    NativeCode() = default;

    struct Engine;
    std::unique_ptr<Engine> engine_;
    const NativeModel* program_ = nullptr;
    int variables_ = 0;
    int parameters_ = 0;
    int results_ = 0;
    double compileMilliseconds_ = 0;
    // The functions of the code, made when first used (see resolve).
    static constexpr int kFunctionCount = 9;
    static constexpr const char* kFunctionNames[kFunctionCount] = {
        "call",    "iterate",  "kutta",      "kuttaSteps", "iterateWithin",
        "mapPair", "flowPair", "mapPeriods", "flowPeriods"};
    using CallFunction = int (*)(const double*, const double*, double*);
    using IterateFunction = std::int64_t (*)(Extended*, const double*, std::int64_t);
    using KuttaFunction = int (*)(const Extended*, Extended*, const double*, const Extended*);
    using KuttaStepsFunction = std::int64_t (*)(Extended*, const double*, const Extended*,
                                                std::int64_t);
    using IterateWithinFunction = int (*)(Extended*, const double*, std::int64_t, const Extended*,
                                          const int*, int, const Extended*, std::int64_t*);
    using PairFunction = std::int64_t (*)(Extended*, Extended*, const double*, std::int64_t,
                                          const Extended*, Extended*);
    using PeriodsFunction = int (*)(Extended*, Extended*, const double*, const std::int64_t*,
                                    const std::int64_t*, const Extended*, std::int64_t*, StopPoll,
                                    const void*);

    // The function's machine code, compiled on the first call from any thread; null when the
    // generator failed on it (the caller then acts as on a value that was not finite).
    void* address(int function) const {
        void* known = functions_[function].load(std::memory_order_acquire);
        return known != nullptr ? known : resolve(function);
    }
    void* resolve(int function) const;
    mutable std::array<std::atomic<void*>, kFunctionCount> functions_{};

    friend class NativeCodeGenerator;
};

}  // namespace kalvora
