#pragma once

#include "platform/Platform.h"

#include <QIcon>
#include <QList>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringList>

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
    // The fake registry, or realRegistry when a test sets one.
    Registry &registry() override { return realRegistry ? *realRegistry : fakeRegistry; }
    QList<FixedDrive> fixedDrives() override
    {
        ++fixedDrivesCalls;
        return drives;
    }

    // Records the request; starts nothing.
    bool launch(const LaunchRequest &request) override
    {
        launches.append(request);
        return launchResult;
    }
    QString defaultBrowserCommand() override { return browserCommand; }
    void playSound(const QString &file) override { sounds.append(file); }
    std::optional<LinkTarget> readLink(const QString &path) override;
    bool isExecutableFile(const QString &path) override { return executables.contains(path); }
    QString launcherName(const QString &path) override { return launcherNames.value(path); }
    bool isTrustedLauncher(const QString &path) override { return trustedLaunchers.contains(path); }

    // fixedFileIcon() for every existing path (unless fileIconsFound is
    // off), null otherwise. Every call is recorded in iconRequests.
    QIcon fileIcon(const QString &path) override;
    QIcon webIcon() override { return webPicture; }
    QIcon applicationIcon() override { return fixedApplicationIcon(); }
    // Records the program path and answers sendToResult.
    SendToResult installSendTo(const QString &programPath) override
    {
        sendToPrograms.append(programPath);
        return sendToResult;
    }

    // Distinct, non-null icons; they need a QGuiApplication.
    static QIcon fixedFileIcon();
    static QIcon fixedApplicationIcon();

    FakeRegistry fakeRegistry;
    Registry *realRegistry = nullptr;
    QList<FixedDrive> drives;
    int fixedDrivesCalls = 0;

    QList<LaunchRequest> launches;
    bool launchResult = true;
    QStringList sounds;
    QString browserCommand;
    QMap<QString, LinkTarget> links; // link file path -> what it points to
    QSet<QString> executables;
    QMap<QString, QString> launcherNames; // launcher path -> its Name
    QSet<QString> trustedLaunchers;       // any other launcher is untrusted
    bool fileIconsFound = true;
    QStringList iconRequests;
    QIcon webPicture; // null: no default browser
    QStringList sendToPrograms;
    SendToResult sendToResult{{QStringLiteral("/fake/sendto/vorlane.desktop")}, {}};
};

} // namespace vl::test
