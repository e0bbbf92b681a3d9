#pragma once

#include "model/Colour.h"
#include "model/FontSpec.h"

#include <QColor>
#include <QFont>

namespace vl {

QColor toQColor(Colour c);
Colour fromQColor(const QColor &c);
QFont toQFont(const FontSpec &f);
// The face, size and styles of a font chosen on screen into the stored form;
// the character set and the colour stay those of `keep`.
FontSpec fromQFont(const QFont &font, const FontSpec &keep);

// Lets system colour values follow the widget palette.
void installPaletteColourResolver();

} // namespace vl
