#include "app/window_placement.h"

#include <algorithm>

namespace kalvora {

namespace {
constexpr int kCascadeStep = 32;
}

QPoint CascadePosition(const QRect& last, const QSize& size, const QRect& screen) {
    QPoint position = last.topLeft() + QPoint(kCascadeStep, kCascadeStep);
    if (position.x() + size.width() > screen.right() + 1 ||
        position.y() + size.height() > screen.bottom() + 1) {
        position = screen.topLeft() + QPoint(kCascadeStep, kCascadeStep);
    }
    return OnScreen(QRect(position, size), screen).topLeft();
}

QRect ResultWindowGeometry(const QRect& mainFrame, int menuBottom, const QRect* last,
                           const QSize& size, const QRect& screen) {
    const bool fitsBeside = mainFrame.right() + 1 + size.width() <= screen.right() + 1;
    const QRect first(fitsBeside ? QPoint(mainFrame.right() + 1, mainFrame.top())
                                 : QPoint(mainFrame.left() + kCascadeStep, menuBottom),
                      size);
    QRect placed = first;
    if (last != nullptr) {
        placed = QRect(last->topLeft() + QPoint(kCascadeStep, kCascadeStep), size);
        if (!screen.contains(placed))
            placed = first;
    }
    placed = OnScreen(placed, screen);
    const bool overMenu = placed.left() <= mainFrame.right() &&
                          placed.right() >= mainFrame.left() && placed.top() < menuBottom &&
                          placed.bottom() >= mainFrame.top();
    if (overMenu) {
        const int height = std::min(placed.height(), screen.bottom() + 1 - menuBottom);
        placed = QRect(QPoint(placed.left(), menuBottom), QSize(placed.width(), height));
    }
    return placed;
}

QRect OnScreen(const QRect& geometry, const QRect& screen) {
    const QSize size(std::min(geometry.width(), screen.width()),
                     std::min(geometry.height(), screen.height()));
    const int x = std::clamp(geometry.x(), screen.left(), screen.right() + 1 - size.width());
    const int y = std::clamp(geometry.y(), screen.top(), screen.bottom() + 1 - size.height());
    return QRect(QPoint(x, y), size);
}

}  // namespace kalvora
