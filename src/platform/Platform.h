#pragma once

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

namespace vl {

// The registry-like store for the few switches that live outside the
// settings file (start at logon, several copies allowed).
enum class RegistryHive { CurrentUser, LocalMachine };

class Registry {
public:
    virtual ~Registry() = default;
    // The value's text, or nullopt when the key or value is absent.
    // Throws RegistryError when the store exists but cannot be read.
    virtual std::optional<QString> readValue(RegistryHive hive, const QString &key, const QString &name) = 0;
    // Creates the key when needed. Throws RegistryError on failure.
    virtual void writeValue(RegistryHive hive, const QString &key, const QString &name, const QString &value) = 0;
    virtual void deleteValue(RegistryHive hive, const QString &key, const QString &name) = 0;
};

class RegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A mounted file system on a local, non-removable block device.
struct FixedDrive {
    QString name;            // its mount point
    std::uint64_t freeBytes; // available to the calling user
};

// Everything the program asks of the desktop environment, so that the rest
// of the program runs, and is tested, without one.
class Platform {
public:
    virtual ~Platform() = default;

    virtual Registry &registry() = 0;
    // Fixed drives in mount-point order; drives whose free space cannot be
    // read are left out.
    virtual QList<FixedDrive> fixedDrives() = 0;
};

} // namespace vl
