#include "common/DevicePixels.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace vl {

DevicePixels::DevicePixels(QPainter &p) : p_(p)
{
    const QTransform device = p.deviceTransform();
    usable_ = p.isActive() && device.type() <= QTransform::TxScale && device.m11() > 0 && device.m22() > 0;
    if (!usable_)
        return;
    toDevice_ = device;
    line_ = std::max(1, int(std::floor(std::min(device.m11(), device.m22()) + 1e-6)));
    // The device transform is the world transform followed by what the
    // painter adds below it (the device pixel ratio, a widget's offset in
    // its window); a world transform undoing the latter leaves device pixels.
    const QTransform below = p.worldTransform().inverted() * device;
    p.save();
    p.setWorldTransform(below.inverted());
}

DevicePixels::~DevicePixels()
{
    if (usable_)
        p_.restore();
}

QRect DevicePixels::map(const QRect &r) const
{
    const QRectF d = toDevice_.mapRect(QRectF(r));
    const int left = int(std::lround(d.left()));
    const int top = int(std::lround(d.top()));
    const int right = std::max(left + 1, int(std::lround(d.right())));
    const int bottom = std::max(top + 1, int(std::lround(d.bottom())));
    return QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

} // namespace vl
