#include "platform/Credits.h"

#include <canberra.h>
#include <glib.h>
#include <jconfig.h>
#include <liblnk.h>

#include <QtGlobal>

#define VL_STR2(x) #x
#define VL_STR(x) VL_STR2(x)

namespace vl {

QList<LibraryCredit> libraryCredits()
{
    return {
        {QStringLiteral("Qt"), QString::fromLatin1(qVersion()), QStringLiteral("LGPL-3.0"),
         QStringLiteral("windows, drawing, text and pictures")},
        {QStringLiteral("GLib/GIO"),
         QStringLiteral("%1.%2.%3").arg(glib_major_version).arg(glib_minor_version).arg(glib_micro_version),
         QStringLiteral("LGPL-2.1-or-later"), QStringLiteral("desktop entries, file types, mounts, launching")},
        {QStringLiteral("libjpeg-turbo"), QStringLiteral(VL_STR(LIBJPEG_TURBO_VERSION)),
         QStringLiteral("IJG, BSD-3-Clause, Zlib"), QStringLiteral("JPEG pictures")},
        {QStringLiteral("liblnk"), QString::fromLatin1(liblnk_get_version()), QStringLiteral("LGPL-3.0-or-later"),
         QStringLiteral("Windows shell links")},
        {QStringLiteral("libcanberra"), QString(), QStringLiteral("LGPL-2.1-or-later"),
         QStringLiteral("event sounds")},
        {QStringLiteral("CHMLIB"), QString(), QStringLiteral("LGPL-2.1-or-later"),
         QStringLiteral("the help file")},
    };
}

} // namespace vl
