#pragma once

#include <QString>

namespace vl {

// Where the settings file lives: $VORLANE_SETTINGS when set; otherwise
// "vorlane.ini" beside the program when that folder can be written (a
// portable copy); otherwise "vorlane.ini" in the user's configuration folder
// (~/.config/vorlane/), which is created when missing.
QString settingsFilePath();
QString settingsFilePath(const QString &programDir, const QString &envValue, const QString &configHome);

} // namespace vl
