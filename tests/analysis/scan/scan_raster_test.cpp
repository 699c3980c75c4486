#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <sstream>

#include "analysis/scan/common/scan_raster.h"
#include "core/numbers.h"
#include "scan_test_support.h"

namespace kalvora::testing {
namespace {

// A 2 x 3 raster over x in [0, 1.4] (H = 1) and y in [-1, 1] (V = 2).
struct SmallRaster {
    ScanDomain domain{0, 1.4L, 1, -1, 1, 2};
    ColourRaster raster{2, 3};
    SmallRaster() {
        raster.set(0, 0, kRed);
        raster.set(0, 1, 0x0A0B0Cu);
        raster.set(0, 2, kBlue);
        raster.set(1, 0, kBlue);
        raster.set(1, 1, kBlack);
        // (1, 2) stays blank: a stopped scan never reached it.
    }
};

// Every computed pixel, column by column, top to bottom; a pixel a stopped scan never reached has
// no line (written as white it would claim "no convergence").
TEST(ScanFiles, ThePixelFileListsEveryComputedPixelColumnByColumnTopToBottom) {
    SmallRaster small;
    std::ostringstream out;
    WritePixelLines(out, small.raster, small.domain);
    EXPECT_EQ(out.str(),
              " 0.00000000000000E+0000  1.00000000000000E+0000 255 0 0\r\n"
              " 0.00000000000000E+0000  0.00000000000000E+0000 10 11 12\r\n"
              " 0.00000000000000E+0000 -1.00000000000000E+0000 0 0 255\r\n"
              " 1.40000000000000E+0000  1.00000000000000E+0000 0 0 255\r\n"
              " 1.40000000000000E+0000  0.00000000000000E+0000 0 0 0\r\n");
}

TEST(ScanFiles, AClassFileSelectsPixelsByColourOnly) {
    SmallRaster small;
    struct Case {
        RgbColour colour;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {kBlue,
         " 0.00000000000000E+0000 -1.00000000000000E+0000\r\n"
         " 1.40000000000000E+0000  1.00000000000000E+0000\r\n"},
        {kRed, " 0.00000000000000E+0000  1.00000000000000E+0000\r\n"},
        {kGreen, ""},
        // White is the colour of non-convergence, never of a blank pixel.
        {kWhite, ""},
    };
    for (const Case& c : cases) {
        std::ostringstream out;
        WriteClassLines(out, small.raster, small.domain, c.colour);
        EXPECT_EQ(out.str(), c.expected) << std::hex << c.colour;
    }
}

TEST(ScanFiles, TickLabelsRoundToThreeDigitsThenShowThreeDecimals) {
    struct Case {
        Extended value;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {1.4L, "1.400"},        {0, "0.000"},        {-0.175L, "-0.175"},    {0.08755L, "0.088"},
        {12.345L, "12.300"},    {-0.0004L, "0.000"}, {1234.5L, "1.23E+003"}, {999.6L, "1.00E+003"},
        {-25000, "-2.50E+004"}, {0.35L, "0.350"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatTickValue(c.value), c.expected) << static_cast<double>(c.value);
    }
}

TEST(ScanFiles, TheRadiusTestAgreesWithTheRootItAvoids) {
    const StateDistance distance({0});
    StateVector origin{};
    StateVector state{};
    for (const Extended radius : {10.0L, 1000.0L, 9999.0L}) {
        // Sums a few units in the last place around the square, where rounding decides.
        Extended sum = radius * radius;
        for (int k = 0; k < 40; ++k) {
            sum = std::nextafter(sum, std::numeric_limits<Extended>::infinity());
        }
        for (int k = 0; k < 80; ++k) {
            state[0] = std::sqrt(sum);
            const Extended squared = state[0] * state[0];
            EXPECT_EQ(distance.within(state, origin, radius), std::sqrt(squared) <= radius)
                << static_cast<double>(radius) << " " << k;
            sum = std::nextafter(sum, Extended{0});
        }
    }
    state[0] = std::numeric_limits<Extended>::quiet_NaN();
    EXPECT_FALSE(distance.within(state, origin, 1000));
    state[0] = std::numeric_limits<Extended>::infinity();
    EXPECT_FALSE(distance.within(state, origin, 1000));
}

}  // namespace
}  // namespace kalvora::testing
