#include "app/SettingsLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace vl {

QString settingsFilePath(const QString &programDir, const QString &envValue, const QString &configHome)
{
    static const QString fileName = QStringLiteral("vorlane.ini");
    if (!envValue.isEmpty())
        return QFileInfo(envValue).absoluteFilePath();
    const QFileInfo dir(programDir);
    if (!programDir.isEmpty() && dir.isDir() && dir.isWritable())
        return QDir(programDir).absoluteFilePath(fileName);
    const QString folder = QDir(configHome).absoluteFilePath(QStringLiteral("vorlane"));
    QDir().mkpath(folder);
    return QDir(folder).absoluteFilePath(fileName);
}

QString settingsFilePath()
{
    return settingsFilePath(QCoreApplication::applicationDirPath(), qEnvironmentVariable("VORLANE_SETTINGS"),
                            QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation));
}

} // namespace vl
