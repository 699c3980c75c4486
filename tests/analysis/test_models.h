#pragma once

#include <lua.hpp>

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "core/model_evaluator.h"
#include "core/model_step.h"
#include "core/model_workspace.h"

namespace kalvora::testing {

// Whether the model counts its calls in the global "calls" (ModelCalls). The counter is state kept
// between calls, which keeps sweeps and scans of the model on one thread.
enum class CallCounter { On, Off };

// Puts a hand-written model into the workspace (a new definition, compiled by every evaluator made
// from it).
inline void UseModel(ModelWorkspace& ws, ModelKind kind,
                     std::initializer_list<std::pair<const char*, Extended>> variables,
                     std::initializer_list<std::pair<const char*, Extended>> parameters,
                     std::initializer_list<const char*> auxiliaries, const std::string& body,
                     CallCounter counter = CallCounter::On) {
    ReplaceModel(ws, [&](ModelDefinition& m) {
        SetModelKind(m, kind);
        m.variableCount = static_cast<int>(variables.size());
        m.parameterCount = static_cast<int>(parameters.size());
        m.auxiliaryCount = static_cast<int>(auxiliaries.size());
        // A fresh model's own program: no compiled program of the previous one is carried over.
        m.nativeModel.reset();
        std::string arguments;
        int i = 0;
        for (const auto& [name, value] : variables) {
            m.variableNames[i] = name;
            m.initialValues[i] = value;
            arguments += (arguments.empty() ? "" : ", ") + std::string(name);
            ++i;
        }
        for (const char* name : auxiliaries) {
            m.variableNames[i++] = name;
        }
        i = 0;
        for (const auto& [name, value] : parameters) {
            m.parameterNames[i] = name;
            m.parameterValues[i] = value;
            arguments += (arguments.empty() ? "" : ", ") + std::string(name);
            ++i;
        }
        m.scriptText = counter == CallCounter::On
                           ? "calls = 0\nfunction model(" + arguments + ")\ncalls = calls + 1\n" +
                                 body + "\nend\n"
                           : "function model(" + arguments + ")\n" + body + "\nend\n";
    });
}

// An evaluator of the workspace's model as a run makes one: the workspace's random sequence and
// prompts, and (when given) the run's control.
inline std::unique_ptr<ModelEvaluator> EvaluatorOf(const ModelWorkspace& ws,
                                                   RunControl* control = nullptr) {
    return std::make_unique<ModelEvaluator>(ws.definition, ws.randomState, ws.prompts, control);
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

// The model calls the evaluator has made since it was made (its script's own count).
inline long long ModelCalls(const ModelEvaluator& model) {
    lua_getglobal(model.luaState, "calls");
    const long long calls = static_cast<long long>(lua_tonumber(model.luaState, -1));
    lua_pop(model.luaState, 1);
    return calls;
}

}  // namespace kalvora::testing
