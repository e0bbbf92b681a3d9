#pragma once

#include "platform/FileRegistry.h"
#include "platform/Platform.h"

#include <QString>

namespace vl {

class LinuxPlatform : public Platform {
public:
    // The registry at FileRegistry::defaultPath(), the mount table and sysfs
    // of the running system.
    LinuxPlatform();
    // Other sources, for tests: a registry file, a mountinfo file and a sysfs root.
    explicit LinuxPlatform(const QString &registryPath,
                           const QString &mountInfoPath = QStringLiteral("/proc/self/mountinfo"),
                           const QString &sysRoot = QStringLiteral("/sys"));

    FileRegistry &registry() override { return registry_; }
    // An unreadable mount table gives no drives.
    QList<FixedDrive> fixedDrives() override;

private:
    FileRegistry registry_;
    QString mountInfoPath_;
    QString sysRoot_;
};

} // namespace vl
