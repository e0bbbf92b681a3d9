#pragma once

#include "platform/SystemRegistry.h"
#include "platform/Platform.h"
#include "platform/Sound.h"

#include <QString>

namespace vl {

class LinuxPlatform : public Platform {
public:
    // The registry at FileRegistry::defaultPath(), the mount table and sysfs
    // of the running system.
    LinuxPlatform();
    // Other sources, for tests: a registry file, a mountinfo file and a sysfs root.
    explicit LinuxPlatform(const QString &registryPath,
                           const QString &mountInfoPath = QStringLiteral("/proc/self/mountinfo"),
                           const QString &sysRoot = QStringLiteral("/sys"));

    // The file registry, with the start-at-logon value as the XDG autostart entry.
    SystemRegistry &registry() override { return registry_; }
    // An unreadable mount table gives no drives.
    QList<FixedDrive> fixedDrives() override;

    // Never through a shell. Programs get /dev/null as standard streams and
    // start in the working folder when it exists. Documents and folders open
    // with the user's default application for their content type (as set in
    // mimeapps.list), in a terminal when the application asks for one; a
    // document or folder that does not exist is not started.
    bool launch(const LaunchRequest &request) override;
    // The https handler's Exec value, else that of the HTML viewer; only an
    // application that declares either type itself counts.
    QString defaultBrowserCommand() override;
    void playSound(const QString &file) override;
    std::optional<LinkTarget> readLink(const QString &path) override;
    // An ELF binary or a "#!" script with the execute permission.
    bool isExecutableFile(const QString &path) override;
    QString launcherName(const QString &path) override;
    // Executable, or in $XDG_DATA_HOME/applications or one of
    // $XDG_DATA_DIRS/applications (or below).
    bool isTrustedLauncher(const QString &path) override;

    // Theme icons: call setUpIconTheme() once before asking. Nothing is
    // cached here.
    QIcon fileIcon(const QString &path) override;
    // A default browser whose own icon cannot be found gives the theme's
    // generic browser icon, else the application icon. Without a browser:
    // the theme's browser or HTML icon, else none.
    QIcon webIcon() override;
    QIcon applicationIcon() override;

    // Thunar, Nautilus, Dolphin, Nemo and the FileManager-Actions readers
    // (pcmanfm-qt, Caja), each when its data folder exists or its program is
    // on $PATH; see SendToInstaller.
    SendToResult installSendTo(const QString &programPath) override;

private:
    SystemRegistry registry_;
    SoundPlayer sound_;
    QString mountInfoPath_;
    QString sysRoot_;
};

} // namespace vl
