#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

namespace vl {

// Help files compiled on Windows keep their texts in the code page of the language they were
// compiled for (the LCID in the file's header and its #SYSTEM table): the contents and index
// files, the title, the default topic, context names and pages that declare no charset. A
// Chinese (PRC) file is GBK, a Russian one windows-1251. The names of the objects in the file
// are UTF-8 when the compiler converted them, and the project's own bytes when it did not.

// The code page of an LCID, as a codec name QStringDecoder knows ("windows-936"); empty for
// an LCID of no known language.
QByteArray codePageForLcid(quint32 lcid);

// bytes as UTF-8 when they are valid UTF-8 (every ASCII text is), else in codePage, else (no
// code page, or one this system cannot decode) as Latin-1.
QString decodeLegacyText(const QByteArray &bytes, const QByteArray &codePage);

// text with every character reference replaced: the named ones of HTML 4 (and &apos;), decimal
// and hexadecimal ones. Numbers 128 to 159 are read as windows-1252, as browsers read them;
// zero, surrogates and numbers beyond Unicode give U+FFFD. A reference without its ';', or
// with an unknown name, stays as it is.
QString decodeHtmlEntities(QStringView text);

} // namespace vl
