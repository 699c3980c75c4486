#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace kalvora {

// Where a new result window goes: offset down and right from the one opened last, so that it never
// covers another exactly; back at the top left of the screen when it would leave it.
QPoint CascadePosition(const QRect& last, const QSize& size, const QRect& screen);

// A window's geometry pulled back onto the visible screen: no larger than the screen, and moved
// so that all of it can be seen (a remembered position from a larger or second screen).
QRect OnScreen(const QRect& geometry, const QRect& screen);

}  // namespace kalvora
