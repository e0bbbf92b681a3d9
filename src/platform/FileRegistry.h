#pragma once

#include "platform/Platform.h"

#include <QString>

#include <memory>

namespace vl {

class TAppIniFile;

// The registry of a desktop without one: a per-user INI file of our own.
// Each key is a section named after its hive and path
// ("HKEY_LOCAL_MACHINE\Software\Quendry\Vorlane"), each value a line in it.
// Keys and value names compare without regard to case.
//
// Every call reads the file afresh and every change rewrites it at once, so
// several running copies of the program see each other's writes.
class FileRegistry : public Registry {
public:
    // The file at defaultPath().
    FileRegistry();
    explicit FileRegistry(const QString &path);

    // $VORLANE_REGISTRY when set, else "vorlane/registry.ini" in the user's
    // configuration folder.
    static QString defaultPath();
    QString path() const { return path_; }

    std::optional<QString> readValue(RegistryHive hive, const QString &key, const QString &name) override;
    // Creates the file and its folder when needed. Value names containing
    // '=' or starting with '[', and keys, names or values containing line
    // breaks, cannot be stored and throw RegistryError.
    void writeValue(RegistryHive hive, const QString &key, const QString &name, const QString &value) override;
    // Absent values, keys and files are not an error.
    void deleteValue(RegistryHive hive, const QString &key, const QString &name) override;

private:
    // The file's content, empty when there is no file yet. Throws
    // RegistryError when something that is not a readable registry file sits
    // at the path.
    std::unique_ptr<TAppIniFile> open() const;

    QString path_;
};

} // namespace vl
