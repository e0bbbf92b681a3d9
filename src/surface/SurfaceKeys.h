#pragma once

#include "model/Model.h"

class QKeyEvent;

namespace vl {

class DesktopSurface;
class GestureView;
class Selection;

// The keys on the active desktop's page while it has the keyboard focus, so
// that the page can be worked without a mouse, as a file manager's view of
// icons is:
//
//   arrows            the nearest shortcut in that direction becomes the
//                     current one, selected alone (the first arrow picks
//                     the top-left shortcut)
//   Shift+arrows      the same, adding it to the selection
//   Ctrl+arrows       the current shortcut moves, the selection stays
//   Space             selects the current shortcut alone
//   Ctrl+Space        selects or deselects the current shortcut, the others
//                     staying as they are
//   Menu, Shift+F10   the current shortcut's menu at the shortcut (it is
//                     selected first, as a right click selects it), or the
//                     desktop's menu where new elements go when there is no
//                     current shortcut; both through their password gates
//
// Enter, Delete and the other commands on the current shortcut are the
// window's (FormKeys): they work from anywhere in it.
class SurfaceKeys {
public:
    SurfaceKeys(Workspace &ws, Selection &selection, DesktopSurface &surface, GestureView &view);

    // Whether the key was one of the page's; a key taken does what it does
    // even when there is nothing to do it on.
    bool key(const QKeyEvent &event);
    // The menu key, or a context-menu request from the keyboard.
    void menu();

    enum class Direction { Left, Right, Up, Down };
    // The shortcut of the desktop nearest to `from` in the direction: the
    // one whose picture's middle lies within 45 degrees of that direction,
    // nearest along it with a distance sideways counting double. Shortcuts
    // on the very same spot follow each other in element order (right and
    // down to later ones). Without `from`, the top-left shortcut (the
    // topmost, then the leftmost). None when there is none that way.
    static ShortcutItem *nearest(const Desktop &desktop, const ShortcutItem *from, Direction direction);

private:
    enum class Mode { Select, Extend, MoveOnly };
    void step(Direction direction, Mode mode);
    // The current shortcut when it is on the page.
    ShortcutItem *current() const;

    Workspace &ws_;
    Selection &selection_;
    DesktopSurface &surface_;
    GestureView &view_;
};

} // namespace vl
