#include "platform/LinuxPlatform.h"

#include "platform/MountTable.h"

#include <QFile>

#include <sys/statvfs.h>

namespace vl {

LinuxPlatform::LinuxPlatform() : LinuxPlatform(FileRegistry::defaultPath()) {}

LinuxPlatform::LinuxPlatform(const QString &registryPath, const QString &mountInfoPath, const QString &sysRoot)
    : registry_(registryPath), mountInfoPath_(mountInfoPath), sysRoot_(sysRoot)
{
}

QList<FixedDrive> LinuxPlatform::fixedDrives()
{
    QFile file(mountInfoPath_);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // /proc files report a size of 0; readAll reads on until the end.
    const QByteArray text = file.readAll();

    // Network and virtual file systems are filtered out before statvfs is
    // asked: on an unreachable network mount it would hang.
    QList<FixedDrive> drives;
    for (const MountEntry &m : fixedDriveMounts(parseMountInfo(text), BlockDeviceInfo(sysRoot_))) {
        struct statvfs st {};
        if (::statvfs(QFile::encodeName(m.mountPoint).constData(), &st) != 0)
            continue;
        drives.append({m.mountPoint, std::uint64_t(st.f_bavail) * std::uint64_t(st.f_frsize)});
    }
    return drives;
}

} // namespace vl
