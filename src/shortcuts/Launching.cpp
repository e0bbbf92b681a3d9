#include "shortcuts/Launching.h"

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

void Launching::playWave()
{
    if (!global_.Wave_File.isEmpty())
        platform_.playSound(global_.Wave_File);
}

bool Launching::ShellStart(const QString &file, const QString &parameters, const QString &folder)
{
    LaunchRequest r;
    r.target = file;
    // The command string is split as a shell would split it, but no shell
    // ever sees it: quotes group, nothing is expanded.
    r.arguments = QProcess::splitCommand(parameters);
    const QFileInfo info(file);
    r.workingFolder = info.isDir() ? file : folder;
    if (IsUrl(file) && !info.exists()) {
        r.kind = LaunchRequest::Kind::Address;
        r.workingFolder.clear();
    } else if (info.isDir()) {
        r.kind = LaunchRequest::Kind::Folder;
        r.arguments.clear();
    } else if (hasExtension(file, u".desktop")) {
        r.kind = LaunchRequest::Kind::DesktopEntry;
    } else if (platform_.isExecutableFile(file)) {
        r.kind = LaunchRequest::Kind::Program;
    } else {
        r.kind = LaunchRequest::Kind::Document;
    }
    return platform_.launch(r);
}

bool Launching::Execute(const ShortcutItem &item)
{
    playWave();
    const QString &file = item.AttachedFile;
    const QFileInfo info(file);
    const bool url = IsUrl(file);
    // Folders are opened in the file manager: they show a folder's icon, and
    // a double click that does nothing would look broken.
    if (!info.isFile() && !url && !(info.isDir() && !file.isEmpty()))
        return false;
    BusyCursor busy;
    if (url && !info.exists() && global_.OpenIn_NewWindow) {
        const BrowserCommand browser = SplitBrowserCommand(platform_.defaultBrowserCommand());
        if (browser.program.isEmpty())
            return false;
        LaunchRequest r;
        r.kind = LaunchRequest::Kind::Program;
        r.target = browser.program;
        r.arguments = browser.arguments;
        if (!browser.newWindowSwitch.isEmpty() && !r.arguments.contains(browser.newWindowSwitch))
            r.arguments.append(browser.newWindowSwitch);
        r.arguments.append(file);
        return platform_.launch(r);
    }
    return ShellStart(file, item.CommandString, folderPart(file));
}

bool Launching::SourceToSender(const ShortcutItem &target, const ShortcutItem &dragged)
{
    playWave();
    BusyCursor busy;
    return ShellStart(target.AttachedFile, QLatin1Char('"') + dragged.AttachedFile + QLatin1Char('"'),
                      folderPart(target.AttachedFile));
}

} // namespace vl
