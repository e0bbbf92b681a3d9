#pragma once

#include "platform/Platform.h"

#include <QList>
#include <QMap>
#include <QString>

#include <optional>

namespace vl::test {

// An in-memory registry that records every call. Keys and value names
// compare without regard to case, as in the real one.
class FakeRegistry : public Registry {
public:
    struct Call {
        enum Kind { Read, Write, Delete } kind;
        RegistryHive hive;
        QString key;
        QString name;
        QString value; // written value; empty for reads and deletes
    };

    std::optional<QString> readValue(RegistryHive hive, const QString &key, const QString &name) override;
    void writeValue(RegistryHive hive, const QString &key, const QString &name, const QString &value) override;
    void deleteValue(RegistryHive hive, const QString &key, const QString &name) override;

    // Sets or reads a value without recording a call.
    void preset(RegistryHive hive, const QString &key, const QString &name, const QString &value);
    std::optional<QString> value(RegistryHive hive, const QString &key, const QString &name) const;

    // When set, reads throw RegistryError (the call is still recorded).
    bool failReads = false;
    // When set, writes and deletes throw RegistryError and change nothing.
    bool failWrites = false;

    QList<Call> calls;
    int count(Call::Kind kind) const;

private:
    static QString slot(RegistryHive hive, const QString &key, const QString &name);
    QMap<QString, QString> values_;
};

class FakePlatform : public Platform {
public:
    FakeRegistry &registry() override { return fakeRegistry; }
    QList<FixedDrive> fixedDrives() override
    {
        ++fixedDrivesCalls;
        return drives;
    }

    FakeRegistry fakeRegistry;
    QList<FixedDrive> drives;
    int fixedDrivesCalls = 0;
};

} // namespace vl::test
