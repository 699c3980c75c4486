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
        std::string lua;
        std::string shown;
    };
    const std::string es(100000, 'e');
    const Case cases[] = {
        {"[string \"modelbuffer\"]:3: ')' expected near 'end'", "line 2: ')' expected near 'end'"},
        {"[string \"modelbuffer\"]:2: attempt to call global 'f' (a nil value)",
         "line 1: attempt to call global 'f' (a nil value)"},
        // Lua's second place inside the message moves with the first; past the user's last line
        // the generated closing lines are named as the end of that line.
        {"[string \"modelbuffer\"]:6: 'end' expected (to close 'if' at line 3) near '<eof>'",
         "line 3: 'end' expected (to close 'if' at line 2) at the end of line 3"},
        {"[string \"modelbuffer\"]:5: '=' expected near 'return'",
         "line 3: '=' expected at the end of line 3"},
        {"[string \"modelbuffer\"]:6: 'end' expected (to close 'function' at line 1) near "
         "'<eof>'",
         "line 3: 'end' expected (a block of the statements is not closed) at the end of line 3"},
        {"[string \"modelbuffer\"]:1: unexpected symbol", "line 1: unexpected symbol"},
        // Another chunk name (a sandboxed state may name it otherwise).
        {"model:4: oops", "line 3: oops"},
        {"not enough memory", "not enough memory"},
        // Texts a model writes itself: of any length, with numbers beyond every integer.
        {es, es},
        {"[string \"modelbuffer\"]:3: " + es, "line 2: " + es},
        {"[string \"" + es, "[string \"" + es},
        {es + ":3: x", "line 2: x"},
        {"[string \"modelbuffer\"]:3: at line 99999999999999999999 at line ",
         "line 2: at line 3 at line "},
        {"[string \"modelbuffer\"]:99999999999999999999: x", "line 3: x"},
    };
    for (const Case& c : cases) {
        EXPECT_TRUE(EquationLineMessage(c.lua, kScript) == c.shown) << c.lua.substr(0, 80);
    }
}

// The editor's text ends with a line break, so the script has an empty line before "return":
// an error at the end belongs to the last line the user wrote, not to that empty one.
TEST(EquationLineMessage, AnErrorAtTheEndNamesTheLastWrittenLine) {
    ModelWorkspace ws;
    struct Case {
        const char* equations;
        const char* details;
    };
    const Case cases[] = {
        {"x=r*x*(1-x\r\n", "line 1: ')' expected (to close '(' at line 1) at the end of line 1"},
        {"y=1\r\nx=r*x*(1-x\r\n  \r\n\r\n",
         "line 2: ')' expected (to close '(' at line 2) at the end of line 2"},
        {"if x > 0 then\r\nx=1\r\n",
         "line 2: 'end' expected (a block of the statements is not closed) at the end of line 2"},
        {"x=\r\n", "line 1: unexpected symbol at the end of line 1"},
    };
    for (const Case& c : cases) {
        ModelSource source;
        source.initialText = "x=0.5";
        source.parameterText = "r=3";
        source.equations = c.equations;
        const auto refusal = AcceptModel(ws, source);
        ASSERT_TRUE(refusal.has_value()) << c.equations;
        EXPECT_EQ(refusal->details, c.details);
        EXPECT_EQ(refusal->line, EquationLineOf(c.details));
    }
}

TEST(EquationLineOf, ReadsTheLineATranslatedMessageBeginsWith) {
    EXPECT_EQ(EquationLineOf("line 12: ')' expected near 'end'"), 12);
    EXPECT_EQ(EquationLineOf("not enough memory"), 0);
    EXPECT_EQ(EquationLineOf("in line 3: x"), 0);
    EXPECT_EQ(EquationLineOf("line 3 x"), 0);
    EXPECT_EQ(EquationLineOf("line : x"), 0);
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
    ASSERT_FALSE(
        AcceptModel(ws, Source("x1=1-a*x*x+y\r\ny=math.nosuch(x)\r\nx=x1\r\n")).has_value());
    StateVector state{};
    ModelEvaluator model(ws.definition, ws.randomState, &prompts);
    ModelStep(model, ws.model().kind, state);
    EXPECT_TRUE(model.errorFlag);
    EXPECT_EQ(prompts.errors, std::vector<std::string>{"Error in variable/function name"});
    ASSERT_EQ(prompts.errorDetails.size(), 1u);
    EXPECT_EQ(prompts.errorDetails[0], "line 2: attempt to call field 'nosuch' (a nil value)");
    EXPECT_EQ(model.recordedDetails, prompts.errorDetails[0]);
}

}  // namespace
}  // namespace kalvora
