#include "surface/SurfaceKeys.h"

#include "shortcuts/TImageLabel.h"
#include "surface/DesktopSurface.h"
#include "surface/Selection.h"
#include "surface/SurfaceGestures.h"

#include <QKeyEvent>

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace vl {

SurfaceKeys::SurfaceKeys(Workspace &ws, Selection &selection, DesktopSurface &surface, GestureView &view)
    : ws_(ws), selection_(selection), surface_(surface), view_(view)
{
}

ShortcutItem *SurfaceKeys::nearest(const Desktop &desktop, const ShortcutItem *from, Direction direction)
{
    const std::size_t n = desktop.items.size();
    const auto at = [&](std::size_t i) {
        const ShortcutItem &item = *desktop.items[i];
        return std::pair<long long, long long>(item.Item_Left, item.Item_Top);
    };
    if (!from) {
        std::size_t first = n;
        for (std::size_t i = 0; i < n; ++i) {
            if (first == n || std::pair(at(i).second, at(i).first) < std::pair(at(first).second, at(first).first))
                first = i;
        }
        return first < n ? desktop.items[first].get() : nullptr;
    }
    const int fromIndex = desktop.indexOfItem(from);
    if (fromIndex < 0)
        return nullptr;
    const auto origin = at(std::size_t(fromIndex));
    // Along the direction, and across it.
    const auto along = [&](long long dx, long long dy) {
        switch (direction) {
        case Direction::Left: return std::pair(-dx, dy);
        case Direction::Right: return std::pair(dx, dy);
        case Direction::Up: return std::pair(-dy, dx);
        case Direction::Down: return std::pair(dy, dx);
        }
        return std::pair(0LL, 0LL);
    };
    const bool forward = direction == Direction::Right || direction == Direction::Down;
    std::size_t best = n;
    long long bestScore = std::numeric_limits<long long>::max();
    long long bestOrder = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (i == std::size_t(fromIndex))
            continue;
        const auto [ahead, aside] = along(at(i).first - origin.first, at(i).second - origin.second);
        const long long sideways = std::llabs(aside);
        // On the same spot: element order stands in for the distance.
        const long long order = forward ? static_cast<long long>(i) - fromIndex : fromIndex - static_cast<long long>(i);
        const bool sameSpot = ahead == 0 && aside == 0;
        if (sameSpot ? order <= 0 : (ahead <= 0 || sideways > ahead))
            continue;
        const long long score = sameSpot ? 0 : ahead + 2 * sideways;
        // The first of equals in element order, or the next one on the spot.
        if (score < bestScore || (sameSpot && score == bestScore && order < bestOrder)) {
            best = i;
            bestScore = score;
            bestOrder = order;
        }
    }
    return best < n ? desktop.items[best].get() : nullptr;
}

ShortcutItem *SurfaceKeys::current() const
{
    ShortcutItem *item = ws_.work.CurrentElement.item;
    return item && surface_.indexOfShownItem(item) >= 0 ? item : nullptr;
}

void SurfaceKeys::step(Direction direction, Mode mode)
{
    const Desktop *d = surface_.desktop();
    if (!d || surface_.isLocked())
        return;
    ShortcutItem *from = current();
    ShortcutItem *to = nearest(*d, from, direction);
    if (!to)
        return;
    switch (mode) {
    case Mode::Select:
        selection_.UnFocused();
        selection_.Focused(*to, false);
        break;
    case Mode::Extend:
        if (from)
            selection_.Focused(*from, true);
        selection_.Focused(*to, true);
        break;
    case Mode::MoveOnly:
        break;
    }
    // Selecting a shortcut already selected leaves the current one as it was.
    ws_.work.CurrentElement = {to, nullptr};
}

bool SurfaceKeys::key(const QKeyEvent &event)
{
    const Qt::KeyboardModifiers mods = event.modifiers() & ~Qt::KeypadModifier;
    const auto arrow = [&](Direction direction) {
        if (mods & ~(Qt::ShiftModifier | Qt::ControlModifier))
            return false;
        step(direction, mods & Qt::ShiftModifier ? Mode::Extend
                        : mods & Qt::ControlModifier ? Mode::MoveOnly
                                                     : Mode::Select);
        return true;
    };
    switch (event.key()) {
    case Qt::Key_Left: return arrow(Direction::Left);
    case Qt::Key_Right: return arrow(Direction::Right);
    case Qt::Key_Up: return arrow(Direction::Up);
    case Qt::Key_Down: return arrow(Direction::Down);
    case Qt::Key_Space: {
        if (mods != Qt::NoModifier && mods != Qt::ControlModifier)
            return false;
        // Held down, it would select and deselect by turns.
        ShortcutItem *item = event.isAutoRepeat() ? nullptr : current();
        if (!item)
            return true;
        if (mods == Qt::NoModifier) {
            selection_.UnFocused();
            selection_.Focused(*item, false);
        } else if (item->Selected) {
            selection_.UnFocusedCurrent(*item);
        } else {
            selection_.Focused(*item, true);
        }
        return true;
    }
    case Qt::Key_Menu:
        if (!event.isAutoRepeat())
            menu();
        return true;
    case Qt::Key_F10:
        if (mods != Qt::ShiftModifier)
            return false;
        if (!event.isAutoRepeat())
            menu();
        return true;
    default:
        return false;
    }
}

void SurfaceKeys::menu()
{
    if (!surface_.desktop() || surface_.isLocked())
        return;
    if (ShortcutItem *item = current()) {
        // As a right click on it: selected (alone, unless it already is),
        // so that the menu's commands act on it.
        selection_.Focused(*item, false);
        ws_.work.CurrentElement = {item, nullptr};
        // At the middle of its picture, or of the page when that is off it.
        const long long half = TImageLabel::PictureSize / 2;
        const long long x = item->Item_Left + half, y = item->Item_Top + half;
        const bool onPage = x >= 0 && y >= 0 && x < surface_.width() && y < surface_.height();
        const QPoint at = onPage ? QPoint(int(x), int(y)) : surface_.rect().center();
        view_.CheckPasswordOnMenuItem(surface_.mapToGlobal(at));
        return;
    }
    // The desktop's menu opens where its new elements go, kept on the page.
    QPoint &at = ws_.work.NewElementPosition;
    at = QPoint(std::clamp(at.x(), 0, std::max(0, surface_.width() - 1)),
                std::clamp(at.y(), 0, std::max(0, surface_.height() - 1)));
    view_.CheckPasswordOnMenuMain(surface_.mapToGlobal(at));
}

} // namespace vl
