#pragma once

#include <QByteArray>

#include <optional>

namespace vl {

// The data a drag from another program offers in one target, read from the
// drag's source as it is, with no conversion. On X11, Qt shows a source's
// "text/x-moz-url" only as "text/uri-list" and keeps the address alone; the
// title on its second line is reachable only this way.
//
// Asks the owner of the drag's selection over a connection of its own and
// waits at most timeoutMs for the answer: the source is waiting for the
// drop to end and answers at once. Nothing when the display is no X11
// display, no drag is under way, the source refuses the target, or the
// data is larger than maxBytes.
std::optional<QByteArray> readDragTarget(const QByteArray &target, int timeoutMs = 250, int maxBytes = 64 * 1024);

} // namespace vl
