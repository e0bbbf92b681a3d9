#pragma once

#include <QIcon>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace vl {

// The registry-like store for the few switches that live outside the
// settings file (start at logon, several copies allowed).
enum class RegistryHive { CurrentUser, LocalMachine };

class Registry {
public:
    virtual ~Registry() = default;
    // The value's text, or nullopt when the key or value is absent.
    // Throws RegistryError when the store exists but cannot be read.
    virtual std::optional<QString> readValue(RegistryHive hive, const QString &key, const QString &name) = 0;
    // Creates the key when needed. Throws RegistryError on failure.
    virtual void writeValue(RegistryHive hive, const QString &key, const QString &name, const QString &value) = 0;
    virtual void deleteValue(RegistryHive hive, const QString &key, const QString &name) = 0;
};

class RegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A mounted file system on a local, non-removable block device.
struct FixedDrive {
    QString name;            // its mount point
    std::uint64_t freeBytes; // available to the calling user
};

// One start of something on the desktop. What kind of start it is, and with
// which arguments, is decided by the program; the platform only carries it out.
struct LaunchRequest {
    enum class Kind {
        Program,      // an executable file, started directly (no shell) with arguments
        DesktopEntry, // a .desktop launcher, run by its Exec line with arguments as files
        Document,     // a file opened by the default application for its type, arguments after it
        Folder,       // a folder opened in the file manager
        Address,      // a web address (any URI) opened by the default handler for its scheme, arguments after it
    };
    Kind kind = Kind::Document;
    QString target;
    QStringList arguments;
    QString workingFolder; // empty: the program's own
};

// What a shell link (".lnk") file points to.
struct LinkTarget {
    QString path; // the local or network target; empty when the link has none
    QString arguments;
};

// What installing the program as a send-to target in the file managers did:
// the files written, and those that could not be (with the reason).
struct SendToResult {
    QStringList written;
    QStringList failed;
};

// Everything the program asks of the desktop environment, so that the rest
// of the program runs, and is tested, without one.
class Platform {
public:
    virtual ~Platform() = default;

    virtual Registry &registry() = 0;
    // Fixed drives in mount-point order; drives whose free space cannot be
    // read are left out.
    virtual QList<FixedDrive> fixedDrives() = 0;

    // Starts what the request names, without waiting for it. False when
    // nothing could be started.
    virtual bool launch(const LaunchRequest &request) = 0;
    // The command line (Exec line) of the user's default web browser, or
    // empty when there is none.
    virtual QString defaultBrowserCommand() = 0;
    // Starts playing a sound file and returns at once; a file that cannot be
    // played is skipped silently.
    virtual void playSound(const QString &file) = 0;
    // Reads a shell link file; nullopt when it cannot be loaded as one.
    virtual std::optional<LinkTarget> readLink(const QString &path) = 0;
    // True for a program the user may run: an executable file the system
    // can start as a process, not merely one with the permission.
    virtual bool isExecutableFile(const QString &path) = 0;
    // The name a .desktop launcher shows, in the user's language; empty
    // when it names nothing.
    virtual QString launcherName(const QString &path) = 0;
    // Whether a .desktop launcher may run without asking: one the user made
    // executable or one installed in the system's or the user's application
    // folders. A launcher that was merely downloaded or unpacked is neither.
    virtual bool isTrustedLauncher(const QString &path) = 0;

    // The icon of an existing file or folder (a launcher's own icon for a
    // .desktop file); null when there is none.
    virtual QIcon fileIcon(const QString &path) = 0;
    // The icon of web addresses: the default browser's, else a generic one;
    // null when there is neither.
    virtual QIcon webIcon() = 0;
    // The standard application picture, shown when nothing better is known.
    virtual QIcon applicationIcon() = 0;

    // Offers the program (at programPath) in the file managers' menus for a
    // selected file, so that choosing it starts "program -- FILE". Writing the
    // same entries again replaces them. Never makes the program a handler of
    // any file type.
    virtual SendToResult installSendTo(const QString &programPath) = 0;
};

} // namespace vl
