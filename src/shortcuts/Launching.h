#pragma once

#include "model/Model.h"

#include <QString>

namespace vl {

class Platform;
class Prompt;

// The text as one word of a command string: in double quotes, each double
// quote of its own tripled, which is how the command string's splitting
// keeps a literal quote. Splitting gives back exactly the text.
QString quotedParameter(const QString &text);

// Starting shortcuts. The decisions (what starts, with which arguments, in
// which folder, and when nothing starts) live here; the platform carries
// the start out.
class Launching {
public:
    Launching(Platform &platform, Prompt &prompt, const GlobalSettings &global)
        : platform_(platform), prompt_(prompt), global_(global)
    {
    }

    // A double click on a shortcut. Returns whether anything was started.
    bool Execute(const ShortcutItem &item);
    // One shortcut dropped onto another: the target's file started with the
    // dragged one's file as its parameter, neither tested beforehand.
    bool SourceToSender(const ShortcutItem &target, const ShortcutItem &dragged);
    // Starts a file (or address) with a command string in a folder. A
    // relative file is the one in the current folder. A .desktop launcher
    // that is not trusted runs only when the user says so.
    bool ShellStart(const QString &file, const QString &parameters, const QString &folder);

private:
    void playWave();
    bool confirmUntrustedLauncher(const QString &file);

    Platform &platform_;
    Prompt &prompt_;
    const GlobalSettings &global_;
};

} // namespace vl
