#pragma once

#include "platform/Platform.h"

#include <QLocale>
#include <QString>

#include <cstdint>

namespace vl {

// The status-bar text for free space, such as "Free:     11.50 GB": the
// thresholds are decimal (1 000 000 000 bytes is the first value shown in GB,
// as 0.93) while the divisors are powers of two. The number is right-aligned
// in a field of 9 characters for GB and MB, 4 for KB and Byte; a wider number
// simply widens the text. Only the decimal separator comes from the locale:
// no digit grouping.
QString freeSpaceText(std::uint64_t bytes, const QLocale &locale = QLocale::system());

// "<drive name> - <free-space text>".
QString drivePanelText(const FixedDrive &drive, const QLocale &locale = QLocale::system());

} // namespace vl
