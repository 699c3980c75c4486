#pragma once

// Two workspaces with the same model, run two ways and compared bit for bit.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/model_commands.h"
#include "core/model_definition.h"
#include "core/model_file.h"
#include "core/model_shell.h"
#include "core/model_step.h"
#include "core/model_workspace.h"
#include "core/scripted_prompts.h"

namespace kalvora {

// Two workspaces with the same model: one runs the transient, the other the steps one by one, each
// on an evaluator of its own.
struct Twin {
    ModelWorkspace ws;
    ScriptedPrompts prompts;
    std::unique_ptr<ModelEvaluator> model;
    Twin() { ws.prompts = &prompts; }
    // The evaluator of the workspace's model, made as a run makes one.
    void makeEvaluator() {
        model = std::make_unique<ModelEvaluator>(ws.definition, ws.randomState, &prompts);
    }
};

// suffix goes after the function: "\r\n--[[ ]]" keeps the model from being compiled for the
// machine (a long comment is beyond the compiler), so that the twin runs in the interpreter.
inline void UseScript(Twin& twin, const std::string& initial, const std::string& parameters,
                      const std::string& body, const std::string& suffix = "",
                      ModelKind kind = ModelKind::Discrete) {
    ModelDefinition model = ParseModelDefinition(initial, parameters, "");
    BuildModelScript(model, body);
    model.scriptText += suffix;
    SetModelKind(model, kind);
    twin.ws.definition = ShareDefinition(std::move(model));
    twin.makeEvaluator();
}

inline void UseFile(Twin& twin, const std::string& path) {
    NullModelShell shell;
    ModelSource source;
    LoadModelFromFile(twin.ws, source, shell, path);
    twin.makeEvaluator();
}

struct Outcome {
    StateVector state{};
    std::int64_t steps = 0;
    bool failed = false;
    std::vector<std::string> messages;
};

inline Outcome StepByStep(Twin& twin, std::int64_t steps) {
    Outcome outcome;
    outcome.state = twin.ws.model().initialValues;
    twin.model->errorFlag = false;
    while (outcome.steps < steps && !twin.model->errorFlag) {
        ModelStep(*twin.model, twin.ws.model().kind, outcome.state);
        ++outcome.steps;
    }
    outcome.failed = twin.model->errorFlag;
    outcome.messages = twin.prompts.errors;
    return outcome;
}

inline Outcome Transient(Twin& twin, std::int64_t steps) {
    Outcome outcome;
    outcome.state = twin.ws.model().initialValues;
    twin.model->errorFlag = false;
    outcome.steps = ModelTransient(*twin.model, twin.ws.model().kind, outcome.state, steps);
    outcome.failed = twin.model->errorFlag;
    outcome.messages = twin.prompts.errors;
    return outcome;
}

// Bit for bit: the Extended slots of the variables and auxiliaries, the step count, the failure and
// the messages shown.
inline void ExpectSame(const Outcome& expected, const Outcome& actual, int slots,
                       const std::string& what) {
    SCOPED_TRACE(what);
    EXPECT_EQ(expected.steps, actual.steps);
    EXPECT_EQ(expected.failed, actual.failed);
    EXPECT_EQ(expected.messages, actual.messages);
    for (int i = 0; i < slots; ++i) {
        // Only the ten bytes of the value: the padding of an Extended slot is not part of it.
        EXPECT_EQ(0, std::memcmp(&expected.state[i], &actual.state[i], 10))
            << "slot " << i << ": " << static_cast<double>(expected.state[i]) << " against "
            << static_cast<double>(actual.state[i]);
    }
}

}  // namespace kalvora
