#include "support/FakePlatform.h"

#include <QFileInfo>
#include <QPixmap>

namespace vl::test {

QString FakeRegistry::slot(RegistryHive hive, const QString &key, const QString &name)
{
    // A NUL cannot occur in a key or name that reaches a real store.
    return (hive == RegistryHive::LocalMachine ? QStringLiteral("HKLM") : QStringLiteral("HKCU")) + QChar(0)
           + key.toCaseFolded() + QChar(0) + name.toCaseFolded();
}

std::optional<QString> FakeRegistry::readValue(RegistryHive hive, const QString &key, const QString &name)
{
    calls.append({Call::Read, hive, key, name, QString()});
    if (failReads)
        throw RegistryError("fake registry: read failure");
    return value(hive, key, name);
}

void FakeRegistry::writeValue(RegistryHive hive, const QString &key, const QString &name, const QString &value)
{
    calls.append({Call::Write, hive, key, name, value});
    if (failWrites)
        throw RegistryError("fake registry: write failure");
    preset(hive, key, name, value);
}

void FakeRegistry::deleteValue(RegistryHive hive, const QString &key, const QString &name)
{
    calls.append({Call::Delete, hive, key, name, QString()});
    if (failWrites)
        throw RegistryError("fake registry: write failure");
    values_.remove(slot(hive, key, name));
}

void FakeRegistry::preset(RegistryHive hive, const QString &key, const QString &name, const QString &value)
{
    values_.insert(slot(hive, key, name), value);
}

std::optional<QString> FakeRegistry::value(RegistryHive hive, const QString &key, const QString &name) const
{
    const auto it = values_.constFind(slot(hive, key, name));
    if (it == values_.constEnd())
        return std::nullopt;
    return *it;
}

int FakeRegistry::count(Call::Kind kind) const
{
    int n = 0;
    for (const Call &c : calls)
        n += c.kind == kind ? 1 : 0;
    return n;
}

namespace {

QIcon filled(Qt::GlobalColor colour)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

} // namespace

std::optional<LinkTarget> FakePlatform::readLink(const QString &path)
{
    const auto it = links.constFind(path);
    if (it == links.constEnd())
        return std::nullopt;
    return *it;
}

QIcon FakePlatform::fileIcon(const QString &path)
{
    iconRequests.append(path);
    return fileIconsFound && QFileInfo::exists(path) ? fixedFileIcon() : QIcon();
}

QIcon FakePlatform::fixedFileIcon()
{
    static const QIcon icon = filled(Qt::darkYellow);
    return icon;
}

QIcon FakePlatform::fixedApplicationIcon()
{
    static const QIcon icon = filled(Qt::darkBlue);
    return icon;
}

} // namespace vl::test
