#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace vl {

// The text rules of Desktop Entry files (launchers, autostart entries, file
// manager actions) and of the shell, for the entries this program writes.
//
// An Exec value is read in two passes: first the key file's string escapes
// (\\, \n, \t, \r, \s) are undone, then the command line is split at blanks
// with its quotes removed. A value is therefore written in the opposite
// order: quote each argument, join, then escape the whole. Written the
// other way round, a backslash in a path would arrive halved.

// One argument of an Exec line, always in double quotes: '"', '`', '$' and
// '\' get a backslash, and '%' is doubled so that it is no field code.
QString desktopExecArgument(const QString &argument);

// The program of an Exec line. GLib, which Thunar and most sessions' autostart
// read launchers with, looks the first word up before it expands the field
// codes ("%%" there names no file, and the launcher is refused) and runs it
// after expanding them (a lone "%" is taken for a field code and dropped). A
// program whose path holds a '%' is therefore started through env, which has
// none, with the path as its argument.
QString desktopExecProgram(const QString &program);

// The program an Exec line starts, from its arguments (string escapes,
// quoting and "%%" undone): the first one, or the one env starts.
QString programOfExec(const QStringList &arguments);

// One argument for a POSIX shell or GLib's g_shell_parse_argv: in single
// quotes, each "'" written as '\''.
QString shellQuoted(const QString &argument);

// The key file's string escapes for a value: '\' '\n' '\t' '\r', and a
// leading blank as "\s" (key files drop blanks after '=').
QString desktopEntryEscaped(const QString &value);
QString desktopEntryUnescaped(const QString &value);

// The arguments of an Exec value whose string escapes are already undone;
// nullopt when its quotes do not close. Field codes stay as they are.
std::optional<QStringList> splitDesktopExec(const QString &exec);

// The value of key in group of a Desktop Entry text, string escapes undone;
// nullopt when absent. Localised keys ("Name[de]") are other keys.
std::optional<QString> desktopEntryValue(const QString &text, const QString &group, const QString &key);

} // namespace vl
