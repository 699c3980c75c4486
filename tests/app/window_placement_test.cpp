#include "app/window_placement.h"

#include <gtest/gtest.h>

namespace kalvora {
namespace {

const QRect kScreen(0, 0, 1280, 900);

TEST(CascadePosition, OffsetsFromTheLastWindowAndStartsAgainAtTheEdge) {
    struct Case {
        QRect last;
        QSize size;
        QPoint expected;
    };
    const Case cases[] = {
        {QRect(100, 100, 400, 300), QSize(400, 300), QPoint(132, 132)},
        // Would leave the screen on the right or at the bottom: back to the top left.
        {QRect(1000, 100, 400, 300), QSize(400, 300), QPoint(32, 32)},
        {QRect(100, 700, 400, 300), QSize(400, 300), QPoint(32, 32)},
        // Larger than the screen: kept on it all the same.
        {QRect(0, 0, 10, 10), QSize(2000, 2000), QPoint(0, 0)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CascadePosition(c.last, c.size, kScreen), c.expected) << c.last.x();
    }
}

TEST(OnScreen, PullsARememberedGeometryBackOntoTheScreen) {
    struct Case {
        QRect remembered;
        QRect expected;
    };
    const Case cases[] = {
        {QRect(100, 100, 400, 300), QRect(100, 100, 400, 300)},
        {QRect(2000, 100, 400, 300), QRect(880, 100, 400, 300)},
        {QRect(-500, -40, 400, 300), QRect(0, 0, 400, 300)},
        {QRect(100, 800, 400, 300), QRect(100, 600, 400, 300)},
        {QRect(50, 50, 3000, 2000), QRect(0, 0, 1280, 900)},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(OnScreen(c.remembered, kScreen), c.expected) << c.remembered.x();
    }
}

}  // namespace
}  // namespace kalvora
