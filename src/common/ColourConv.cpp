#include "common/ColourConv.h"

#include <QApplication>
#include <QPalette>

namespace vl {

QColor toQColor(Colour c)
{
    const Colour rgb = resolveColour(c);
    return QColor(redOf(rgb), greenOf(rgb), blueOf(rgb));
}

Colour fromQColor(const QColor &c) { return rgbColour(c.red(), c.green(), c.blue()); }

QFont toQFont(const FontSpec &f)
{
    QFont font(f.Name);
    if (f.Size > 0)
        font.setPointSize(f.Size);
    font.setBold(f.Bold);
    font.setItalic(f.Italic);
    font.setUnderline(f.Underline);
    font.setStrikeOut(f.StrikeOut);
    return font;
}

FontSpec fromQFont(const QFont &font, const FontSpec &keep)
{
    FontSpec f = keep;
    f.Name = font.family();
    if (font.pointSize() > 0)
        f.Size = font.pointSize();
    f.Bold = font.bold();
    f.Italic = font.italic();
    f.Underline = font.underline();
    f.StrikeOut = font.strikeOut();
    return f;
}

void installPaletteColourResolver()
{
    setSystemColourResolver([](int index) -> Colour {
        const QPalette pal = QApplication::palette();
        auto role = [&](QPalette::ColorRole r) { return fromQColor(pal.color(QPalette::Active, r)); };
        switch (index) {
        case 4: return role(QPalette::Window);            // clMenu
        case 5: return role(QPalette::Base);              // clWindow
        case 7: return role(QPalette::WindowText);        // clMenuText
        case 8: return role(QPalette::Text);              // clWindowText
        case 13: return role(QPalette::Highlight);        // clHighlight
        case 14: return role(QPalette::HighlightedText);  // clHighlightText
        case 15: return role(QPalette::Button);           // clBtnFace
        case 16: return role(QPalette::Dark);             // clBtnShadow
        case 17: return fromQColor(pal.color(QPalette::Disabled, QPalette::Text)); // clGrayText
        case 18: return role(QPalette::ButtonText);       // clBtnText
        case 20: return role(QPalette::Light);            // clBtnHighlight
        case 21: return role(QPalette::Shadow);           // cl3DDkShadow
        case 22: return role(QPalette::Midlight);         // cl3DLight
        case 23: return role(QPalette::ToolTipText);      // clInfoText
        case 24: return role(QPalette::ToolTipBase);      // clInfoBk
        case 26: return role(QPalette::Link);             // clHotLight
        default: return defaultSystemColour(index);
        }
    });
}

} // namespace vl
