#include "model/Colour.h"

#include <array>
#include <string_view>

namespace vl {
namespace {

struct NamedColour {
    std::string_view name;
    std::uint32_t value;
};

constexpr std::array<NamedColour, 52> kNamed{{
    {"clBlack", 0x00000000},       {"clMaroon", 0x00000080},     {"clGreen", 0x00008000},
    {"clOlive", 0x00008080},       {"clNavy", 0x00800000},       {"clPurple", 0x00800080},
    {"clTeal", 0x00808000},        {"clGray", 0x00808080},       {"clSilver", 0x00C0C0C0},
    {"clRed", 0x000000FF},         {"clLime", 0x0000FF00},       {"clYellow", 0x0000FFFF},
    {"clBlue", 0x00FF0000},        {"clFuchsia", 0x00FF00FF},    {"clAqua", 0x00FFFF00},
    {"clWhite", 0x00FFFFFF},       {"clMoneyGreen", 0x00C0DCC0}, {"clSkyBlue", 0x00F0CAA6},
    {"clCream", 0x00F0FBFF},       {"clMedGray", 0x00A4A0A0},    {"clDefault", 0x20000000},
    {"clNone", 0x1FFFFFFF},
    {"clScrollBar", 0xFF000000},   {"clBackground", 0xFF000001}, {"clActiveCaption", 0xFF000002},
    {"clInactiveCaption", 0xFF000003}, {"clMenu", 0xFF000004},   {"clWindow", 0xFF000005},
    {"clWindowFrame", 0xFF000006}, {"clMenuText", 0xFF000007},   {"clWindowText", 0xFF000008},
    {"clCaptionText", 0xFF000009}, {"clActiveBorder", 0xFF00000A}, {"clInactiveBorder", 0xFF00000B},
    {"clAppWorkSpace", 0xFF00000C}, {"clHighlight", 0xFF00000D}, {"clHighlightText", 0xFF00000E},
    {"clBtnFace", 0xFF00000F},     {"clBtnShadow", 0xFF000010},  {"clGrayText", 0xFF000011},
    {"clBtnText", 0xFF000012},     {"clInactiveCaptionText", 0xFF000013}, {"clBtnHighlight", 0xFF000014},
    {"cl3DDkShadow", 0xFF000015},  {"cl3DLight", 0xFF000016},    {"clInfoText", 0xFF000017},
    {"clInfoBk", 0xFF000018},      {"clHotLight", 0xFF00001A},   {"clGradientActiveCaption", 0xFF00001B},
    {"clGradientInactiveCaption", 0xFF00001C}, {"clMenuHighlight", 0xFF00001D}, {"clMenuBar", 0xFF00001E},
}};

// The classic system palette, used when no GUI resolver is installed
// (maintenance commands, tests).
constexpr std::array<std::uint32_t, 31> kClassicSystem{{
    0xC8D0D4, 0x000000, 0x6A240A, 0x808080, 0xC8D0D4, 0xFFFFFF, 0x000000, 0x000000,
    0x000000, 0xFFFFFF, 0xC8D0D4, 0xC8D0D4, 0x808080, 0x6A240A, 0xFFFFFF, 0xC8D0D4,
    0x808080, 0x808080, 0x000000, 0xC8D0D4, 0xFFFFFF, 0x404040, 0xC8D0D4, 0x000000,
    0xE1FFFF, 0xB5B5B5, 0xFF0000, 0xF0CAA6, 0xC0C0C0, 0x6A240A, 0xC8D0D4,
}};

SystemColourResolver &resolverSlot()
{
    static SystemColourResolver resolver;
    return resolver;
}

} // namespace

std::optional<Colour> colourFromName(QStringView name)
{
    for (const auto &c : kNamed) {
        // Lengths first: the case-blind comparison is the expensive part.
        if (name.size() == static_cast<qsizetype>(c.name.size())
            && name.compare(QLatin1StringView(c.name.data(), static_cast<qsizetype>(c.name.size())), Qt::CaseInsensitive) == 0)
            return static_cast<Colour>(c.value);
    }
    return std::nullopt;
}

QString colourToName(Colour c)
{
    for (const auto &n : kNamed) {
        if (static_cast<Colour>(n.value) == c)
            return QString::fromLatin1(n.name.data(), static_cast<qsizetype>(n.name.size()));
    }
    return {};
}

void setSystemColourResolver(SystemColourResolver resolver) { resolverSlot() = std::move(resolver); }

Colour defaultSystemColour(int index)
{
    if (index < 0 || index >= static_cast<int>(kClassicSystem.size()))
        return 0;
    return static_cast<Colour>(kClassicSystem[static_cast<std::size_t>(index)]);
}

Colour resolveColour(Colour c)
{
    if (!isSystemColour(c))
        return c;
    const int index = systemColourIndex(c);
    if (const auto &r = resolverSlot())
        return r(index);
    return defaultSystemColour(index);
}

} // namespace vl
