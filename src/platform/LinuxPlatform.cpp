#include "platform/LinuxPlatform.h"

#include "platform/DesktopIcons.h"
#include "platform/GioDesktop.h"
#include "platform/LinkFile.h"
#include "platform/MountTable.h"
#include "platform/SendTo.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <sys/statvfs.h>

namespace vl {

namespace {

// A started program must not keep our standard streams: whoever reads our
// output to its end would wait for that program too.
bool startDetached(const QString &program, const QStringList &arguments, const QString &workingFolder)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    if (!workingFolder.isEmpty() && QFileInfo(workingFolder).isDir())
        process.setWorkingDirectory(workingFolder);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    return process.startDetached();
}

bool openWithDefaultApp(const QString &path, const QStringList &arguments, const QString &workingFolder)
{
    if (!QFileInfo::exists(path))
        return false;
    const std::optional<QStringList> command = gio::defaultAppCommand(path, arguments);
    return command && startDetached(command->first(), command->mid(1), workingFolder);
}

} // namespace

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

bool LinuxPlatform::launch(const LaunchRequest &request)
{
    if (request.target.isEmpty())
        return false;
    switch (request.kind) {
    case LaunchRequest::Kind::Program:
        return startDetached(request.target, request.arguments, request.workingFolder);
    case LaunchRequest::Kind::DesktopEntry:
        return gio::launchDesktopEntry(request.target, request.arguments, request.workingFolder);
    case LaunchRequest::Kind::Document:
        return openWithDefaultApp(request.target, request.arguments, request.workingFolder);
    case LaunchRequest::Kind::Folder:
        return QFileInfo(request.target).isDir() && openWithDefaultApp(request.target, {}, request.workingFolder);
    case LaunchRequest::Kind::Address:
        if (request.arguments.isEmpty())
            return gio::openAddress(request.target);
        // GIO hands a handler addresses only; words to follow the address
        // need the handler's command line.
        if (const std::optional<QStringList> command = gio::addressCommand(request.target, request.arguments))
            return startDetached(command->first(), command->mid(1), QString());
        return false;
    }
    return false;
}

QString LinuxPlatform::defaultBrowserCommand()
{
    return gio::defaultBrowserCommand();
}

void LinuxPlatform::playSound(const QString &file)
{
    sound_.play(file);
}

std::optional<LinkTarget> LinuxPlatform::readLink(const QString &path)
{
    return readShellLink(path);
}

bool LinuxPlatform::isExecutableFile(const QString &path)
{
    const QFileInfo info(path); // follows symbolic links
    if (!info.isFile() || !info.isExecutable())
        return false;
    // File systems without Unix permissions (SMB, NTFS, exFAT) and files
    // unpacked from archives mark every file executable; only a program the
    // kernel can run is run, anything else opens as a document.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(4);
    return head == "\x7f" "ELF" || head.startsWith("#!");
}

QString LinuxPlatform::launcherName(const QString &path)
{
    return gio::desktopEntryName(path);
}

bool LinuxPlatform::isTrustedLauncher(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return false;
    if (info.isExecutable())
        return true;
    // Both as written and with links resolved: a data folder may be reached
    // through a link, and "applications/../../Downloads" is no application
    // folder.
    const QString written = QDir::cleanPath(info.absoluteFilePath());
    const QString resolved = info.canonicalFilePath();
    const auto within = [](const QString &file, const QString &folder) {
        return !folder.isEmpty() && file.startsWith(folder + QLatin1Char('/'));
    };
    // Read at every call: the folders are the environment's of the moment.
    for (const QString &folder : QStandardPaths::standardLocations(QStandardPaths::ApplicationsLocation)) {
        if (within(written, QDir::cleanPath(QDir(folder).absolutePath()))
            || within(resolved, QFileInfo(folder).canonicalFilePath()))
            return true;
    }
    return false;
}

QIcon LinuxPlatform::fileIcon(const QString &path)
{
    return iconForPath(path);
}

QIcon LinuxPlatform::webIcon()
{
    const QStringList generic{QStringLiteral("web-browser"), QStringLiteral("text-html")};
    const std::optional<gio::IconSource> source = gio::defaultBrowserIcon();
    if (!source)
        return themedIcon(generic);
    QIcon icon = themedIcon(source->file.isEmpty() ? source->themeNames : QStringList{source->file});
    if (icon.isNull())
        icon = themedIcon(generic);
    return icon.isNull() ? applicationIcon() : icon;
}

QIcon LinuxPlatform::applicationIcon()
{
    return programIcon();
}

SendToResult LinuxPlatform::installSendTo(const QString &programPath)
{
    return SendToInstaller(SendToInstaller::defaultDataHome(), &SendToInstaller::onPath).install(programPath);
}

} // namespace vl
