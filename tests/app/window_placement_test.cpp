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

TEST(ResultWindowGeometry, BesideTheMainWindowOrUnderItsMenuBarAndNeverOverIt) {
    // The main window at (100, 50), 600 x 400; its menu bar ends at y = 100.
    const QRect main(100, 50, 600, 400);
    const int menuBottom = 100;
    struct Case {
        const char* what;
        QRect last;  // null: the first window
        QSize size;
        QRect expected;
    };
    const Case cases[] = {
        {"first, room on the right", QRect(), QSize(400, 300), QRect(700, 50, 400, 300)},
        {"first, too wide for the right", QRect(), QSize(700, 300), QRect(132, 100, 700, 300)},
        {"next, a step from the last", QRect(700, 50, 400, 300), QSize(400, 300),
         QRect(732, 82, 400, 300)},
        {"next would leave the screen", QRect(860, 600, 400, 300), QSize(400, 300),
         QRect(700, 50, 400, 300)},
        {"too tall for the room under the menu bar", QRect(), QSize(700, 1200),
         QRect(132, 100, 700, 800)},
        {"wider than the screen", QRect(), QSize(3000, 300), QRect(0, 100, 1280, 300)},
    };
    for (const Case& c : cases) {
        const QRect placed = ResultWindowGeometry(
            main, menuBottom, c.last.isNull() ? nullptr : &c.last, c.size, kScreen);
        EXPECT_EQ(placed, c.expected) << c.what;
        const bool overMenu = placed.intersects(
            QRect(main.left(), main.top(), main.width(), menuBottom - main.top()));
        EXPECT_FALSE(overMenu) << c.what;
        EXPECT_TRUE(kScreen.contains(placed)) << c.what;
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
