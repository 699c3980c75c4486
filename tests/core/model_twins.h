#pragma once

// Two workspaces with the same model, run two ways and compared bit for bit.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/model_commands.h"
#include "core/model_definition.h"
#include "core/model_file.h"
#include "core/model_shell.h"
#include "core/model_step.h"
#include "core/scripted_prompts.h"

namespace kalvora {

// Two workspaces with the same model: one runs the transient, the other the steps one by one.
struct Twin {
    ModelWorkspace ws;
    ScriptedPrompts prompts;
    Twin() { ws.prompts = &prompts; }
};

// suffix goes after the function: "\r\n--[[ ]]" keeps the model from being compiled for the
// machine (a long comment is beyond the compiler), so that the twin runs in the interpreter.
inline void UseScript(Twin& twin, const std::string& initial, const std::string& parameters,
                      const std::string& body, const std::string& suffix = "") {
    ModelWorkspace& ws = twin.ws;
    AcceptModelDefinition(ws, initial, parameters, "");
    BuildModelScript(ws, body);
    ws.scriptText += suffix;
    ws.kind = ModelKind::Discrete;
    ws.discrete = true;
    CompileModelScript(ws);
}

inline void UseFile(Twin& twin, const std::string& path) {
    NullModelShell shell;
    ModelSource source;
    LoadModelFromFile(twin.ws, source, shell, path);
}

struct Outcome {
    StateVector state{};
    std::int64_t steps = 0;
    bool failed = false;
    std::vector<std::string> messages;
};

inline Outcome StepByStep(Twin& twin, std::int64_t steps) {
    Outcome outcome;
    outcome.state = twin.ws.initialValues;
    twin.ws.errorFlag = false;
    while (outcome.steps < steps && !twin.ws.errorFlag) {
        ModelStep(twin.ws, twin.ws.kind, outcome.state);
        ++outcome.steps;
    }
    outcome.failed = twin.ws.errorFlag;
    outcome.messages = twin.prompts.errors;
    return outcome;
}

inline Outcome Transient(Twin& twin, std::int64_t steps) {
    Outcome outcome;
    outcome.state = twin.ws.initialValues;
    twin.ws.errorFlag = false;
    outcome.steps = ModelTransient(twin.ws, twin.ws.kind, outcome.state, steps);
    outcome.failed = twin.ws.errorFlag;
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
