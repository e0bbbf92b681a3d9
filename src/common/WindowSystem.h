#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QMenu;
class QWidget;

namespace vl {

// Wayland leaves the place of every window to the compositor: a program
// learns neither where its windows are on the screen nor may it put one at
// a place of its choosing or keep one above the others, and there is no
// notification area of the X11 kind. Its windows carry a title bar the
// toolkit draws itself.
bool onWayland();

// Where a menu of size menu opens at point at so that it lies within area:
// below and to the right of the point, else above or to the left of it,
// else against the area's top or left edge. All in one coordinate system.
QPoint menuPositionWithin(QPoint at, QSize menu, const QRect &area);

// Opens menu at globalPos. On Wayland Qt cannot keep a menu on a screen it
// does not know the window's place on, so the menu is kept within window,
// which is on screen, instead: near the bottom it opens upwards.
void popUpMenu(QMenu &menu, QPoint globalPos, const QWidget &window);

} // namespace vl
