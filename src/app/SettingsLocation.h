#pragma once

#include <QString>

namespace vl {

// Where the settings file lives: $VORLANE_SETTINGS when set; otherwise
// "vorlane.ini" beside the program when that folder can be written and is
// not the folder the program was installed to (a portable copy); otherwise
// "vorlane.ini" in the user's configuration folder (~/.config/vorlane/),
// which is created when missing. The installed folder is excluded because
// root can write /usr/bin: root's settings would land among the programs,
// and every user's copy would find them there.
QString settingsFilePath();
QString settingsFilePath(const QString &programDir, const QString &envValue, const QString &configHome,
                         const QString &installedDir = {});

} // namespace vl
