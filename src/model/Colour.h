#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

namespace vl {

// A colour as stored in the settings file: 0x00BBGGRR, red in the low byte.
// Values 0xFF000000 + n stand for the system colour with index n and are
// turned into plain RGB only where the value is stored as a plain colour.
using Colour = std::int32_t;

constexpr Colour SystemColourBase = static_cast<Colour>(0xFF000000u);

constexpr Colour systemColour(int index) { return static_cast<Colour>(0xFF000000u | static_cast<std::uint32_t>(index)); }
constexpr bool isSystemColour(Colour c) { return (static_cast<std::uint32_t>(c) & 0xFF000000u) == 0xFF000000u; }
constexpr int systemColourIndex(Colour c) { return static_cast<int>(static_cast<std::uint32_t>(c) & 0xFFu); }

constexpr Colour rgbColour(int r, int g, int b) { return (b << 16) | (g << 8) | r; }
constexpr int redOf(Colour c) { return c & 0xFF; }
constexpr int greenOf(Colour c) { return (c >> 8) & 0xFF; }
constexpr int blueOf(Colour c) { return (c >> 16) & 0xFF; }

namespace clr {
constexpr Colour clBlack = 0x00000000;
constexpr Colour clSilver = 0x00C0C0C0;
constexpr Colour clYellow = 0x0000FFFF;
constexpr Colour clWhite = 0x00FFFFFF;
constexpr Colour clDefault = 0x20000000;
constexpr Colour clNone = 0x1FFFFFFF;
constexpr Colour clWindow = systemColour(5);
constexpr Colour clWindowText = systemColour(8);
constexpr Colour clHighlight = systemColour(13);
constexpr Colour clHighlightText = systemColour(14);
constexpr Colour clBtnFace = systemColour(15);
} // namespace clr

// The 52 named colours of the font text form, matched without regard to case.
std::optional<Colour> colourFromName(QStringView name);
// The name of a named colour, or an empty string.
QString colourToName(Colour c);

// Maps a system colour index to plain RGB. The default resolver knows the
// classic system palette; the GUI installs one that reads the widget palette.
using SystemColourResolver = std::function<Colour(int index)>;
void setSystemColourResolver(SystemColourResolver resolver);
Colour defaultSystemColour(int index);

// Plain RGB for any colour value: system colours through the resolver,
// everything else unchanged.
Colour resolveColour(Colour c);

} // namespace vl
