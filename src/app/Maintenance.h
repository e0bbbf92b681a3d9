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

} // namespace vl
