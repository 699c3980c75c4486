#include "core/noise.h"

#include <gtest/gtest.h>

#include <cmath>

#include "core/model_evaluator.h"
#include "core/model_step.h"
#include "core/model_workspace.h"

namespace kalvora {
namespace {

TEST(RandomGenerator, LinearCongruentialSequence) {
    RandomGenerator random;
    random.seed = 0;
    random.advance();
    EXPECT_EQ(random.seed, 1u);
    random.advance();
    EXPECT_EQ(random.seed, 134775814u);
    random.advance();
    EXPECT_EQ(random.seed, 3698175007u);  // wraps modulo 2^32
    EXPECT_EQ(random.nextReal(), 870078620.0L / 4294967296.0L);

    random.seed = 12345;
    EXPECT_EQ(random.nextBelow(10), 3u);  // upper half of 1655067934 x 10
    EXPECT_EQ(random.seed, 1655067934u);

    random.seed = 0xFFFFFFFFu;
    random.advance();
    EXPECT_EQ(random.seed, static_cast<std::uint32_t>(0xFFFFFFFFull * 134775813ull + 1));
    for (int i = 0; i < 1000; ++i) {
        const Extended r = random.nextReal();
        ASSERT_GE(r, 0);
        ASSERT_LT(r, 1);
        ASSERT_LT(random.nextBelow(7), 7u);
    }
}

// The noise of one run's evaluator (of a closed model), which it changes for its run only.
struct NoiseFixture : ::testing::Test {
    ModelWorkspace ws;
    ModelEvaluator model{ws.definition};
    StateVector state{};
    void SetUp() override {
        model.noise.noiseOn = true;
        model.noise.noiseLevel = 1;
        model.noise.noiseProbability = 1;
        model.noise.noisePeriod = 1;
        model.random.seed = 99;
    }
    // The generator's seed after n advances from `from`.
    static std::uint32_t After(std::uint32_t from, int n) {
        RandomGenerator random{from};
        for (int i = 0; i < n; ++i) {
            random.advance();
        }
        return random.seed;
    }
};

TEST_F(NoiseFixture, NormalNoiseIsBoxMullerOfTheSecondAndThirdDraws) {
    RandomGenerator copy{99};
    copy.nextReal();
    const Extended u1 = copy.nextReal();
    const Extended u2 = copy.nextReal();
    model.noise.noiseVariable = 2;
    state[1] = 5;
    ApplyNoise(model, state);
    EXPECT_EQ(state[1], 5 + std::sqrt(std::log(u1) * -2) * 1 * std::cos(6.283185307179586L * u2));
    EXPECT_EQ(state[0], 0);
    EXPECT_EQ(model.random.seed, After(99, 3));
}

TEST_F(NoiseFixture, UniformNoiseStaysWithinSqrtSixHalves) {
    model.noise.noiseType = 2;
    model.noise.noiseLevel = 2;
    for (int i = 0; i < 500; ++i) {
        state[0] = 0;
        ApplyNoise(model, state);
        ASSERT_LE(std::fabs(state[0]), std::sqrt(6.0L) * 0.5L * 2);
        ASSERT_NE(state[0], 0);
    }
}

TEST_F(NoiseFixture, PeriodDecidesWhichStepsDrawThreeNumbers) {
    model.noise.noisePeriod = 3;
    std::uint32_t expected = 99;
    for (int step = 1; step <= 7; ++step) {
        const Extended before = state[0];
        ApplyNoise(model, state);
        const bool eligible = step % 3 == 1;
        expected = After(expected, eligible ? 3 : 1);
        EXPECT_EQ(model.random.seed, expected) << "step " << step;
        EXPECT_EQ(state[0] != before, eligible) << "step " << step;
    }
}

TEST_F(NoiseFixture, NothingHappensWithoutLevelOrWhenOff) {
    model.noise.noiseLevel = 0;
    model.noise.noisePeriod = 3;
    ApplyNoise(model, state);
    EXPECT_EQ(model.random.seed, 99u);
    EXPECT_EQ(model.noise.noiseCounter, 0);
    model.noise.noiseLevel = 1;
    model.noise.noiseOn = false;
    ApplyNoise(model, state);
    EXPECT_EQ(model.random.seed, 99u);
    EXPECT_EQ(state[0], 0);
}

TEST_F(NoiseFixture, ProbabilityZeroOnlyDrawsOnce) {
    model.noise.noiseProbability = 0;
    ApplyNoise(model, state);
    EXPECT_EQ(model.random.seed, After(99, 1));
    EXPECT_EQ(state[0], 0);
}

TEST_F(NoiseFixture, ZeroPeriodAndForeignSlotAreHarmless) {
    model.noise.noisePeriod = 0;
    model.noise.noiseVariable = 500;
    ApplyNoise(model, state);
    ApplyNoise(model, state);
    EXPECT_EQ(model.noise.noiseCounter, 0);
}

TEST_F(NoiseFixture, ClosedModelStillGetsNoiseAndFixedSeedRepeats) {
    // The model's own noise this time: every run makes its evaluator from it and continues the
    // workspace's random sequence.
    ReplaceModel(ws, [&](ModelDefinition& m) {
        m.noise = model.noise;
        m.noise.noiseSeed = 4711;
        m.noise.fixSeedForEachRun = true;
    });
    auto run = [&] {
        ReseedIfFixed(ws);
        ModelEvaluator evaluator(ws.definition, ws.randomState);
        StateVector s{};
        std::vector<Extended> orbit;
        for (int i = 0; i < 5; ++i) {
            ModelStep(evaluator, ModelKind::Closed, s);
            orbit.push_back(s[0]);
        }
        AdoptRandomState(ws, evaluator);
        return orbit;
    };
    const auto first = run();
    EXPECT_NE(first[0], 0);
    EXPECT_EQ(run(), first);
    ReplaceModel(ws, [&](ModelDefinition& m) { m.noise.fixSeedForEachRun = false; });
    EXPECT_NE(run(), first);
}

TEST(SeedNoise, ExplicitOrRandomSeed) {
    ModelWorkspace ws;
    SeedNoise(ws, 42);
    EXPECT_EQ(ws.model().noise.noiseSeed, 42);
    EXPECT_EQ(ws.randomState.random.seed, 42u);
    SeedNoise(ws, std::nullopt);
    EXPECT_GE(ws.model().noise.noiseSeed, 0);
    EXPECT_LT(ws.model().noise.noiseSeed, 0x7FFFFFFE);
    EXPECT_EQ(ws.randomState.random.seed, static_cast<std::uint32_t>(ws.model().noise.noiseSeed));
}

}  // namespace
}  // namespace kalvora
