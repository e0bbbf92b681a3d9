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
// then saves once as "Save All" does. FILE is read and checked before the
// settings file is even read: exit status 1, the settings file untouched,
// when FILE cannot be read, is no registry export, holds no settings of the
// older version or holds some that would stop the import part-way. Exit
// status 0 when saved; 2 when errors (a picture that cannot be shown) made
// the save ask (the settings file is untouched); 1 when the save failed.
// Messages go to `err`.
int runImportRegistry(const QString &settingsPath, const QString &registryPath, std::FILE *err = stderr);

// `vorlane --list-history`: one line per earlier version of the settings,
// newest first: its number, date, desktops and shortcuts, or that it cannot
// be read. Exit status 0 (1 when the list could not be written).
int runListHistory(const QString &settingsPath, std::FILE *out = stdout, std::FILE *err = stderr);

// `vorlane --restore N`: makes version N of the list the settings file,
// keeping the current file in the history first. Refused (exit status 1,
// the settings file untouched) while another copy of the program runs (its
// lock is taken for the time of the restore; runtimeFolder as TPBJustOne
// takes it), when N is no version that can be read, or when the current
// file cannot be kept. Exit status 0 when restored.
int runRestoreHistory(const QString &settingsPath, const QString &number, const QString &runtimeFolder = {},
                      std::FILE *out = stdout, std::FILE *err = stderr);

} // namespace vl
