#include "platform/GioDesktop.h"

#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

// gio/gdbusintrospection.h has a struct field called "signals", which Qt's
// keyword macro would rewrite.
#pragma push_macro("signals")
#undef signals
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>
#pragma pop_macro("signals")

#include <initializer_list>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <unistd.h>

namespace vl::gio {

namespace {

QString fromUtf8(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

// /dev/null, opened once per start for the child's three standard streams:
// a child that kept our stdout open would hold up anyone reading our output
// to its end (a test harness, a pipe in a script) for as long as it runs.
class NullDevice {
public:
    NullDevice() : fd_(::open("/dev/null", O_RDWR | O_CLOEXEC)) {}
    ~NullDevice()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    NullDevice(const NullDevice &) = delete;
    NullDevice &operator=(const NullDevice &) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

// Runs in the child between fork and exec: only async-signal-safe calls.
void enterFolder(gpointer folder)
{
    const int failed = ::chdir(static_cast<const char *>(folder));
    (void)failed; // the program then starts in our folder, as it would have without one
}

bool launchWithNullStreams(GDesktopAppInfo *app, GList *uris, const QByteArray &folder)
{
    NullDevice null;
    if (null.fd() < 0)
        return false;
    GError *error = nullptr;
    const gboolean ok = g_desktop_app_info_launch_uris_as_manager_with_fds(
        app, uris, nullptr, G_SPAWN_SEARCH_PATH, folder.isEmpty() ? nullptr : enterFolder,
        folder.isEmpty() ? nullptr : const_cast<char *>(folder.constData()), nullptr, nullptr, null.fd(), null.fd(),
        null.fd(), &error);
    g_clear_error(&error);
    return ok;
}

// Whether the application names one of the types in its own MimeType list.
// Asking GIO for the handlers of a type also yields those of the types it
// derives from, and text/html derives from text/plain: every text editor.
bool declaresType(GAppInfo *app, std::initializer_list<const char *> types)
{
    for (const char **own = g_app_info_get_supported_types(app); own && *own; ++own) {
        for (const char *type : types) {
            if (g_strcmp0(*own, type) == 0)
                return true;
        }
    }
    return false;
}

// The https handler, else the HTML viewer (some desktops register their
// browser only as that), else any application that declares either.
GAppInfo *defaultBrowser()
{
    const auto browses = [](GAppInfo *app) { return declaresType(app, {"x-scheme-handler/https", "text/html"}); };
    if (GAppInfo *app = g_app_info_get_default_for_uri_scheme("https")) {
        if (browses(app))
            return app;
        g_object_unref(app);
    }
    if (GAppInfo *app = g_app_info_get_default_for_type("text/html", FALSE)) {
        if (browses(app))
            return app;
        g_object_unref(app);
    }
    for (const char *type : {"x-scheme-handler/https", "text/html"}) {
        GList *apps = g_app_info_get_recommended_for_type(type);
        GAppInfo *found = nullptr;
        for (GList *l = apps; l && !found; l = l->next) {
            if (browses(G_APP_INFO(l->data)))
                found = G_APP_INFO(g_object_ref(l->data));
        }
        g_list_free_full(apps, g_object_unref);
        if (found)
            return found;
    }
    return nullptr;
}

// What the file codes of an Exec value stand for.
struct FileCodes {
    QString path; // %f, %F
    QString uri;  // %u, %U
};

// The text as one word for a POSIX shell.
QString shellQuoted(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

// Splits an Exec value the way GLib's shell parser (and with it GIO) does,
// expanding the field codes as it goes; see commandForFile. The file goes
// into the word being built, never into the text still to be split: that is
// what keeps its name from being read as quotes, blanks or commands.
QStringList expandCommandLine(const QString &commandLine, const FileCodes &codes, const QStringList &arguments)
{
    enum class Quote { None, Single, Double } quote = Quote::None;
    QStringList words;
    QString word;
    bool inWord = false; // a character or a quote of the current word was seen
    qsizetype fileWord = -1;
    const qsizetype n = commandLine.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = commandLine.at(i);
        if (c == QLatin1Char('%') && i + 1 < n) {
            const char16_t code = commandLine.at(++i).unicode();
            if (code == u'%') {
                word += QLatin1Char('%');
                inWord = true;
            } else if (fileWord < 0 && (code == u'f' || code == u'F' || code == u'u' || code == u'U')) {
                const QString &value = code == u'f' || code == u'F' ? codes.path : codes.uri;
                word += quote == Quote::None ? value : shellQuoted(value);
                inWord = true;
                fileWord = words.size();
            }
            // %i, %c and %k would need the launcher's name and icon, the
            // rest are deprecated; a second file code gets no file.
            continue;
        }
        if (quote == Quote::Single) {
            if (c == QLatin1Char('\''))
                quote = Quote::None;
            else
                word += c;
            continue;
        }
        if (quote == Quote::Double) {
            if (c == QLatin1Char('"')) {
                quote = Quote::None;
            } else if (c == QLatin1Char('\\') && i + 1 < n
                       && QStringView(u"\"\\$`\n").contains(commandLine.at(i + 1))) {
                if (commandLine.at(++i) != QLatin1Char('\n'))
                    word += commandLine.at(i);
            } else {
                word += c;
            }
            continue;
        }
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')) {
            if (inWord)
                words << std::exchange(word, QString());
            inWord = false;
        } else if (c == QLatin1Char('#') && !inWord) {
            while (i + 1 < n && commandLine.at(i + 1) != QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('\'')) {
            quote = Quote::Single;
            inWord = true;
        } else if (c == QLatin1Char('"')) {
            quote = Quote::Double;
            inWord = true;
        } else if (c == QLatin1Char('\\')) {
            if (++i == n)
                return {};
            if (commandLine.at(i) != QLatin1Char('\n')) {
                word += commandLine.at(i);
                inWord = true;
            }
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quote != Quote::None)
        return {};
    if (inWord)
        words << word;
    if (words.isEmpty())
        return {};
    if (fileWord < 0)
        return words << codes.path << arguments;

    // flatpak's --file-forwarding hands the words between "@@" (or "@@u")
    // and "@@" to the sandbox as files; the command string is no file.
    qsizetype insertAt = fileWord + 1;
    bool inBlock = false;
    for (qsizetype k = 0; k < fileWord; ++k) {
        const QString &w = words.at(k);
        if (!inBlock)
            inBlock = w == QLatin1String("@@") || w == QLatin1String("@@u");
        else if (w == QLatin1String("@@"))
            inBlock = false;
    }
    if (inBlock) {
        insertAt = words.size();
        for (qsizetype k = fileWord + 1; k < words.size(); ++k) {
            if (words.at(k) == QLatin1String("@@")) {
                insertAt = k + 1;
                break;
            }
        }
    }
    for (qsizetype k = 0; k < arguments.size(); ++k)
        words.insert(insertAt + k, arguments.at(k));
    return words;
}

// An application's command for a file or address, in a terminal when it
// asks for one; nullopt when it has no usable command line.
std::optional<QStringList> appCommand(GAppInfo *app, const FileCodes &codes, const QStringList &arguments)
{
    const QString commandLine = fromUtf8(g_app_info_get_commandline(app));
    QStringList command = expandCommandLine(commandLine, codes, arguments);
    if (command.isEmpty())
        return std::nullopt;
    if (G_IS_DESKTOP_APP_INFO(app) && g_desktop_app_info_get_boolean(G_DESKTOP_APP_INFO(app), "Terminal")) {
        const QStringList terminal = terminalCommand();
        if (terminal.isEmpty())
            return std::nullopt;
        command = terminal + command;
    }
    return command;
}

FileCodes codesForFile(const QString &file)
{
    const QString path = QFileInfo(file).absoluteFilePath();
    return {path, QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded())};
}

} // namespace

QStringList commandForFile(const QString &commandLine, const QString &file, const QStringList &arguments)
{
    return expandCommandLine(commandLine, codesForFile(file), arguments);
}

QStringList commandForAddress(const QString &commandLine, const QString &address, const QStringList &arguments)
{
    return expandCommandLine(commandLine, {address, address}, arguments);
}

QStringList terminalCommand()
{
    // Each with the option after which the rest of its arguments is the
    // command and its arguments, word for word.
    static const struct {
        const char *program;
        const char *option;
    } terminals[] = {
        {"x-terminal-emulator", "-e"}, {"xdg-terminal-exec", nullptr}, {"gnome-terminal", "--"},
        {"konsole", "-e"},             {"xfce4-terminal", "-x"},       {"mate-terminal", "-x"},
        {"alacritty", "-e"},           {"kitty", nullptr},             {"xterm", "-e"},
    };
    for (const auto &t : terminals) {
        g_autofree gchar *found = g_find_program_in_path(t.program);
        if (!found)
            continue;
        QStringList command{QFile::decodeName(found)};
        if (t.option)
            command << QString::fromLatin1(t.option);
        return command;
    }
    return {};
}

std::optional<QStringList> defaultAppCommand(const QString &path, const QStringList &arguments)
{
    const QByteArray name = QFile::encodeName(path);
    g_autoptr(GFile) file = g_file_new_for_path(name.constData());
    g_autoptr(GFileInfo) info = g_file_query_info(file, G_FILE_ATTRIBUTE_STANDARD_CONTENT_TYPE,
                                                  G_FILE_QUERY_INFO_NONE, nullptr, nullptr);
    g_autofree gchar *type = nullptr;
    if (info && g_file_info_get_content_type(info))
        type = g_strdup(g_file_info_get_content_type(info));
    else
        type = g_content_type_guess(name.constData(), nullptr, 0, nullptr);

    g_autoptr(GAppInfo) app = g_app_info_get_default_for_type(type, FALSE);
    if (!app)
        return std::nullopt;
    return appCommand(app, codesForFile(path), arguments);
}

std::optional<QStringList> addressCommand(const QString &address, const QStringList &arguments)
{
    const QByteArray uri = address.toUtf8();
    g_autofree gchar *scheme = g_uri_parse_scheme(uri.constData());
    if (!scheme)
        return std::nullopt;
    if (g_ascii_strcasecmp(scheme, "file") == 0) {
        const QString path = QUrl(address).toLocalFile();
        if (path.isEmpty() || !QFileInfo::exists(path))
            return std::nullopt;
        return defaultAppCommand(path, arguments);
    }
    g_autoptr(GAppInfo) app = g_app_info_get_default_for_uri_scheme(scheme);
    if (!app)
        return std::nullopt;
    return appCommand(app, {address, address}, arguments);
}

bool launchDesktopEntry(const QString &file, const QStringList &arguments, const QString &workingFolder)
{
    const QByteArray name = QFile::encodeName(file);
    g_autoptr(GDesktopAppInfo) app = g_desktop_app_info_new_from_filename(name.constData());
    if (!app) {
        // GIO only loads applications; a launcher of Type=Link carries a URL.
        g_autoptr(GKeyFile) keys = g_key_file_new();
        if (!g_key_file_load_from_file(keys, name.constData(), G_KEY_FILE_NONE, nullptr))
            return false;
        const char *group = G_KEY_FILE_DESKTOP_GROUP;
        g_autofree gchar *type = g_key_file_get_string(keys, group, G_KEY_FILE_DESKTOP_KEY_TYPE, nullptr);
        g_autofree gchar *url = g_key_file_get_string(keys, group, G_KEY_FILE_DESKTOP_KEY_URL, nullptr);
        if (g_strcmp0(type, G_KEY_FILE_DESKTOP_TYPE_LINK) != 0 || !url || !*url)
            return false;
        return openAddress(QString::fromUtf8(url));
    }

    const bool folderGiven = !workingFolder.isEmpty() && QFileInfo(workingFolder).isDir();
    const QByteArray base = QFile::encodeName(folderGiven ? workingFolder : QDir::currentPath());
    GList *uris = nullptr;
    for (const QString &argument : arguments) {
        // Takes URIs as they are and makes paths absolute file:// URIs.
        g_autoptr(GFile) target = g_file_new_for_commandline_arg_and_cwd(QFile::encodeName(argument).constData(),
                                                                        base.constData());
        uris = g_list_append(uris, g_file_get_uri(target));
    }

    g_autofree gchar *ownFolder = g_desktop_app_info_get_string(app, G_KEY_FILE_DESKTOP_KEY_PATH);
    const bool useGiven = folderGiven && (!ownFolder || !*ownFolder);
    const bool ok = launchWithNullStreams(app, uris, useGiven ? base : QByteArray());
    g_list_free_full(uris, g_free);
    return ok;
}

bool openAddress(const QString &address)
{
    const QByteArray uri = address.toUtf8();
    g_autofree gchar *scheme = g_uri_parse_scheme(uri.constData());
    if (!scheme)
        return false;
    if (g_ascii_strcasecmp(scheme, "file") != 0) {
        g_autoptr(GAppInfo) app = g_app_info_get_default_for_uri_scheme(scheme);
        if (app && G_IS_DESKTOP_APP_INFO(app)) {
            GList one = {const_cast<gchar *>(uri.constData()), nullptr, nullptr};
            return launchWithNullStreams(G_DESKTOP_APP_INFO(app), &one, QByteArray());
        }
    }
    // Local files by their content type, and handlers GIO knows other than
    // by a .desktop file.
    GError *error = nullptr;
    const gboolean ok = g_app_info_launch_default_for_uri(uri.constData(), nullptr, &error);
    g_clear_error(&error);
    return ok;
}

QString defaultBrowserCommand()
{
    g_autoptr(GAppInfo) app = defaultBrowser();
    return app ? fromUtf8(g_app_info_get_commandline(app)) : QString();
}

std::optional<IconSource> defaultBrowserIcon()
{
    g_autoptr(GAppInfo) app = defaultBrowser();
    if (!app)
        return std::nullopt;
    IconSource source;
    GIcon *icon = g_app_info_get_icon(app);
    if (icon && G_IS_THEMED_ICON(icon)) {
        for (const gchar *const *name = g_themed_icon_get_names(G_THEMED_ICON(icon)); name && *name; ++name)
            source.themeNames << QString::fromUtf8(*name);
    } else if (icon && G_IS_FILE_ICON(icon)) {
        g_autofree gchar *path = g_file_get_path(g_file_icon_get_file(G_FILE_ICON(icon)));
        if (path)
            source.file = QFile::decodeName(path);
    }
    return source;
}

namespace {

// A launcher's keys, read here rather than by GLib, which opens the file by name and would wait on
// a FIFO; a launcher is a few kilobytes, so a larger file is no launcher and is not read whole.
bool loadDesktopEntry(GKeyFile *keys, const QString &file)
{
    constexpr qint64 kMaxDesktopEntryBytes = 1 << 20;
    const std::optional<QByteArray> text = tryReadRegularFile(file, kMaxDesktopEntryBytes);
    return text && g_key_file_load_from_data(keys, text->constData(), gsize(text->size()), G_KEY_FILE_NONE, nullptr);
}

} // namespace

QString desktopEntryName(const QString &file)
{
    g_autoptr(GKeyFile) keys = g_key_file_new();
    if (!loadDesktopEntry(keys, file))
        return {};
    g_autofree gchar *name =
        g_key_file_get_locale_string(keys, G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_NAME, nullptr, nullptr);
    return fromUtf8(name).trimmed();
}

QString desktopEntryIcon(const QString &file)
{
    g_autoptr(GKeyFile) keys = g_key_file_new();
    if (!loadDesktopEntry(keys, file))
        return {};
    g_autofree gchar *icon =
        g_key_file_get_locale_string(keys, G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_ICON, nullptr, nullptr);
    return fromUtf8(icon).trimmed();
}

} // namespace vl::gio
