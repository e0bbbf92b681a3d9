#pragma once

#include "model/Model.h"

#include <QString>
#include <QStringList>

namespace vl {

class Platform;

// True when the text starts with one of the web-address prefixes
// ("file://", "ftp://", "gopher://", "http://", "https://", "mailto:",
// "news:", "telnet:", "wais:"), in any letter case.
bool IsUrl(QStringView text);

// The folder a start runs in: for a path the text before its last "/" (the
// root keeps its "/"), for a web address the text up to its last colon.
QString folderPart(const QString &path);

// The address of an Internet shortcut file: the text after "=" of the first
// line whose key is "URL" in any case, sections ignored; empty when no line
// has it; the path itself when the file cannot be read. UTF-16 and UTF-8
// files are known by their byte order mark; without one, bytes that are not
// valid UTF-8 are Windows-1252.
QString ReadUrlFile(const QString &path);

// No installer folder exists on this platform.
inline bool IsInInstallerFolder(const QString &) { return false; }

// Case-insensitive extension tests.
bool hasExtension(const QString &path, QStringView ext);

// Sets a shortcut's attached file as the shortcut control does: an Internet
// shortcut file is replaced by its address, a shell link whose target exists
// by that target (its arguments become the command string); a relative
// target is taken from the link's folder and attached as an absolute path.
// Letter case is kept: paths here are case-sensitive, and so are the paths
// of addresses.
void AttachFile(ShortcutItem &item, const QString &text, Platform &platform);

// The default browser's program and its arguments, split from its command
// line with shell quoting rules; field codes (%u, %U, ...) are dropped.
struct BrowserCommand {
    QString program;
    QStringList arguments;
    // The browser's own switch for a new window, where it is known to have one.
    QString newWindowSwitch;
};
BrowserCommand SplitBrowserCommand(const QString &commandLine);

} // namespace vl
