#include "cli/cli_common.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/model_definition.h"
#include "core/model_step.h"
#include "core/numbers.h"
#include "core/parameter_file.h"

namespace kalvora::cli {
namespace {

std::vector<OptionSpec> AllowedOptions() {
    std::vector<OptionSpec> allowed = {{"--length", "N", "", false}, {"--flag", "", "", false}};
    allowed.insert(allowed.end(), CommonOptions().begin(), CommonOptions().end());
    return allowed;
}

TEST(Arguments, OptionsValuesAndPositionals) {
    const Arguments arguments(
        {"m.mod", "--length", "5", "--set", "a=1", "--set=b=-2", "-o", "out.txt", "--flag", "-1.5"},
        AllowedOptions());
    EXPECT_EQ(arguments.positional(), (std::vector<std::string>{"m.mod", "-1.5"}));
    EXPECT_EQ(arguments.integer("--length", 0, 1, 10), 5);
    EXPECT_EQ(arguments.values("--set"), (std::vector<std::string>{"a=1", "b=-2"}));
    EXPECT_EQ(arguments.value("-o"), "out.txt");
    EXPECT_TRUE(arguments.has("--flag"));
    EXPECT_EQ(arguments.number("--step-size", 0.25L), 0.25L);
}

TEST(Arguments, BadUsage) {
    EXPECT_THROW(Arguments({"--nope"}, AllowedOptions()), UsageError);
    EXPECT_THROW(Arguments({"--length"}, AllowedOptions()), UsageError);
    EXPECT_THROW(Arguments({"--length", "1", "--length", "2"}, AllowedOptions()), UsageError);
    EXPECT_THROW(Arguments({"--flag=1"}, AllowedOptions()), UsageError);
    const Arguments range({"--length", "0"}, AllowedOptions());
    EXPECT_THROW(range.integer("--length", 1, 1, 10), UsageError);
    const Arguments number({"--length", "x"}, AllowedOptions());
    // A bad number names the option it came from.
    try {
        number.integer("--length", 1, 1, 10);
        ADD_FAILURE() << "no error";
    } catch (const UsageError& error) {
        EXPECT_STREQ(error.what(), "--length: 'x' is not a valid integer value");
    }
}

TEST(PrepareModel, AppliesParameterFileThenSetThenStepAndNoise) {
    const std::string dir = ::testing::TempDir();
    {
        ModelDefinition model = ParseModelDefinition("x=1, y=1, z=1", "sigma=1, r=2, b=3", "");
        SetModelKind(model, ModelKind::Continuous);
        model.stepSize = 0.002L;
        ModelWorkspace ws;
        ws.definition = ShareDefinition(std::move(model));
        WriteParameterFile(ws, dir + "lorenz-test.par");
    }
    const Arguments arguments(
        {KALVORA_MODELS "/lorenz.mod", "--par", dir + "lorenz-test.par", "--set", "r=28.5", "--set",
         "y=-4", "--noise-level", "0.5", "--noise-variable", "z", "--noise-type", "uniform",
         "--noise-period", "3", "--seed", "77"},
        AllowedOptions());
    ModelSession session;
    PrepareModel(session, arguments);
    const ModelWorkspace& ws = session.ws;
    EXPECT_EQ(ws.model().kind, ModelKind::Continuous);
    EXPECT_EQ(ws.model().parameterValues[0], 1);
    EXPECT_EQ(ws.model().parameterValues[1], 28.5L);
    EXPECT_EQ(ws.model().initialValues[1], -4);
    EXPECT_EQ(ws.model().stepSize, 0.002L);
    EXPECT_TRUE(ws.model().noise.noiseOn);
    EXPECT_EQ(ws.model().noise.noiseVariable, 3);
    EXPECT_EQ(ws.model().noise.noiseType, 2);
    EXPECT_EQ(ws.model().noise.noisePeriod, 3);
    EXPECT_EQ(ws.model().noise.noiseSeed, 77);
    EXPECT_EQ(ws.randomState.random.seed, 77u);
    EXPECT_TRUE(ws.model().noise.fixSeedForEachRun);
}

TEST(PrepareModel, RejectsUnknownNamesAndBadNoise) {
    for (const std::vector<std::string>& words : std::vector<std::vector<std::string>>{
             {KALVORA_MODELS "/henon.mod", "--set", "c=1"},
             {KALVORA_MODELS "/henon.mod", "--set", "=1"},
             {KALVORA_MODELS "/henon.mod", "--noise-variable", "w"},
             {KALVORA_MODELS "/henon.mod", "--noise-type", "pink"},
             {KALVORA_MODELS "/henon.mod", "--noise-period", "0"},
             {KALVORA_MODELS "/henon.mod", "--noise-type", "uniform"},
             {KALVORA_MODELS "/henon.mod", "--noise-variable", "y", "--noise-period", "2"},
             {KALVORA_MODELS "/henon.mod", "--noise-level", "1", "--noise-wiener"},
             {KALVORA_MODELS "/lorenz.mod", "--noise-wiener"}}) {
        ModelSession session;
        EXPECT_THROW(PrepareModel(session, Arguments(words, AllowedOptions())), UsageError)
            << words[1];
    }
    // A level given as 0 switches noise off on purpose; the other options are then accepted.
    ModelSession session;
    PrepareModel(session, Arguments({KALVORA_MODELS "/henon.mod", "--noise-level", "0",
                                     "--noise-type", "uniform"},
                                    AllowedOptions()));
    EXPECT_FALSE(session.ws.model().noise.noiseOn);
}

// dx/dt = 0 with noise: the state is a sum of the additions, whose variance per unit of time is the
// level squared as the increments of a Wiener process, whatever h, when they are scaled by the
// root of h, and 1/h times that when they are not.
TEST(PrepareModel, WienerNoiseHasTheLevelsVariancePerUnitOfTimeWhateverTheStep) {
    const std::string file = ::testing::TempDir() + "still.mod";
    {
        std::ofstream out(file, std::ios::binary);
        out << "x=0\r\n\r\n\r\nc 0.01\r\nx=0\r\n";
    }
    struct Case {
        const char* step;
        bool wiener;
        double variancePerTime;
    };
    for (const Case& c :
         {Case{"0.01", true, 4}, Case{"0.001", true, 4}, Case{"0.01", false, 400}}) {
        std::vector<std::string> words = {file, "--step-size", c.step, "--noise-level",
                                          "2",  "--seed",      "7"};
        if (c.wiener) {
            words.push_back("--noise-wiener");
        }
        ModelSession session;
        PrepareModel(session, Arguments(words, AllowedOptions()));
        ModelEvaluator& model = session.model();
        StateVector state = session.ws.model().initialValues;
        constexpr int kSteps = 20000;
        double squares = 0;
        for (int i = 0; i < kSteps; ++i) {
            const double before = static_cast<double>(state[0]);
            ModelStep(model, ModelKind::Continuous, state);
            const double increment = static_cast<double>(state[0]) - before;
            squares += increment * increment;
        }
        const double h = std::stod(c.step);
        // The estimate's relative spread is sqrt(2 / steps), 1 %.
        EXPECT_NEAR(squares / kSteps / h, c.variancePerTime, 0.05 * c.variancePerTime)
            << c.step << " " << c.wiener;
    }
    std::filesystem::remove(file);
}

}  // namespace
}  // namespace kalvora::cli
