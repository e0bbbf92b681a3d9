#include "platform/MountTable.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace vl {

namespace {

bool isOctal(char c) { return c >= '0' && c <= '7'; }

// The kernel writes blank, tab, newline and backslash in paths as "\ooo".
QString decodeField(const QByteArray &field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && isOctal(field[i + 1]) && isOctal(field[i + 2]) && isOctal(field[i + 3])) {
            out.append(static_cast<char>(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0')));
            i += 3;
        } else {
            out.append(field[i]);
        }
    }
    return QFile::decodeName(out);
}

std::optional<int> toInt(const QByteArray &field)
{
    bool ok = false;
    const int v = field.toInt(&ok);
    return ok ? std::optional<int>(v) : std::nullopt;
}

QString readLine(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readLine(4096)).trimmed();
}

// File systems that never live on a local disk of their own, or that present
// something other than a disk's free space: kernel interfaces, memory,
// stacked and image file systems, network and user-space file systems.
bool isExcludedFsType(const QString &type)
{
    static const QSet<QString> excluded = {
        QStringLiteral("autofs"),     QStringLiteral("binfmt_misc"), QStringLiteral("bpf"),
        QStringLiteral("cgroup"),     QStringLiteral("cgroup2"),     QStringLiteral("configfs"),
        QStringLiteral("debugfs"),    QStringLiteral("devpts"),      QStringLiteral("devtmpfs"),
        QStringLiteral("efivarfs"),   QStringLiteral("fusectl"),     QStringLiteral("hugetlbfs"),
        QStringLiteral("mqueue"),     QStringLiteral("nsfs"),        QStringLiteral("proc"),
        QStringLiteral("pstore"),     QStringLiteral("ramfs"),       QStringLiteral("rootfs"),
        QStringLiteral("rpc_pipefs"), QStringLiteral("securityfs"),  QStringLiteral("selinuxfs"),
        QStringLiteral("sysfs"),      QStringLiteral("tmpfs"),       QStringLiteral("tracefs"),
        QStringLiteral("nfsd"),       QStringLiteral("overlay"),     QStringLiteral("aufs"),
        QStringLiteral("squashfs"),   QStringLiteral("erofs"),       QStringLiteral("iso9660"),
        QStringLiteral("udf"),        QStringLiteral("nfs"),         QStringLiteral("nfs4"),
        QStringLiteral("cifs"),       QStringLiteral("smb3"),        QStringLiteral("smbfs"),
        QStringLiteral("ncpfs"),      QStringLiteral("sshfs"),       QStringLiteral("fuse"),
        QStringLiteral("9p"),         QStringLiteral("virtiofs"),    QStringLiteral("ceph"),
        QStringLiteral("glusterfs"),  QStringLiteral("afs"),         QStringLiteral("coda"),
        QStringLiteral("davfs"),      QStringLiteral("lustre"),      QStringLiteral("ecryptfs"),
    };
    // "fuse.sshfs", "fuse.gvfsd-fuse", ...; "fuseblk" (ntfs-3g and the like)
    // sits on a real block device and stays.
    return excluded.contains(type) || type.startsWith(QLatin1String("fuse."));
}

// Loop, RAM, compressed-RAM, optical, network-block and floppy devices.
bool isExcludedDisk(const QString &disk)
{
    static const QRegularExpression pattern(QStringLiteral("^(loop|ram|zram|sr|nbd|fd)[0-9]+$"));
    return pattern.match(disk).hasMatch();
}

} // namespace

QList<MountEntry> parseMountInfo(const QByteArray &mountinfoText)
{
    QList<MountEntry> out;
    for (const QByteArray &line : mountinfoText.split('\n')) {
        // id parent major:minor root mount-point options [optional...] - type source super-options
        const QList<QByteArray> f = line.split(' ');
        if (f.size() < 10)
            continue;
        const auto dash = std::find(f.begin() + 6, f.end(), QByteArray("-"));
        if (f.end() - dash < 3)
            continue;
        const auto id = toInt(f[0]);
        const auto parent = toInt(f[1]);
        const qsizetype colon = f[2].indexOf(':');
        if (!id || !parent || colon < 0)
            continue;
        bool okMajor = false, okMinor = false;
        const unsigned major = f[2].left(colon).toUInt(&okMajor);
        const unsigned minor = f[2].mid(colon + 1).toUInt(&okMinor);
        if (!okMajor || !okMinor)
            continue;
        MountEntry e;
        e.mountId = *id;
        e.parentId = *parent;
        e.major = major;
        e.minor = minor;
        e.root = decodeField(f[3]);
        e.mountPoint = decodeField(f[4]);
        e.fsType = decodeField(dash[1]);
        e.source = decodeField(dash[2]);
        out.append(std::move(e));
    }
    return out;
}

BlockDeviceInfo::BlockDeviceInfo(const QString &sysRoot) : sysRoot_(sysRoot) {}

std::optional<BlockDeviceInfo::Device> BlockDeviceInfo::describe(const QString &sysDevicePath, int depth) const
{
    // <sys>/dev/block/8:1 and <sys>/class/block/sda1 are links into the
    // device tree, where a partition's folder sits inside its disk's folder.
    const QString dir = QFileInfo(sysDevicePath).canonicalFilePath();
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        return std::nullopt;
    Device d;
    d.name = QFileInfo(dir).fileName();
    const bool partition = QFileInfo::exists(dir + QStringLiteral("/partition"));
    d.disk = partition ? QFileInfo(QFileInfo(dir).path()).fileName() : d.name;

    const QString diskDir = partition ? QFileInfo(dir).path() : dir;
    QString removable = readLine(sysRoot_ + QStringLiteral("/block/") + d.disk + QStringLiteral("/removable"));
    if (removable.isEmpty())
        removable = readLine(diskDir + QStringLiteral("/removable"));
    d.removable = removable == QLatin1String("1");

    // An encrypted or RAID device is as removable as what lies beneath it.
    // Mapped devices stack only a few levels deep; the bound guards against
    // a looping tree.
    if (!d.removable && depth < 8) {
        const QStringList slaves = QDir(diskDir + QStringLiteral("/slaves")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        for (const QString &slave : slaves) {
            const auto below = byName(slave, depth + 1);
            if (below && below->removable) {
                d.removable = true;
                break;
            }
        }
    }
    return d;
}

std::optional<BlockDeviceInfo::Device> BlockDeviceInfo::byName(const QString &kernelName, int depth) const
{
    if (kernelName.isEmpty() || kernelName.contains(QLatin1Char('/')) || kernelName.startsWith(QLatin1Char('.')))
        return std::nullopt;
    return describe(sysRoot_ + QStringLiteral("/class/block/") + kernelName, depth);
}

std::optional<BlockDeviceInfo::Device> BlockDeviceInfo::byNumber(unsigned major, unsigned minor) const
{
    return describe(sysRoot_ + QStringLiteral("/dev/block/%1:%2").arg(major).arg(minor), 0);
}

std::optional<BlockDeviceInfo::Device> BlockDeviceInfo::byNode(const QString &devNode) const
{
    static const QString mapper = QStringLiteral("/dev/mapper/");
    if (devNode.startsWith(mapper)) {
        const QString wanted = devNode.mid(mapper.size());
        const QString blockDir = sysRoot_ + QStringLiteral("/block");
        const QStringList dms = QDir(blockDir).entryList({QStringLiteral("dm-*")}, QDir::AllEntries | QDir::NoDotAndDotDot);
        for (const QString &dm : dms) {
            if (readLine(blockDir + QLatin1Char('/') + dm + QStringLiteral("/dm/name")) == wanted)
                return byName(dm, 0);
        }
        return std::nullopt;
    }
    if (!devNode.startsWith(QLatin1String("/dev/")))
        return std::nullopt;
    return byName(QFileInfo(devNode).fileName(), 0);
}

bool isFixedDrive(const MountEntry &entry, const BlockDeviceInfo &devices)
{
    if (isExcludedFsType(entry.fsType) || !entry.source.startsWith(QLatin1String("/dev/")))
        return false;
    auto device = devices.byNumber(entry.major, entry.minor);
    // btrfs reports an anonymous device number (major 0) for every mount;
    // only its source names the disk.
    if (!device && entry.major == 0)
        device = devices.byNode(entry.source);
    return device && !device->removable && !isExcludedDisk(device->disk);
}

QList<MountEntry> fixedDriveMounts(const QList<MountEntry> &table, const BlockDeviceInfo &devices)
{
    // A later mount at the same point covers the earlier one: statvfs would
    // answer for the later, so the earlier is not reachable there any more.
    QHash<QString, qsizetype> topmost;
    for (qsizetype i = 0; i < table.size(); ++i)
        topmost.insert(table[i].mountPoint, i);

    QList<MountEntry> out;
    QHash<quint64, qsizetype> byDevice; // device number -> index in out
    for (qsizetype i = 0; i < table.size(); ++i) {
        const MountEntry &e = table[i];
        if (topmost.value(e.mountPoint) != i || !isFixedDrive(e, devices))
            continue;
        const quint64 dev = (quint64(e.major) << 32) | e.minor;
        const auto seen = byDevice.constFind(dev);
        if (seen == byDevice.constEnd()) {
            byDevice.insert(dev, out.size());
            out.append(e);
        } else if (e.mountPoint.size() < out[*seen].mountPoint.size()) {
            out[*seen] = e;
        }
    }
    std::sort(out.begin(), out.end(),
              [](const MountEntry &a, const MountEntry &b) { return a.mountPoint < b.mountPoint; });
    return out;
}

} // namespace vl
