#include "surface/FreeSpaceText.h"

#include <charconv>

namespace vl {

QString freeSpaceText(std::uint64_t bytes, const QLocale &locale)
{
    const double v = static_cast<double>(bytes);
    double shown = v;
    int width = 4;
    const char *unit = " Byte";
    if (v >= 1000000000.0) {
        shown = v / 1073741824.0;
        width = 9;
        unit = " GB";
    } else if (v >= 1000000.0) {
        shown = v / 1048576.0;
        width = 9;
        unit = " MB";
    } else if (v >= 1000.0) {
        shown = v / 1024.0;
        width = 4;
        unit = " KB";
    }
    // to_chars, unlike printf, ignores the C locale, which the application
    // object sets from the environment; the separator is the given locale's.
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, shown, std::chars_format::fixed, 2);
    QString number = QString::fromLatin1(buf, r.ptr - buf);
    number.replace(QLatin1Char('.'), locale.decimalPoint());
    return QStringLiteral("Free: ") + number.rightJustified(width, QLatin1Char(' ')) + QLatin1String(unit);
}

QString drivePanelText(const FixedDrive &drive, const QLocale &locale)
{
    return drive.name + QStringLiteral(" - ") + freeSpaceText(drive.freeBytes, locale);
}

} // namespace vl
