#include "platform/FileRegistry.h"

#include "storage/BigIni.h"
#include "storage/TextConv.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

#include <string>

namespace vl {

namespace {

std::string sectionName(RegistryHive hive, const QString &key)
{
    std::string s = hive == RegistryHive::LocalMachine ? "HKEY_LOCAL_MACHINE\\" : "HKEY_CURRENT_USER\\";
    appendUtf8(s, key);
    return s;
}

std::string utf8(const QString &text)
{
    std::string s;
    appendUtf8(s, text);
    return s;
}

bool hasLineBreak(const QString &text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'));
}

[[noreturn]] void fail(const QString &message) { throw RegistryError(message.toStdString()); }

// Writers from other running copies take turns; a lock left by a crashed
// copy goes stale after QLockFile's default 30 seconds.
class WriteLock {
public:
    explicit WriteLock(const QString &path) : lock_(path + QStringLiteral(".lock"))
    {
        if (!lock_.tryLock(5000))
            fail(QStringLiteral("Cannot lock the registry file %1").arg(path));
    }

private:
    QLockFile lock_;
};

} // namespace

FileRegistry::FileRegistry() : FileRegistry(defaultPath()) {}

FileRegistry::FileRegistry(const QString &path) : path_(path) {}

QString FileRegistry::defaultPath()
{
    const QString env = qEnvironmentVariable("VORLANE_REGISTRY");
    if (!env.isEmpty())
        return QFileInfo(env).absoluteFilePath();
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/vorlane/registry.ini");
}

std::unique_ptr<TAppIniFile> FileRegistry::open() const
{
    if (QFileInfo(path_).isDir())
        fail(QStringLiteral("Cannot read the registry file %1: it is a folder").arg(path_));
    std::unique_ptr<TAppIniFile> ini;
    try {
        ini = std::make_unique<TAppIniFile>(path_);
    } catch (const IniIoError &e) {
        fail(QString::fromStdString(e.what()));
    }
    // Whatever holds NUL bytes was not written by us; rewriting it with one
    // value would destroy it.
    if (ini->lastRead().hasNul) {
        ini->Abandon();
        fail(QStringLiteral("Cannot read the registry file %1: it is not a text file").arg(path_));
    }
    return ini;
}

std::optional<QString> FileRegistry::readValue(RegistryHive hive, const QString &key, const QString &name)
{
    const auto ini = open();
    ini->Abandon(); // a reader never writes, not even a tidied file
    const auto value = ini->ReadValue(sectionName(hive, key), utf8(name));
    if (!value)
        return std::nullopt;
    return QString::fromUtf8(value->data(), static_cast<qsizetype>(value->size()));
}

void FileRegistry::writeValue(RegistryHive hive, const QString &key, const QString &name, const QString &value)
{
    // A line is "name=value" and a line "[...]" starts a section: names and
    // values that would read back as something else are refused.
    if (name.contains(QLatin1Char('=')) || name.startsWith(QLatin1Char('[')) || hasLineBreak(name)
        || hasLineBreak(key) || hasLineBreak(value)) {
        fail(QStringLiteral("Cannot store the registry value \"%1\" of \"%2\"").arg(name, key));
    }
    const QString folder = QFileInfo(path_).absolutePath();
    if (!QDir().mkpath(folder))
        fail(QStringLiteral("Cannot create the folder %1").arg(folder));
    WriteLock lock(path_);
    const auto ini = open();
    ini->WriteValue(sectionName(hive, key), utf8(name), utf8(value));
    try {
        ini->UpdateFile();
    } catch (const IniIoError &e) {
        fail(QString::fromStdString(e.what()));
    }
}

void FileRegistry::deleteValue(RegistryHive hive, const QString &key, const QString &name)
{
    const std::string section = sectionName(hive, key);
    const std::string valueName = utf8(name);
    {
        const auto probe = open();
        probe->Abandon();
        if (!probe->ReadValue(section, valueName))
            return; // nothing to do, and no need for a writable folder
    }
    WriteLock lock(path_);
    const auto ini = open();
    ini->DeleteKey(section, valueName);
    try {
        ini->UpdateFile();
    } catch (const IniIoError &e) {
        fail(QString::fromStdString(e.what()));
    }
}

} // namespace vl
