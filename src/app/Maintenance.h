#pragma once

#include <QString>

#include <cstdio>

namespace vl {

// `vorlane --dump-model`: loads the settings file as start-up does, asking
// nothing, and prints the model as JSON. Returns the exit status.
int runDumpModel(const QString &settingsPath, std::FILE *out = stdout);

// `vorlane --resave`: loads, then saves once as "Save All" does. Exit status
// 0 when saved, 2 when earlier errors made the save ask (answered No: the
// file is untouched), 1 when the save failed or ended early.
int runResave(const QString &settingsPath);

// `vorlane --import-registry FILE`: loads the settings file as start-up
// does, replaces its desktops by the older version's settings that FILE (a
// registry export or a Wine user.reg) holds, answering every question No,
// then saves once as "Save All" does. Exit status 0 when saved; 2 when
// errors made the save ask (the settings file is untouched); 1 when FILE
// cannot be read, is no registry export or holds no settings of the older
// version (the settings file is untouched), or the save failed. Messages
// go to `err`.
int runImportRegistry(const QString &settingsPath, const QString &registryPath, std::FILE *err = stderr);

} // namespace vl
