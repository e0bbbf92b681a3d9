#include "platform/SystemRegistry.h"

#include "platform/DesktopEntryText.h"
#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace vl {

namespace {

[[noreturn]] void fail(const QString &message) { throw RegistryError(message.toStdString()); }

// A dangling link is an entry too: it is there to be removed or replaced.
bool entryExists(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

QString SystemRegistry::autostartPath()
{
    // Qt takes XDG_CONFIG_HOME only when it is absolute, as the XDG rules
    // say, and ~/.config otherwise.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/autostart/vorlane.desktop");
}

bool SystemRegistry::isRunValue(RegistryHive hive, const QString &key, const QString &name)
{
    return hive == RegistryHive::LocalMachine && key.compare(RunKey, Qt::CaseInsensitive) == 0
           && name.compare(RunValue, Qt::CaseInsensitive) == 0;
}

QString SystemRegistry::autostartEntry(const QString &program)
{
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=Vorlane\n"
                          "Comment=Extra desktops of shortcuts and notes\n"
                          "Exec=%1\n"
                          "Icon=vorlane\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(desktopEntryEscaped(desktopExecProgram(program)));
}

std::optional<QString> SystemRegistry::readValue(RegistryHive hive, const QString &key, const QString &name)
{
    if (!isRunValue(hive, key, name))
        return files_.readValue(hive, key, name);
    const QString path = autostartPath();
    if (!entryExists(path))
        return std::nullopt;
    QFile file(path);
    if (QFileInfo(path).isDir() || !file.open(QIODevice::ReadOnly))
        fail(QStringLiteral("Cannot read the autostart entry %1").arg(path));
    // Present means registered, whoever wrote it; the data is the program
    // it starts, as far as its Exec line tells.
    const QString text = QString::fromUtf8(file.readAll());
    const std::optional<QString> exec = desktopEntryValue(text, QStringLiteral("Desktop Entry"), QStringLiteral("Exec"));
    if (!exec)
        return QString();
    const std::optional<QStringList> args = splitDesktopExec(*exec);
    if (!args || args->isEmpty())
        return *exec;
    QString program = programOfExec(*args);
    program.replace(QLatin1String("%%"), QLatin1String("%"));
    return program;
}

void SystemRegistry::writeValue(RegistryHive hive, const QString &key, const QString &name, const QString &value)
{
    if (!isRunValue(hive, key, name)) {
        files_.writeValue(hive, key, name, value);
        return;
    }
    const QString path = autostartPath();
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        fail(QStringLiteral("Cannot create the folder %1").arg(folder));
    // Replaced in one step: a session starting meanwhile reads the old
    // entry or the new one, never half of one.
    const QByteArray text = autostartEntry(value).toUtf8();
    try {
        writeFileAtomically(path, std::string_view(text.constData(), static_cast<std::size_t>(text.size())),
                            WriteOptions{NewFileMode::Shared, false});
    } catch (const FileIoError &e) {
        fail(QStringLiteral("Cannot write the autostart entry %1: %2").arg(path, QString::fromLocal8Bit(e.what())));
    }
}

void SystemRegistry::deleteValue(RegistryHive hive, const QString &key, const QString &name)
{
    if (!isRunValue(hive, key, name)) {
        files_.deleteValue(hive, key, name);
        return;
    }
    const QString path = autostartPath();
    if (!entryExists(path))
        return;
    if (QFileInfo(path).isDir() || !QFile::remove(path))
        fail(QStringLiteral("Cannot remove the autostart entry %1").arg(path));
}

} // namespace vl
