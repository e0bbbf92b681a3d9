#include "common/WindowSystem.h"

#include <QGuiApplication>
#include <QMenu>
#include <QWidget>

#include <algorithm>

namespace vl {

bool onWayland()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

namespace {

// One axis of menuPositionWithin.
int placeWithin(int at, int extent, int first, int end)
{
    if (at + extent <= end)
        return at;
    if (at - extent >= first)
        return at - extent;
    return std::max(first, end - extent);
}

} // namespace

QPoint menuPositionWithin(QPoint at, QSize menu, const QRect &area)
{
    return {placeWithin(at.x(), menu.width(), area.left(), area.right() + 1),
            placeWithin(at.y(), menu.height(), area.top(), area.bottom() + 1)};
}

void popUpMenu(QMenu &menu, QPoint globalPos, const QWidget &window)
{
    if (onWayland())
        globalPos = menuPositionWithin(globalPos, menu.sizeHint(),
                                       QRect(window.mapToGlobal(QPoint(0, 0)), window.size()));
    menu.popup(globalPos);
}

} // namespace vl
