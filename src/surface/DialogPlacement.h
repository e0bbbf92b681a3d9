#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

class QWidget;

namespace vl {

// Where a dialog goes over the main window: centred, halves truncated toward
// zero, and never above the main window's top.
QPoint centredOver(const QRect &mainFrame, const QSize &dialogFrame);
void placeOver(QWidget *dialog, const QWidget *mainWindow);

} // namespace vl
