#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

namespace vl {

// One line of /proc/<pid>/mountinfo.
struct MountEntry {
    int mountId = 0;
    int parentId = 0;
    unsigned major = 0; // of st_dev; 0 for file systems without a device of their own (and btrfs)
    unsigned minor = 0;
    QString root;       // the folder of the file system that appears at the mount point
    QString mountPoint;
    QString fsType;     // with its subtype, as in "fuse.sshfs"
    QString source;     // "/dev/sda1", "server:/export", "tmpfs", ...

    bool operator==(const MountEntry &) const = default;
};

// The mount table, in the kernel's order. Octal escapes ("\040" for a blank)
// are decoded; lines that do not have the mountinfo shape are skipped.
QList<MountEntry> parseMountInfo(const QByteArray &mountinfoText);

// What sysfs knows about block devices. The sysfs root is a parameter so that
// tests can lay out a tree of their own.
class BlockDeviceInfo {
public:
    struct Device {
        QString name; // kernel name: "sda1", "vda", "dm-0"
        QString disk; // the whole device: "sda" for "sda1", else the name itself
        // The disk, or for a mapped device (dm, md) any device beneath it, is
        // removable.
        bool removable = false;

        bool operator==(const Device &) const = default;
    };

    explicit BlockDeviceInfo(const QString &sysRoot = QStringLiteral("/sys"));

    // By device number, via <sys>/dev/block/<major>:<minor>.
    std::optional<Device> byNumber(unsigned major, unsigned minor) const;
    // By device node: "/dev/sda1" via <sys>/class/block/sda1, "/dev/mapper/x"
    // via the dm-* device whose dm/name is x. The node itself is not read.
    std::optional<Device> byNode(const QString &devNode) const;

private:
    std::optional<Device> describe(const QString &sysDevicePath, int depth) const;
    std::optional<Device> byName(const QString &kernelName, int depth) const;

    QString sysRoot_;
};

// A mounted file system on a local, non-removable block device: not a loop,
// RAM, zram, optical or network block device, and not a virtual, image or
// network file system.
bool isFixedDrive(const MountEntry &entry, const BlockDeviceInfo &devices);

// The fixed drives of a mount table in mount-point order (plain string
// order). A mount hidden by a later mount at the same point is left out, and
// a file system mounted at several points (bind mounts) counts once, at its
// shortest mount point (the first of equally short ones).
QList<MountEntry> fixedDriveMounts(const QList<MountEntry> &table, const BlockDeviceInfo &devices);

} // namespace vl
