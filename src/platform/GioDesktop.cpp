#include "platform/GioDesktop.h"

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

// Some desktops register their browser only as the viewer of HTML files, so
// that type stands in when no handler for https is set.
GAppInfo *defaultBrowser()
{
    if (GAppInfo *app = g_app_info_get_default_for_uri_scheme("https"))
        return app;
    return g_app_info_get_default_for_type("text/html", FALSE);
}

} // namespace

QStringList commandForFile(const QString &commandLine, const QString &file, const QStringList &arguments)
{
    // Exec values quote the way a shell does inside double quotes, and GIO
    // splits its own command lines with the same parser.
    gint argc = 0;
    g_auto(GStrv) argv = nullptr;
    if (!g_shell_parse_argv(commandLine.toUtf8().constData(), &argc, &argv, nullptr))
        return {};

    const QString path = QFileInfo(file).absoluteFilePath();
    const QString uri = QString::fromLatin1(QUrl::fromLocalFile(path).toEncoded());
    QStringList command;
    bool fileGiven = false;
    for (int i = 0; i < argc; ++i) {
        const QString word = QString::fromUtf8(argv[i]);
        QString expanded;
        bool codeDropped = false;
        bool holdsFile = false;
        for (qsizetype k = 0; k < word.size(); ++k) {
            if (word.at(k) != QLatin1Char('%') || k + 1 == word.size()) {
                expanded += word.at(k);
                continue;
            }
            const char16_t code = word.at(++k).unicode();
            if (code == u'%') {
                expanded += QLatin1Char('%');
            } else if (!fileGiven && (code == u'f' || code == u'F' || code == u'u' || code == u'U')) {
                expanded += code == u'f' || code == u'F' ? path : uri;
                fileGiven = holdsFile = true;
            } else {
                // %i, %c and %k would need the launcher's name and icon, the
                // rest are deprecated; a second file code gets no file.
                codeDropped = true;
            }
        }
        if (codeDropped && expanded.isEmpty())
            continue;
        command << expanded;
        if (holdsFile)
            command << arguments;
    }
    if (command.isEmpty())
        return {};
    if (!fileGiven)
        command << path << arguments;
    return command;
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
    const QString commandLine = fromUtf8(g_app_info_get_commandline(app));
    if (commandLine.isEmpty())
        return std::nullopt;
    QStringList command = commandForFile(commandLine, path, arguments);
    if (command.isEmpty())
        return std::nullopt;
    return command;
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

QString desktopEntryName(const QString &file)
{
    g_autoptr(GKeyFile) keys = g_key_file_new();
    if (!g_key_file_load_from_file(keys, QFile::encodeName(file).constData(), G_KEY_FILE_NONE, nullptr))
        return {};
    g_autofree gchar *name =
        g_key_file_get_locale_string(keys, G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_NAME, nullptr, nullptr);
    return fromUtf8(name).trimmed();
}

QString desktopEntryIcon(const QString &file)
{
    g_autoptr(GKeyFile) keys = g_key_file_new();
    if (!g_key_file_load_from_file(keys, QFile::encodeName(file).constData(), G_KEY_FILE_NONE, nullptr))
        return {};
    g_autofree gchar *icon =
        g_key_file_get_locale_string(keys, G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_ICON, nullptr, nullptr);
    return fromUtf8(icon).trimmed();
}

} // namespace vl::gio
