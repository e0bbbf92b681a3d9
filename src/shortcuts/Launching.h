#pragma once

#include "model/Model.h"

#include <QString>

namespace vl {

class Platform;

// Starting shortcuts. The decisions (what starts, with which arguments, in
// which folder, and when nothing starts) live here; the platform carries
// the start out.
class Launching {
public:
    Launching(Platform &platform, const GlobalSettings &global) : platform_(platform), global_(global) {}

    // A double click on a shortcut. Returns whether anything was started.
    bool Execute(const ShortcutItem &item);
    // One shortcut dropped onto another: the target's file started with the
    // dragged one's file as its parameter, neither tested beforehand.
    bool SourceToSender(const ShortcutItem &target, const ShortcutItem &dragged);
    // Starts a file (or address) with a command string in a folder.
    bool ShellStart(const QString &file, const QString &parameters, const QString &folder);

private:
    void playWave();

    Platform &platform_;
    const GlobalSettings &global_;
};

} // namespace vl
