#include "plot/scale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace kalvora {
namespace {

std::vector<double> Ticks(const Tsp_Scale& scale) {
    std::vector<double> values;
    for (int i = 0; i < scale.TicksCount(); ++i) {
        values.push_back(scale.TickValue(i));
    }
    return values;
}

void ExpectTicks(const Tsp_Scale& scale, const std::vector<double>& expected) {
    const std::vector<double> actual = Ticks(scale);
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(actual[i], expected[i], 1e-12) << "tick " << i;
    }
}

// A horizontal scale 0..10 on a 400-pixel line starting at x = 50.
class ScaleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        scale.SetLinePos(50, 300, 400);
        scale.SetTicksCount(5);
    }
    Tsp_Scale scale;
};

TEST_F(ScaleTest, RoundTicksForTheThreeReferenceRanges) {
    scale.SetRange(0, 10);
    EXPECT_DOUBLE_EQ(scale.ScaleFactor(), 10);
    EXPECT_EQ(scale.TickStep(), 25);
    ExpectTicks(scale, {0, 2.5, 5, 7.5, 10});

    scale.SetRange(-0.225, 9.225);
    EXPECT_DOUBLE_EQ(scale.ScaleFactor(), 10);
    EXPECT_EQ(scale.FirstScaledTick(), -2);
    EXPECT_EQ(scale.LastScaledTick(), 92);
    EXPECT_EQ(scale.TickStep(), 23);
    ExpectTicks(scale, {-0.2, 2.1, 4.4, 6.7, 9});

    scale.SetRange(0.85, 0.2);  // bounds in either order
    EXPECT_DOUBLE_EQ(scale.Min(), 0.2);
    EXPECT_DOUBLE_EQ(scale.ScaleFactor(), 100);
    EXPECT_EQ(scale.TickStep(), 16);
    ExpectTicks(scale, {0.2, 0.36, 0.52, 0.68, 0.84});
}

TEST_F(ScaleTest, ExactPowerOfTenRangesGetTheFinerFactor) {
    // The divisor slightly above ln 10 puts these just below the whole logarithm.
    scale.SetRange(0, 100);
    EXPECT_DOUBLE_EQ(scale.ScaleFactor(), 1);
    ExpectTicks(scale, {0, 25, 50, 75, 100});
    // A range of exactly 1 has logarithm 0, so it keeps the factor 10 and gets a step of 2.
    scale.SetRange(0, 1);
    EXPECT_DOUBLE_EQ(scale.ScaleFactor(), 10);
    ExpectTicks(scale, {0, 0.2, 0.4, 0.6, 0.8, 1});
    // Just above a power of ten the factor drops to the next decade.
    scale.SetRange(0, 10.5);
    EXPECT_DOUBLE_EQ(scale.ScaleFactor(), 1);
    scale.SetRange(1000, 6000);
    EXPECT_DOUBLE_EQ(scale.ScaleFactor(), 0.01);
    ExpectTicks(scale, {1000, 2200, 3400, 4600, 5800});
}

TEST_F(ScaleTest, EqualBoundsAreWidened) {
    scale.SetRange(3, 3);
    EXPECT_DOUBLE_EQ(scale.Min(), 3);
    EXPECT_DOUBLE_EQ(scale.Max(), 4);
    scale.SetRange(100, 100);
    EXPECT_DOUBLE_EQ(scale.Min(), 99);
    EXPECT_DOUBLE_EQ(scale.Max(), 110);
    scale.SetRange(-100, -100);
    EXPECT_DOUBLE_EQ(scale.Min(), -99);
    EXPECT_DOUBLE_EQ(scale.Max(), -90);
    scale.SetRange(-9.5, -9.5);
    EXPECT_DOUBLE_EQ(scale.Min(), -9.5);
    EXPECT_DOUBLE_EQ(scale.Max(), -8.5);
}

TEST_F(ScaleTest, NonFiniteBoundsLeaveTheRangeAlone) {
    scale.SetRange(1, 3);
    scale.SetRange(std::nan(""), 5);
    scale.SetRange(0, std::numeric_limits<double>::infinity());
    scale.SetRange(-1.7e308, 1.7e308);  // wider than a double can hold
    EXPECT_DOUBLE_EQ(scale.Min(), 1);
    EXPECT_DOUBLE_EQ(scale.Max(), 3);
    EXPECT_EQ(scale.TicksCount(), 5);
}

TEST_F(ScaleTest, OneAndZeroRequestedTicks) {
    scale.SetRange(0.13, 0.97);
    scale.SetTicksCount(1);
    ASSERT_EQ(scale.TicksCount(), 1);
    EXPECT_NEAR(scale.TickValue(0), 0.13, 1e-12);  // the first round value

    scale.SetTicksCount(0);
    EXPECT_EQ(scale.TicksCount(), 0);
    EXPECT_EQ(scale.LabelSpace(6, 8), 1);  // only the line width
    scale.LineAttr().SetWidth(3);
    EXPECT_EQ(scale.LabelSpace(6, 8), 3);
    EXPECT_EQ(scale.StartOverhang(6, 8), 0);
    EXPECT_EQ(scale.EndOverhang(6, 8), 0);

    scale.SetTicksCount(40);
    EXPECT_EQ(scale.RequestedTicksCount(), 21);
}

TEST_F(ScaleTest, ComputedTickCountNeverExceedsTwentyOne) {
    scale.SetTicksCount(21);
    scale.SetRange(0, 9.9);  // span 99 scaled units, step 4: 25 ticks would fit
    EXPECT_EQ(scale.TicksCount(), 21);
}

TEST_F(ScaleTest, ValueToPixelMapsAndClamps) {
    scale.SetRange(0, 10);
    EXPECT_EQ(scale.ValueToPixel(0), 50);
    EXPECT_EQ(scale.ValueToPixel(10), 450);
    EXPECT_EQ(scale.ValueToPixel(2.5), 150);
    EXPECT_DOUBLE_EQ(scale.PixelToValue(250), 5);
    EXPECT_EQ(scale.ValueToPixel(1e12), 16383);
    EXPECT_EQ(scale.ValueToPixel(-1e12), -16383);
    EXPECT_EQ(scale.ValueToPixel(std::numeric_limits<double>::infinity()), 16383);
    EXPECT_EQ(scale.TickPixel(1), 150);
}

TEST_F(ScaleTest, VerticalAndInversedScalesRunTheOtherWay) {
    scale.SetSFlags(sfVertical);
    scale.SetRange(0, 10);
    // The line starts at its bottom end: values grow upwards.
    EXPECT_EQ(scale.ValueToPixel(0), 300);
    EXPECT_EQ(scale.ValueToPixel(10), -100);
    EXPECT_DOUBLE_EQ(scale.PixelToValue(200), 2.5);

    scale.SetSFlags(0);
    scale.SetInversed(true);
    EXPECT_DOUBLE_EQ(scale.OriginValue(), 10);
    EXPECT_EQ(scale.ValueToPixel(10), 50);
    EXPECT_EQ(scale.ValueToPixel(0), 450);
    ExpectTicks(scale, {10, 7.5, 5, 2.5, 0});
}

TEST_F(ScaleTest, EvenlySpacedPixelTicksWithoutLabels) {
    scale.SetRange(0, 10);
    scale.SetTicksCount(3);
    scale.SetNoTicksLabel(true);
    ASSERT_EQ(scale.TicksCount(), 3);
    EXPECT_EQ(scale.TickPixel(0), 50);
    EXPECT_EQ(scale.TickPixel(1), 250);
    EXPECT_EQ(scale.TickPixel(2), 450);
    EXPECT_DOUBLE_EQ(scale.TickValue(1), 5);
    EXPECT_EQ(scale.LabelSpace(6, 8), 1 + 4);
    scale.SetNoTicks(true);
    EXPECT_EQ(scale.LabelSpace(6, 8), 1);
}

TEST_F(ScaleTest, FlagBitsHaveTheirNumericValues) {
    scale.SetSFlags(193);
    EXPECT_TRUE(scale.Vertical());
    EXPECT_TRUE(scale.AutoMin());
    EXPECT_TRUE(scale.AutoMax());
    EXPECT_FALSE(scale.Inversed());
    scale.SetSFlags(57);
    EXPECT_TRUE(scale.Vertical());
    EXPECT_TRUE(scale.NoTicks());
    EXPECT_TRUE(scale.NoTicksLabel());
    EXPECT_TRUE(scale.FarSide());
    EXPECT_FALSE(scale.AutoMin());
    scale.SetFlag(7, true);
    EXPECT_EQ(scale.SFlags(), 57 + 128);
    scale.SetFlag(0, false);  // not a settable flag
    EXPECT_EQ(scale.SFlags(), 57 + 128);
}

TEST_F(ScaleTest, LabelRoomFromLongestLabelAndOverhangs) {
    scale.SetRange(0, 10);                         // labels 0, 2.5, 5, 7.5, 10
    EXPECT_EQ(scale.LabelSpace(6, 8), 1 + 8 + 5);  // horizontal: one text line
    // The first label "0" sits at the start: half its width sticks out.
    EXPECT_EQ(scale.StartOverhang(6, 8), 3);
    EXPECT_EQ(scale.EndOverhang(6, 8), 6);  // "10" is two characters
    scale.SetRange(-0.225, 9.225);          // first tick "-0.2" lies one pixel in
    EXPECT_EQ(scale.StartOverhang(6, 8), 4 * 6 / 2 - 1);

    scale.SetSFlags(sfVertical);
    scale.SetRange(0, 10);
    EXPECT_EQ(scale.LabelSpace(6, 8), 1 + 3 * 6 + 5);  // "2.5" is the longest
    EXPECT_EQ(scale.StartOverhang(6, 8), 4);           // half the character height
}

TEST_F(ScaleTest, PanByKeepsTheStepForSmallMoves) {
    scale.SetRange(0, 10);  // 40 pixels per unit, tick interval 100 pixels
    scale.PanBy(-40);       // drag right by 40: the range moves left by one unit
    EXPECT_DOUBLE_EQ(scale.Min(), -1);
    EXPECT_DOUBLE_EQ(scale.Max(), 9);
    EXPECT_EQ(scale.TickStep(), 25);
    ExpectTicks(scale, {0, 2.5, 5, 7.5});
    EXPECT_EQ(scale.TickPixel(0), 90);

    scale.PanBy(20);
    EXPECT_DOUBLE_EQ(scale.Min(), -0.5);
    ExpectTicks(scale, {0, 2.5, 5, 7.5});

    // A jump of more than one tick interval sets the range afresh.
    scale.PanBy(200);
    EXPECT_DOUBLE_EQ(scale.Min(), 4.5);
    EXPECT_DOUBLE_EQ(scale.Max(), 14.5);
    EXPECT_DOUBLE_EQ(scale.ScaleFactor(), 10);
    ExpectTicks(scale, {4.5, 7, 9.5, 12, 14.5});

    scale.PanBy(10);
    scale.Rescale();
    ExpectTicks(scale, {4.8, 7.2, 9.6, 12, 14.4});
}

TEST_F(ScaleTest, PixelTicksMoveWithTheDragAndWrap) {
    scale.SetRange(0, 10);
    scale.SetTicksCount(3);
    scale.SetNoTicksLabel(true);  // ticks every 200 pixels
    scale.PanBy(-50);             // drag right by 50 pixels
    ASSERT_EQ(scale.TicksCount(), 2);
    EXPECT_EQ(scale.TickPixel(0), 100);
    EXPECT_EQ(scale.TickPixel(1), 300);
    EXPECT_DOUBLE_EQ(scale.TickValue(0), scale.PixelToValue(100));
    scale.PanBy(-150);  // another 150: the ticks wrap back onto the interval grid
    ASSERT_EQ(scale.TicksCount(), 3);
    EXPECT_EQ(scale.TickPixel(0), 50);
    EXPECT_DOUBLE_EQ(scale.Min(), -5);
}

// The round-tick choice: multiples of 1, 2 or 5 times a power of ten, as many as come nearest to
// the count asked for (more of two as near), exactly the decimal values (== the literal), the
// labels those decimals. Switching it off gives back the default ticks of the same range.
TEST_F(ScaleTest, RoundTickValuesAreWholeMultiplesOfOneTwoOrFive) {
    struct Case {
        double min, max;
        int requested;
        bool inversed;
        std::vector<double> ticks;
        std::vector<std::string> labels;
    };
    const std::vector<Case> cases = {
        {0, 10, 5, false, {0, 2, 4, 6, 8, 10}, {"0", "2", "4", "6", "8", "10"}},
        {-0.225, 9.225, 5, false, {0, 2, 4, 6, 8}, {"0", "2", "4", "6", "8"}},
        {0.2, 0.85, 5, false, {0.2, 0.4, 0.6, 0.8}, {"0.2", "0.4", "0.6", "0.8"}},
        // The default would give 0.25, 0.42, 0.59, 0.76, 0.93.
        {0.25,
         0.93,
         5,
         false,
         {0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9},
         {"0.3", "0.4", "0.5", "0.6", "0.7", "0.8", "0.9"}},
        {-3.1, -0.9, 3, false, {-3, -2, -1}, {"-3", "-2", "-1"}},
        {1e6,
         1e6 + 3,
         4,
         false,
         {1e6, 1e6 + 1, 1e6 + 2, 1e6 + 3},
         {"1000000", "1000001", "1000002", "1000003"}},
        {0, 1e-4, 3, false, {0, 5e-5, 1e-4}, {"0", "0.00005", "0.0001"}},
        {0, 10, 5, true, {10, 8, 6, 4, 2, 0}, {"10", "8", "6", "4", "2", "0"}},
        {0, 10, 1, false, {0}, {"0"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.min) + " .. " + std::to_string(c.max));
        Tsp_Scale round;
        round.SetLinePos(50, 300, 400);
        round.SetLabelFormat("#####0.#####");
        round.SetTicksCount(c.requested);
        round.SetInversed(c.inversed);
        round.SetRange(c.min, c.max);
        round.SetRoundTicks(true);
        ASSERT_EQ(Ticks(round), c.ticks);
        for (int i = 0; i < round.TicksCount(); ++i) {
            EXPECT_EQ(round.TickLabel(i), c.labels[static_cast<std::size_t>(i)]);
            EXPECT_EQ(round.TickPixel(i), round.ValueToPixel(c.ticks[static_cast<std::size_t>(i)]));
        }
    }
    scale.SetRange(0.2, 0.85);
    scale.SetRoundTicks(true);
    scale.SetRoundTicks(false);
    ExpectTicks(scale, {0.2, 0.36, 0.52, 0.68, 0.84});
}

TEST_F(ScaleTest, RoundTicksFollowAPan) {
    scale.SetRange(0, 10);
    scale.SetRoundTicks(true);
    scale.PanBy(20);  // half a unit
    EXPECT_NEAR(scale.Min(), 0.5, 1e-12);
    ExpectTicks(scale, {2, 4, 6, 8, 10});
    scale.PanBy(-40);
    EXPECT_NEAR(scale.Min(), -0.5, 1e-12);
    ExpectTicks(scale, {0, 2, 4, 6, 8});
}

TEST(NumericPicture, FormatsLikeTheAxisLabels) {
    EXPECT_EQ(FormatNumericPicture(2.5, "###0.##"), "2.5");
    EXPECT_EQ(FormatNumericPicture(0, "###0.##"), "0");
    EXPECT_EQ(FormatNumericPicture(10, "###0.##"), "10");
    EXPECT_EQ(FormatNumericPicture(0.126, "###0.##"), "0.13");
    EXPECT_EQ(FormatNumericPicture(-0.2, "###0.##"), "-0.2");
    EXPECT_EQ(FormatNumericPicture(-0.001, "###0.##"), "0");  // no "-0"
    EXPECT_EQ(FormatNumericPicture(123456.7, "###0.##"), "123456.7");
    EXPECT_EQ(FormatNumericPicture(0.123456789, "#####0.#####"), "0.12346");
    EXPECT_EQ(FormatNumericPicture(0.5, "#.##"), ".5");
    EXPECT_EQ(FormatNumericPicture(3, "000.00"), "003.00");
    EXPECT_EQ(FormatNumericPicture(123456789012345678.0, "0"), "123456789012345680");
    EXPECT_EQ(FormatNumericPicture(1e20, "###0.##"), "1E20");
    EXPECT_EQ(FormatNumericPicture(-2.5e300, "###0.##"), "-2.5E300");
}

}  // namespace
}  // namespace kalvora
