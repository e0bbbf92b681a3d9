#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The desktop's own idea of which application opens what, as GIO reads it
// from the user's and the system's mimeapps.list and .desktop files. GIO
// stays out of this header: its headers clash with Qt's keyword macros.
namespace vl::gio {

// The argument vector that runs a desktop entry's command line (its Exec
// value) for one file: the first %f/%F becomes the file's absolute path, the
// first %u/%U its file:// URI, and `arguments` follow that word (or the end
// of a forwarding block, "@@u %U @@", that holds it: every word inside one is
// taken for a file); a command line without any of them gets the file and
// the arguments at its end. %% is a percent sign; every other field code is
// dropped. A file code inside a quoted word goes in shell-quoted, since such
// a word is a script for another parser ("sh -c 'viewer %f'"); anywhere else
// the file is one word as it is. No file name can therefore split a word or
// run as a command. Empty when the command line cannot be split.
QStringList commandForFile(const QString &commandLine, const QString &file, const QStringList &arguments);
// The same for an address: both %f and %u become the address.
QStringList commandForAddress(const QString &commandLine, const QString &address, const QStringList &arguments);

// The words that run a command in a terminal window (Debian's
// x-terminal-emulator, else the first known terminal on the search path),
// the command to follow them; empty when there is none.
QStringList terminalCommand();

// The command that opens an existing file or folder with the user's default
// application for its content type, followed by `arguments`; in a terminal
// when the application asks for one. nullopt when no application is
// registered for the type, or it needs a terminal and there is none.
std::optional<QStringList> defaultAppCommand(const QString &path, const QStringList &arguments);

// The command that opens an address with the default handler for its scheme
// (a file:// address: the default application of the file), followed by
// `arguments`. nullopt as for defaultAppCommand.
std::optional<QStringList> addressCommand(const QString &address, const QStringList &arguments);

// Runs a .desktop launcher by its Exec line with `arguments` as files or
// URIs (relative paths are taken from `workingFolder`, else from the current
// folder). The launcher's Path key wins over `workingFolder`. The started
// program gets /dev/null as its standard streams. False when the file is no
// usable launcher or the program could not be started.
bool launchDesktopEntry(const QString &file, const QStringList &arguments, const QString &workingFolder);

// Opens a URI with the default handler for its scheme. False when there is
// none or it could not be started.
bool openAddress(const QString &address);

// The Exec value of the default web browser; empty when there is none. A
// browser is an application that declares https addresses or HTML files
// itself: every text editor opens HTML as the plain text it also is.
QString defaultBrowserCommand();

// Where an application's icon comes from: theme icon names in order of
// preference, or an image file.
struct IconSource {
    QStringList themeNames;
    QString file;
};
// The default web browser's icon; nullopt when there is no default browser,
// an empty source when the browser names no icon.
std::optional<IconSource> defaultBrowserIcon();

// The Icon value of a .desktop file (a theme name or an absolute path);
// empty when the file cannot be read or has none.
QString desktopEntryIcon(const QString &file);
// The Name value of a .desktop file in the user's language; empty when the
// file cannot be read or has none.
QString desktopEntryName(const QString &file);

} // namespace vl::gio
