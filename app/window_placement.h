#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace kalvora {

// Where a new result window goes: offset down and right from the one opened last, so that it never
// covers another exactly; back at the top left of the screen when it would leave it.
QPoint CascadePosition(const QRect& last, const QSize& size, const QRect& screen);

// The one rule for every window the program opens beside its main window (result windows, the
// manual, the print and step windows): the first goes beside the main window, to its right when
// it fits there, else just under the main window's menu bar; each further one a step down and
// right of the one opened last, back at the first place when it would leave the screen. The window
// is kept on the screen, no larger than it, and never over the main window's menu bar (whose
// bottom edge is menuBottom): a window too tall for the room below it is made shorter. `last` is
// null for the first window.
QRect ResultWindowGeometry(const QRect& mainFrame, int menuBottom, const QRect* last,
                           const QSize& size, const QRect& screen);

// A window's geometry pulled back onto the visible screen: no larger than the screen, and moved
// so that all of it can be seen (a remembered position from a larger or second screen).
QRect OnScreen(const QRect& geometry, const QRect& screen);

}  // namespace kalvora
