#include "platform/SendTo.h"

#include "platform/DesktopEntryText.h"
#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace vl {

SendToInstaller::SendToInstaller(QString dataHome, std::function<bool(const QString &)> isInstalled)
    : dataHome_(std::move(dataHome)), isInstalled_(std::move(isInstalled))
{
}

QString SendToInstaller::defaultDataHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

bool SendToInstaller::onPath(const QString &program) { return !QStandardPaths::findExecutable(program).isEmpty(); }

QList<SendToInstaller::Entry> SendToInstaller::entries(const QString &programPath)
{
    // What the menus show: the program's file name without its extension.
    const QString name = QFileInfo(programPath).completeBaseName();
    // Launchers and actions split their Exec line as Desktop Entry files
    // do, the file manager putting the selected path in place of %f as
    // one argument of its own.
    const QString desktopExec = desktopEntryEscaped(desktopExecProgram(programPath) + QStringLiteral(" -- %f"));
    // Nemo and the FileManager-Actions readers run their Exec line through
    // g_shell_parse_argv: shell quoting, '%' doubled for their field codes.
    QString shellProgram = shellQuoted(programPath);
    shellProgram.replace(QLatin1Char('%'), QLatin1String("%%"));

    QList<Entry> out;
    out.append({QStringLiteral("Thunar"), QStringLiteral("thunar"), QStringLiteral("Thunar"),
                QStringLiteral("Thunar/sendto/vorlane.desktop"),
                QStringLiteral("[Desktop Entry]\n"
                               "Type=Application\n"
                               "Version=1.0\n"
                               "Name=%1\n"
                               "Icon=vorlane\n"
                               "Exec=%2\n")
                    .arg(desktopEntryEscaped(name), desktopExec),
                false});
    // Nautilus runs a script with the selected files as arguments, in the
    // folder shown; a relative name is made absolute by the hand-off.
    out.append({QStringLiteral("Nautilus"), QStringLiteral("nautilus"), QStringLiteral("nautilus"),
                QStringLiteral("nautilus/scripts/") + name,
                QStringLiteral("#!/bin/sh\n"
                               "# Adds the selected file to the active desktop of Vorlane.\n"
                               "[ $# -ge 1 ] || exit 0\n"
                               "exec %1 -- \"$1\"\n")
                    .arg(shellQuoted(programPath)),
                true});
    // Plasma 6 runs a service menu of the user's only when it is executable.
    out.append({QStringLiteral("Dolphin"), QStringLiteral("dolphin"), QStringLiteral("kio"),
                QStringLiteral("kio/servicemenus/vorlane.desktop"),
                QStringLiteral("[Desktop Entry]\n"
                               "Type=Service\n"
                               "ServiceTypes=KonqPopupMenu/Plugin\n"
                               "X-KDE-ServiceTypes=KonqPopupMenu/Plugin\n"
                               "MimeType=all/allfiles;inode/directory;\n"
                               "Actions=addToVorlane;\n"
                               "\n"
                               "[Desktop Action addToVorlane]\n"
                               "Name=%1\n"
                               "Icon=vorlane\n"
                               "Exec=%2\n")
                    .arg(desktopEntryEscaped(name), desktopExec),
                true});
    // Nemo pastes the selected path into its Exec line and splits the line
    // as a shell would, and each of its versions quoted the path in a way of
    // its own: one left a backslash before every "'" inside the double
    // quotes asked for, others put a trailing '\' or a '"' in unescaped,
    // and nothing ran. A file's address (%U) holds none of these, is put in
    // as it is by all of them, and the hand-off takes a local one for its
    // file.
    out.append({QStringLiteral("Nemo"), QStringLiteral("nemo"), QStringLiteral("nemo"),
                QStringLiteral("nemo/actions/vorlane.nemo_action"),
                QStringLiteral("[Nemo Action]\n"
                               "Name=%1\n"
                               "Comment=Adds a shortcut for the file to Vorlane\n"
                               "Exec=%2 -- %U\n"
                               "Quote=double\n"
                               "Selection=s\n"
                               "Extensions=any;\n"
                               "Icon-Name=vorlane\n")
                    .arg(desktopEntryEscaped(name), desktopEntryEscaped(shellProgram)),
                false});
    // pcmanfm-qt and Caja (caja-actions) read the FileManager-Actions
    // format; %f is the path, already quoted by the reader.
    out.append({QStringLiteral("FileManager-Actions"), QStringLiteral("pcmanfm-qt caja"),
                QStringLiteral("file-manager"), QStringLiteral("file-manager/actions/vorlane.desktop"),
                QStringLiteral("[Desktop Entry]\n"
                               "Type=Action\n"
                               "Name=%1\n"
                               "Tooltip=Adds a shortcut for the file to Vorlane\n"
                               "Icon=vorlane\n"
                               "Profiles=profile-zero;\n"
                               "\n"
                               "[X-Action-Profile profile-zero]\n"
                               "Name=Default profile\n"
                               "Exec=%2 -- %f\n"
                               "MimeTypes=all/all;\n"
                               "SelectionCount==1\n")
                    .arg(desktopEntryEscaped(name), desktopEntryEscaped(shellProgram)),
                false});
    return out;
}

SendToResult SendToInstaller::install(const QString &programPath) const
{
    SendToResult result;
    const QDir home(dataHome_);
    for (const Entry &e : entries(programPath)) {
        bool wanted = QFileInfo(home.filePath(e.dataFolder)).isDir();
        for (const QString &program : e.program.split(QLatin1Char(' ')))
            wanted = wanted || isInstalled_(program);
        if (!wanted)
            continue;
        const QString path = home.filePath(e.file);
        QString why;
        if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
            why = QStringLiteral("cannot create the folder");
        } else {
            const QByteArray text = e.text.toUtf8();
            try {
                writeFileAtomically(path, std::string_view(text.constData(), static_cast<std::size_t>(text.size())),
                                    WriteOptions{e.executable ? NewFileMode::Executable : NewFileMode::Shared, false});
                // An entry written earlier without the bit keeps its mode
                // through the write; a script menu needs it all the same.
                if (e.executable) {
                    QFile file(path);
                    file.setPermissions(file.permissions() | QFileDevice::ExeOwner | QFileDevice::ReadOwner
                                        | QFileDevice::WriteOwner);
                }
            } catch (const FileIoError &error) {
                why = QString::fromLocal8Bit(error.what());
            }
        }
        if (why.isEmpty())
            result.written.append(path);
        else
            result.failed.append(path + QStringLiteral(": ") + why);
    }
    return result;
}

} // namespace vl
