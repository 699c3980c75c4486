#include "core/model_step.h"

#include <lua.hpp>

#include <algorithm>
#include <cfenv>
#include <cmath>

#include "core/noise.h"
#include "core/prompts.h"

namespace kalvora {
namespace {

constexpr int kFaultFlags = FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW;

void ShowMessage(ModelWorkspace& ws, const char* message) {
    if (ws.prompts != nullptr && message[0] != '\0') {
        ws.prompts->error(message);
    }
}

int Count(std::int32_t value) {
    return std::clamp<int>(value, 0, kModelListCapacity);
}

int ResultCount(const ModelWorkspace& ws) {
    return std::min(Count(ws.variableCount) + Count(ws.auxiliaryCount), kModelListCapacity);
}

// Returns false when the Lua call failed (out untouched, state already rebuilt).
bool Evaluate(ModelWorkspace& ws, const StateVector& in, StateVector& out) {
    if (ws.luaState == nullptr) {
        CompileModelScript(ws);
        if (ws.luaState == nullptr) {
            ws.errorFlag = true;
            return false;
        }
    }
    lua_State* lua = ws.luaState;
    const int variables = Count(ws.variableCount);
    const int parameters = Count(ws.parameterCount);
    const int results = ResultCount(ws);
    lua_settop(lua, 0);
    // The counts may have changed since the compile (a new definition not yet compiled); pushing
    // past the checked stack would corrupt the interpreter.
    if (!lua_checkstack(lua, variables + parameters + results + 1)) {
        ws.scriptStatus = LUA_ERRMEM;
    } else {
        lua_getfield(lua, LUA_GLOBALSINDEX, "model");
        for (int i = 0; i < variables; ++i) {
            lua_pushnumber(lua, static_cast<lua_Number>(in[i]));
        }
        for (int j = 0; j < parameters; ++j) {
            lua_pushnumber(lua, static_cast<lua_Number>(ws.parameterValues[j]));
        }
        ws.scriptStatus = lua_pcall(lua, variables + parameters, results, 0);
    }
    if (ws.scriptStatus != 0) {
        ShowMessage(ws, EvaluationMessage(ws.scriptStatus));
        ws.errorFlag = true;
        CompileModelScript(ws);
        return false;
    }
    for (int k = 0; k < results; ++k) {
        out[k] = static_cast<Extended>(lua_tonumber(lua, k + 1));
    }
    return true;
}

// The work vectors are filled only up to N + A, which the compiler cannot see.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
bool RungeKutta(ModelWorkspace& ws, const StateVector& in, StateVector& out) {
    // Uninitialised on purpose: only the first M slots are used and filling 200 slots would cost
    // more than the arithmetic.
    StateVector x;
    StateVector k1;
    StateVector k2;
    StateVector k3;
    StateVector y;
    const int m = ResultCount(ws);
    const Extended h = ws.stepSize;
    std::copy_n(in.begin(), m, x.begin());
    bool ok = true;
    // A failed evaluation leaves its output unwritten; zeros keep the remaining arithmetic defined.
    auto evaluate = [&](const StateVector& at, StateVector& derivative) {
        if (!Evaluate(ws, at, derivative)) {
            std::fill_n(derivative.begin(), m, Extended{0});
            ok = false;
        }
    };
    evaluate(x, k1);
    for (int i = 0; i < m; ++i) {
        y[i] = (h * k1[i]) / 2 + x[i];
    }
    evaluate(y, k2);
    for (int i = 0; i < m; ++i) {
        y[i] = (x[i] - h * k1[i]) + (h * 2) * k2[i];
    }
    evaluate(y, k3);
    for (int i = 0; i < m; ++i) {
        out[i] = ((k2[i] * 4 + k1[i]) + k3[i]) * h / 6 + x[i];
    }
    return ok;
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

void CompileModelScript(ModelWorkspace& ws) {
    if (ws.luaState != nullptr) {
        lua_close(ws.luaState);
        ws.luaState = nullptr;
    }
    lua_State* lua = luaL_newstate();
    if (lua == nullptr) {
        ws.scriptStatus = LUA_ERRMEM;
        ShowMessage(ws, CompileMessage(ws.scriptStatus));
        return;
    }
    ws.luaState = lua;
    // Only these four: models get no file, operating-system or package access.
    static const luaL_Reg libraries[] = {{"", luaopen_base},
                                         {LUA_TABLIBNAME, luaopen_table},
                                         {LUA_STRLIBNAME, luaopen_string},
                                         {LUA_MATHLIBNAME, luaopen_math}};
    for (const luaL_Reg& library : libraries) {
        lua_pushcfunction(lua, library.func);
        lua_pushstring(lua, library.name);
        lua_pcall(lua, 1, 0, 0);
    }
    ws.scriptStatus =
        luaL_loadbuffer(lua, ws.scriptText.data(), ws.scriptText.size(), "modelbuffer");
    if (ws.scriptStatus != 0) {
        ShowMessage(ws, CompileMessage(ws.scriptStatus));
    } else {
        ws.scriptStatus = lua_pcall(lua, 0, 0, 0);
        if (ws.scriptStatus != 0) {
            ShowMessage(ws, CompileMessage(ws.scriptStatus));
        }
    }
    lua_checkstack(lua,
                   Count(ws.variableCount) + Count(ws.auxiliaryCount) + Count(ws.parameterCount));
}

void EvaluateModel(ModelWorkspace& ws, const StateVector& in, StateVector& out) {
    Evaluate(ws, in, out);
}

void RungeKuttaStep(ModelWorkspace& ws, const StateVector& in, StateVector& out) {
    RungeKutta(ws, in, out);
}

void ModelStep(ModelWorkspace& ws, ModelKind kind, StateVector& state) {
    if (kind != ModelKind::Closed) {
        // Clearing the status flags is slow; reading them is not, so clear only what an earlier
        // computation left behind.
        if (std::fetestexcept(kFaultFlags) != 0) {
            std::feclearexcept(kFaultFlags);
        }
        const bool evaluated =
            kind == ModelKind::Discrete ? Evaluate(ws, state, state) : RungeKutta(ws, state, state);
        bool fault = std::fetestexcept(kFaultFlags) != 0;
        if (evaluated && !fault) {
            const int m = ResultCount(ws);
            for (int i = 0; i < m; ++i) {
                if (!std::isfinite(state[i])) {
                    fault = true;
                    break;
                }
            }
        }
        if (fault) {
            std::feclearexcept(kFaultFlags);
            // A failed evaluation has already reported and rebuilt the state.
            if (evaluated) {
                ws.errorFlag = true;
                CompileModelScript(ws);
            }
        }
    }
    ApplyNoise(ws, state);
}

}  // namespace kalvora
