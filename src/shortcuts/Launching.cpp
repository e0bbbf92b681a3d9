#include "shortcuts/Launching.h"

#include "common/Prompt.h"
#include "platform/Platform.h"
#include "shortcuts/ShortcutFiles.h"

#include <QCursor>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>

namespace vl {

namespace {

// The hourglass while the desktop is asked to start something; restored on
// every way out.
class BusyCursor {
public:
    BusyCursor()
    {
        if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
            active_ = true;
        }
    }
    ~BusyCursor()
    {
        if (active_)
            QGuiApplication::restoreOverrideCursor();
    }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;

private:
    bool active_ = false;
};

} // namespace

QString quotedParameter(const QString &text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QLatin1String("\"\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

void Launching::playWave()
{
    if (!global_.Wave_File.isEmpty())
        platform_.playSound(global_.Wave_File);
}

bool Launching::confirmUntrustedLauncher(const QString &file)
{
    QString name = platform_.launcherName(file);
    if (name.isEmpty())
        name = QFileInfo(file).fileName();
    return prompt_.MessageDlg(QStringLiteral("Run untrusted launcher \"%1\"?").arg(name), MsgDlgType::Warning,
                              mbYes | mbNo, 0)
           == ModalResult::Yes;
}

bool Launching::ShellStart(const QString &file, const QString &parameters, const QString &folder)
{
    LaunchRequest r;
    const bool address = IsUrl(file) && !QFileInfo::exists(file);
    // A relative name stands for a file in the current folder, never for a
    // program on the search path, nor for one below the working folder: what
    // was tested is what starts.
    r.target = address || file.isEmpty() ? file : QFileInfo(file).absoluteFilePath();
    // The command string is split as a shell would split it, but no shell
    // ever sees it: quotes group, nothing is expanded.
    r.arguments = QProcess::splitCommand(parameters);
    const QFileInfo info(r.target);
    r.workingFolder = info.isDir() ? r.target : folder;
    if (address) {
        r.kind = LaunchRequest::Kind::Address;
        r.workingFolder.clear();
    } else if (info.isDir()) {
        r.kind = LaunchRequest::Kind::Folder;
        r.arguments.clear();
    } else if (hasExtension(r.target, u".desktop")) {
        r.kind = LaunchRequest::Kind::DesktopEntry;
        // A launcher runs any command it names; one that merely arrived on
        // the disk must not do so on a double click.
        if (!platform_.isTrustedLauncher(r.target) && !confirmUntrustedLauncher(r.target))
            return false;
    } else if (platform_.isExecutableFile(r.target)) {
        r.kind = LaunchRequest::Kind::Program;
    } else {
        r.kind = LaunchRequest::Kind::Document;
    }
    BusyCursor busy;
    return platform_.launch(r);
}

bool Launching::Execute(const ShortcutItem &item)
{
    playWave();
    const QFileInfo info(item.AttachedFile);
    const bool url = IsUrl(item.AttachedFile);
    // Folders are opened in the file manager: they show a folder's icon, and
    // a double click that does nothing would look broken.
    if (!info.isFile() && !url && !(info.isDir() && !item.AttachedFile.isEmpty()))
        return false;
    const bool address = url && !info.exists();
    if (address && global_.OpenIn_NewWindow) {
        BusyCursor busy;
        const BrowserCommand browser = SplitBrowserCommand(platform_.defaultBrowserCommand());
        if (browser.program.isEmpty())
            return false;
        LaunchRequest r;
        r.kind = LaunchRequest::Kind::Program;
        r.target = browser.program;
        r.arguments = browser.arguments;
        if (!browser.newWindowSwitch.isEmpty() && !r.arguments.contains(browser.newWindowSwitch))
            r.arguments.append(browser.newWindowSwitch);
        r.arguments.append(item.AttachedFile);
        return platform_.launch(r);
    }
    // The folder of the file that was tested, also for a relative name.
    const QString file = address ? item.AttachedFile : info.absoluteFilePath();
    return ShellStart(file, item.CommandString, folderPart(file));
}

bool Launching::SourceToSender(const ShortcutItem &target, const ShortcutItem &dragged)
{
    playWave();
    return ShellStart(target.AttachedFile, quotedParameter(dragged.AttachedFile), folderPart(target.AttachedFile));
}

} // namespace vl
