#include "core/model_step.h"

#include <lua.hpp>

#include <algorithm>
#include <bit>
#include <cfenv>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "core/flow_steps.h"
#include "core/model_capacity.h"
#include "core/model_purity.h"
#include "core/native_code.h"
#include "core/native_model.h"
#include "core/noise.h"
#include "core/prompts.h"
#include "core/script_lines.h"

// The Lua calls of an evaluation go through the global offset table directly rather than through
// a PLT stub each: an evaluation makes a dozen of them, and the stubs' extra jumps cost several
// percent of a Runge-Kutta step.
#if defined(__GNUC__) && !defined(__clang__)
extern "C" {
void lua_settop(lua_State* L, int idx) __attribute__((noplt));
void lua_rawgeti(lua_State* L, int idx, int n) __attribute__((noplt));
void lua_rawget(lua_State* L, int idx) __attribute__((noplt));
void lua_pushnumber(lua_State* L, lua_Number n) __attribute__((noplt));
int lua_pcall(lua_State* L, int nargs, int nresults, int errfunc) __attribute__((noplt));
lua_Number lua_tonumber(lua_State* L, int idx) __attribute__((noplt));
int lua_type(lua_State* L, int idx) __attribute__((noplt));
}
#endif

namespace kalvora {
namespace {

constexpr int kFaultFlags = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;

// fetestexcept without the library call: the x87 status word (the Extended arithmetic and the
// conversions to double) and the SSE status register (Lua's double arithmetic).
inline int PendingFaults() {
#if defined(__x86_64__) || defined(__i386__)
    unsigned short x87 = 0;
    unsigned int sse = 0;
    __asm__ volatile("fnstsw %0" : "=am"(x87));
    __asm__ volatile("stmxcsr %0" : "=m"(sse));
    return (x87 | sse) & kFaultFlags;
#else
    return std::fetestexcept(kFaultFlags);
#endif
}

// Stores value into target exactly as the x87 conversion would, but from integer registers. Reading
// the x87 status word waits until every earlier x87 store has completed, which costs about 20
// cycles when the store is recent; results stored this way leave nothing for the next read to wait
// for. The conversion is exact, so only the signalling NaN differs (the x87 would raise invalid),
// and a NaN result is a fault anyway.
inline void StoreExtended(Extended* target, double value) {
#if (defined(__x86_64__) || defined(__i386__)) && LDBL_MANT_DIG == 64
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const auto exponent = static_cast<unsigned>(bits >> 52) & 0x7FFu;
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    constexpr std::uint64_t kIntegerBit = std::uint64_t{1} << 63;
    std::uint64_t mantissa = kIntegerBit | (fraction << 11);
    unsigned biased = exponent + (16383 - 1023);
    if (exponent == 0x7FF) {
        biased = 0x7FFF;
        if (fraction != 0) {
            mantissa |= std::uint64_t{1} << 62;  // quiet
        }
    } else if (exponent == 0) {
        if (fraction == 0) {
            mantissa = 0;
            biased = 0;
        } else {
            // A subnormal double is a normal Extended: move its leading bit to the integer bit.
            const int shift = std::countl_zero(fraction);
            mantissa = fraction << shift;
            biased = static_cast<unsigned>(16383 - 1022 - 52 + 63 - shift);
        }
    }
    const auto signAndExponent = static_cast<std::uint16_t>(biased | ((bits >> 63) << 15));
    std::memcpy(target, &mantissa, sizeof mantissa);
    std::memcpy(reinterpret_cast<unsigned char*>(target) + sizeof mantissa, &signAndExponent,
                sizeof signAndExponent);
#else
    *target = value;
#endif
}

// The double an Extended value converts to, read with integer loads when the value is a normal
// double (as every value StoreExtended wrote is): an x87 load of a value that integer stores have
// just written waits for them to drain, several times the cost of the step's arithmetic. Other
// values take the x87 conversion, which rounds them as before.
inline double LoadDouble(const Extended& value) {
#if (defined(__x86_64__) || defined(__i386__)) && LDBL_MANT_DIG == 64
    std::uint64_t mantissa = 0;
    std::uint16_t signAndExponent = 0;
    std::memcpy(&mantissa, &value, sizeof mantissa);
    std::memcpy(&signAndExponent, reinterpret_cast<const unsigned char*>(&value) + sizeof mantissa,
                sizeof signAndExponent);
    const unsigned exponent = signAndExponent & 0x7FFFu;
    const std::uint64_t sign = static_cast<std::uint64_t>(signAndExponent >> 15) << 63;
    constexpr std::uint64_t kIntegerBit = std::uint64_t{1} << 63;
    if ((mantissa & 0x7FFu) == 0 && (mantissa & kIntegerBit) != 0 && exponent >= 16383 - 1022 &&
        exponent <= 16383 + 1023) {
        const std::uint64_t fraction = (mantissa >> 11) & ((std::uint64_t{1} << 52) - 1);
        return std::bit_cast<double>(
            sign | (static_cast<std::uint64_t>(exponent - 16383 + 1023) << 52) | fraction);
    }
    if (mantissa == 0 && exponent == 0) {
        return std::bit_cast<double>(sign);
    }
#endif
    return static_cast<double>(value);
}

inline double LoadDouble(double value) {
    return value;
}

inline void StoreResult(Extended* target, double value) {
    StoreExtended(target, value);
}

inline void StoreResult(double* target, double value) {
    *target = value;
}

void ShowMessage(ModelEvaluator& ws, const char* message, const std::string& details = {}) {
    if (message[0] == '\0') {
        return;
    }
    if (ws.recordedMessage.empty()) {
        ws.recordedMessage = message;
        ws.recordedDetails = details;
    }
    if (ws.prompts != nullptr) {
        ws.prompts->detailedError(message, details);
    }
}

// A stopped evaluation keeps no state: the next run builds a fresh one.
void ReportStop(ModelEvaluator& ws) {
    ShowMessage(ws, kModelStoppedMessage);
    CloseModelState(ws.luaState, ws.interrupt);
    ws.luaState = nullptr;
}

void ReportNotANumber(ModelEvaluator& ws, int result) {
    lua_State* lua = ws.luaState;
    const std::string message = "The model gives " +
                                ModelResultName(ws.model().scriptText, result) + " no number (" +
                                lua_typename(lua, lua_type(lua, result + 1)) + ")";
    ws.errorFlag = true;
    ShowMessage(ws, message.c_str());
}

// The registry slot that holds the string "model". Looking the function up through this
// pre-made key skips hashing and interning the name on every call; the lookup still goes through
// the globals table by name, so a model that redefines itself is honoured. Scripts cannot reach
// the registry (no debug library), so the slot cannot be disturbed.
constexpr int kModelKeySlot = 0x4B4C;

// The registry slot of the batch loop compiled for the state (nil until a batch first runs).
constexpr int kBatchLoopSlot = 0x4B4D;
constexpr int kBatchCountsSlot = 0x4B4E;

// Pushes the global model, looked up raw. Outside the protected call a metamethod must not run:
// a model may give the globals (or, with setfenv(0, ...), the thread's environment) an __index
// that fails or loops, and an error there, with no protected call to catch it, ends the process.
// A model that removed itself fails the protected call as any call of nil does.
inline void PushModelFunction(lua_State* lua) {
    lua_rawgeti(lua, LUA_REGISTRYINDEX, kModelKeySlot);
    lua_rawget(lua, LUA_GLOBALSINDEX);
}

inline int Count(std::int32_t value) {
    return std::clamp<int>(value, 0, kModelListCapacity);
}

// Stack room every state gets when it is built: the function and the largest possible argument
// list (the counts are clamped to the capacity), which also holds the longest result list. Lua
// never takes back room that lua_checkstack granted to the host's frame (the collector shrinks the
// stack only above the top of every active frame), so an evaluation needs no check of its own,
// whatever the counts have become since the compile.
constexpr int kStackRoom = 2 * kModelListCapacity + 1;

inline int ResultCount(const ModelEvaluator& ws) {
    return std::min(Count(ws.model().variableCount) + Count(ws.model().auxiliaryCount),
                    kModelListCapacity);
}

// One call of model; false when the Lua call failed (out untouched, state already rebuilt). In is
// the variables' element type (Extended, or double for the Runge-Kutta stages, which go to Lua as
// doubles anyway); Out likewise (Extended for a state, double for derivatives, which come from Lua
// as doubles: storing them as double loses nothing and keeps the slow 80-bit memory accesses out
// of the Runge-Kutta loops).
// A result that is not finite (math.huge, 0/0 without a trap) clears `finite`; the caller treats it
// as an arithmetic fault.
template <typename In, typename Out>
bool Evaluate(ModelEvaluator& ws, const In* in, Out* out, bool& finite) {
    if (ws.luaState == nullptr) {
        // A stopped model is not rebuilt (its top level may be what ran away) until the stop is
        // cleared.
        if (ws.interrupt.requested()) {
            ws.errorFlag = true;
            return false;
        }
        CompileModelScript(ws);
        if (ws.luaState == nullptr) {
            ws.errorFlag = true;
            return false;
        }
    }
    lua_State* lua = ws.luaState;
    const int variables = Count(ws.model().variableCount);
    const int parameters = Count(ws.model().parameterCount);
    const int results = ResultCount(ws);
    lua_settop(lua, 0);
    PushModelFunction(lua);
    for (int i = 0; i < variables; ++i) {
        lua_pushnumber(lua, static_cast<lua_Number>(in[i]));
    }
    for (int j = 0; j < parameters; ++j) {
        lua_pushnumber(lua, static_cast<lua_Number>(ws.parameterValues[j]));
    }
    ws.scriptStatus = lua_pcall(lua, variables + parameters, results, 0);
    if (ws.scriptStatus != 0) {
        ws.errorFlag = true;
        if (ws.interrupt.requested()) {
            ReportStop(ws);
            return false;
        }
        ShowMessage(ws, EvaluationMessage(ws.scriptStatus),
                    ScriptErrorDetail(lua, ws.model().scriptText));
        CompileModelScript(ws);
        return false;
    }
    for (int k = 0; k < results; ++k) {
        // A string is no number even when Lua would convert it ("0x10" reads as 16): the step
        // fails as for any other value that is not a number.
        if (lua_type(lua, k + 1) != LUA_TNUMBER) [[unlikely]] {
            ReportNotANumber(ws, k);
            return false;
        }
        const lua_Number value = lua_tonumber(lua, k + 1);
        finite = finite && std::isfinite(value);
        StoreResult(out + k, value);
    }
    return true;
}

using Stage = std::array<double, kModelListCapacity>;

// The three stages of Kutta's third-order step over m slots: evaluate(at, derivative) fills a
// stage from the values at (the state, then two doubles vectors). Each stage value is rounded once,
// from Extended to the double that the model receives.
template <typename Evaluate>
void KuttaStages(int m, Extended h, const StateVector& in, Stage& k1, Stage& k2, Stage& k3,
                 Evaluate&& evaluate) {
    // Uninitialised on purpose: only the first m slots are used, and filling 200 slots would cost
    // more than the step's arithmetic.
    Stage y;
    evaluate(in.data(), k1);
    for (int i = 0; i < m; ++i) {
        y[i] = static_cast<double>((h * k1[i]) / 2 + in[i]);
    }
    evaluate(y.data(), k2);
    for (int i = 0; i < m; ++i) {
        y[i] = static_cast<double>((in[i] - h * k1[i]) + (h * 2) * k2[i]);
    }
    evaluate(y.data(), k3);
}

// The step's result from its stages; false when a sum is not finite. out may be in: each slot is
// read before it is written.
bool KuttaSum(int m, Extended h, const StateVector& in, const Stage& k1, const Stage& k2,
              const Stage& k3, Extended* out) {
    bool allFinite = true;
    for (int i = 0; i < m; ++i) {
        const Extended sum = ((k2[i] * Extended{4} + k1[i]) + k3[i]) * h / 6 + in[i];
        allFinite = allFinite && std::isfinite(sum);
        out[i] = sum;
    }
    return allFinite;
}

// Kutta's third-order step in the interpreter. in and out may be the same vector: in is only read
// while the stages are evaluated, and the last loop reads each slot before writing it.
// With faults given, the status flags are read into it after the last evaluation rather than after
// the step: the last loop stores its sums with x87 stores, and a status read right behind them
// would wait for them. That loop cannot raise a flag without making a sum infinite or NaN (the
// derivatives are doubles, so only h or in[i] can take it out of range), so the flags are read
// again only when a sum is not finite.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
bool RungeKutta(ModelEvaluator& ws, const StateVector& in, StateVector& out, bool& finite,
                int* faults = nullptr) {
    Stage k1;
    Stage k2;
    Stage k3;
    const int m = ResultCount(ws);
    const Extended h = ws.model().stepSize;
    bool ok = true;
    // A failed evaluation leaves its output unwritten; zeros keep the remaining arithmetic defined.
    KuttaStages(m, h, in, k1, k2, k3, [&](const auto* at, Stage& derivative) {
        if (!Evaluate(ws, at, derivative.data(), finite)) {
            std::fill_n(derivative.begin(), m, 0.0);
            ok = false;
        }
    });
    if (faults != nullptr) {
        *faults = PendingFaults();
    }
    const bool allFinite = KuttaSum(m, h, in, k1, k2, k3, out.data());
    if (faults != nullptr && !allFinite) {
        *faults |= PendingFaults();
    }
    return ok;
}
#pragma GCC diagnostic pop

// The clamped counts of a step.
struct Shape {
    int variables = 0;
    int parameters = 0;
    int results = 0;
};

inline Shape ShapeOf(const ModelEvaluator& ws) {
    return {Count(ws.model().variableCount), Count(ws.model().parameterCount), ResultCount(ws)};
}

// The compiled program when it may stand in for the interpreter in this step: it belongs to the
// state's script, was made for these counts, and no stop is pending (a stop is reported by the
// interpreter, which the request has armed). The runtime's registers are prepared for it.
inline const NativeModel* NativeFor(ModelEvaluator& ws, const Shape& shape) {
    const NativeModel* native = ws.nativeModel.get();
    if (native == nullptr || !native->covered() || ws.luaState == nullptr ||
        ws.interrupt.requested() || native->argumentCount() != shape.variables + shape.parameters ||
        native->resultCount() != shape.results) {
        return nullptr;
    }
    if (ws.nativeRegistersOf != native) {
        ws.nativeRegisters.assign(static_cast<std::size_t>(native->registerCount()), 0.0);
        native->prepare(ws.nativeRegisters.data());
        ws.nativeRegistersOf = native;
    }
    return native;
}

// Loads the parameters into the program's registers, converted as the interpreter receives them;
// false when one is not finite.
inline bool LoadParameters(ModelEvaluator& ws, const Shape& shape) {
    double* registers = ws.nativeRegisters.data() + shape.variables;
    bool finite = true;
    for (int j = 0; j < shape.parameters; ++j) {
        registers[j] = LoadDouble(ws.parameterValues[j]);
        finite = finite && std::isfinite(registers[j]);
    }
    return finite;
}

// The program's machine code when it may run this step in the program's place: made from that
// very program for these counts.
inline const NativeCode* CodeFor(const ModelEvaluator& ws, const NativeModel* native,
                                 const Shape& shape) {
    const NativeCode* code = ws.nativeCode.get();
    if (code == nullptr || native == nullptr || code->program() != native ||
        code->variables() != shape.variables || code->parameters() != shape.parameters) {
        return nullptr;
    }
    return code;
}

using Parameters = std::array<double, kModelListCapacity>;

// The parameters as the program receives them; the machine code checks that they are finite.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
inline void ParametersAsDoubles(const ModelEvaluator& ws, const Shape& shape,
                                Parameters& parameters) {
    for (int j = 0; j < shape.parameters; ++j) {
        parameters[j] = LoadDouble(ws.parameterValues[j]);
    }
}
#pragma GCC diagnostic pop

// One call of the compiled program on the variables at, with the parameters loaded already; false
// when a value was not finite.
template <typename In>
bool RunNative(ModelEvaluator& ws, const NativeModel& native, const Shape& shape, const In* at) {
    double* registers = ws.nativeRegisters.data();
    bool finite = true;
    for (int i = 0; i < shape.variables; ++i) {
        registers[i] = LoadDouble(at[i]);
        finite = finite && std::isfinite(registers[i]);
    }
    return finite && native.run(registers);
}

// The step made with the compiled program; false (state untouched) when it could not be made so,
// or when any value in it was not finite: the interpreter then makes the step and judges it.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
bool StepNatively(ModelEvaluator& ws, ModelKind kind, StateVector& state) {
    if (ws.nativeModel == nullptr) {
        return false;
    }
    const Shape shape = ShapeOf(ws);
    const NativeModel* native = NativeFor(ws, shape);
    if (native == nullptr) {
        return false;
    }
    if (const NativeCode* code = CodeFor(ws, native, shape)) {
        // Uninitialised on purpose, as the stages: only the first slots are used.
        Parameters parameters;
        ParametersAsDoubles(ws, shape, parameters);
        return kind == ModelKind::Discrete ? code->iterate(state.data(), parameters.data(), 1)
                                           : code->kutta(state.data(), state.data(),
                                                         parameters.data(), ws.model().stepSize);
    }
    const double* registers = ws.nativeRegisters.data();
    if (!LoadParameters(ws, shape)) {
        return false;
    }
    if (kind == ModelKind::Discrete) {
        if (!RunNative(ws, *native, shape, state.data())) {
            return false;
        }
        for (int k = 0; k < shape.results; ++k) {
            StoreExtended(&state[k], registers[native->resultRegister(k)]);
        }
        return true;
    }
    // A model that assigns to a parameter changes only its own copy: the next call gets it anew.
    const bool reloadParameters = native->writesArgumentsFrom(shape.variables);
    Stage k1;
    Stage k2;
    Stage k3;
    bool ok = true;
    KuttaStages(shape.results, ws.model().stepSize, state, k1, k2, k3,
                [&](const auto* at, Stage& derivative) {
                    if (reloadParameters) {
                        LoadParameters(ws, shape);
                    }
                    if (ok && RunNative(ws, *native, shape, at)) {
                        for (int k = 0; k < shape.results; ++k) {
                            derivative[k] = registers[native->resultRegister(k)];
                        }
                    } else {
                        std::fill_n(derivative.begin(), shape.results, 0.0);
                        ok = false;
                    }
                });
    std::array<Extended, kModelListCapacity> sums;
    if (!ok || !KuttaSum(shape.results, ws.model().stepSize, state, k1, k2, k3, sums.data())) {
        return false;
    }
    for (int i = 0; i < shape.results; ++i) {
        state[i] = sums[i];
    }
    return true;
}
#pragma GCC diagnostic pop

}  // namespace

const char* CompileMessage(int status) {
    switch (status) {
        case 1:
            return "Error in code";
        case 2:
            return "Error in function/variable name or assignment";
        case 3:
            return "Error in syntax";
        case 4:
            return "Error in memory";
        case 5:
            return "Generic error";
        case 6:
            return "Error ";
        default:
            return "";
    }
}

const char* EvaluationMessage(int status) {
    switch (status) {
        case 2:
            return "Error in variable/function name";
        case 1:
            return "";
        default:
            return CompileMessage(status);
    }
}

void CompileModelScript(ModelEvaluator& ws) {
    CloseModelState(ws.luaState, ws.interrupt);
    ws.luaState = nullptr;
    lua_State* lua = NewModelState(ws.model().memoryLimit, ws.interrupt);
    // Evaluations rely on this room and do not check it again: a state that cannot have it is
    // treated like one that could not be built.
    if (lua != nullptr && !lua_checkstack(lua, kStackRoom)) {
        CloseModelState(lua, ws.interrupt);
        lua = nullptr;
    }
    if (lua == nullptr) {
        ws.nativeModel.reset();
        ws.nativeCode.reset();
        ws.scriptStatus = LUA_ERRMEM;
        ShowMessage(ws, CompileMessage(ws.scriptStatus));
        return;
    }
    ws.luaState = lua;
    lua_pushstring(lua, "model");
    lua_rawseti(lua, LUA_REGISTRYINDEX, kModelKeySlot);
    // The batch loop's slots exist from the start: storing into an existing slot later allocates
    // nothing, so it cannot fail for memory outside a protected call when the model has filled
    // its memory.
    lua_pushboolean(lua, 0);
    lua_rawseti(lua, LUA_REGISTRYINDEX, kBatchLoopSlot);
    lua_pushboolean(lua, 0);
    lua_rawseti(lua, LUA_REGISTRYINDEX, kBatchCountsSlot);
    ws.scriptStatus = LoadModelChunk(lua, ws.model().scriptText.data(),
                                     ws.model().scriptText.size(), "modelbuffer");
    if (ws.scriptStatus != 0 && ws.interrupt.requested()) {
        ShowMessage(ws, kModelStoppedMessage);
    } else if (ws.scriptStatus != 0) {
        // The compiler runs none of the script: a run-time error from it is one of its limits
        // ("constant table overflow"), a fault of the text as a syntax error is.
        if (ws.scriptStatus == LUA_ERRRUN) {
            ws.scriptStatus = LUA_ERRSYNTAX;
        }
        ShowMessage(ws, CompileFailureMessage(ws).c_str(),
                    ScriptErrorDetail(lua, ws.model().scriptText));
    } else {
        ws.scriptStatus = lua_pcall(lua, 0, 0, 0);
        if (ws.scriptStatus != 0) {
            ShowMessage(
                ws,
                ws.interrupt.requested() ? kModelStoppedMessage : CompileMessage(ws.scriptStatus),
                ScriptErrorDetail(lua, ws.model().scriptText));
        }
    }
    lua_checkstack(lua, Count(ws.model().variableCount) + Count(ws.model().auxiliaryCount) +
                            Count(ws.model().parameterCount));
    if (ws.scriptStatus != 0) {
        ws.nativeModel.reset();
        ws.nativeCode.reset();
    } else if (ws.nativeModel == nullptr || ws.nativeModel->script() != ws.model().scriptText) {
        ws.nativeModel = NativeModel::Compile(ws.model().scriptText);
        ws.nativeCode.reset();
    }
}

void EvaluateModelOnce(ModelEvaluator& ws, const StateVector& in, StateVector& out) {
    bool finite = true;
    Evaluate(ws, in.data(), out.data(), finite);
}

void RungeKuttaStep(ModelEvaluator& ws, const StateVector& in, StateVector& out) {
    bool finite = true;
    RungeKutta(ws, in, out, finite);
}

bool ModelRates(ModelEvaluator& ws, const double* at, double* rates) {
    const Shape shape = ShapeOf(ws);
    if (ws.nativeModel != nullptr) {
        const NativeModel* native = NativeFor(ws, shape);
        if (const NativeCode* code = CodeFor(ws, native, shape)) {
            Parameters parameters;
            ParametersAsDoubles(ws, shape, parameters);
            if (code->call(at, parameters.data(), rates)) {
                return true;
            }
        } else if (native != nullptr && LoadParameters(ws, shape) &&
                   RunNative(ws, *native, shape, at)) {
            const double* registers = ws.nativeRegisters.data();
            for (int k = 0; k < shape.results; ++k) {
                rates[k] = registers[native->resultRegister(k)];
            }
            return true;
        }
    }
    // The interpreter judges what the compiled program could not vouch for.
    bool finite = true;
    if (!Evaluate(ws, at, rates, finite)) {
        return false;
    }
    if (!finite) {
        ws.errorFlag = true;
        CompileModelScript(ws);
        return false;
    }
    return true;
}

void ModelStep(ModelEvaluator& ws, ModelKind kind, StateVector& state) {
    if (kind == ModelKind::Continuous &&
        ws.model().integration.method != IntegrationMethod::RungeKutta3) {
        IntegratorStep(ws, state);
        if (ws.noise.noiseOn) {
            ApplyNoise(ws, state);
        }
        return;
    }
    if (kind != ModelKind::Closed && !StepNatively(ws, kind, state)) {
        // Clearing the status flags is slow; reading them is not, so clear only what an earlier
        // computation left behind.
        if (PendingFaults() != 0) {
            std::feclearexcept(kFaultFlags);
        }
        // Finite results of the model keep the state finite unless the step's own arithmetic
        // overflows, which the status flags show.
        bool finite = true;
        int faults = 0;
        bool evaluated = false;
        if (kind == ModelKind::Discrete) {
            // Cheap here: the results were stored without x87 stores for the read to wait on.
            evaluated = Evaluate(ws, state.data(), state.data(), finite);
            faults = PendingFaults();
        } else {
            evaluated = RungeKutta(ws, state, state, finite, &faults);
        }
        const bool fault = faults != 0 || !finite;
        if (fault) {
            std::feclearexcept(kFaultFlags);
            // A failed evaluation has already reported and rebuilt the state.
            if (evaluated) {
                ws.errorFlag = true;
                CompileModelScript(ws);
            }
        }
    }
    if (ws.noise.noiseOn) {
        ApplyNoise(ws, state);
    }
}

namespace {

// Steps per batch: a batch that ends with a fault is replayed step by step from its start, so the
// replay never costs more than this many steps, while the call into the interpreter is shared by
// enough steps to cost nothing.
constexpr std::int64_t kBatchSteps = 4096;

// Arguments of the loop function besides the model's: the function, the count and the bound.
// Lua allows a function 200 locals; the loop's own are its arguments, the results and the counter.
constexpr int kBatchLocalLimit = 150;

// batch(model, n, huge, v1..vN, p1..pP) calls model n times, each time with the variables the last
// call returned, as the steps one by one do, and checks every result as they do: a result that is
// not a number stops it with an error (comparing it fails) and one that is not finite makes it
// return the calls that went well. It returns n and the last results when all went well.
std::string BatchLoopSource(int variables, int parameters, int results) {
    const auto list = [](const char* prefix, int count) {
        std::string text;
        for (int i = 1; i <= count; ++i) {
            text += (i > 1 ? "," : "") + std::string(prefix) + std::to_string(i);
        }
        return text;
    };
    const std::string values = list("v", variables);
    const std::string arguments = parameters > 0 ? values + "," + list("p", parameters) : values;
    const std::string outputs = list("r", results);
    std::string checks;
    for (int k = 1; k <= results; ++k) {
        const std::string r = "r" + std::to_string(k);
        checks += (k > 1 ? " and " : "") + r + "<huge and " + r + ">low";
    }
    return "return function(model,n,huge," + arguments + ")\nlocal low=-huge\nlocal " + outputs +
           "\nfor i=1,n do\n" + outputs + "=model(" + arguments + ")\nif not(" + checks +
           ") then return i-1 end\n" + values + "=" + list("r", variables) + "\nend\nreturn n," +
           outputs + "\nend";
}

// Pushes the batch loop of the state; false when it cannot be built. The loop is kept in the
// registry with the counts it was made for: counts may change without a new state.
bool PushBatchLoop(lua_State* lua, const Shape& shape) {
    const lua_Number counts =
        shape.variables + 1000.0 * shape.parameters + 1000000.0 * shape.results;
    lua_rawgeti(lua, LUA_REGISTRYINDEX, kBatchCountsSlot);
    const bool same = lua_tonumber(lua, -1) == counts;
    lua_pop(lua, 1);
    if (same) {
        lua_rawgeti(lua, LUA_REGISTRYINDEX, kBatchLoopSlot);
        if (lua_isfunction(lua, -1)) {
            return true;
        }
        lua_pop(lua, 1);
    }
    const std::string source = BatchLoopSource(shape.variables, shape.parameters, shape.results);
    if (luaL_loadbuffer(lua, source.data(), source.size(), "batch") != 0 ||
        lua_pcall(lua, 0, 1, 0) != 0 || !lua_isfunction(lua, -1)) {
        lua_settop(lua, 0);
        return false;
    }
    lua_pushvalue(lua, -1);
    lua_rawseti(lua, LUA_REGISTRYINDEX, kBatchLoopSlot);
    lua_pushnumber(lua, counts);
    lua_rawseti(lua, LUA_REGISTRYINDEX, kBatchCountsSlot);
    return true;
}

enum class BatchOutcome { Done, Replay, Stopped };

// n steps of a stateless map inside the interpreter. Done: state holds the result of the n steps.
// Replay: something went wrong somewhere in them (a fault, an error, a result that is no finite
// number), state is untouched and nothing was shown; the steps one by one find where and say what.
BatchOutcome RunBatch(ModelEvaluator& ws, const Shape& shape, StateVector& state, std::int64_t n) {
    lua_State* lua = ws.luaState;
    if (lua == nullptr) {
        return BatchOutcome::Replay;
    }
    lua_settop(lua, 0);
    if (!PushBatchLoop(lua, shape)) {
        return BatchOutcome::Replay;
    }
    if (PendingFaults() != 0) {
        std::feclearexcept(kFaultFlags);
    }
    PushModelFunction(lua);
    lua_pushnumber(lua, static_cast<lua_Number>(n));
    lua_pushnumber(lua, HUGE_VAL);
    for (int i = 0; i < shape.variables; ++i) {
        lua_pushnumber(lua, static_cast<lua_Number>(state[i]));
    }
    for (int j = 0; j < shape.parameters; ++j) {
        lua_pushnumber(lua, static_cast<lua_Number>(ws.parameterValues[j]));
    }
    const int status = lua_pcall(lua, 3 + shape.variables + shape.parameters, LUA_MULTRET, 0);
    if (status != 0) {
        if (ws.interrupt.requested()) {
            ws.errorFlag = true;
            ws.scriptStatus = status;
            ReportStop(ws);
            return BatchOutcome::Stopped;
        }
        lua_settop(lua, 0);
        std::feclearexcept(kFaultFlags);
        return BatchOutcome::Replay;
    }
    const bool complete =
        lua_gettop(lua) == 1 + shape.results && lua_tonumber(lua, 1) == static_cast<lua_Number>(n);
    if (PendingFaults() != 0 || !complete) {
        lua_settop(lua, 0);
        std::feclearexcept(kFaultFlags);
        return BatchOutcome::Replay;
    }
    for (int k = 0; k < shape.results; ++k) {
        StoreExtended(&state[k], lua_tonumber(lua, k + 2));
    }
    lua_settop(lua, 0);
    ws.scriptStatus = 0;
    return BatchOutcome::Done;
}

// n steps of the compiled program from state, the variables going from each call's results to the
// next call's arguments in registers, as the steps one by one pass them through the state (a
// double stored as Extended and read back is the same double). True: state holds the result of the
// n steps. False: a value was not finite somewhere; state is untouched and the steps one by one
// find where and judge it.
bool NativeBatch(ModelEvaluator& ws, const NativeModel& native, const Shape& shape,
                 StateVector& state, std::int64_t n) {
    if (const NativeCode* code = CodeFor(ws, &native, shape)) {
        Parameters parameters;
        ParametersAsDoubles(ws, shape, parameters);
        return code->iterate(state.data(), parameters.data(), n);
    }
    double* registers = ws.nativeRegisters.data();
    bool finite = LoadParameters(ws, shape);
    for (int i = 0; i < shape.variables; ++i) {
        registers[i] = LoadDouble(state[i]);
        finite = finite && std::isfinite(registers[i]);
    }
    if (!finite) {
        return false;
    }
    const bool reloadParameters = native.writesArgumentsFrom(shape.variables);
    std::array<std::uint32_t, kModelListCapacity> results{};
    bool inPlace = true;
    for (int k = 0; k < shape.results; ++k) {
        results[k] = static_cast<std::uint32_t>(native.resultRegister(k));
        inPlace = inPlace && (k >= shape.variables || results[k] == static_cast<std::uint32_t>(k));
    }
    std::array<double, kModelListCapacity> next{};
    for (std::int64_t step = 0; step < n; ++step) {
        if (step > 0) {
            // A result may be another variable's register, so all are read before any is written.
            if (!inPlace) {
                for (int i = 0; i < shape.variables; ++i) {
                    next[i] = registers[results[i]];
                }
                std::copy_n(next.begin(), shape.variables, registers);
            }
            if (reloadParameters) {
                LoadParameters(ws, shape);
            }
        }
        if (!native.run(registers)) {
            return false;
        }
    }
    for (int k = 0; k < shape.results; ++k) {
        StoreExtended(&state[k], registers[results[k]]);
    }
    return true;
}

// The steps in batches of kBatchSteps made by batch(n). A batch that cannot vouch for its steps
// (Replay: a fault, an error, a value that is not finite somewhere in it) has left the state as it
// was, and its steps are made one by one from there, which finds the failing step and judges it.
template <typename Batch>
std::int64_t InBatches(ModelEvaluator& ws, ModelKind kind, StateVector& state, std::int64_t steps,
                       Batch&& batch) {
    std::int64_t done = 0;
    while (done < steps && !ws.errorFlag) {
        const std::int64_t n = std::min(kBatchSteps, steps - done);
        const BatchOutcome outcome = batch(n);
        if (outcome == BatchOutcome::Stopped) {
            return done + 1;
        }
        if (outcome == BatchOutcome::Done) {
            done += n;
            continue;
        }
        const std::int64_t end = done + n;
        while (done < end && !ws.errorFlag) {
            ModelStep(ws, kind, state);
            ++done;
        }
    }
    return done;
}

bool Batchable(const ModelEvaluator& ws, const Shape& shape) {
    return shape.variables > 0 &&
           shape.variables + shape.parameters + shape.results <= kBatchLocalLimit &&
           (ws.nativeModel != nullptr && ws.nativeModel->script() == ws.model().scriptText
                ? ws.nativeModel->stateless()
                : ModelIsStateless(ws.model().scriptText));
}

}  // namespace

std::int64_t ModelTransient(ModelEvaluator& ws, ModelKind kind, StateVector& state,
                            std::int64_t steps) {
    const Shape shape = ShapeOf(ws);
    const bool map = !ws.errorFlag && steps > 1 && kind == ModelKind::Discrete && !ws.noise.noiseOn;
    if (map && NativeFor(ws, shape) != nullptr) {
        return InBatches(ws, kind, state, steps, [&](std::int64_t n) {
            // Between batches a stop requested meanwhile is looked at again.
            const Shape now = ShapeOf(ws);
            const NativeModel* native = NativeFor(ws, now);
            return native != nullptr && NativeBatch(ws, *native, now, state, n)
                       ? BatchOutcome::Done
                       : BatchOutcome::Replay;
        });
    }
    // Kutta's steps of a flow without noise run as batches of machine code, judged as a map's.
    const bool kutta = !ws.errorFlag && steps > 1 && kind == ModelKind::Continuous &&
                       !ws.noise.noiseOn &&
                       ws.model().integration.method == IntegrationMethod::RungeKutta3;
    if (kutta && CodeFor(ws, NativeFor(ws, shape), shape) != nullptr) {
        return InBatches(ws, kind, state, steps, [&](std::int64_t n) {
            const Shape now = ShapeOf(ws);
            const NativeCode* code = CodeFor(ws, NativeFor(ws, now), now);
            if (code == nullptr) {
                return BatchOutcome::Replay;
            }
            Parameters parameters;
            ParametersAsDoubles(ws, now, parameters);
            return code->kuttaSteps(state.data(), parameters.data(), ws.model().stepSize, n)
                       ? BatchOutcome::Done
                       : BatchOutcome::Replay;
        });
    }
    if (map && Batchable(ws, shape)) {
        return InBatches(ws, kind, state, steps,
                         [&](std::int64_t n) { return RunBatch(ws, shape, state, n); });
    }
    return InBatches(ws, kind, state, steps, [](std::int64_t) { return BatchOutcome::Replay; });
}

namespace {

// The bounds WithinDistance compares the sum of squares with: below the square the rounded root
// cannot exceed the radius; well above it, it cannot reach it.
struct DistanceBounds {
    Extended square;
    Extended limit;
};

inline DistanceBounds BoundsOf(Extended radius) {
    const Extended square = radius * radius;
    return {square, square * (1 + 8 * std::numeric_limits<Extended>::epsilon())};
}

}  // namespace

bool WithinDistance(const StateVector& a, const StateVector& centre, const std::vector<int>& slots,
                    Extended radius) {
    Extended sum = 0;
    for (const int slot : slots) {
        const Extended difference =
            a[static_cast<std::size_t>(slot)] - centre[static_cast<std::size_t>(slot)];
        sum += difference * difference;
    }
    const DistanceBounds bounds = BoundsOf(radius);
    if (sum <= bounds.square) {
        return true;
    }
    if (sum > bounds.limit) {
        return false;
    }
    return std::sqrt(sum) <= radius;
}

bool ModelStepsWithin(ModelEvaluator& ws, ModelKind kind, StateVector& state, std::int64_t steps,
                      const StateVector& centre, const std::vector<int>& slots, Extended radius) {
    std::int64_t done = 0;
    const bool map = !ws.errorFlag && kind == ModelKind::Discrete && !ws.noise.noiseOn;
    const bool slotsInState = std::all_of(
        slots.begin(), slots.end(), [&](int slot) { return slot >= 0 && slot < ResultCount(ws); });
    if (map && slotsInState) {
        const DistanceBounds distance = BoundsOf(radius);
        const Extended bounds[3] = {distance.square, distance.limit, radius};
        while (done < steps && !ws.errorFlag) {
            // A stop is looked at before every batch (NativeFor hands a pending one over).
            const Shape shape = ShapeOf(ws);
            const NativeCode* code = CodeFor(ws, NativeFor(ws, shape), shape);
            if (code == nullptr) {
                break;
            }
            Parameters parameters;
            ParametersAsDoubles(ws, shape, parameters);
            const std::int64_t n = std::min(kBatchSteps, steps - done);
            std::int64_t made = 0;
            switch (code->iterateWithin(state.data(), parameters.data(), n, centre.data(),
                                        slots.data(), static_cast<int>(slots.size()), bounds,
                                        made)) {
                case NativeCode::Within::Stayed:
                    done += n;
                    continue;
                case NativeCode::Within::Left:
                    return false;
                case NativeCode::Within::Failed:
                    // The interpreter judges the step the code could not vouch for.
                    done += made + 1;
                    ModelStep(ws, kind, state);
                    if (ws.errorFlag || !WithinDistance(state, centre, slots, radius)) {
                        return false;
                    }
                    continue;
            }
        }
    }
    for (; done < steps; ++done) {
        ModelStep(ws, kind, state);
        if (ws.errorFlag || !WithinDistance(state, centre, slots, radius)) {
            return false;
        }
    }
    return true;
}

std::int64_t NativeLyapunovPair(ModelEvaluator& ws, ModelKind kind, StateVector& a, StateVector& b,
                                std::int64_t iterations, Extended epsilon, Extended penalty,
                                Extended coincident, Extended& sum) {
    const bool flow = kind == ModelKind::Continuous;
    if (ws.errorFlag || ws.noise.noiseOn || (kind != ModelKind::Discrete && !flow) ||
        (flow && ws.model().integration.method != IntegrationMethod::RungeKutta3)) {
        return 0;
    }
    const Extended constants[4] = {epsilon, penalty, coincident, ws.model().stepSize};
    std::int64_t done = 0;
    while (done < iterations) {
        const Shape shape = ShapeOf(ws);
        const NativeCode* code = CodeFor(ws, NativeFor(ws, shape), shape);
        if (code == nullptr) {
            break;
        }
        Parameters parameters;
        ParametersAsDoubles(ws, shape, parameters);
        const std::int64_t n = std::min(kBatchSteps, iterations - done);
        const std::int64_t made =
            code->pair(flow, a.data(), b.data(), parameters.data(), n, constants, sum);
        done += made;
        if (made < n) {
            break;
        }
    }
    return done;
}

}  // namespace kalvora
