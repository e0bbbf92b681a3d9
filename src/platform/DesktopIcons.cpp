#include "platform/DesktopIcons.h"

#include "platform/GioDesktop.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QStandardPaths>

// Outside any namespace: the macro declares the resource's init function
// where it stands.
static void initLibraryResources()
{
    Q_INIT_RESOURCE(vorlane_icons);
}

namespace vl {

void setUpIconTheme()
{
    const QString current = QIcon::themeName();
    if (!current.isEmpty() && current != QLatin1String("hicolor"))
        return;

    // The user's folders first, so that their icons win.
    QStringList folders{QDir::homePath() + QStringLiteral("/.local/share/icons")};
    for (const QString &data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        folders << data + QStringLiteral("/icons");
    folders << QStringLiteral("/usr/share/icons");

    QStringList searchPaths = QIcon::themeSearchPaths();
    for (const QString &folder : std::as_const(folders)) {
        const QString clean = QDir::cleanPath(folder);
        if (!searchPaths.contains(clean))
            searchPaths << clean;
    }
    QIcon::setThemeSearchPaths(searchPaths);

    bool haveAdwaita = false;
    for (const QString &folder : std::as_const(searchPaths))
        haveAdwaita = haveAdwaita || QFileInfo::exists(folder + QStringLiteral("/Adwaita/index.theme"));
    QIcon::setThemeName(haveAdwaita ? QStringLiteral("Adwaita") : QStringLiteral("hicolor"));
}

QIcon themedIcon(const QStringList &names)
{
    for (const QString &name : names) {
        if (name.isEmpty())
            continue;
        if (QDir::isAbsolutePath(name)) {
            if (QFileInfo(name).isFile()) {
                QIcon icon(name);
                if (!icon.availableSizes().isEmpty() || !icon.pixmap(32).isNull())
                    return icon;
            }
            continue;
        }
        if (QIcon::hasThemeIcon(name))
            return QIcon::fromTheme(name);
    }
    return {};
}

QIcon iconForPath(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    if (info.isDir())
        return themedIcon({QStringLiteral("folder"), QStringLiteral("inode-directory")});

    if (info.suffix().compare(QLatin1String("desktop"), Qt::CaseInsensitive) == 0) {
        QString name = gio::desktopEntryIcon(path);
        // Launchers written for older desktops name theme icons with an
        // image extension.
        if (!QDir::isAbsolutePath(name)) {
            for (const char *extension : {".png", ".svg", ".xpm"}) {
                if (name.endsWith(QLatin1String(extension), Qt::CaseInsensitive))
                    name.chop(4);
            }
        }
        const QIcon own = themedIcon({name});
        if (!own.isNull())
            return own;
    }

    // By name only: reading every file's first bytes would cost a disk
    // access per shortcut (and wake sleeping network shares).
    const QMimeType type = QMimeDatabase().mimeTypeForFile(info, QMimeDatabase::MatchExtension);
    const bool executable = info.isFile() && info.isExecutable();
    QStringList names;
    if (executable && type.isDefault())
        names << QStringLiteral("application-x-executable");
    names << type.iconName() << type.genericIconName()
          << (executable ? QStringLiteral("application-x-executable") : QStringLiteral("text-x-generic"));
    return themedIcon(names);
}

QIcon programIcon()
{
    static const bool registered = [] {
        initLibraryResources();
        return true;
    }();
    (void)registered;
    // The theme's sizes up to 128, so that places of up to 64 px at scale 2
    // (the tray, the About box) are filled from a picture at least as large
    // instead of one scaled up. The X11 window icon carries every size given
    // here, so the largest theme size is left out.
    QIcon icon;
    for (const int side : {16, 22, 24, 32, 48, 64, 128})
        icon.addFile(QStringLiteral(":/vorlane/icons/vorlane-%1.png").arg(side), QSize(side, side));
    return icon;
}

} // namespace vl
