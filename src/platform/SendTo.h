#pragma once

#include "platform/Platform.h"

#include <QString>

#include <functional>

namespace vl {

// Installs the program as a send-to target in the file managers of this
// desktop: the menu entry every one of them offers for a selected file,
// each starting "program -- FILE" with the file's absolute path. The "--"
// keeps a file whose name starts with "-" from being read as an option.
//
// A file manager is served when its data folder exists (it has run) or its
// program can be started; every entry lies below the user's data folder
// ($XDG_DATA_HOME, else ~/.local/share). The entries are ours by name and
// are replaced whole, so a second install rewrites the same files. None of
// them is an application entry with MIME types: the program never becomes
// the handler, let alone the default, of any file type.
class SendToInstaller {
public:
    // isInstalled answers whether a program name can be started.
    SendToInstaller(QString dataHome, std::function<bool(const QString &)> isInstalled);

    // $XDG_DATA_HOME when absolute, else ~/.local/share; read at every call.
    static QString defaultDataHome();
    // Whether the program is found on $PATH.
    static bool onPath(const QString &program);

    SendToResult install(const QString &programPath) const;

    // The entries for a program, relative to the data folder: what is
    // written where. Exposed for tests and for the README.
    struct Entry {
        QString fileManager;
        QString program;    // the file manager's program
        QString dataFolder; // its folder below the data folder
        QString file;       // the entry, below the data folder
        QString text;
        bool executable = false;
    };
    static QList<Entry> entries(const QString &programPath);

private:
    QString dataHome_;
    std::function<bool(const QString &)> isInstalled_;
};

} // namespace vl
