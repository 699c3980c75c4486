#pragma once

#include <lua.hpp>

#include <initializer_list>
#include <string>
#include <utility>

#include "core/model_step.h"
#include "core/model_workspace.h"

namespace kalvora::testing {

// Puts a hand-written model into the workspace and compiles it. The script counts its own calls in
// the Lua global "calls", which the tests read to count model steps.
// Whether the model counts its calls in the global "calls" (ModelCalls). The counter is state kept
// between calls, which keeps sweeps and scans of the model on one thread.
enum class CallCounter { On, Off };

inline void UseModel(ModelWorkspace& ws, ModelKind kind,
                     std::initializer_list<std::pair<const char*, Extended>> variables,
                     std::initializer_list<std::pair<const char*, Extended>> parameters,
                     std::initializer_list<const char*> auxiliaries, const std::string& body,
                     CallCounter counter = CallCounter::On) {
    ws.kind = kind;
    ws.discrete = kind != ModelKind::Continuous;
    ws.variableCount = static_cast<int>(variables.size());
    ws.parameterCount = static_cast<int>(parameters.size());
    ws.auxiliaryCount = static_cast<int>(auxiliaries.size());
    std::string arguments;
    int i = 0;
    for (const auto& [name, value] : variables) {
        ws.variableNames[i] = name;
        ws.initialValues[i] = value;
        arguments += (arguments.empty() ? "" : ", ") + std::string(name);
        ++i;
    }
    for (const char* name : auxiliaries) {
        ws.variableNames[i++] = name;
    }
    i = 0;
    for (const auto& [name, value] : parameters) {
        ws.parameterNames[i] = name;
        ws.parameterValues[i] = value;
        arguments += (arguments.empty() ? "" : ", ") + std::string(name);
        ++i;
    }
    ws.scriptText =
        counter == CallCounter::On
            ? "calls = 0\nfunction model(" + arguments + ")\ncalls = calls + 1\n" + body + "\nend\n"
            : "function model(" + arguments + ")\n" + body + "\nend\n";
    CompileModelScript(ws);
}

// x -> r x (1 - x)
inline void UseLogistic(ModelWorkspace& ws, Extended r = 3.7L, Extended x0 = 0.3L,
                        CallCounter counter = CallCounter::On) {
    UseModel(ws, ModelKind::Discrete, {{"x", x0}}, {{"r", r}}, {}, "return r*x*(1-x)", counter);
}

// (x, y) -> (1 - a x^2 + y, b x)
inline void UseHenon(ModelWorkspace& ws, CallCounter counter = CallCounter::On) {
    UseModel(ws, ModelKind::Discrete, {{"x", 0.1L}, {"y", 0.1L}}, {{"a", 1.4L}, {"b", 0.3L}}, {},
             "return 1 - a*x*x + y, b*x", counter);
}

inline double LogisticStep(double r, double x) {
    return r * x * (1 - x);
}

inline long long ModelCalls(ModelWorkspace& ws) {
    lua_getglobal(ws.luaState, "calls");
    const long long calls = static_cast<long long>(lua_tonumber(ws.luaState, -1));
    lua_pop(ws.luaState, 1);
    return calls;
}

}  // namespace kalvora::testing
