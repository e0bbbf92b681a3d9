#include "platform/FileRegistry.h"
#include "platform/LinuxPlatform.h"
#include "platform/MountTable.h"
#include "support/EnvGuard.h"
#include "support/FakePlatform.h"
#include "support/TempDir.h"
#include "surface/FreeSpaceText.h"

#include <QDir>
#include <QProcess>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

#include <csignal>

#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace vl;
using vl::test::readAll;
using vl::test::writeAll;

namespace {

const QString VorlaneKey = QStringLiteral("Software\\Quendry\\Vorlane");

// A sysfs tree laid out as the kernel does: device folders under devices/,
// and the links dev/block/<maj>:<min>, class/block/<name> and block/<disk>
// pointing into it.
class FakeSys {
public:
    FakeSys()
    {
        for (const char *d : {"dev/block", "class/block", "block", "devices/virtual/block"})
            QDir().mkpath(path(QString::fromLatin1(d)));
    }

    QString root() const { return dir_.path(); }
    QString path(const QString &relative) const { return dir_.filePath(relative); }

    void disk(const QString &name, unsigned major, unsigned minor, bool removable,
              const QString &parent = QStringLiteral("devices/pci0000:00/0000:00:02.0/block"))
    {
        const QString dev = path(parent + QLatin1Char('/') + name);
        QDir().mkpath(dev);
        write(dev + QStringLiteral("/removable"), removable ? "1\n" : "0\n");
        link(dev, major, minor, name);
        QVERIFY(QFile::link(dev, path(QStringLiteral("block/") + name)));
    }

    // The partition has no removable file of its own: the disk's counts.
    void partition(const QString &disk, const QString &name, unsigned major, unsigned minor)
    {
        const QString dev = QFileInfo(path(QStringLiteral("block/") + disk)).canonicalFilePath() + QLatin1Char('/') + name;
        QDir().mkpath(dev);
        write(dev + QStringLiteral("/partition"), "1\n");
        link(dev, major, minor, name);
    }

    // A device-mapper device (encryption, LVM) over the given devices.
    void mapped(const QString &name, unsigned major, unsigned minor, const QString &dmName, const QStringList &below)
    {
        disk(name, major, minor, false, QStringLiteral("devices/virtual/block"));
        const QString dev = path(QStringLiteral("devices/virtual/block/") + name);
        QDir().mkpath(dev + QStringLiteral("/dm"));
        QDir().mkpath(dev + QStringLiteral("/slaves"));
        write(dev + QStringLiteral("/dm/name"), dmName.toUtf8() + '\n');
        for (const QString &b : below)
            QVERIFY(QFile::link(path(QStringLiteral("class/block/") + b), dev + QStringLiteral("/slaves/") + b));
    }

private:
    void link(const QString &dev, unsigned major, unsigned minor, const QString &name)
    {
        QVERIFY(QFile::link(dev, path(QStringLiteral("dev/block/%1:%2").arg(major).arg(minor))));
        QVERIFY(QFile::link(dev, path(QStringLiteral("class/block/") + name)));
    }
    static void write(const QString &file, const QByteArray &data) { QVERIFY(writeAll(file, data)); }

    QTemporaryDir dir_;
};

// A machine with a bit of everything.
void buildSampleSys(FakeSys &sys)
{
    sys.disk(QStringLiteral("vda"), 254, 0, false);
    sys.partition(QStringLiteral("vda"), QStringLiteral("vda1"), 254, 1);
    sys.partition(QStringLiteral("vda"), QStringLiteral("vda2"), 254, 2);
    sys.partition(QStringLiteral("vda"), QStringLiteral("vda3"), 254, 3);
    sys.disk(QStringLiteral("vdb"), 254, 16, false);
    sys.partition(QStringLiteral("vdb"), QStringLiteral("vdb1"), 254, 17);
    sys.disk(QStringLiteral("vdc"), 254, 32, false); // a file system on the whole disk
    sys.disk(QStringLiteral("nvme0n1"), 259, 0, false);
    sys.partition(QStringLiteral("nvme0n1"), QStringLiteral("nvme0n1p3"), 259, 3);
    sys.disk(QStringLiteral("sdb"), 8, 16, true, QStringLiteral("devices/pci0000:00/usb1/1-1/block"));
    sys.partition(QStringLiteral("sdb"), QStringLiteral("sdb1"), 8, 17);
    sys.disk(QStringLiteral("sdc"), 8, 32, true, QStringLiteral("devices/pci0000:00/usb1/1-2/block"));
    sys.partition(QStringLiteral("sdc"), QStringLiteral("sdc1"), 8, 33);
    sys.disk(QStringLiteral("sr0"), 11, 0, false, QStringLiteral("devices/pci0000:00/ata2/block"));
    sys.disk(QStringLiteral("loop0"), 7, 0, false, QStringLiteral("devices/virtual/block"));
    sys.disk(QStringLiteral("loop1"), 7, 1, false, QStringLiteral("devices/virtual/block"));
    sys.disk(QStringLiteral("zram1"), 252, 1, false, QStringLiteral("devices/virtual/block"));
    sys.mapped(QStringLiteral("dm-0"), 253, 0, QStringLiteral("vg-var"), {QStringLiteral("vda3")});
    sys.mapped(QStringLiteral("dm-1"), 253, 1, QStringLiteral("luks-stick"), {QStringLiteral("sdc1")});
}

const char *const SampleMountInfo =
    "22 27 0:21 / /proc rw,relatime shared:13 - proc proc rw\n"
    "23 27 0:22 / /sys rw,relatime shared:2 - sysfs sysfs rw\n"
    "24 27 0:6 / /dev rw,relatime shared:3 - devtmpfs udev rw,size=8000k\n"
    "27 1 254:1 / / rw,relatime shared:1 - ext4 /dev/vda1 rw,errors=remount-ro\n"
    "28 27 0:25 / /run rw,nosuid,nodev shared:5 - tmpfs tmpfs rw,size=1632k,mode=755\n"
    "29 27 254:2 / /boot/efi rw,relatime shared:30 - vfat /dev/vda2 rw,fmask=0077\n"
    "30 27 253:0 / /var rw,relatime shared:31 - ext4 /dev/mapper/vg-var rw\n"
    "31 27 0:40 /@home /home rw,relatime shared:32 - btrfs /dev/nvme0n1p3 rw,subvol=/@home\n"
    "32 31 0:40 /@snapshots /home/user/.snapshots rw,relatime shared:33 - btrfs /dev/nvme0n1p3 rw\n"
    "33 27 254:17 / /srv/archive/longer rw,relatime shared:34 - xfs /dev/vdb1 rw\n"
    "34 27 254:17 / /data rw,relatime shared:35 - xfs /dev/vdb1 rw\n"
    "35 27 254:32 / /mnt/Big\\040Disk rw,relatime shared:36 - ext4 /dev/vdc rw\n"
    "36 27 254:3 / /mnt/apps rw,relatime shared:37 - ext4 /dev/vda3 rw\n"
    "37 31 254:1 /srv/data /home/user/data rw,relatime shared:1 - ext4 /dev/vda1 rw\n"
    "38 28 8:17 / /media/user/STICK rw,nosuid,nodev shared:40 - vfat /dev/sdb1 rw\n"
    "39 28 253:1 / /media/user/SECRET rw,nosuid,nodev shared:41 - ext4 /dev/mapper/luks-stick rw\n"
    "40 28 11:0 / /media/user/CDROM ro,nosuid,nodev shared:42 - iso9660 /dev/sr0 ro\n"
    "41 27 0:50 / /mnt/nfs rw,relatime shared:43 - nfs4 server:/export rw,vers=4.2\n"
    "42 27 0:51 / /var/lib/docker/overlay2/x/merged rw,relatime - overlay overlay rw,lowerdir=/a\n"
    "43 27 7:0 / /snap/core/1 ro,nodev,relatime shared:44 - squashfs /dev/loop0 ro\n"
    "44 27 7:1 / /mnt/image rw,relatime shared:45 - ext4 /dev/loop1 rw\n"
    "45 27 252:1 / /mnt/zram rw,relatime shared:46 - ext4 /dev/zram1 rw\n"
    "46 27 259:3 / /mnt/hidden rw,relatime shared:47 - ext4 /dev/nvme0n1p3 rw\n"
    "47 46 0:52 / /mnt/hidden rw,relatime shared:48 - tmpfs tmpfs rw\n"
    "48 27 0:53 / /mnt/remote rw,nosuid,nodev - fuse.sshfs user@host:/home rw,user_id=0\n";

QStringList mountPoints(const QList<MountEntry> &entries)
{
    QStringList out;
    for (const auto &e : entries)
        out.append(e.mountPoint);
    return out;
}

MountEntry entry(unsigned major, unsigned minor, const char *fsType, const char *source)
{
    MountEntry e;
    e.major = major;
    e.minor = minor;
    e.root = QStringLiteral("/");
    e.mountPoint = QStringLiteral("/mnt/x");
    e.fsType = QString::fromLatin1(fsType);
    e.source = QString::fromLatin1(source);
    return e;
}

using vl::test::EnvGuard;

using RegistryFactory = std::function<std::unique_ptr<Registry>(const QString &path)>;

} // namespace

Q_DECLARE_METATYPE(RegistryFactory)
Q_DECLARE_METATYPE(vl::MountEntry)

class TestPlatform : public QObject {
    Q_OBJECT

private slots:
    // A main thread stuck in a system call never takes a termination
    // signal up from the event loop; the program then used to run on, deaf
    // to SIGTERM, for good.
    void aTerminationSignalEndsEvenAStuckProgram()
    {
        QTemporaryDir dir;
        const QString fifo = dir.filePath(QStringLiteral("fifo"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0);
        QProcess stuck;
        stuck.start(QStringLiteral(STUCK_AFTER_SIGNAL), {fifo});
        QVERIFY(stuck.waitForReadyRead(10000));
        QCOMPARE(stuck.readAll(), QByteArray("ready\n"));
        stuck.terminate();
        QVERIFY2(stuck.waitForFinished(5000), "still running 5 s after SIGTERM");
        QCOMPARE(stuck.exitStatus(), QProcess::NormalExit);
        QCOMPARE(stuck.exitCode(), 128 + SIGTERM);
    }

    // One fake sysfs for all: removing trees is slow on some disks.
    void initTestCase()
    {
        sys_ = std::make_unique<FakeSys>();
        buildSampleSys(*sys_);
    }
    void cleanupTestCase() { sys_.reset(); }

    // ---------------------------------------------------------------- registry contract

    void registryContract_data()
    {
        QTest::addColumn<RegistryFactory>("make");
        QTest::newRow("file") << RegistryFactory([](const QString &path) {
            return std::unique_ptr<Registry>(new FileRegistry(path));
        });
        // The fake must keep the promises the real store keeps, or tests
        // written against it prove nothing.
        QTest::newRow("fake") << RegistryFactory(
            [](const QString &) { return std::unique_ptr<Registry>(new vl::test::FakeRegistry); });
    }

    void registryContract()
    {
        QFETCH(RegistryFactory, make);
        QTemporaryDir dir;
        const auto reg = make(dir.filePath(QStringLiteral("sub/registry.ini")));

        QCOMPARE(reg->readValue(RegistryHive::LocalMachine, VorlaneKey, QStringLiteral("multiinstance")), std::nullopt);

        reg->writeValue(RegistryHive::LocalMachine, VorlaneKey, QStringLiteral("multiinstance"), QStringLiteral("1"));
        reg->writeValue(RegistryHive::CurrentUser, VorlaneKey, QStringLiteral("multiinstance"), QStringLiteral("0"));
        QCOMPARE(reg->readValue(RegistryHive::LocalMachine, VorlaneKey, QStringLiteral("multiinstance")),
                 QStringLiteral("1"));
        QCOMPARE(reg->readValue(RegistryHive::CurrentUser, VorlaneKey, QStringLiteral("multiinstance")),
                 QStringLiteral("0"));
        // Another key or name of the same hive is absent.
        QCOMPARE(reg->readValue(RegistryHive::LocalMachine, VorlaneKey + QStringLiteral("\\General"),
                                QStringLiteral("multiinstance")),
                 std::nullopt);
        QCOMPARE(reg->readValue(RegistryHive::LocalMachine, VorlaneKey, QStringLiteral("multi")), std::nullopt);

        // Keys and value names ignore case, also beyond ASCII; writing in
        // another case replaces the value instead of adding one.
        QCOMPARE(reg->readValue(RegistryHive::LocalMachine, QStringLiteral("SOFTWARE\\quendry\\VORLANE"),
                                QStringLiteral("MultiInstance")),
                 QStringLiteral("1"));
        reg->writeValue(RegistryHive::LocalMachine, QStringLiteral("software\\QUENDRY\\vorlane"),
                        QStringLiteral("MULTIINSTANCE"), QStringLiteral("0"));
        QCOMPARE(reg->readValue(RegistryHive::LocalMachine, VorlaneKey, QStringLiteral("multiinstance")),
                 QStringLiteral("0"));
        reg->writeValue(RegistryHive::CurrentUser, QStringLiteral("Software\\Ärger"), QStringLiteral("Größe"),
                        QStringLiteral("Ünïcödé – 値"));
        QCOMPARE(reg->readValue(RegistryHive::CurrentUser, QStringLiteral("SOFTWARE\\ÄRGER"), QStringLiteral("GRÖßE")),
                 QStringLiteral("Ünïcödé – 値"));

        // Empty values and the unnamed value are values like any other.
        reg->writeValue(RegistryHive::CurrentUser, VorlaneKey, QString(), QStringLiteral("default"));
        reg->writeValue(RegistryHive::CurrentUser, VorlaneKey, QStringLiteral("Empty"), QString());
        QCOMPARE(reg->readValue(RegistryHive::CurrentUser, VorlaneKey, QString()), QStringLiteral("default"));
        QCOMPARE(reg->readValue(RegistryHive::CurrentUser, VorlaneKey, QStringLiteral("empty")), QString());

        reg->deleteValue(RegistryHive::LocalMachine, VorlaneKey.toUpper(), QStringLiteral("MultiInstance"));
        QCOMPARE(reg->readValue(RegistryHive::LocalMachine, VorlaneKey, QStringLiteral("multiinstance")), std::nullopt);
        QCOMPARE(reg->readValue(RegistryHive::CurrentUser, VorlaneKey, QStringLiteral("multiinstance")),
                 QStringLiteral("0"));
        reg->deleteValue(RegistryHive::LocalMachine, QStringLiteral("No\\Such\\Key"), QStringLiteral("x"));
    }

    // ---------------------------------------------------------------- FileRegistry

    void fileRegistryLayout()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a/b/registry.ini"));
        FileRegistry reg(path);
        reg.writeValue(RegistryHive::LocalMachine, VorlaneKey, QStringLiteral("multiinstance"), QStringLiteral("1"));
        reg.writeValue(RegistryHive::LocalMachine, QStringLiteral("Software\\Microsoft\\windows\\CurrentVersion\\run"),
                       QStringLiteral("Vorlane"), QStringLiteral("/opt/vorlane/bin/vorlane"));
        reg.writeValue(RegistryHive::CurrentUser, VorlaneKey, QStringLiteral("Page_Count"), QStringLiteral("2"));

        // Hand-editable and readable by the INI engine of the settings file.
        const QByteArray text = readAll(path);
        QVERIFY2(text.contains("[HKEY_LOCAL_MACHINE\\Software\\Quendry\\Vorlane]\r\nmultiinstance=1\r\n"), text);
        QVERIFY2(text.contains("[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\windows\\CurrentVersion\\run]\r\n"
                               "Vorlane=/opt/vorlane/bin/vorlane\r\n"),
                 text);
        QVERIFY2(text.contains("[HKEY_CURRENT_USER\\Software\\Quendry\\Vorlane]\r\nPage_Count=2\r\n"), text);
        // No lock or temporary file is left beside it.
        QCOMPARE(QDir(dir.filePath(QStringLiteral("a/b"))).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("registry.ini")});

        // A value written by hand (or by another running copy) is seen at once.
        QVERIFY(writeAll(path, text + "[HKEY_CURRENT_USER\\Other]\nName=Value\n"));
        QCOMPARE(reg.readValue(RegistryHive::CurrentUser, QStringLiteral("Other"), QStringLiteral("name")),
                 QStringLiteral("Value"));
        FileRegistry second(path);
        second.writeValue(RegistryHive::CurrentUser, QStringLiteral("Other"), QStringLiteral("Second"), QStringLiteral("2"));
        QCOMPARE(reg.readValue(RegistryHive::CurrentUser, QStringLiteral("Other"), QStringLiteral("Second")),
                 QStringLiteral("2"));
        QCOMPARE(reg.readValue(RegistryHive::LocalMachine, VorlaneKey, QStringLiteral("multiinstance")),
                 QStringLiteral("1"));

        // Deleting the last value of a key drops the key from the file.
        reg.deleteValue(RegistryHive::CurrentUser, VorlaneKey, QStringLiteral("page_count"));
        QVERIFY(!readAll(path).contains("HKEY_CURRENT_USER\\Software\\Quendry\\Vorlane"));
    }

    void fileRegistryMissing()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cfg/registry.ini"));
        FileRegistry reg(path);
        QCOMPARE(reg.readValue(RegistryHive::LocalMachine, VorlaneKey, QStringLiteral("multiinstance")), std::nullopt);
        // Neither a read nor a delete creates the file or its folder.
        reg.deleteValue(RegistryHive::LocalMachine, VorlaneKey, QStringLiteral("multiinstance"));
        QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("cfg"))));

        // An empty file is an empty registry.
        QDir().mkpath(dir.filePath(QStringLiteral("cfg")));
        QVERIFY(writeAll(path, QByteArray()));
        QCOMPARE(reg.readValue(RegistryHive::LocalMachine, VorlaneKey, QStringLiteral("multiinstance")), std::nullopt);
    }

    void fileRegistryUnreadable_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder") << QStringLiteral("folder");
        QTest::newRow("binary") << QStringLiteral("binary");
        QTest::newRow("dangling link") << QStringLiteral("link");
    }

    void fileRegistryUnreadable()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("registry.ini"));
        static const char bytes[] = "[HKEY_LOCAL_MACHINE\\X]\r\nA=1\r\n\0\x01\x02\xff";
        const QByteArray binary(bytes, sizeof bytes - 1);
        if (kind == QLatin1String("folder"))
            QVERIFY(QDir().mkpath(path));
        else if (kind == QLatin1String("binary"))
            QVERIFY(writeAll(path, binary));
        else
            QVERIFY(QFile::link(dir.filePath(QStringLiteral("nowhere/registry.ini")), path));

        FileRegistry reg(path);
        QVERIFY_THROWS_EXCEPTION(RegistryError, reg.readValue(RegistryHive::LocalMachine, QStringLiteral("X"),
                                                              QStringLiteral("A")));
        // A store that cannot be read is not replaced by one holding a single value.
        QVERIFY_THROWS_EXCEPTION(RegistryError, reg.writeValue(RegistryHive::LocalMachine, QStringLiteral("X"),
                                                               QStringLiteral("B"), QStringLiteral("2")));
        QVERIFY_THROWS_EXCEPTION(RegistryError,
                                 reg.deleteValue(RegistryHive::LocalMachine, QStringLiteral("X"), QStringLiteral("A")));
        if (kind == QLatin1String("binary"))
            QCOMPARE(readAll(path), binary);
        else if (kind == QLatin1String("folder"))
            QVERIFY(QFileInfo(path).isDir());
    }

    void fileRegistryNoPermission()
    {
        if (::geteuid() == 0)
            QSKIP("file permissions do not apply to root");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("registry.ini"));
        QVERIFY(writeAll(path, "[HKEY_LOCAL_MACHINE\\X]\r\nA=1\r\n"));
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
        FileRegistry reg(path);
        QVERIFY_THROWS_EXCEPTION(RegistryError, reg.readValue(RegistryHive::LocalMachine, QStringLiteral("X"),
                                                              QStringLiteral("A")));
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    void fileRegistryRefusesWhatWouldNotReadBack_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("value");
        QTest::newRow("= in name") << QStringLiteral("K") << QStringLiteral("a=b") << QStringLiteral("v");
        QTest::newRow("[ starts name") << QStringLiteral("K") << QStringLiteral("[x") << QStringLiteral("y]");
        QTest::newRow("break in value") << QStringLiteral("K") << QStringLiteral("n") << QStringLiteral("1\n[HKEY_CURRENT_USER\\K]");
        QTest::newRow("break in name") << QStringLiteral("K") << QStringLiteral("n\r") << QStringLiteral("v");
        QTest::newRow("break in key") << QStringLiteral("K\nL") << QStringLiteral("n") << QStringLiteral("v");
    }

    void fileRegistryRefusesWhatWouldNotReadBack()
    {
        QFETCH(QString, key);
        QFETCH(QString, name);
        QFETCH(QString, value);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("registry.ini"));
        FileRegistry reg(path);
        reg.writeValue(RegistryHive::CurrentUser, QStringLiteral("K"), QStringLiteral("n"), QStringLiteral("old"));
        const QByteArray before = readAll(path);
        QVERIFY_THROWS_EXCEPTION(RegistryError, reg.writeValue(RegistryHive::CurrentUser, key, name, value));
        QCOMPARE(readAll(path), before);
    }

    void fileRegistryPath()
    {
        QTemporaryDir dir;
        {
            const EnvGuard env("VORLANE_REGISTRY", QFile::encodeName(dir.filePath(QStringLiteral("env.ini"))));
            QCOMPARE(FileRegistry().path(), dir.filePath(QStringLiteral("env.ini")));
            QCOMPARE(LinuxPlatform().registry().path(), dir.filePath(QStringLiteral("env.ini")));
        }
        {
            const EnvGuard env("VORLANE_REGISTRY", QByteArray());
            const EnvGuard config("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
            QCOMPARE(FileRegistry::defaultPath(), dir.filePath(QStringLiteral("vorlane/registry.ini")));
        }
    }

    // ---------------------------------------------------------------- mountinfo

    void parseMountInfoFields()
    {
        const QByteArray text =
            "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw,errors=continue\n"
            // no optional fields; escapes in root, mount point and source
            "40 1 8:17 /a\\134b /media/u/My\\040Disk\\011x ro - vfat /dev/disk\\040y rw\n"
            // several optional fields, UTF-8 in the mount point
            "41 1 259:3 / /media/u/Fotos\\040\xc3\xa4 rw shared:5 master:2 propagate_from:1 - btrfs /dev/nvme0n1p3 rw\n"
            // an empty source field, as old kernels write it
            "42 1 0:30 / /run/x rw - tmpfs  rw\n"
            "garbage line\n"
            "43 1 8:1 / /broken rw shared:1 ext4 /dev/sda1 rw\n" // no separator
            "44 1 8x1 / /bad rw - ext4 /dev/sda1 rw\n"
            "\n"
            "45 1 8:1 / /last rw - ext4 /dev/sda1 rw"; // no final newline
        const QList<MountEntry> got = parseMountInfo(text);
        QCOMPARE(mountPoints(got), (QStringList{QStringLiteral("/mnt2"), QStringLiteral("/media/u/My Disk\tx"),
                                                QStringLiteral("/media/u/Fotos ä"), QStringLiteral("/run/x"),
                                                QStringLiteral("/last")}));
        MountEntry first;
        first.mountId = 36;
        first.parentId = 35;
        first.major = 98;
        first.minor = 0;
        first.root = QStringLiteral("/mnt1");
        first.mountPoint = QStringLiteral("/mnt2");
        first.fsType = QStringLiteral("ext3");
        first.source = QStringLiteral("/dev/root");
        QCOMPARE(got[0], first);
        QCOMPARE(got[1].root, QStringLiteral("/a\\b"));
        QCOMPARE(got[1].source, QStringLiteral("/dev/disk y"));
        QCOMPARE(got[1].fsType, QStringLiteral("vfat"));
        QCOMPARE(got[2].fsType, QStringLiteral("btrfs"));
        QCOMPARE(got[2].major, 259u);
        QCOMPARE(got[2].minor, 3u);
        QCOMPARE(got[3].source, QString());
        QCOMPARE(got[3].fsType, QStringLiteral("tmpfs"));
        // A backslash not followed by three octal digits stays as it is.
        QCOMPARE(parseMountInfo("1 1 8:1 / /a\\09\\x\\ rw - ext4 /dev/sda1 rw\n").value(0).mountPoint,
                 QStringLiteral("/a\\09\\x\\"));
    }

    void fixedDrivesOfSampleMachine()
    {
        const FakeSys &sys = *sys_;
        const BlockDeviceInfo devices(sys.root());
        const QList<MountEntry> drives = fixedDriveMounts(parseMountInfo(SampleMountInfo), devices);
        // Plain string order: upper case before lower case.
        QCOMPARE(mountPoints(drives),
                 (QStringList{QStringLiteral("/"), QStringLiteral("/boot/efi"), QStringLiteral("/data"),
                              QStringLiteral("/home"), QStringLiteral("/mnt/Big Disk"), QStringLiteral("/mnt/apps"),
                              QStringLiteral("/var")}));
        // The bind mount of the root device counts as the root itself.
        QCOMPARE(drives[0].source, QStringLiteral("/dev/vda1"));
        QCOMPARE(drives[2].source, QStringLiteral("/dev/vdb1"));
    }

    void blockDeviceLookup()
    {
        const FakeSys &sys = *sys_;
        const BlockDeviceInfo devices(sys.root());
        using Device = BlockDeviceInfo::Device;
        QCOMPARE(devices.byNumber(254, 1), (Device{QStringLiteral("vda1"), QStringLiteral("vda"), false}));
        QCOMPARE(devices.byNumber(254, 32), (Device{QStringLiteral("vdc"), QStringLiteral("vdc"), false}));
        // A partition is as removable as its disk.
        QCOMPARE(devices.byNumber(8, 17), (Device{QStringLiteral("sdb1"), QStringLiteral("sdb"), true}));
        // An encrypted volume on a USB stick is as removable as the stick.
        QCOMPARE(devices.byNumber(253, 1), (Device{QStringLiteral("dm-1"), QStringLiteral("dm-1"), true}));
        QCOMPARE(devices.byNumber(253, 0), (Device{QStringLiteral("dm-0"), QStringLiteral("dm-0"), false}));
        QCOMPARE(devices.byNumber(8, 99), std::nullopt);
        QCOMPARE(devices.byNumber(0, 40), std::nullopt);

        QCOMPARE(devices.byNode(QStringLiteral("/dev/nvme0n1p3")),
                 (Device{QStringLiteral("nvme0n1p3"), QStringLiteral("nvme0n1"), false}));
        QCOMPARE(devices.byNode(QStringLiteral("/dev/mapper/luks-stick")),
                 (Device{QStringLiteral("dm-1"), QStringLiteral("dm-1"), true}));
        QCOMPARE(devices.byNode(QStringLiteral("/dev/mapper/nothing")), std::nullopt);
        QCOMPARE(devices.byNode(QStringLiteral("server:/export")), std::nullopt);
    }

    void isFixedDriveRules_data()
    {
        QTest::addColumn<MountEntry>("mount");
        QTest::addColumn<bool>("fixed");
        QTest::newRow("ext4 on a partition") << entry(254, 1, "ext4", "/dev/vda1") << true;
        QTest::newRow("ntfs-3g on a partition") << entry(254, 1, "fuseblk", "/dev/vda1") << true;
        QTest::newRow("source named only by number") << entry(254, 1, "ext4", "/dev/root") << true;
        QTest::newRow("removable disk, whole") << entry(8, 16, "ext4", "/dev/sdb") << false;
        QTest::newRow("optical by name, any file system") << entry(11, 0, "ext4", "/dev/sr0") << false;
        QTest::newRow("udf on a fixed disk") << entry(254, 32, "udf", "/dev/vdc") << false;
        QTest::newRow("loop by name") << entry(7, 1, "ext4", "/dev/loop1") << false;
        QTest::newRow("zram by name") << entry(252, 1, "ext4", "/dev/zram1") << false;
        QTest::newRow("source outside /dev") << entry(254, 1, "ext4", "UUID=1234") << false;
        QTest::newRow("fuse subtype") << entry(254, 1, "fuse.sshfs", "/dev/vda1") << false;
        QTest::newRow("unknown device number") << entry(8, 99, "ext4", "/dev/sdz9") << false;
        QTest::newRow("btrfs by node") << entry(0, 40, "btrfs", "/dev/nvme0n1p3") << true;
        QTest::newRow("btrfs on removable by node") << entry(0, 41, "btrfs", "/dev/mapper/luks-stick") << false;
        QTest::newRow("anonymous device, node unknown") << entry(0, 42, "btrfs", "/dev/sdz1") << false;
        QTest::newRow("tmpfs claiming a /dev source") << entry(0, 25, "tmpfs", "/dev/vda1") << false;
    }

    void isFixedDriveRules()
    {
        QFETCH(MountEntry, mount);
        QFETCH(bool, fixed);
        const FakeSys &sys = *sys_;
        QCOMPARE(isFixedDrive(mount, BlockDeviceInfo(sys.root())), fixed);
    }

    // ---------------------------------------------------------------- LinuxPlatform

    void linuxPlatformAsksStatvfs()
    {
        const FakeSys &sys = *sys_;
        QTemporaryDir mounts;
        QDir(mounts.path()).mkpath(QStringLiteral("b disk"));
        QDir(mounts.path()).mkpath(QStringLiteral("a"));
        const auto esc = [](const QString &p) { return QFile::encodeName(p).replace(' ', "\\040"); };
        const QByteArray mountinfo = "27 1 254:1 / " + esc(mounts.filePath(QStringLiteral("b disk")))
                                     + " rw - ext4 /dev/vda1 rw\n"
                                       "28 1 254:32 / "
                                     + esc(mounts.filePath(QStringLiteral("gone"))) // statvfs fails
                                     + " rw - ext4 /dev/vdc rw\n"
                                       "29 1 254:2 / "
                                     + esc(mounts.filePath(QStringLiteral("a"))) + " rw - vfat /dev/vda2 rw\n"
                                     + "30 1 0:25 / " + esc(mounts.path()) + " rw - tmpfs tmpfs rw\n";
        const QString mountinfoPath = mounts.filePath(QStringLiteral("mountinfo"));
        QVERIFY(writeAll(mountinfoPath, mountinfo));

        LinuxPlatform platform(mounts.filePath(QStringLiteral("registry.ini")), mountinfoPath, sys.root());
        const QList<FixedDrive> drives = platform.fixedDrives();
        QCOMPARE(drives.size(), 2);
        QCOMPARE(drives[0].name, mounts.filePath(QStringLiteral("a")));
        QCOMPARE(drives[1].name, mounts.filePath(QStringLiteral("b disk")));
        // Free space is the space available to this user, not the total.
        // Asked of the kernel directly: QStorageInfo goes by the mount
        // table, which does not describe a chroot's own folders.
        struct statvfs fs {};
        QCOMPARE(::statvfs(QFile::encodeName(mounts.path()).constData(), &fs), 0);
        for (const FixedDrive &d : drives) {
            QVERIFY(d.freeBytes > 0);
            QVERIFY(d.freeBytes <= std::uint64_t(fs.f_blocks) * fs.f_frsize);
            const auto expected = std::uint64_t(fs.f_bavail) * fs.f_frsize;
            const auto diff = d.freeBytes > expected ? d.freeBytes - expected : expected - d.freeBytes;
            QVERIFY2(diff < 256u * 1024 * 1024, qPrintable(QString::number(diff))); // others write meanwhile
        }

        LinuxPlatform noTable(mounts.filePath(QStringLiteral("registry.ini")),
                              mounts.filePath(QStringLiteral("no-mountinfo")), sys.root());
        QVERIFY(noTable.fixedDrives().isEmpty());
    }

    void linuxPlatformOnThisSystem()
    {
        QTemporaryDir dir;
        LinuxPlatform platform(dir.filePath(QStringLiteral("registry.ini")));
        const QList<FixedDrive> drives = platform.fixedDrives();
        QStringList names;
        for (const FixedDrive &d : drives) {
            QVERIFY2(QFileInfo(d.name).isDir(), qPrintable(d.name));
            names.append(d.name);
        }
        QStringList sorted = names;
        sorted.sort(Qt::CaseSensitive);
        sorted.removeDuplicates();
        QCOMPARE(names, sorted);
        // The free space of a drive is that of the file system mounted there.
        for (const FixedDrive &d : drives)
            QCOMPARE(QStorageInfo(d.name).rootPath(), d.name);
    }

    // ---------------------------------------------------------------- free-space text

    void freeSpaceText_data()
    {
        QTest::addColumn<quint64>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("GB, padded to 9") << quint64(12345678901) << QStringLiteral("Free:     11.50 GB");
        QTest::newRow("first GB value") << quint64(1000000000) << QStringLiteral("Free:      0.93 GB");
        QTest::newRow("last MB value") << quint64(999999999) << QStringLiteral("Free:    953.67 MB");
        QTest::newRow("first MB value") << quint64(1000000) << QStringLiteral("Free:      0.95 MB");
        QTest::newRow("last KB value, wider than 4") << quint64(999999) << QStringLiteral("Free: 976.56 KB");
        QTest::newRow("first KB value") << quint64(1000) << QStringLiteral("Free: 0.98 KB");
        QTest::newRow("last Byte value") << quint64(999) << QStringLiteral("Free: 999.00 Byte");
        QTest::newRow("exactly 4 wide") << quint64(5) << QStringLiteral("Free: 5.00 Byte");
        QTest::newRow("nothing") << quint64(0) << QStringLiteral("Free: 0.00 Byte");
        // 1.125 and 1.375 are exact in binary: printf rounds such ties to even.
        QTest::newRow("tie rounds down to even") << quint64(1152) << QStringLiteral("Free: 1.12 KB");
        QTest::newRow("tie rounds up to even") << quint64(1408) << QStringLiteral("Free: 1.38 KB");
        QTest::newRow("terabytes, wider than 9") << quint64(5000000000000) << QStringLiteral("Free:   4656.61 GB");
        QTest::newRow("largest") << quint64(18446744073709551615u) << QStringLiteral("Free: 17179869184.00 GB");
    }

    void freeSpaceText()
    {
        QFETCH(quint64, bytes);
        QFETCH(QString, text);
        QCOMPARE(vl::freeSpaceText(bytes, QLocale::c()), text);
        // English separators are the C ones.
        QCOMPARE(vl::freeSpaceText(bytes, QLocale(QLocale::English, QLocale::UnitedStates)), text);
    }

    void freeSpaceTextLocale()
    {
        const QLocale german(QLocale::German, QLocale::Germany);
        QCOMPARE(vl::freeSpaceText(12345678901, german), QStringLiteral("Free:     11,50 GB"));
        // No digit grouping, whatever the locale's habit.
        QCOMPARE(vl::freeSpaceText(5000000000000, german), QStringLiteral("Free:   4656,61 GB"));
        QCOMPARE(vl::freeSpaceText(999, german), QStringLiteral("Free: 999,00 Byte"));
        QCOMPARE(drivePanelText(FixedDrive{QStringLiteral("/home"), 999999}, german),
                 QStringLiteral("/home - Free: 976,56 KB"));
        QCOMPARE(drivePanelText(FixedDrive{QStringLiteral("/"), 12345678901}, QLocale::c()),
                 QStringLiteral("/ - Free:     11.50 GB"));
    }

    // ---------------------------------------------------------------- the fake

    void fakePlatformRecordsAndFails()
    {
        vl::test::FakePlatform platform;
        platform.drives = {{QStringLiteral("/"), 5}};
        QCOMPARE(platform.fixedDrives().size(), 1);
        QCOMPARE(platform.fixedDrivesCalls, 1);

        auto &reg = platform.fakeRegistry;
        reg.preset(RegistryHive::LocalMachine, VorlaneKey, QStringLiteral("multiinstance"), QStringLiteral("1"));
        QVERIFY(reg.calls.isEmpty());
        reg.failReads = true;
        QVERIFY_THROWS_EXCEPTION(RegistryError, platform.registry().readValue(RegistryHive::LocalMachine, VorlaneKey,
                                                                               QStringLiteral("multiinstance")));
        reg.failWrites = true;
        QVERIFY_THROWS_EXCEPTION(RegistryError, platform.registry().writeValue(RegistryHive::LocalMachine, VorlaneKey,
                                                                                QStringLiteral("multiinstance"),
                                                                                QStringLiteral("0")));
        QCOMPARE(reg.value(RegistryHive::LocalMachine, VorlaneKey, QStringLiteral("MULTIINSTANCE")), QStringLiteral("1"));
        QCOMPARE(reg.count(vl::test::FakeRegistry::Call::Read), 1);
        QCOMPARE(reg.count(vl::test::FakeRegistry::Call::Write), 1);
        QCOMPARE(reg.calls.last().value, QStringLiteral("0"));
    }

private:
    std::unique_ptr<FakeSys> sys_;
};

QTEST_GUILESS_MAIN(TestPlatform)
#include "tst_platform.moc"
