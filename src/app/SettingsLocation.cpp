#include "app/SettingsLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace vl {

namespace {

bool sameFolder(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    const QString ca = QFileInfo(a).canonicalFilePath();
    return !ca.isEmpty() && ca == QFileInfo(b).canonicalFilePath();
}

} // namespace

QString settingsFilePath(const QString &programDir, const QString &envValue, const QString &configHome,
                         const QString &installedDir)
{
    static const QString fileName = QStringLiteral("vorlane.ini");
    if (!envValue.isEmpty())
        return QFileInfo(envValue).absoluteFilePath();
    const QFileInfo dir(programDir);
    if (!programDir.isEmpty() && dir.isDir() && dir.isWritable() && !sameFolder(programDir, installedDir))
        return QDir(programDir).absoluteFilePath(fileName);
    const QString folder = QDir(configHome).absoluteFilePath(QStringLiteral("vorlane"));
    QDir().mkpath(folder);
    return QDir(folder).absoluteFilePath(fileName);
}

QString settingsFilePath()
{
    return settingsFilePath(QCoreApplication::applicationDirPath(), qEnvironmentVariable("VORLANE_SETTINGS"),
                            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation),
                            QStringLiteral(VORLANE_INSTALL_BINDIR));
}

} // namespace vl
