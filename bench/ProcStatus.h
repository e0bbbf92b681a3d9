#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

namespace vl::bench {

// A "kB" field of /proc/self/status (VmRSS, VmHWM, ...), or -1.
inline long statusKiB(const char *field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray key = QByteArray(field) + ':';
    for (const QByteArray &line : f.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

} // namespace vl::bench
