#include "core/model_definition.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "core/model_commands.h"
#include "core/model_shell.h"
#include "core/model_workspace.h"
#include "core/numbers.h"
#include "tests/core/test_support.h"

namespace kalvora {
namespace {

struct List {
    NameList names{};
    ValueList values{};
    std::int32_t count = -1;
    void parse(const std::string& text) { ParseAssignmentList(text, names, values, count); }
};

TEST(ParseAssignmentList, ReadsNamesAndValuesIgnoringSpaces) {
    List list;
    list.parse("x=0.25, y=0.2");
    ASSERT_EQ(list.count, 2);
    EXPECT_EQ(list.names[0], "x");
    EXPECT_EQ(list.names[1], "y");
    EXPECT_EQ(list.values[0], 0.25L);
    EXPECT_EQ(list.values[1], 0.2L);

    List spaced;
    spaced.parse("a = 0.1 ,b = 0.5");
    ASSERT_EQ(spaced.count, 2);
    EXPECT_EQ(spaced.names[1], "b");
    EXPECT_EQ(spaced.values[1], 0.5L);

    List inside;
    inside.parse("long name=0.2 5==1e-3");  // spaces vanish inside names and numbers, "=" in values
    ASSERT_EQ(inside.count, 1);
    EXPECT_EQ(inside.names[0], "longname");
    EXPECT_EQ(inside.values[0], 0.251e-3L);
}

TEST(ParseAssignmentList, TrailingCommaAndEmptyText) {
    List list;
    list.parse("x=1,");
    EXPECT_EQ(list.count, 1);
    list.parse("x=1, ");
    EXPECT_EQ(list.count, 1);
    list.parse("");
    EXPECT_EQ(list.count, 0);
}

TEST(ParseAssignmentList, BadValueChangesNothing) {
    List list;
    list.parse("x=1, y=2");
    try {
        list.parse("p=5, q=abc");
        FAIL();
    } catch (const ConversionError& error) {
        EXPECT_STREQ(error.what(), "'abc' is not a valid floating point value");
    }
    EXPECT_EQ(list.count, 2);
    EXPECT_EQ(list.names[0], "x");
    EXPECT_EQ(list.values[0], 1);

    EXPECT_THROW(list.parse("x="), ConversionError);
}

TEST(ParseAssignmentList, EntryWithoutEqualsIsRejectedByName) {
    List list;
    list.parse("x=1");
    try {
        list.parse("x=0,5");  // a decimal comma
        FAIL();
    } catch (const DefinitionError& error) {
        EXPECT_NE(std::string(error.what()).find("'5'"), std::string::npos);
    }
    EXPECT_THROW(list.parse("x=1, y"), DefinitionError);
    EXPECT_EQ(list.count, 1);
    EXPECT_EQ(list.values[0], 1);
}

TEST(ParseAssignmentList, MoreThanTwoHundredEntriesRejected) {
    std::string text;
    for (int i = 0; i < 200; ++i) {
        text += "v" + std::to_string(i) + "=" + std::to_string(i) + ",";
    }
    List list;
    list.parse(text);
    EXPECT_EQ(list.count, 200);
    EXPECT_EQ(list.values[199], 199);
    List other;
    EXPECT_THROW(other.parse(text + "w=1"), DefinitionError);
    EXPECT_EQ(other.count, -1);
    EXPECT_EQ(other.names[0], "");
}

TEST(ParseNameList, EntriesAfterTheVariables) {
    NameList names{};
    std::int32_t count = -1;
    ParseNameList("k,l", names, 2, count);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(names[2], "k");
    EXPECT_EQ(names[3], "l");
    ParseNameList("k,,l", names, 0, count);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(names[1], "");
    ParseNameList("", names, 0, count);
    EXPECT_EQ(count, 0);
    ParseNameList(" a b ", names, 0, count);
    EXPECT_EQ(names[0], "ab");
    EXPECT_THROW(ParseNameList("k,l", names, 199, count), DefinitionError);
    EXPECT_EQ(count, 1);
}

using testing::AcceptModelDefinition;

TEST(AcceptModelDefinition, FillsWorkspaceAndEveryDefault) {
    ModelWorkspace ws;
    AcceptModelDefinition(ws, "x=0.25, y=0.2, z=-3", "a=0.1, b=0.5, c=7", "k,l");
    EXPECT_EQ(ws.model().variableCount, 3);
    EXPECT_EQ(ws.model().parameterCount, 3);
    EXPECT_EQ(ws.model().auxiliaryCount, 2);
    EXPECT_EQ(ws.model().variableNames[3], "k");
    EXPECT_EQ(ws.model().parameterNames[2], "c");
    // Every default, not only the first: Default in the parameter window restores from them.
    const std::vector<Extended> initial = {0.25L, 0.2L, -3};
    const std::vector<Extended> parameters = {0.1L, 0.5L, 7};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(ws.model().defaultInitialValues[i], initial[i]) << i;
        EXPECT_EQ(ws.model().defaultParameterValues[i], parameters[i]) << i;
    }
}

TEST(AcceptModelDefinition, AFailureAnywhereStoresNothing) {
    struct Case {
        const char* initial;
        const char* parameters;
        const char* auxiliaries;
    };
    const std::vector<Case> cases = {
        {"x=3, y=4, z=5", "a=1.4, b=0.3x", "k"},  // the parameters fail after the variables
        {"x=3, y", "a=1", ""},                    // an entry without a value
        {"x=oops", "a=1", "k"},
    };
    for (const Case& c : cases) {
        ModelWorkspace ws;
        AcceptModelDefinition(ws, "x=1", "a=2", "");
        EXPECT_ANY_THROW(AcceptModelDefinition(ws, c.initial, c.parameters, c.auxiliaries));
        EXPECT_EQ(ws.model().variableCount, 1) << c.initial;
        EXPECT_EQ(ws.model().initialValues[0], 1) << c.initial;
        EXPECT_EQ(ws.model().parameterCount, 1) << c.initial;
        EXPECT_EQ(ws.model().parameterValues[0], 2) << c.initial;
        EXPECT_EQ(ws.model().auxiliaryCount, 0) << c.initial;
        EXPECT_EQ(ws.model().defaultInitialValues[0], 1) << c.initial;
    }
}

TEST(AcceptModelDefinition, StateSlotsBeyondTheVariablesStartAtZero) {
    ModelWorkspace ws;
    AcceptModelDefinition(ws, "x=1, y=1, z=1", "s=10", "");
    ReplaceModel(ws, [](ModelDefinition& model) { model.initialValues[3] = 9; });
    AcceptModelDefinition(ws, "x=2, y=0", "mu=1", "elapsed");
    for (int i = 2; i < kModelListCapacity; ++i) {
        ASSERT_EQ(ws.model().initialValues[i], 0) << i;
    }
}

TEST(SetModelKind, DiscreteFollowsTheKind) {
    ModelWorkspace ws;
    for (const auto& [kind, discrete] :
         std::vector<std::pair<ModelKind, bool>>{{ModelKind::Continuous, false},
                                                 {ModelKind::Discrete, true},
                                                 {ModelKind::Continuous, false},
                                                 {ModelKind::Closed, true}}) {
        ReplaceModel(ws, [&](ModelDefinition& model) { SetModelKind(model, kind); });
        EXPECT_EQ(ws.model().kind, kind);
        EXPECT_EQ(ws.model().discrete, discrete);
    }
}

TEST(AcceptModelDefinition, TooManyVariablesAndAuxiliaries) {
    std::string variables;
    for (int i = 0; i < 199; ++i) {
        variables += "v" + std::to_string(i) + "=0,";
    }
    ModelWorkspace ws;
    AcceptModelDefinition(ws, "x=1, y=2", "a=3", "k,l");
    // The refusal leaves the model as it was, so N + A still fits the list: storing the 199
    // variables first would pair them with the old two auxiliary names, one past the end.
    EXPECT_THROW(AcceptModelDefinition(ws, variables, "b=4", "k,l"), DefinitionError);
    EXPECT_EQ(ws.model().variableCount, 2);
    EXPECT_EQ(ws.model().auxiliaryCount, 2);
    EXPECT_EQ(ws.model().variableNames[0], "x");
    EXPECT_EQ(ws.model().variableNames[2], "k");
    EXPECT_EQ(ws.model().initialValues[1], 2);
    EXPECT_EQ(ws.model().parameterValues[0], 3);
    AcceptModelDefinition(ws, variables, "", "k");
    EXPECT_EQ(ws.model().variableNames[199], "k");
}

TEST(ResetModel, ClosesButKeepsValues) {
    ModelWorkspace ws;
    AcceptModelDefinition(ws, "x=0.25", "a=1", "k");
    ReplaceModel(ws, [](ModelDefinition& model) {
        SetModelKind(model, ModelKind::Discrete);
        model.modelFile = "/tmp/m.mod";
    });
    testing::RecordingShell shell;
    ResetModel(ws, shell);
    EXPECT_EQ(ws.model().kind, ModelKind::Closed);
    EXPECT_EQ(ws.model().modelFile, "");
    EXPECT_EQ(ws.model().variableCount, 0);
    EXPECT_EQ(ws.model().parameterCount, 0);
    EXPECT_EQ(ws.model().auxiliaryCount, 1);
    EXPECT_EQ(ws.model().initialValues[0], 0.25L);
    EXPECT_EQ(shell.calls, (std::vector<std::string>{"main:Kalvora", "disable", "close"}));
}

TEST(ModelWorkspace, StartUpValues) {
    ModelWorkspace ws;
    EXPECT_EQ(ws.model().variableCount, 1);
    EXPECT_EQ(ws.model().parameterCount, 1);
    EXPECT_EQ(ws.model().kind, ModelKind::Closed);
    EXPECT_EQ(ws.model().stepSize, 0.01L);
    EXPECT_EQ(ws.cycleColours[0], 0xFF0000u);
    EXPECT_EQ(ws.cycleColours[1], 0x0000FFu);
    EXPECT_EQ(ws.cycleColours[99], 0x0000FFu);
    EXPECT_EQ(ws.cycleColours[100], 0xFFFFFFu);
    EXPECT_EQ(ws.cycleColours[101], 0x000000u);
    EXPECT_EQ(ws.dataFolder.back(), '/');
    EXPECT_EQ(ws.model().noise.noiseVariable, 1);
}

}  // namespace
}  // namespace kalvora
