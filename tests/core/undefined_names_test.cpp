#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/model_commands.h"
#include "core/model_file.h"
#include "core/undefined_names.h"

namespace kalvora {
namespace {

TEST(UndefinedNames, TheFirstNameReadThatNothingDefinesIsNamedWithItsLine) {
    std::vector<std::string> known = LibraryNames();
    known.insert(known.end(), {"x", "y", "r"});
    struct Case {
        const char* statements;
        const char* name;  // "" when every name is defined
        int line;
    };
    const Case cases[] = {
        {"x=r*math.sin(x)*q\r\n", "q", 1},
        {"x1=r*x\r\ny=x*sin(y)\r\nx=x1\r\n", "sin", 2},
        {"x=x\r\n\r\ny=k+1\r\nk=2\r\n", "", 0},  // a global assigned anywhere
        {"local t=x*2\r\nx=t\r\n", "", 0},
        {"local a, b = x, y\r\nx=a+b\r\n", "", 0},
        {"u, v = y, x\r\nx=u\r\ny=v\r\n", "", 0},
        {"for i = 1, 3 do x = x + i end\r\n", "", 0},
        {"for k, v in pairs({1}) do x = v end\r\n", "", 0},
        {"local function f(p, q) return p*q end\r\nx=f(x, r)\r\n", "", 0},
        {"function g(a) return a end\r\nx=g(x)\r\n", "", 0},
        {"function t.m(z) return z end\r\n", "t", 1},  // t itself is read
        {"x=string.len(\"abc\")*y -- w is in a comment\r\n", "", 0},
        {"--[[ a long\r\ncomment ]] x=y\r\nz=w\r\n", "w", 3},
        {"x=[[w\r\nv]] y=nonesuch\r\n", "nonesuch", 2},
        {"x=(\"w\"):len()\r\n", "", 0},
        {"x = y == zz and 1 or 0\r\n", "zz", 1},  // "==" assigns nothing
        {"x=a.b\r\n", "a", 1},
        {"x=math.pi*y\ry=r\n\nz=unknown\n", "unknown", 4},  // every kind of line break
    };
    for (const Case& c : cases) {
        const auto undefined = FindUndefinedName(c.statements, known);
        if (*c.name == '\0') {
            EXPECT_FALSE(undefined.has_value()) << c.statements << ": " << undefined->name;
            continue;
        }
        ASSERT_TRUE(undefined.has_value()) << c.statements;
        EXPECT_EQ(undefined->name, c.name) << c.statements;
        EXPECT_EQ(undefined->line, c.line) << c.statements;
    }
}

TEST(UndefinedNames, TheSandboxesLibrariesAreKnownAndItsRemovedFunctionsAreNot) {
    const std::vector<std::string>& names = LibraryNames();
    const auto has = [&](const char* name) {
        return std::find(names.begin(), names.end(), name) != names.end();
    };
    for (const char* name : {"math", "string", "table", "pairs", "tonumber", "print", "_G"})
        EXPECT_TRUE(has(name)) << name;
    for (const char* name : {"io", "os", "dofile", "loadfile", "require"})
        EXPECT_FALSE(has(name)) << name;
}

TEST(UndefinedNames, OkRefusesTheModelWithTheLineAndEverySampleModelPasses) {
    ModelWorkspace ws;
    ModelSource source;
    source.initialText = "x=0.5";
    source.parameterText = "r=3.7";
    source.equations = "x=r*x*(1-x)\r\nx=r*sin(x)*q\r\n";
    const auto refusal = AcceptModel(ws, source);
    ASSERT_TRUE(refusal.has_value());
    EXPECT_EQ(refusal->message, "Error in variable/function name");
    EXPECT_EQ(refusal->line, 2);
    EXPECT_NE(refusal->details.find("'sin'"), std::string::npos) << refusal->details;
    EXPECT_EQ(ws.model().kind, ModelKind::Closed);

    for (const auto& entry : std::filesystem::directory_iterator(KALVORA_MODELS)) {
        ModelWorkspace sample;
        ModelSource read;
        ReadModelSource(entry.path().string(), read);
        const auto sampleRefusal = AcceptModel(sample, read);
        EXPECT_FALSE(sampleRefusal.has_value())
            << entry.path() << ": " << sampleRefusal->message << " " << sampleRefusal->details;
    }
}

}  // namespace
}  // namespace kalvora
