#pragma once

#include "model/Colour.h"
#include "model/FontSpec.h"

#include <QColor>
#include <QFont>

namespace vl {

QColor toQColor(Colour c);
Colour fromQColor(const QColor &c);
QFont toQFont(const FontSpec &f);

// Lets system colour values follow the widget palette.
void installPaletteColourResolver();

} // namespace vl
