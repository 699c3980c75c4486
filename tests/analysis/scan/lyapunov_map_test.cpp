#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sstream>

#include "analysis/scan/lyapunovmap/lyapunov_map.h"
#include "tests/analysis/test_models.h"

namespace kalvora {
namespace {

using testing::CallCounter;

LyapunovMapResult Map(const ModelWorkspace& ws, const LyapunovMapSettings& settings, int threads,
                      RunControl& control) {
    ScanModels models =
        MakeScanModels(ws.definition, threads, settings.domain, ws.randomState, &control);
    return LyapunovMap(models, settings, control);
}

// The logistic map over r and x0: negative in the periodic windows, positive in the chaotic
// bands, the same bits on one worker and on two, and the same numbers in the file.
TEST(LyapunovMap, TheLogisticPlaneIsNegativeWhenPeriodicPositiveWhenChaoticOnAnyThreadCount) {
    ModelWorkspace ws;
    testing::UseLogistic(ws, 3.7L, 0.3L, CallCounter::Off);
    LyapunovMapSettings settings;
    settings.horizontal = {false, 0};
    settings.vertical = {true, 0};
    // Columns at r = 2.5, 3.2, 3.5, 3.83 (the period-3 window), 3.9 and 4.
    settings.domain = {2.5L, 4, 150, 0.1L, 0.9L, 4};
    settings.iterations = 4000;
    QuietRunControl control;
    const LyapunovMapResult one = Map(ws, settings, 1, control);
    const LyapunovMapResult two = Map(ws, settings, 2, control);
    ASSERT_EQ(one.exponents.size(), 151u * 5u);
    EXPECT_EQ(std::memcmp(one.exponents.data(), two.exponents.data(),
                          one.exponents.size() * sizeof(double)),
              0);
    EXPECT_EQ(one.raster, two.raster);
    struct Case {
        int column;
        double expected;  // NAN: only the sign is known
        bool negative;
    };
    const Case cases[] = {
        {0, std::log(0.5), true},  // fixed point, multiplier 2 - r
        // The 2-cycle's multiplier 4 + 2r - r^2, per iteration.
        {70, std::log(std::fabs(-3.2 * 3.2 + 2 * 3.2 + 4)) / 2, true},
        {100, NAN, true},   // r = 3.5, the 4-cycle
        {133, NAN, true},   // r = 3.83, the 3-cycle window
        {140, NAN, false},  // r = 3.9, chaos
        {149, NAN, false},  // r = 3.99
    };
    for (const Case& c : cases) {
        for (int row = 1; row < 4; ++row) {
            const double exponent = one.at(c.column, row);
            EXPECT_EQ(exponent < 0, c.negative) << c.column << " " << row << " " << exponent;
            if (!std::isnan(c.expected)) {
                EXPECT_NEAR(exponent, c.expected, 1e-3) << c.column;
            }
        }
    }
    // Zero falls on white and each side on its own hue; no exponent is grey.
    EXPECT_EQ(LyapunovMapColour(0, one.lowest, one.highest), 0xFFFFFFu);
    EXPECT_EQ(LyapunovMapColour(one.highest, one.lowest, one.highest), 0xB2182Bu);
    EXPECT_EQ(LyapunovMapColour(one.lowest, one.lowest, one.highest), 0x2166ACu);
    EXPECT_EQ(LyapunovMapColour(-1e9, one.lowest, one.highest), 0x2166ACu);
    EXPECT_EQ(LyapunovMapColour(NAN, one.lowest, one.highest), kNoExponentColour);

    std::ostringstream file;
    WriteLyapunovMapLines(file, one);
    const std::string text = file.str();
    EXPECT_EQ(text.rfind("2.5000000000 0.9000000000 -0.6931471806\r\n", 0), 0u)
        << text.substr(0, 80);
    EXPECT_EQ(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')),
              one.exponents.size());
}

// The Henon plane over (a, b): the chaotic attractor of (1.4, 0.3) is positive, the period-7 window
// near a = 1.22 negative, and orbits that escape have no exponent.
TEST(LyapunovMap, TheHenonPlaneKnowsChaosWindowsAndEscapes) {
    ModelWorkspace ws;
    testing::UseHenon(ws, CallCounter::Off);
    LyapunovMapSettings settings;
    settings.domain = {1.0L, 1.5L, 50, 0.2L, 0.3L, 1};
    settings.iterations = 3000;
    QuietRunControl control;
    const LyapunovMapResult map = Map(ws, settings, 2, control);
    EXPECT_NEAR(map.at(40, 0), 0.4192, 0.02);  // a = 1.4, b = 0.3
    EXPECT_LT(map.at(0, 0), 0);                // a = 1.0: a stable 2-cycle
    EXPECT_TRUE(std::isnan(map.at(50, 0)));    // a = 1.5 escapes to infinity
    EXPECT_EQ(map.raster.at(50, 0), kNoExponentColour);
}

// x doubles until step 300 and triples from then on (z counts the steps): the exponent measured
// over the ten steps after the transient T tells where the measurement began.
TEST(LyapunovMap, TheExponentIsMeasuredFromIterateT) {
    ModelWorkspace ws;
    testing::UseModel(ws, ModelKind::Discrete, {{"x", 1}, {"z", 0}}, {{"a", 0}, {"b", 0}}, {},
                      "if z >= 300 then return 3*x, z + 1 end\nreturn 2*x, z + 1",
                      CallCounter::Off);
    struct Case {
        long long transient;
        double expected;
    };
    const Case cases[] = {{300, std::log(3.0)},  // the default
                          {295, (std::log(2.0) + std::log(3.0)) / 2},
                          {0, std::log(2.0)}};
    for (const Case& c : cases) {
        LyapunovMapSettings settings;
        settings.domain = {0, 1, 1, 0, 1, 1};
        settings.iterations = 10;
        if (c.transient != 300) {
            settings.transientSteps = c.transient;
        }
        QuietRunControl control;
        const LyapunovMapResult map = Map(ws, settings, 1, control);
        for (const double exponent : map.exponents) {
            EXPECT_NEAR(exponent, c.expected, 1e-9) << c.transient;
        }
    }
}

TEST(LyapunovMap, StopKeepsThePixelsDoneAndRefusesBadSettings) {
    ModelWorkspace ws;
    testing::UseLogistic(ws, 3.7L, 0.3L, CallCounter::Off);
    LyapunovMapSettings settings;
    settings.horizontal = {false, 0};
    settings.vertical = {true, 0};
    settings.domain = {2.5L, 4, 20, 0.1L, 0.9L, 20};
    QuietRunControl control;
    control.requestStop();
    const LyapunovMapResult stopped = Map(ws, settings, 1, control);
    EXPECT_TRUE(stopped.stopped);
    EXPECT_EQ(stopped.raster.at(20, 20), kBlankPixel);
    EXPECT_TRUE(std::isnan(stopped.at(20, 20)));
    std::ostringstream file;
    WriteLyapunovMapLines(file, stopped);
    EXPECT_EQ(file.str(), "");

    const LyapunovMapAxis bad[][2] = {{{false, 0}, {false, 0}},  // one slot twice
                                      {{false, 1}, {true, 0}},   // no second parameter
                                      {{false, 0}, {true, 1}}};  // no second variable
    for (const auto& axes : bad) {
        LyapunovMapSettings wrong = settings;
        wrong.horizontal = axes[0];
        wrong.vertical = axes[1];
        EXPECT_THROW(CheckLyapunovMapSettings(ws.model(), wrong), ScanSettingsError);
    }
    LyapunovMapSettings noSteps = settings;
    noSteps.iterations = 0;
    EXPECT_THROW(CheckLyapunovMapSettings(ws.model(), noSteps), ScanSettingsError);
}

}  // namespace
}  // namespace kalvora
