#include "model/StorableText.h"

namespace vl {

namespace {

bool breaksALine(QChar c) { return c == u'\r' || c == u'\n'; }

} // namespace

bool isStorable(QStringView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isNull() || breaksALine(c))
            return false;
        if (c.isHighSurrogate()) {
            if (i + 1 >= text.size() || !text[i + 1].isLowSurrogate())
                return false;
            ++i;
        } else if (c.isLowSurrogate()) {
            return false;
        }
    }
    return true;
}

QString storable(QString text)
{
    if (isStorable(text))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isNull())
            continue;
        if (breaksALine(c)) {
            out += u' ';
        } else if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            out += c;
            out += text[++i];
        } else if (c.isSurrogate()) {
            out += QChar(QChar::ReplacementCharacter);
        } else {
            out += c;
        }
    }
    return out;
}

QStringList storable(QStringList lines)
{
    for (QString &line : lines) {
        if (!isStorable(line))
            line = storable(std::move(line));
    }
    return lines;
}

} // namespace vl
