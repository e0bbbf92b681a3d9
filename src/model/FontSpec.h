#pragma once

#include "model/Colour.h"

#include <QString>

namespace vl {

// A font as the settings file knows it. Sizes are in points; the character
// set is kept only so that it survives a round trip through the file.
struct FontSpec {
    QString Name;
    int Size = 9;
    int Charset = 1;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
    Colour Color = clr::clWindowText;

    friend bool operator==(const FontSpec &, const FontSpec &) = default;
};

// The font used wherever the file stores none: the desktop's generic sans
// face, which fontconfig maps to the user's configured sans font.
FontSpec defaultFont();

} // namespace vl
