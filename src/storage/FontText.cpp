#include "storage/BigIni.h"

// The text form of a font, as the settings file stores it.

namespace vl {

QString FontToString(const FontSpec &font)
{
    QString colour = colourToName(font.Color);
    if (colour.isEmpty())
        colour = QLatin1Char('$') + QString::fromStdString(toHex8(font.Color));
    const QChar styles[4] = {QLatin1Char(font.Bold ? '1' : '0'), QLatin1Char(font.Italic ? '1' : '0'),
                             QLatin1Char(font.Underline ? '1' : '0'), QLatin1Char(font.StrikeOut ? '1' : '0')};
    // One multi-argument arg(): chained calls would also replace "%n" inside
    // the face name.
    return QStringLiteral("%1,%2,%3,%4,%5")
        .arg(font.Name, QString::number(font.Size), QString::number(font.Charset), QString(styles, 4), colour);
}

void StringToFont(const QString &text, FontSpec &font)
{
    static const char *const kInvalid = "Invalid string to font conversion";
    QStringView s(text);
    qsizetype comma = s.indexOf(QLatin1Char(','));
    if (comma < 0)
        throw ConvertError(kInvalid);
    font.Name = s.left(comma).toString();
    s = s.mid(comma + 1);

    comma = s.indexOf(QLatin1Char(','));
    if (comma < 0)
        throw ConvertError(kInvalid);
    font.Size = strToInt(s.left(comma));
    s = s.mid(comma + 1);

    comma = s.indexOf(QLatin1Char(','));
    // A character set is one byte; a hand-edited number outside it keeps
    // its low byte, so that every later write stores a valid one.
    font.Charset = strToInt(comma < 0 ? QStringView() : s.left(comma)) & 0xFF;
    s = s.mid(comma + 1);

    if (s.indexOf(QLatin1Char(',')) != 4)
        throw ConvertError(kInvalid);
    font.Bold = s[0] == QLatin1Char('1');
    font.Italic = s[1] == QLatin1Char('1');
    font.Underline = s[2] == QLatin1Char('1');
    font.StrikeOut = s[3] == QLatin1Char('1');
    s = s.mid(5);

    if (const auto named = colourFromName(s))
        font.Color = *named;
    else
        font.Color = strToInt(s);
}

} // namespace vl
