#include "core/script_lines.h"

#include <gtest/gtest.h>

#include "core/model_commands.h"
#include "core/model_shell.h"
#include "core/model_step.h"
#include "core/scripted_prompts.h"

namespace kalvora {
namespace {

// A script as the program generates it: header, three equation lines, return, end.
const std::string kScript = "function model (x,y,a)\r\nx1=a*x\r\ny=x\r\nx=x1\r\nreturn x,y\r\nend";

TEST(EquationLineMessage, NamesTheEditorsLineNotTheScripts) {
    struct Case {
        const char* lua;
        const char* shown;
    };
    const Case cases[] = {
        {"[string \"modelbuffer\"]:3: ')' expected near 'end'", "line 2: ')' expected near 'end'"},
        {"[string \"modelbuffer\"]:2: attempt to call global 'f' (a nil value)",
         "line 1: attempt to call global 'f' (a nil value)"},
        // Lua's second place inside the message moves with the first.
        {"[string \"modelbuffer\"]:6: 'end' expected (to close 'if' at line 3) near '<eof>'",
         "line 3: 'end' expected (to close 'if' at line 2) near '<eof>'"},
        // The closing lines the program adds are the user's last line; the header the first.
        {"[string \"modelbuffer\"]:5: '=' expected near 'return'",
         "line 3: '=' expected near 'return'"},
        {"[string \"modelbuffer\"]:1: unexpected symbol", "line 1: unexpected symbol"},
        // Another chunk name (a sandboxed state may name it otherwise).
        {"model:4: oops", "line 3: oops"},
        {"not enough memory", "not enough memory"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(EquationLineMessage(c.lua, kScript), c.shown) << c.lua;
    }
}

TEST(EquationLineOf, ReadsTheLineATranslatedMessageBeginsWith) {
    EXPECT_EQ(EquationLineOf("line 12: ')' expected near 'end'"), 12);
    EXPECT_EQ(EquationLineOf("not enough memory"), 0);
    EXPECT_EQ(EquationLineOf("in line 3: x"), 0);
}

ModelSource Source(const std::string& equations) {
    ModelSource source;
    source.initialText = "x=0.1, y=0.1";
    source.parameterText = "a=1.4, b=0.3";
    source.equations = equations;
    return source;
}

TEST(ScriptErrorDetails, ARefusedOkNamesTheEquationLine) {
    ModelWorkspace ws;
    const auto refusal = AcceptModel(ws, Source("x1=1-a*x*x+y\r\ny=b*x\r\nx=(x1\r\nz=1\r\n"));
    ASSERT_TRUE(refusal.has_value());
    EXPECT_EQ(refusal->message, "Error in syntax");
    EXPECT_EQ(refusal->line, 4);
    EXPECT_EQ(refusal->details, "line 4: ')' expected (to close '(' at line 3) near 'z'");

    ScriptedPrompts prompts;
    NullModelShell shell;
    int line = 0;
    EXPECT_FALSE(AcceptModelSource(ws, Source("x1=1-a*x*x+y\r\ny=b*x )\r\nx=x1\r\n"), shell,
                                   prompts, &line));
    EXPECT_EQ(prompts.errors, std::vector<std::string>{"Error in syntax"});
    ASSERT_EQ(prompts.errorDetails.size(), 1u);
    EXPECT_EQ(prompts.errorDetails[0], "line 2: unexpected symbol near ')'");
    EXPECT_EQ(line, 2);
}

TEST(ScriptErrorDetails, ARunTimeErrorNamesTheEquationLine) {
    ModelWorkspace ws;
    ScriptedPrompts prompts;
    ws.prompts = &prompts;
    ASSERT_FALSE(AcceptModel(ws, Source("x1=1-a*x*x+y\r\ny=nosuch(x)\r\nx=x1\r\n")).has_value());
    StateVector state{};
    ModelEvaluator model(ws.definition, ws.randomState, &prompts);
    ModelStep(model, ws.model().kind, state);
    EXPECT_TRUE(model.errorFlag);
    EXPECT_EQ(prompts.errors, std::vector<std::string>{"Error in variable/function name"});
    ASSERT_EQ(prompts.errorDetails.size(), 1u);
    EXPECT_EQ(prompts.errorDetails[0], "line 2: attempt to call global 'nosuch' (a nil value)");
    EXPECT_EQ(model.recordedDetails, prompts.errorDetails[0]);
}

}  // namespace
}  // namespace kalvora
