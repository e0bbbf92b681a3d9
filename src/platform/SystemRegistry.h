#pragma once

#include "platform/FileRegistry.h"

#include <QString>

namespace vl {

// The registry of this platform. Every value lives in the FileRegistry,
// except the start-at-logon value (HKEY_LOCAL_MACHINE
// "Software\Microsoft\windows\CurrentVersion\run", value "Vorlane"), which
// is the user's XDG autostart entry $XDG_CONFIG_HOME/autostart/vorlane.desktop:
// the value is there when the entry is, its data is the program the entry
// starts, writing it writes the entry and deleting it removes the entry.
// Whoever asks through a registry of this kind therefore agrees with what
// the session will start at the next logon.
class SystemRegistry : public Registry {
public:
    // The file at FileRegistry::defaultPath().
    SystemRegistry() = default;
    explicit SystemRegistry(const QString &registryPath) : files_(registryPath) {}

    QString path() const { return files_.path(); }

    // Where the entry is: read at every call, the environment may change.
    static QString autostartPath();

    std::optional<QString> readValue(RegistryHive hive, const QString &key, const QString &name) override;
    void writeValue(RegistryHive hive, const QString &key, const QString &name, const QString &value) override;
    void deleteValue(RegistryHive hive, const QString &key, const QString &name) override;

    static inline const QString RunKey = QStringLiteral("Software\\Microsoft\\windows\\CurrentVersion\\run");
    static inline const QString RunValue = QStringLiteral("Vorlane");
    // The entry's text for a program file.
    static QString autostartEntry(const QString &program);

private:
    static bool isRunValue(RegistryHive hive, const QString &key, const QString &name);

    FileRegistry files_;
};

} // namespace vl
