#pragma once

#include <QRect>
#include <QTransform>

class QPainter;

namespace vl {

// Paints thin lines in whole device pixels. At a scale of 1.5 a one-pixel
// line drawn in logical coordinates covers one and a half device pixels:
// the rasteriser makes some edges one pixel wide and others two, and leaves
// one-pixel gaps between a frame and the fill it surrounds. While an object
// of this class lives, the painter's unit is one device pixel, so that edges
// land exactly where map() puts them.
class DevicePixels {
public:
    explicit DevicePixels(QPainter &p);
    ~DevicePixels();
    DevicePixels(const DevicePixels &) = delete;
    DevicePixels &operator=(const DevicePixels &) = delete;

    // False when the painter rotates or shears: then nothing changed and
    // the caller paints in logical coordinates as usual.
    bool usable() const { return usable_; }
    // The device pixels that stand for the logical pixels of r: each edge
    // rounded to the nearest device pixel boundary, never empty.
    QRect map(const QRect &r) const;
    // The width in device pixels of a line one logical pixel wide: the
    // scale rounded down, at least one (1 at 1.5, 2 at 2).
    int line() const { return line_; }

private:
    QPainter &p_;
    QTransform toDevice_;
    bool usable_ = false;
    int line_ = 1;
};

} // namespace vl
